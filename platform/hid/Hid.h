// platform_devices stands in for the platform's device access: binding libraries at run time,
// the HID class, the SetupAPI device enumeration, and file and device handles with the thread's
// pause. It uses platform_core, and platform_ports for the devices of kernel drivers.
//
// The HID class interface, over the HID library bound by LoadLibraryA("HID.DLL"). A program
// reaches these functions through GetProcAddress; each fails (false, nothing sent) while the
// hidapi function it stands on is not bound.
#pragma once
#include "Handles.h"

#include <cstdint>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
bool operator==(const GUID& A, const GUID& B);

// The platform's HID attributes; Size must be 12 (sizeof) on the way in.
struct HIDD_ATTRIBUTES {
    uint32_t Size;
    uint16_t VendorID;
    uint16_t ProductID;
    uint16_t VersionNumber;
};
static_assert(sizeof(HIDD_ATTRIBUTES) == 12);

// The class identifier of HID device interfaces, for SetupDiGetClassDevsA. Stands on hid_init.
void HidD_GetHidGuid(GUID* HidGuid);
// Vendor, product and release of an opened HID device. False, Attributes left as they are,
// when Attributes->Size is not 12, the handle is no HID device or the device gives no
// information. Stands on hid_get_device_info.
bool HidD_GetAttributes(HANDLE HidDeviceObject, HIDD_ATTRIBUTES* Attributes);
// Sends one feature report: ReportBuffer[0] is the report id. True only when all
// ReportBufferLength bytes were taken by the device. The first report through a handle takes
// the device for it (Devices.h: one program at a time). Stands on hid_send_feature_report.
bool HidD_SetFeature(HANDLE HidDeviceObject, void* ReportBuffer, uint32_t ReportBufferLength);
// Reads the feature report whose id stands in ReportBuffer[0] into the buffer. True when the
// device answered. Stands on hid_get_feature_report.
bool HidD_GetFeature(HANDLE HidDeviceObject, void* ReportBuffer, uint32_t ReportBufferLength);

// The entry points' types, as a program binds them.
using THidD_GetHidGuid = void (*)(GUID*);
using THidD_GetAttributes = bool (*)(HANDLE, HIDD_ATTRIBUTES*);
using THidD_SetFeature = bool (*)(HANDLE, void*, uint32_t);
using THidD_GetFeature = bool (*)(HANDLE, void*, uint32_t);
