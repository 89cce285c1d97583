#include "HidTransport.h"

#include "Hid.h"
#include "Library.h"
#include "SetupApi.h"

namespace loader {

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

} // namespace

void SelectDeviceIds(Byte Profile)
{
    const TKeypadIdentity identity = Profile == kpFeatureReport ? FeatureReportKeypad : TKeypadIdentity{0, 0};
    WantedVendorId = identity.VendorId;
    WantedProductId = identity.ProductId;
}

TFailed LoadHidApi()
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
    KeypadHandle = SearchKeypadInterface({pHidD_GetHidGuid, pHidD_GetAttributes, pSetupDiGetClassDevsA,
                                          pSetupDiEnumDeviceInterfaces, pSetupDiGetDeviceInterfaceDetailA,
                                          pSetupDiDestroyDeviceInfoList},
                                         WantedVendorId, WantedProductId, 0);
    return KeypadHandle != nullptr;
}

TFailed SendFeatureByte(Byte B)
{
    if (TKeypadIdentity{WantedVendorId, WantedProductId} != FeatureReportKeypad) return false;
    return !SendFeatureReport(pHidD_SetFeature, KeypadHandle, B);
}

void CloseKeypadDevice()
{
    CloseHandle(KeypadHandle);
    KeypadHandle = nullptr;
    if (HidApiLoaded) UnloadHidApi();
}

} // namespace loader
