#include "Transport.h"

#include "Forms.h"
#include "PORT_32.h"

namespace tray {

uint16_t WantedVendorId = 0;
uint16_t WantedProductId = 0;
HANDLE KeypadHandle = nullptr;
TPortAccess* KeyPort = nullptr;
std::function<bool()> ProgramEnding;

namespace {

// The running command gave up a wait for another program's hold (ProgramEnding).
bool GaveUp = false;

// Output reports go through WriteFile, which needs the device open for writing; it takes the
// byte whole or fails, with no pause.
bool SendOutputReport(Byte B)
{
    TKeypadOutputReport report = KeypadOutputReport(B);
    uint32_t written = 0;
    const bool ok = WriteFile(KeypadHandle, report.data(), report.size(), &written, nullptr);
    return !ok || written != report.size();
}

// Feature reports need no access at all, so a keypad the system holds for its keystrokes
// still takes them.
bool SendFeatureReportByte(Byte B)
{
    return !loader::SendFeatureReport(HidD_SetFeature, KeypadHandle, B);
}

// Controller status bits: a byte for the host is waiting (output buffer full), or the
// controller has not yet taken the last byte written to it (input buffer full).
constexpr Byte Ps2OutputBufferFull = 0x01;
constexpr Byte Ps2InputBufferFull = 0x02;

// The row of the wanted pair; a pair of no row (no other selector is made) is opened and sent
// to as a feature-report keypad.
const TKeypadProfileRow& WantedProfile()
{
    const TKeypadIdentity wanted{WantedVendorId, WantedProductId};
    for (const TKeypadProfileRow& row : KeypadProfiles)
        if (row.Identity == wanted) return row;
    return KeypadProfiles.back();
}

// The keypad, or the port driver's device, may be another program's until it lets go (a
// download, another utility's command): the waiting window messages run meanwhile, as in the
// PS/2 wait, so the utility keeps answering and what arrives is deferred as during any command.
void WaitWithMessages()
{
    SetDeviceWaitStep([] {
        Application.ProcessMessages();
        GaveUp = ProgramEnding && ProgramEnding();
        return !GaveUp;
    });
}

} // namespace

const std::array<TKeypadProfileRow, 2> KeypadProfiles = {{
    {kpOutputReport, {0x04B4, 0x0A0A}, GENERIC_READ | GENERIC_WRITE, SendOutputReport},
    {kpFeatureReport, loader::FeatureReportKeypad, 0, SendFeatureReportByte},
}};

void SelectDeviceIds(Byte Profile)
{
    TKeypadIdentity identity{0, 0};
    for (const TKeypadProfileRow& row : KeypadProfiles)
        if (row.Selector == Profile) identity = row.Identity;
    WantedVendorId = identity.VendorId;
    WantedProductId = identity.ProductId;
}

bool FindKeypadDevice()
{
    WaitWithMessages();
    KeypadHandle = loader::SearchKeypadInterface({HidD_GetHidGuid, HidD_GetAttributes, SetupDiGetClassDevsA,
                                          SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailA,
                                          SetupDiDestroyDeviceInfoList},
                                         WantedVendorId, WantedProductId, WantedProfile().Access);
    return KeypadHandle != nullptr;
}

void CloseKeypadDevice()
{
    CloseHandle(KeypadHandle);
    KeypadHandle = nullptr;
}

TKeypadOutputReport KeypadOutputReport(Byte Carried)
{
    return {0x00, Carried, Carried, Carried};
}

TFailed SendDeviceByte(Byte B)
{
    return WantedProfile().SendByte(B);
}

bool OpenKeyPort()
{
    if (!KeyPort) return false;
    WaitWithMessages();
    KeyPort->OpenAccess();
    return KeyPort->ActiveHW();
}

void CloseKeyPort()
{
    if (KeyPort) KeyPort->CloseAccess();
}

int32_t SendPs2Byte(Byte B)
{
    for (int32_t remaining = Ps2PollLimit;;) {
        const Byte status = KeyPort->InPort(Ps2StatusPort);
        if (--remaining == 0) return 1;
        // Held back also while the controller still holds our last byte: a byte written then
        // would overwrite it.
        if (status & (Ps2OutputBufferFull | Ps2InputBufferFull)) {
            Application.ProcessMessages();
            continue;
        }
        KeyPort->OutPort(Ps2DataPort, B);
        return 0;
    }
}

bool SendKeypadCommand(Byte Command)
{
    // Every byte is sent whatever became of the one before; a byte that was not handed over
    // makes the command fail once its link is closed again. Only a wait given up ends the
    // command there: its second byte alone would be a command of its own.
    GaveUp = false;
    for (const TKeypadProfileRow& profile : KeypadProfiles) {
        SelectDeviceIds(profile.Selector);
        if (!FindKeypadDevice()) continue;
        bool failed = SendDeviceByte(CommandIntroducer);
        if (!GaveUp) failed |= SendDeviceByte(Command);
        CloseKeypadDevice();
        return !failed && !GaveUp;
    }
    if (!OpenKeyPort()) return false;
    Sleep(10);
    int32_t missed = SendPs2Byte(CommandIntroducer);
    Sleep(10);
    missed |= SendPs2Byte(Command);
    Sleep(10);
    CloseKeyPort();
    return missed == 0;
}

} // namespace tray
