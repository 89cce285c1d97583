#include "PORT_32.h"

#include "Kernel.h"
#include "PortIo.h"

#include <cstring>
#include <string>

namespace {

// DriverRequest's fields (byte offsets of little-endian 32-bit words).
constexpr size_t PhysAddress = 8;
constexpr size_t MapSize = 20;
constexpr size_t MappedAddress = 24;
constexpr size_t PortNumber = 28;
constexpr size_t PortValue = 32;

// The BIOS data area's table of parallel-port base addresses: three words.
constexpr uint32_t LPTTableAddress = 0x408;
constexpr uint32_t LPTTableSize = 6;

void CopyName(char* Field, size_t Capacity, const std::string& Value)
{
    std::strncpy(Field, Value.c_str(), Capacity - 1);
    Field[Capacity - 1] = '\0';
}

} // namespace

TPortAccess::TPortAccess(TComponent* AOwner) : TComponent(AOwner)
{
    IsWin9x = (GetVersion() & 0x80000000u) != 0;
    ResetPortState();
    CopyName(DriverName, sizeof DriverName, "PORTACC");
    const std::string device = std::string("\\\\.\\") + DriverName;
    if (IsWin9x) {
        CopyName(DriverPath, sizeof DriverPath, device + ".VXD");
        return;
    }
    char windows[128];
    const uint32_t length = GetWindowsDirectoryA(windows, sizeof windows);
    const std::string path = std::string(windows, length < sizeof windows ? length : 0) + "/SYSTEM32/DRIVERS/" +
                             DriverName + ".SYS";
    // A Windows folder that is unknown or too long to leave room for the file name names no
    // driver file: DriverPath stays empty and OpenAccess gives false.
    if (length > 0 && length < sizeof windows && path.size() < sizeof DriverPath)
        CopyName(DriverPath, sizeof DriverPath, path);
    CopyName(DevicePath, sizeof DevicePath, device);
}

TPortAccess::~TPortAccess()
{
    CloseAccess();
    for (int i = 0; i < 3; ++i) Sleep(100); // 0.3 s for a driver service stopped or deleted just now to unload
}

void TPortAccess::ResetPortState()
{
    DriverHandle = INVALID_HANDLE_VALUE;
    ServiceWasInstalled = true;
    ServiceWasRunning = true;
    std::memset(DriverRequest.data(), 0, 24);
    FHardAccess = true;
    FActiveHW = false;
}

uint32_t TPortAccess::IoctlCode(uint32_t N) const
{
    return IsWin9x ? N : 0x80000000u | ((0x800u + N) << 2);
}

