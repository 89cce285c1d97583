#include "Devices.h"

#include "HidApiBinding.h"
#include "Kernel.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <set>
#include <thread>

namespace {

struct THandleObject {
    hid_device* Hid = nullptr;
    std::string HidPath;
    int Hold = -1; // the HID device's node, locked, once a report went through the handle
    int Fd = -1;
    uint32_t Access = 0;
    // Tells this handle from a later one that the allocator put at the same address.
    uint64_t Serial = 0;
};

std::set<THandleObject*> gHandles;
uint64_t gLastSerial = 0;
TSleepSeam gSleep = nullptr;

THandleObject* ObjectOf(HANDLE Handle)
{
    auto o = static_cast<THandleObject*>(Handle);
    return gHandles.count(o) ? o : nullptr;
}

HANDLE Keep(std::unique_ptr<THandleObject> Object)
{
    Object->Serial = ++gLastSerial;
    return *gHandles.insert(Object.release()).first;
}

struct THidUsage {
    unsigned short Page, Usage;
};

// The platform's collections that the system opens exclusively for its own input: mouse,
// keyboard and keypad, pens, touch screen and touch pad. Others open with any access.
bool HeldBySystem(const THidUsage& U)
{
    if (U.Page == 0x01) return U.Usage == 0x01 || U.Usage == 0x02 || U.Usage == 0x06 || U.Usage == 0x07;
    if (U.Page == 0x0D) return U.Usage == 0x01 || U.Usage == 0x02 || U.Usage == 0x04 || U.Usage == 0x05;
    return false;
}

// The usage of a path the HID library itself lists; only those open through it.
bool FindHidPath(const THidApi& Hid, const std::string& Path, THidUsage& Usage)
{
    if (!Hid.Enumerate || !Hid.FreeEnumeration) return false;
    bool found = false;
    hid_device_info* all = Hid.Enumerate(0, 0);
    for (hid_device_info* d = all; d && !found; d = d->next) {
        found = d->path && Path == d->path;
        if (found) Usage = {d->usage_page, d->usage};
    }
    Hid.FreeEnumeration(all);
    return found;
}

} // namespace

hid_device* HidDeviceOfHandle(void* Handle)
{
    THandleObject* o = ObjectOf(Handle);
    return o ? o->Hid : nullptr;
}

hid_device* HeldHidDeviceOfHandle(void* Handle)
{
    THandleObject* o = ObjectOf(Handle);
    if (!o || !o->Hid) return nullptr;
    if (o->Hold >= 0) return o->Hid;
    // The node the library opened is locked itself, not a file beside it that another user
    // could make or hold; a second opening of our own carries the lock, since the library's
    // is out of reach.
    const int fd = ::open(o->HidPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    // What a wait step ran may have closed the handle meanwhile, and opened another at its
    // address.
    const uint64_t serial = o->Serial;
    const auto gone = [Handle, serial] {
        const THandleObject* now = ObjectOf(Handle);
        return !now || now->Serial != serial;
    };
    if (WaitForDeviceLock(fd, gone) != TDeviceLock::Had) {
        ::close(fd);
        return nullptr;
    }
    o->Hold = fd;
    return o->Hid;
}

HANDLE CreateFileA(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                   void* /*SecurityAttributes*/, uint32_t CreationDisposition, uint32_t FlagsAndAttributes,
                   HANDLE /*TemplateFile*/)
{
    if (IsDriverDevicePath(FileName))
        return OpenDriverDevicePath(FileName, DesiredAccess, ShareMode, CreationDisposition, FlagsAndAttributes);
    if (CreationDisposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
    auto object = std::make_unique<THandleObject>();
    object->Access = DesiredAccess;
    const THidApi& hid = BoundHidApi();
    THidUsage usage{};
    if (hid.OpenPath && FindHidPath(hid, FileName, usage)) {
        if ((DesiredAccess & (GENERIC_READ | GENERIC_WRITE)) && HeldBySystem(usage)) return INVALID_HANDLE_VALUE;
        object->Hid = hid.OpenPath(FileName.c_str());
        if (!object->Hid) return INVALID_HANDLE_VALUE;
        object->HidPath = FileName;
        return Keep(std::move(object));
    }
    const bool r = DesiredAccess & GENERIC_READ, w = DesiredAccess & GENERIC_WRITE;
    const int mode = r && w ? O_RDWR : w ? O_WRONLY : O_RDONLY;
    object->Fd = open(FileName.c_str(), mode | O_CLOEXEC);
    if (object->Fd < 0) return INVALID_HANDLE_VALUE;
    return Keep(std::move(object));
}

bool WriteFile(HANDLE File, const void* Buffer, uint32_t NumberOfBytesToWrite, uint32_t* NumberOfBytesWritten,
               void* Overlapped)
{
    if (NumberOfBytesWritten) *NumberOfBytesWritten = 0;
    THandleObject* o = ObjectOf(File);
    if (!o || !Buffer || Overlapped || !(o->Access & GENERIC_WRITE)) return false;
    const auto* bytes = static_cast<const unsigned char*>(Buffer);
    long taken = -1;
    if (o->Hid) {
        // o is not used past the hold: what a wait step ran may have closed the handle.
        hid_device* dev = BoundHidApi().Write && NumberOfBytesToWrite > 0 ? HeldHidDeviceOfHandle(File) : nullptr;
        if (dev && BoundHidApi().Write) taken = BoundHidApi().Write(dev, bytes, NumberOfBytesToWrite);
    } else {
        taken = write(o->Fd, bytes, NumberOfBytesToWrite);
    }
    if (taken < 0) return false;
    if (NumberOfBytesWritten) *NumberOfBytesWritten = static_cast<uint32_t>(taken);
    return true;
}

bool CloseHandle(HANDLE Object)
{
    if (CloseDriverDeviceHandle(Object)) return true;
    THandleObject* o = ObjectOf(Object);
    if (!o) return false;
    std::unique_ptr<THandleObject> owned(o);
    gHandles.erase(o);
    if (o->Hid) {
        // A device outliving its library cannot be closed any more; the process ends soon.
        if (BoundHidApi().Close) BoundHidApi().Close(o->Hid);
        // Let go only once the device is closed: the next holder finds it as a first opening.
        if (o->Hold >= 0) ::close(o->Hold);
    } else if (o->Fd >= 0) {
        close(o->Fd);
    }
    return true;
}

void Sleep(uint32_t Milliseconds)
{
    if (gSleep) {
        gSleep(Milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

void SetSleepSeam(TSleepSeam Seam)
{
    gSleep = Seam;
}
