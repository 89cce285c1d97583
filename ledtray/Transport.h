// The tray utility's link to the keypad: one two-byte command to the first keypad reached,
// trying a USB keypad with the output-report identity, then one with the feature-report
// identity, then the PS/2 keyboard controller through the port component. Free routines
// over module state; nothing is read back from the keypad.
#pragma once
#include "Devices.h"
#include "KeypadLink.h"

#include <array>
#include <cstdint>
#include <functional>

class TPortAccess;

namespace tray {

// The keypad link's names the tray speaks in.
using loader::CommandIntroducer;
using loader::kcFlashLED;
using loader::kcGetVersion;
using loader::kcLEDOff;
using loader::kcLEDOn;
using loader::kpFeatureReport;
using loader::TKeypadIdentity;

constexpr Byte kpOutputReport = 0;

// One row per KeypadProfile the tray tries, in the order it tries them: the selector, the
// identity looked for, the access the device is opened with and how one byte is sent to it
// (true = failed).
struct TKeypadProfileRow {
    Byte Selector;
    TKeypadIdentity Identity;
    uint32_t Access;
    bool (*SendByte)(Byte B);
};
extern const std::array<TKeypadProfileRow, 2> KeypadProfiles;

// One byte to a keypad of the output-report identity: report id 0x00, then the byte three times.
using TKeypadOutputReport = std::array<Byte, 4>;
TKeypadOutputReport KeypadOutputReport(Byte Carried);

constexpr int32_t Ps2PollLimit = 1000000;
constexpr uint16_t Ps2StatusPort = 0x64;
constexpr uint16_t Ps2DataPort = 0x60;

extern uint16_t WantedVendorId;
extern uint16_t WantedProductId;
extern HANDLE KeypadHandle;
// The port component the PS/2 routines use: the tray form's KeyPort, set when the form is
// created. While it is null the PS/2 link cannot be opened.
extern TPortAccess* KeyPort;

// Asked at each step of a wait for a keypad or port access that another program holds (after
// the waiting messages ran): true ends the wait, and what waited is not sent, since the holder
// may never let go (a stopped or hung program) while this one is ending. Unset: such a wait
// lasts until the holder lets go.
extern std::function<bool()> ProgramEnding;

void SelectDeviceIds(Byte Profile);
// The keypad found is held for this program from its first byte to CloseKeypadDevice; while
// another program holds it (a download), that byte waits, running the waiting window messages.
bool FindKeypadDevice();
void CloseKeypadDevice();
TFailed SendDeviceByte(Byte B);
// While another program has the port driver's device open (its own command), opening waits
// for it to close it, running the waiting window messages, and then opens as if it had never
// been open (starting the driver's service itself where the other's closing stopped it).
bool OpenKeyPort();
void CloseKeyPort();
// 0 = written to the data port; 1 = the wait ran out and nothing was written. Holds the byte
// back while the controller's status shows either buffer full, running the waiting window
// messages on each such read. REQUIRES: KeyPort set.
int32_t SendPs2Byte(Byte B);
// True when a link was reached and both bytes were handed to it; false when no link was
// reached (nothing sent), a byte could not be handed over (the command still ran to its end),
// or ProgramEnding ended a wait for another program's hold (nothing sent through that link).
bool SendKeypadCommand(Byte Command);

} // namespace tray
