// The loader's link to the USB keypad: binds "HID.DLL" and "SETUPAPI.DLL" at run time, finds
// the keypad by vendor and product id among the present HID interfaces and carries one byte
// per feature report. Free routines over module state, one device per process.
#pragma once
#include "Devices.h"
#include "KeypadLink.h"

#include <cstdint>

namespace loader {

// The one profile the loader selects is kpFeatureReport (KeypadLink.h). Any other profile wants
// vendor and product 0, which no keypad has, and SendFeatureByte then sends nothing.
extern bool HidApiLoaded;
extern HANDLE KeypadHandle;
extern uint16_t WantedVendorId;
extern uint16_t WantedProductId;

void SelectDeviceIds(Byte Profile);
// True = failed: a library or one of the eight entry points is missing (libraries loaded so
// far are freed again). Returns false at once when already bound.
bool LoadHidApi();
void UnloadHidApi();
// True when the first present interface with the wanted ids is open in KeypadHandle. Binds
// the libraries first when needed; a missing library counts as no keypad. The search never
// writes outside a detail block it allocated: an interface whose detail cannot be had whole
// is passed over.
bool FindKeypadDevice();
// True = failed. Sends one byte (nothing, and false, unless the keypad's ids are wanted),
// then pauses 10 ms whatever the result. The first byte takes the keypad for this program
// until CloseKeypadDevice, waiting while another program (a second loader, the tray utility)
// holds it, so two streams never interleave.
bool SendFeatureByte(Byte B);
// Closes the device and unbinds the libraries; runs once per download.
void CloseKeypadDevice();

} // namespace loader
