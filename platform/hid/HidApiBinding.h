// Inside the layer: the hidapi entry points bound from the HID library, either loaded at run
// time (Library.cpp) or linked when the program is loaded (HidLinked.cpp). Hid.cpp,
// SetupApi.cpp and Devices.cpp call through it and fail cleanly on a null entry (nothing
// bound, or the library lacks it).
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
    decltype(&hid_write) Write = nullptr;
};

// The binding in force: the library loaded at run time while a HID module is loaded, else the
// one linked with the program; all null when there is neither.
const THidApi& BoundHidApi();
// Makes Linked the binding of a program that links the HID library; called before main.
void LinkHidApi(const THidApi& Linked);

// A HID device opened by CreateFileA, or nullptr when Handle is something else.
hid_device* HidDeviceOfHandle(void* Handle);
// The same, for a report: the device is taken for the handle first (Devices.h, the hold),
// waiting while another handle holds it; nullptr when it cannot be taken.
hid_device* HeldHidDeviceOfHandle(void* Handle);
