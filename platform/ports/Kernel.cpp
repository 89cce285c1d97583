#include "Kernel.h"

#include "DeviceWait.h"
#include "Files.h"
#include "LayerFiles.h"
#include "KernelDrivers.h"
#include "Services.h"
#include "SysUtils.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

std::optional<uint32_t> gVersion;

// Windows XP's version word: major 5, minor 1, build 2600, NT family.
constexpr uint32_t kNtVersion = 0x0A280105;
const std::string kDevicePrefix = "\\\\.\\";

struct TDeviceObject {
    std::unique_ptr<TKernelDriver> Driver;
    int Lock = -1; // the device's lock file, locked while the device is open
    std::vector<uint8_t> Buffer; // the driver's copy of each request, kept to spare an allocation
    ~TDeviceObject()
    {
        Driver.reset();
        if (Lock >= 0) ::close(Lock);
    }
};

std::set<TDeviceObject*> gDevices;

bool EndsWithVxd(const std::string& Name)
{
    return Name.size() >= 4 && SameText(Name.substr(Name.size() - 4), ".VXD");
}

// Whether the lock file of Lock is that of a device this process has open.
bool OpenHere(int Lock)
{
    struct stat wanted {};
    if (::fstat(Lock, &wanted) != 0) return false;
    return std::any_of(gDevices.begin(), gDevices.end(), [&](const TDeviceObject* o) {
        struct stat held {};
        return ::fstat(o->Lock, &held) == 0 && held.st_dev == wanted.st_dev && held.st_ino == wanted.st_ino;
    });
}

HANDLE Fail(uint32_t Error)
{
    SetLastError(Error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

uint32_t GetVersion()
{
    return gVersion.value_or(kNtVersion);
}

void SetVersionSeam(std::optional<uint32_t> Value)
{
    gVersion = Value;
}

uint32_t GetWindowsDirectoryA(char* Buffer, uint32_t Size)
{
    const std::string dir = GetWindowsDirectoryA();
    if (dir.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!Buffer || dir.size() + 1 > Size) return static_cast<uint32_t>(dir.size() + 1);
    std::memcpy(Buffer, dir.c_str(), dir.size() + 1);
    return static_cast<uint32_t>(dir.size());
}

bool IsDriverDevicePath(const std::string& FileName)
{
    return FileName.size() > kDevicePrefix.size() && FileName.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0 &&
           FileName.find_first_of("\\/", kDevicePrefix.size()) == std::string::npos;
}

HANDLE OpenDriverDevicePath(const std::string& FileName, uint32_t /*DesiredAccess*/, uint32_t /*ShareMode*/,
                            uint32_t CreationDisposition, uint32_t FlagsAndAttributes)
{
    const std::string name = FileName.substr(kDevicePrefix.size());
    const bool vxd = EndsWithVxd(name);
    // Only a handle that unloads the driver when it closes loads one.
    if (vxd && !(FlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE)) return Fail(ERROR_INVALID_PARAMETER);
    if (!vxd && CreationDisposition != OPEN_EXISTING) return Fail(ERROR_INVALID_PARAMETER);
    const TDriverLoad how = vxd ? TDriverLoad::Vxd : TDriverLoad::Service;
    // One chain of folders for the whole opening: the database, the driver file, its lock and
    // the files its driver opens, also after a wait.
    const TLayerUse use;
    for (;;) {
        const std::string file = vxd ? GetWindowsDirectoryA() + "/SYSTEM/" + name : RunningDriverOfDevice(name);
        if (file.empty()) return Fail(ERROR_FILE_NOT_FOUND);
        auto device = std::make_unique<TDeviceObject>();
        uint32_t error = ERROR_SUCCESS;
        device->Driver = LoadKernelDriver(file, how, error);
        if (!device->Driver) return Fail(error);
        // One opening at a time, across processes: the lock goes with the handle. It is a file of
        // its own beside the driver file that only the service manager's users may open; on the
        // driver file, which all may read, anyone could hold it and keep the device shut.
        device->Lock = OpenLayerLock(DeviceLockFile(file));
        if (device->Lock < 0) return Fail(ERROR_ACCESS_DENIED);
        if (::flock(device->Lock, LOCK_EX | LOCK_NB) != 0) {
            // Open in this process, the device would never be let go of while it waits.
            if (errno != EWOULDBLOCK || OpenHere(device->Lock)) return Fail(ERROR_ACCESS_DENIED);
            // Another process has it: once it has closed it, look again as from nothing, since
            // its closing may have stopped the service it started, or removed it.
            const TDeviceLock lock = WaitForDeviceLock(device->Lock);
            if (lock == TDeviceLock::GivenUp) return Fail(ERROR_OPERATION_ABORTED);
            if (lock != TDeviceLock::Had) return Fail(ERROR_ACCESS_DENIED);
            continue;
        }
        if (!device->Driver->Open(error)) return Fail(error);
        return *gDevices.insert(device.release()).first;
    }
}

bool CloseDriverDeviceHandle(HANDLE Object)
{
    auto o = static_cast<TDeviceObject*>(Object);
    if (!gDevices.count(o)) return false;
    gDevices.erase(o);
    delete o;
    return true;
}

bool DriverDeviceIsSimulated(HANDLE Device)
{
    const auto o = static_cast<TDeviceObject*>(Device);
    return gDevices.count(o) && o->Driver->Simulated();
}

bool DeviceIoControl(HANDLE Device, uint32_t IoControlCode, const void* InBuffer, uint32_t InSize, void* OutBuffer,
                     uint32_t OutSize, uint32_t* BytesReturned, void* Overlapped)
{
    if (BytesReturned) *BytesReturned = 0;
    auto o = static_cast<TDeviceObject*>(Device);
    if (!gDevices.count(o)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (Overlapped || (InSize && !InBuffer) || (OutSize && !OutBuffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // The driver works on a buffer of its own; the caller's buffers may be one and the same.
    std::vector<uint8_t>& buffer = o->Buffer;
    buffer.assign(std::max(InSize, OutSize), 0);
    if (InSize) std::memcpy(buffer.data(), InBuffer, InSize);
    uint32_t returned = 0, error = ERROR_SUCCESS;
    if (!o->Driver->Control(IoControlCode, buffer, returned, error)) {
        SetLastError(error);
        return false;
    }
    returned = std::min(returned, OutSize);
    if (returned) std::memcpy(OutBuffer, buffer.data(), returned);
    if (BytesReturned) *BytesReturned = returned;
    return true;
}
