// Device-interface enumeration, over the HID library bound by LoadLibraryA("SETUPAPI.DLL"):
// the one class served is the HID class (HidD_GetHidGuid), one interface per HID device path,
// in the order the library lists them. Structures keep the platform's size rules.
#pragma once
#include "Hid.h"

#include <cstdint>

using HDEVINFO = void*;
inline HDEVINFO const INVALID_DEVINFO_HANDLE = reinterpret_cast<HDEVINFO>(-1);

constexpr uint32_t DIGCF_PRESENT = 0x02;
constexpr uint32_t DIGCF_DEVICEINTERFACE = 0x10;

// cbSize must be 28 (sizeof) on the way in.
struct SP_DEVICE_INTERFACE_DATA {
    uint32_t cbSize;
    GUID InterfaceClassGuid;
    uint32_t Flags;
    uint32_t Reserved; // the member index
};
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28);

// A block of variable size: cbSize (which must be 5, SetupDiDetailSizeField) followed by the
// device path and its terminating zero. Address it as bytes: a block may be shorter than
// this declaration.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    uint32_t cbSize;
    char DevicePath[1];
};
constexpr uint32_t SetupDiDetailSizeField = 5;
constexpr uint32_t SetupDiDetailPathOffset = 4;

// The present HID interfaces as one list, or INVALID_DEVINFO_HANDLE when ClassGuid is not the
// HID class, Flags lack DIGCF_DEVICEINTERFACE, or the library cannot enumerate. Free it with
// SetupDiDestroyDeviceInfoList.
HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, const char* Enumerator, void* HwndParent, uint32_t Flags);
// Interface number MemberIndex of the list into Data (cbSize must be 28). False once
// MemberIndex is past the last interface, or on a bad argument.
bool SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, void* DeviceInfoData, const GUID* InterfaceClassGuid,
                                 uint32_t MemberIndex, SP_DEVICE_INTERFACE_DATA* Data);
// The detail block of an interface. *RequiredSize (when given) is always set to the size the
// block needs. With no block (Detail null, DetailSize 0) it returns false after that; with a
// block whose size field is not 5, or that is smaller than needed, false with nothing written
// into it; else true with the path stored. Never writes past DetailSize bytes.
bool SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet, const SP_DEVICE_INTERFACE_DATA* Data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* Detail, uint32_t DetailSize,
                                      uint32_t* RequiredSize, void* DeviceInfoData);
// Frees a list; false for a handle that is no list.
bool SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

using TSetupDiGetClassDevsA = HDEVINFO (*)(const GUID*, const char*, void*, uint32_t);
using TSetupDiEnumDeviceInterfaces = bool (*)(HDEVINFO, void*, const GUID*, uint32_t, SP_DEVICE_INTERFACE_DATA*);
using TSetupDiGetDeviceInterfaceDetailA = bool (*)(HDEVINFO, const SP_DEVICE_INTERFACE_DATA*,
                                                   SP_DEVICE_INTERFACE_DETAIL_DATA_A*, uint32_t, uint32_t*, void*);
using TSetupDiDestroyDeviceInfoList = bool (*)(HDEVINFO);