uint32_t TPortAccess::RequestField(size_t Offset) const
{
    const Byte* b = DriverRequest.data() + Offset;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void TPortAccess::SetRequestField(size_t Offset, uint32_t Value)
{
    for (size_t i = 0; i < 4; ++i) DriverRequest[Offset + i] = static_cast<Byte>(Value >> (8 * i));
}

bool TPortAccess::CallDriver(uint32_t N)
{
    uint32_t returned = 0;
    return DeviceIoControl(DriverHandle, IoctlCode(N), DriverRequest.data(), DriverRequest.size(),
                           DriverRequest.data(), DriverRequest.size(), &returned, nullptr);
}

bool TPortAccess::OpenAccess()
{
    if (FActiveHW) return true;
    ResetPortState();
    FLPTNumber = 1;
    OpenDriverDevice();
    if (DriverHandle == INVALID_HANDLE_VALUE) return false;
    FActiveHW = true;

    SetRequestField(PhysAddress, LPTTableAddress);
    SetRequestField(MapSize, LPTTableSize);
    // Only a request the driver took has a reply: after a refused one, MappedAddress still
    // holds what an earlier span left there, which must never be taken for the table.
    const bool mapped = CallDriver(IoctlMapMemory);
    LPTTable = mapped ? reinterpret_cast<const uint16_t*>(static_cast<uintptr_t>(RequestField(MappedAddress))) : nullptr;
    if (LPTTable) {
        FLPTCount = 0;
        for (int i = 0; i < 3; ++i)
            if (LPTTable[i] != 0) ++FLPTCount;
    } else {
        FLPTCount = 1;
    }
    FLPTNumber = 1;
    return true;
}

void TPortAccess::OpenDriverDevice()
{
    if (IsWin9x) {
        DriverHandle = CreateFileA(DriverPath, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return;
    }
    if (!DriverPath[0]) return;
    const auto openDevice = [this] {
        DriverHandle = CreateFileA(DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    openDevice();
    if (DriverHandle != INVALID_HANDLE_VALUE) return;
    // The device is there, but the program gave up waiting for the process that has it open:
    // nothing is started for a program that is ending, nor taken for one it did not start.
    if (GetLastError() == ERROR_OPERATION_ABORTED) return;

    ServiceWasRunning = false;
    ScmHandle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!ScmHandle) return;
    if (!StartDriverService()) {
        ServiceWasInstalled = false;
        if (!InstallDriverService() || !StartDriverService()) {
            CloseServiceHandle(ScmHandle);
            ScmHandle = nullptr;
            return;
        }
    }
    openDevice();
    // Given up after this run's own start (the program is ending, another process has the
    // device): what it started or installed is undone now, since no CloseAccess will.
    if (DriverHandle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_OPERATION_ABORTED) {
        StopDriverService();
        if (!ServiceWasInstalled) DeleteDriverService();
    }
    CloseServiceHandle(ScmHandle);
    ScmHandle = nullptr;
}

bool TPortAccess::InstallDriverService()
{
    SC_HANDLE service = CreateServiceA(ScmHandle, DriverName, DriverName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, DriverPath, nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    const uint32_t error = GetLastError();
    if (service) CloseServiceHandle(service);
    return service || error == ERROR_SERVICE_EXISTS;
}

bool TPortAccess::StartDriverService()
{
    SC_HANDLE service = OpenServiceA(ScmHandle, DriverName, SERVICE_ALL_ACCESS);
    if (!service) return false;
    const bool started = StartServiceA(service, 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
    CloseServiceHandle(service);
    return started;
}

void TPortAccess::StopDriverService()
{
    SC_HANDLE service = OpenServiceA(ScmHandle, DriverName, SERVICE_ALL_ACCESS);
    if (!service) return;
    SERVICE_STATUS status{};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(service);
}

void TPortAccess::DeleteDriverService()
{
    SC_HANDLE service = OpenServiceA(ScmHandle, DriverName, SERVICE_ALL_ACCESS);
    if (!service) return;
    DeleteService(service);
    CloseServiceHandle(service);
}

void TPortAccess::CloseAccess()
{
    if (!FActiveHW) return;
    Sleep(100);
    SetHardAccess(true);
    Sleep(100);
    SetRequestField(MappedAddress, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(LPTTable)));
    SetRequestField(MapSize, LPTTableSize);
    Sleep(100);
    CallDriver(IoctlUnmapMemory);
    LPTTable = nullptr; // unmapped now
    Sleep(100);
    ReleaseDriver();
    Sleep(100);
    FActiveHW = false;
}

void TPortAccess::ReleaseDriver()
{
    CloseHandle(DriverHandle);
    DriverHandle = INVALID_HANDLE_VALUE;
    if (IsWin9x) return;
    ScmHandle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!ScmHandle) return;
    if (!ServiceWasRunning) StopDriverService();
    if (!ServiceWasInstalled) DeleteDriverService();
    CloseServiceHandle(ScmHandle);
    ScmHandle = nullptr;
}

Byte TPortAccess::InPort(uint16_t Port)
{
    if (!FActiveHW) return 0xFF;
    if (!FHardAccess) return PortInByte(Port);
    SetRequestField(PortNumber, Port);
    CallDriver(IoctlReadPort);
    // The low byte of PortValue as the buffer holds it, also after a refused request.
    return DriverRequest[PortValue];
}

void TPortAccess::OutPort(uint16_t Port, Byte Value)
{
    if (!FActiveHW) return;
    if (!FHardAccess) return PortOutByte(Port, Value);
    SetRequestField(PortNumber, Port);
    SetRequestField(PortValue, Value);
    CallDriver(IoctlWritePort);
}

void TPortAccess::SetLPTNumber(Byte N)
{
    if (FActiveHW && N >= 1 && N <= FLPTCount) FLPTNumber = N;
}

void TPortAccess::SetHardAccess(bool Value)
{
    FHardAccess = Value;
}
