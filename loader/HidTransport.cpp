#include "HidTransport.h"

#include "Hid.h"
#include "Library.h"
#include "SetupApi.h"

#include <cstring>
#include <vector>

bool HidApiLoaded = false;
HANDLE KeypadHandle = nullptr;
uint16_t WantedVendorId = 0;
uint16_t WantedProductId = 0;

namespace {

HMODULE HidModule = nullptr;
HMODULE SetupApiModule = nullptr;

THidD_GetHidGuid pHidD_GetHidGuid = nullptr;
THidD_GetAttributes pHidD_GetAttributes = nullptr;
THidD_SetFeature pHidD_SetFeature = nullptr;
THidD_GetFeature pHidD_GetFeature = nullptr; // required of the library, never called
TSetupDiGetClassDevsA pSetupDiGetClassDevsA = nullptr;
TSetupDiEnumDeviceInterfaces pSetupDiEnumDeviceInterfaces = nullptr;
TSetupDiGetDeviceInterfaceDetailA pSetupDiGetDeviceInterfaceDetailA = nullptr;
TSetupDiDestroyDeviceInfoList pSetupDiDestroyDeviceInfoList = nullptr;

template <class T>
bool Bind(T& Entry, HMODULE Module, const char* Name)
{
    Entry = reinterpret_cast<T>(GetProcAddress(Module, Name));
    return Entry != nullptr;
}

// A detail block no larger than this is believed; a path longer than a page is no device.
constexpr uint32_t LargestDetailBlock = 4096;

// The path of one interface, or "" when its detail block cannot be had whole.
std::string InterfacePath(HDEVINFO List, const SP_DEVICE_INTERFACE_DATA& Interface)
{
    uint32_t required = 0;
    pSetupDiGetDeviceInterfaceDetailA(List, &Interface, nullptr, 0, &required, nullptr);
    if (required <= SetupDiDetailPathOffset + 1 || required > LargestDetailBlock) return "";
    std::vector<unsigned char> block(required, 0);
    const uint32_t sizeField = SetupDiDetailSizeField;
    std::memcpy(block.data(), &sizeField, sizeof sizeField);
    if (!pSetupDiGetDeviceInterfaceDetailA(List, &Interface,
                                           reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data()),
                                           required, nullptr, nullptr))
        return "";
    const char* path = reinterpret_cast<const char*>(block.data()) + SetupDiDetailPathOffset;
    return std::string(path, strnlen(path, required - SetupDiDetailPathOffset));
}

} // namespace

void SelectDeviceIds(Byte Profile)
{
    WantedVendorId = Profile == kpFeatureReport ? KeypadVendorId : 0;
    WantedProductId = Profile == kpFeatureReport ? KeypadProductId : 0;
}

bool LoadHidApi()
{
    if (HidApiLoaded) return false;
    HidModule = LoadLibraryA("HID.DLL");
    if (!HidModule) return true;
    SetupApiModule = LoadLibraryA("SETUPAPI.DLL");
    if (!SetupApiModule) {
        UnloadHidApi();
        return true;
    }
    const bool hid = Bind(pHidD_GetHidGuid, HidModule, "HidD_GetHidGuid") &&
                     Bind(pHidD_GetAttributes, HidModule, "HidD_GetAttributes") &&
                     Bind(pHidD_SetFeature, HidModule, "HidD_SetFeature") &&
                     Bind(pHidD_GetFeature, HidModule, "HidD_GetFeature");
    const bool setup = hid && Bind(pSetupDiGetClassDevsA, SetupApiModule, "SetupDiGetClassDevsA") &&
                       Bind(pSetupDiEnumDeviceInterfaces, SetupApiModule, "SetupDiEnumDeviceInterfaces") &&
                       Bind(pSetupDiGetDeviceInterfaceDetailA, SetupApiModule, "SetupDiGetDeviceInterfaceDetailA") &&
                       Bind(pSetupDiDestroyDeviceInfoList, SetupApiModule, "SetupDiDestroyDeviceInfoList");
    if (!setup) {
        UnloadHidApi();
        return true;
    }
    HidApiLoaded = true;
    return false;
}

void UnloadHidApi()
{
    if (HidModule) FreeLibrary(HidModule);
    if (SetupApiModule) FreeLibrary(SetupApiModule);
    HidModule = SetupApiModule = nullptr;
    pHidD_GetHidGuid = nullptr;
    pHidD_GetAttributes = nullptr;
    pHidD_SetFeature = nullptr;
    pHidD_GetFeature = nullptr;
    pSetupDiGetClassDevsA = nullptr;
    pSetupDiEnumDeviceInterfaces = nullptr;
    pSetupDiGetDeviceInterfaceDetailA = nullptr;
    pSetupDiDestroyDeviceInfoList = nullptr;
    HidApiLoaded = false;
}

bool FindKeypadDevice()
{
    if (!HidApiLoaded) LoadHidApi();
    if (!HidApiLoaded) return false;
    KeypadHandle = nullptr;
    GUID hidGuid{};
    pHidD_GetHidGuid(&hidGuid);
    HDEVINFO list = pSetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    bool found = false;
    SP_DEVICE_INTERFACE_DATA interface{};
    interface.cbSize = sizeof interface;
    for (uint32_t index = 0; !found && pSetupDiEnumDeviceInterfaces(list, nullptr, &hidGuid, index, &interface);
         ++index) {
        const std::string path = InterfacePath(list, interface);
        if (path.empty()) continue;
        HANDLE device = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        pHidD_GetAttributes(device, &attributes); // an unreadable device shows ids 0 and is passed over
        if (attributes.VendorID == WantedVendorId && attributes.ProductID == WantedProductId &&
            device != INVALID_HANDLE_VALUE) {
            KeypadHandle = device;
            found = true;
        } else {
            CloseHandle(device);
        }
    }
    pSetupDiDestroyDeviceInfoList(list);
    return found;
}

bool SendFeatureByte(Byte B)
{
    if (WantedVendorId != KeypadVendorId || WantedProductId != KeypadProductId) return false;
    TKeypadFeatureReport report = KeypadFeatureReport(B);
    const bool sent = pHidD_SetFeature && pHidD_SetFeature(KeypadHandle, report.data(), report.size());
    Sleep(10);
    return !sent;
}

void CloseKeypadDevice()
{
    CloseHandle(KeypadHandle);
    KeypadHandle = nullptr;
    if (HidApiLoaded) UnloadHidApi();
}
