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
    int Fd = -1;
};

std::set<THandleObject*> gHandles;
TSleepSeam gSleep = nullptr;

THandleObject* ObjectOf(HANDLE Handle)
{
    auto o = static_cast<THandleObject*>(Handle);
    return gHandles.count(o) ? o : nullptr;
}

HANDLE Keep(std::unique_ptr<THandleObject> Object)
{
    return *gHandles.insert(Object.release()).first;
}

// A path the HID library itself lists: only those open through it.
bool IsHidPath(const THidApi& Hid, const std::string& Path)
{
    if (!Hid.Enumerate || !Hid.FreeEnumeration) return false;
    bool found = false;
    hid_device_info* all = Hid.Enumerate(0, 0);
    for (hid_device_info* d = all; d && !found; d = d->next)
        found = d->path && Path == d->path;
    Hid.FreeEnumeration(all);
    return found;
}

} // namespace

hid_device* HidDeviceOfHandle(void* Handle)
{
    THandleObject* o = ObjectOf(Handle);
    return o ? o->Hid : nullptr;
}

HANDLE CreateFileA(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                   void* /*SecurityAttributes*/, uint32_t CreationDisposition, uint32_t FlagsAndAttributes,
                   HANDLE /*TemplateFile*/)
{
    if (IsDriverDevicePath(FileName))
        return OpenDriverDevicePath(FileName, DesiredAccess, ShareMode, CreationDisposition, FlagsAndAttributes);
    if (CreationDisposition != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
    auto object = std::make_unique<THandleObject>();
    const THidApi& hid = BoundHidApi();
    if (hid.OpenPath && IsHidPath(hid, FileName)) {
        object->Hid = hid.OpenPath(FileName.c_str());
        if (!object->Hid) return INVALID_HANDLE_VALUE;
        return Keep(std::move(object));
    }
    const bool r = DesiredAccess & GENERIC_READ, w = DesiredAccess & GENERIC_WRITE;
    const int mode = r && w ? O_RDWR : w ? O_WRONLY : O_RDONLY;
    object->Fd = open(FileName.c_str(), mode | O_CLOEXEC);
    if (object->Fd < 0) return INVALID_HANDLE_VALUE;
    return Keep(std::move(object));
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
