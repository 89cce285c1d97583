#include "SetupApi.h"

#include "HidApiBinding.h"

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The paths are copied out and the library's enumeration freed at once, so a list stays
// valid whatever the library does later.
struct TDeviceInfoList {
    std::vector<std::string> Paths;
};

std::set<TDeviceInfoList*> gLists;

TDeviceInfoList* ListOf(HDEVINFO Handle)
{
    auto l = static_cast<TDeviceInfoList*>(Handle);
    return gLists.count(l) ? l : nullptr;
}

GUID HidClass()
{
    GUID g{};
    HidD_GetHidGuid(&g);
    return g;
}

} // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, const char* /*Enumerator*/, void* /*HwndParent*/, uint32_t Flags)
{
    const THidApi& hid = BoundHidApi();
    if (!ClassGuid || !(*ClassGuid == HidClass()) || !(Flags & DIGCF_DEVICEINTERFACE)) return INVALID_DEVINFO_HANDLE;
    if (!hid.Enumerate || !hid.FreeEnumeration) return INVALID_DEVINFO_HANDLE;
    auto list = std::make_unique<TDeviceInfoList>();
    hid_device_info* all = hid.Enumerate(0, 0);
    for (hid_device_info* d = all; d; d = d->next)
        if (d->path) list->Paths.emplace_back(d->path);
    hid.FreeEnumeration(all);
    return *gLists.insert(list.release()).first;
}

bool SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, void* /*DeviceInfoData*/, const GUID* InterfaceClassGuid,
                                 uint32_t MemberIndex, SP_DEVICE_INTERFACE_DATA* Data)
{
    TDeviceInfoList* list = ListOf(DeviceInfoSet);
    if (!list || !InterfaceClassGuid || !Data || Data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return false;
    if (MemberIndex >= list->Paths.size()) return false;
    Data->InterfaceClassGuid = *InterfaceClassGuid;
    Data->Flags = 1; // active
    Data->Reserved = MemberIndex;
    return true;
}

bool SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet, const SP_DEVICE_INTERFACE_DATA* Data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* Detail, uint32_t DetailSize,
                                      uint32_t* RequiredSize, void* /*DeviceInfoData*/)
{
    TDeviceInfoList* list = ListOf(DeviceInfoSet);
    if (!list || !Data || Data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || Data->Reserved >= list->Paths.size())
        return false;
    const std::string& path = list->Paths[Data->Reserved];
    const uint64_t needed = SetupDiDetailPathOffset + uint64_t(path.size()) + 1;
    if (needed > UINT32_MAX) return false;
    if (RequiredSize) *RequiredSize = static_cast<uint32_t>(needed);
    if (!Detail || DetailSize < SetupDiDetailSizeField) return false;
    auto* bytes = reinterpret_cast<unsigned char*>(Detail);
    uint32_t sizeField = 0;
    std::memcpy(&sizeField, bytes, sizeof sizeField);
    if (sizeField != SetupDiDetailSizeField || DetailSize < needed) return false;
    std::memcpy(bytes + SetupDiDetailPathOffset, path.c_str(), path.size() + 1);
    return true;
}

bool SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    TDeviceInfoList* list = ListOf(DeviceInfoSet);
    if (!list) return false;
    std::unique_ptr<TDeviceInfoList> owned(list); // the set of open lists owned it until here
    gLists.erase(list);
    return true;
}
