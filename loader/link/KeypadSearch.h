// The search for a keypad among the present HID interfaces, the same in both programs: each
// interface is opened in turn and the first whose attributes show the wanted ids is kept open.
// Each program hands in its own entry points: the loader's bound at run time, the tray's
// linked when it is loaded.
#pragma once
#include "Devices.h"
#include "Hid.h"
#include "SetupApi.h"

#include <cstdint>

namespace loader {

struct THidSearchEntryPoints {
    THidD_GetHidGuid HidD_GetHidGuid;
    THidD_GetAttributes HidD_GetAttributes;
    TSetupDiGetClassDevsA SetupDiGetClassDevsA;
    TSetupDiEnumDeviceInterfaces SetupDiEnumDeviceInterfaces;
    TSetupDiGetDeviceInterfaceDetailA SetupDiGetDeviceInterfaceDetailA;
    TSetupDiDestroyDeviceInfoList SetupDiDestroyDeviceInfoList;
};

// The first present interface, in enumeration order, that opens with DesiredAccess and whose
// attributes can be read and show VendorId and ProductId, left open; nullptr when there is
// none. Every other interface opened is closed again. An interface whose detail block cannot
// be had whole is passed over: the search never writes outside a block it allocated.
HANDLE SearchKeypadInterface(const THidSearchEntryPoints& Calls, uint16_t VendorId, uint16_t ProductId,
                             uint32_t DesiredAccess);

} // namespace loader
