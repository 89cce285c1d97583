// Any file as the service database must be read, acted on and written back without a crash;
// what one write gives, the next read and write give again (a service added and removed leaves
// the database as the read found it). The input goes into the database of a private Windows
// folder; the only driver the services may start is the virtual controller's file there, and
// no device is opened: an image path from the input never reaches a file.
#include "FuzzCheck.h"
#include "Files.h"
#include "Kernel.h"
#include "KernelDrivers.h"
#include "Services.h"
#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace {

std::string gFolder;

void SetUp()
{
    gFolder = ScratchFolder();
    std::filesystem::create_directories(gFolder + "/SYSTEM32/DRIVERS");
    WriteFileText(gFolder + "/SYSTEM32/DRIVERS/PORTACC.SYS", "driver virtual-keyboard-controller\n");
    SetWindowsDirectory(gFolder);
    SetAdministratorSeam(true);
    SetDriverLoaderSeam([](const std::string& File, TDriverLoad How, uint32_t& Error) -> std::unique_ptr<TKernelDriver> {
        if (File == gFolder + "/SYSTEM32/DRIVERS/PORTACC.SYS") return LoadDriverFile(File, How, Error);
        Error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    });
}

// A service's life through every call that reads and writes the database; outcomes vary with
// the input, only a crash is wrong.
void Exercise(SC_HANDLE Scm, const char* Name)
{
    SC_HANDLE service = OpenServiceA(Scm, Name, SERVICE_ALL_ACCESS);
    if (!service) return;
    SERVICE_STATUS status{};
    StartServiceA(service, 0, nullptr);
    (void)RunningDriverOfDevice(Name);
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    DeleteService(service);
    Check(CloseServiceHandle(service));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (gFolder.empty()) SetUp();
    const std::string database = gFolder + "/SERVICES.INI";
    WriteFileText(database, std::string(reinterpret_cast<const char*>(data), size));
    (void)RunningDriverOfDevice("PORTACC");

    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    Check(scm != nullptr);
    // Round trip: the first write holds the services read plus the new one, last; once the new
    // one is gone again, the database written must be exactly what came before it.
    SC_HANDLE added = CreateServiceA(scm, "QUILLFUZZ", "QUILLFUZZ", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     (gFolder + "/SYSTEM32/DRIVERS/PORTACC.SYS").c_str(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr);
    if (added) {
        const std::string withService = ReadFileText(database);
        Check(DeleteService(added));
        Check(CloseServiceHandle(added));
        const std::string without = ReadFileText(database);
        Check(withService.size() > without.size() && withService.compare(0, without.size(), without) == 0);
    }
    Exercise(scm, "PORTACC");
    Check(CloseServiceHandle(scm));
    return 0;
}
