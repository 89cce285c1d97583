// Any file as the port driver's file, and any text as the virtual keyboard controller's
// description, must load without a crash or a hang. A controller that loads is driven as the
// component drives it (status reads, a write, the table's map and unmap); its table must be
// readable where the reply says, and its log must account for every read and write, a run of
// identical status reads as one line with its length. This machine's port driver is loaded but
// never opened.
#include "Files.h"
#include "FuzzCheck.h"
#include "KernelDrivers.h"
#include "TestSupport.h"
#include "VirtualController.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

void SetField(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    for (int i = 0; i < 4; ++i) B[At + i] = static_cast<uint8_t>(V >> (8 * i));
}

uint32_t Field(const std::vector<uint8_t>& B, size_t At)
{
    return uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 | uint32_t(B[At + 3]) << 24;
}

uint32_t Code(uint32_t Function)
{
    return 0x80000000u | ((0x800u + Function) << 2);
}

// Reads counted from the log: "<ms> in <port> <byte>" once, or with " x<n>" n times.
void CheckLog(const std::string& Log, long long Reads, long long Writes)
{
    std::istringstream lines(Log);
    long long reads = 0, writes = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        long long ms = 0;
        std::string direction, port, value, run;
        Check(static_cast<bool>(words >> ms >> direction >> port >> value) && ms > 0);
        Check(port.rfind("0x", 0) == 0 && value.rfind("0x", 0) == 0 && value.size() == 4);
        if (direction == "out") {
            ++writes;
            Check(!(words >> run));
        } else {
            Check(direction == "in");
            long long n = 1;
            if (words >> run) {
                Check(port == "0x64" && run.size() > 1 && run[0] == 'x');
                n = std::stoll(run.substr(1));
                Check(n >= 2);
            }
            reads += n;
        }
    }
    Check(reads == Reads && writes == Writes);
}

void Drive(TKernelDriver& Driver, const std::string& LogPath)
{
    std::filesystem::remove(LogPath);
    uint32_t error = 0, returned = 0;
    if (!Driver.Open(error)) return;
    std::vector<uint8_t> request(48, 0);
    SetField(request, 8, 0x408);
    SetField(request, 20, 6);
    if (Driver.Control(Code(26), request, returned, error)) {
        if (const uint32_t at = Field(request, 24)) {
            uint8_t table[6];
            std::memcpy(table, reinterpret_cast<const void*>(static_cast<uintptr_t>(at)), sizeof table);
        }
    }
    for (uint16_t port : {0x64, 0x64, 0x64, 0x60, 0x64, 0x64}) {
        SetField(request, 28, port);
        Check(Driver.Control(Code(11), request, returned, error) && returned == 48);
        Check(port == 0x64 || request[32] == 0xFF);
    }
    SetField(request, 28, 0x60);
    SetField(request, 32, 0xE4);
    Check(Driver.Control(Code(12), request, returned, error));
    SetField(request, 28, 0x64);
    for (int i = 0; i < 40; ++i) Driver.Control(Code(11), request, returned, error);
    SetField(request, 20, 6);
    Driver.Control(Code(27), request, returned, error);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The scratch folder is the Windows folder, where the layer keeps a driver's files.
    SetWindowsDirectory(ScratchFolder());
    const std::string file = ScratchFolder() + "/PORTACC.SYS", log = ScratchFolder() + "/PORTACC.LOG";
    WriteFileText(file, input);

    // The file as it stands: a driver of ours or none.
    for (TDriverLoad how : {TDriverLoad::Service, TDriverLoad::Vxd}) {
        uint32_t error = 0;
        auto driver = LoadDriverFile(file, how, error);
        Check(driver ? true : error == 193);
    }
    // The input as the controller's description.
    auto controller = MakeVirtualController(file, "driver virtual-keyboard-controller\n" + input, TDriverLoad::Service);
    if (controller) {
        {
            auto driver = std::move(controller);
            Drive(*driver, log);
        }
        CheckLog(ReadFileText(log), 46, 1); // as many as Drive made
    }
    return 0;
}
