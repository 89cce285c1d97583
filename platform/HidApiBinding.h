// Inside the layer: the hidapi entry points bound from the loaded HID library. Only Library.cpp
// fills it; Hid.cpp, SetupApi.cpp and Devices.cpp call through it and fail cleanly on a null
// entry (nothing bound, or the library lacks it).
#pragma once
#include <hidapi/hidapi.h>

struct THidApi {
    decltype(&hid_init) Init = nullptr;
    decltype(&hid_enumerate) Enumerate = nullptr;
    decltype(&hid_free_enumeration) FreeEnumeration = nullptr;
    decltype(&hid_open_path) OpenPath = nullptr;
    decltype(&hid_close) Close = nullptr;
    decltype(&hid_send_feature_report) SendFeatureReport = nullptr;
    decltype(&hid_get_feature_report) GetFeatureReport = nullptr;
    decltype(&hid_get_device_info) GetDeviceInfo = nullptr;
};

// The binding in force; all null while no HID module is loaded.
const THidApi& BoundHidApi();

// A HID device opened by CreateFileA, or nullptr when Handle is something else.
hid_device* HidDeviceOfHandle(void* Handle);
