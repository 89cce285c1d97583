#include "Transport.h"

#include "Forms.h"
#include "KeypadSearch.h"
#include "PORT_32.h"

uint16_t WantedVendorId = 0;
uint16_t WantedProductId = 0;
HANDLE KeypadHandle = nullptr;
TPortAccess* KeyPort = nullptr;

namespace {

struct TKeypadIdentity {
    uint16_t VendorId;
    uint16_t ProductId;
};
constexpr TKeypadIdentity OutputReportKeypad = {0x04B4, 0x0A0A};
constexpr TKeypadIdentity FeatureReportKeypad = {0x16C0, 0x0607};

// Controller status bits: a byte for the host is waiting (output buffer full), or the
// controller has not yet taken the last byte written to it (input buffer full).
constexpr Byte Ps2OutputBufferFull = 0x01;
constexpr Byte Ps2InputBufferFull = 0x02;

bool Wanted(const TKeypadIdentity& Identity)
{
    return WantedVendorId == Identity.VendorId && WantedProductId == Identity.ProductId;
}

// Output reports go through WriteFile, which needs the device open for writing; feature
// reports need no access at all, so a keypad the system holds for its keystrokes still takes them.
uint32_t WantedAccess()
{
    return Wanted(OutputReportKeypad) ? GENERIC_READ | GENERIC_WRITE : 0;
}

// The keypad, or the port driver's device, may be another program's until it lets go (a
// download, another utility's command): the waiting window messages run meanwhile, as in the
// PS/2 wait, so the utility keeps answering and what arrives is deferred as during any command.
void WaitWithMessages()
{
    SetDeviceWaitStep([] { Application.ProcessMessages(); });
}

} // namespace

void SelectDeviceIds(Byte Profile)
{
    const TKeypadIdentity identity = Profile == kpOutputReport    ? OutputReportKeypad
                                     : Profile == kpFeatureReport ? FeatureReportKeypad
                                                                  : TKeypadIdentity{0, 0};
    WantedVendorId = identity.VendorId;
    WantedProductId = identity.ProductId;
}

bool FindKeypadDevice()
{
    WaitWithMessages();
    KeypadHandle = SearchKeypadInterface({HidD_GetHidGuid, HidD_GetAttributes, SetupDiGetClassDevsA,
                                          SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailA,
                                          SetupDiDestroyDeviceInfoList},
                                         WantedVendorId, WantedProductId, WantedAccess());
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
    if (Wanted(OutputReportKeypad)) {
        TKeypadOutputReport report = KeypadOutputReport(B);
        uint32_t written = 0;
        const bool ok = WriteFile(KeypadHandle, report.data(), report.size(), &written, nullptr);
        return !ok || written != report.size();
    }
    TKeypadFeatureReport report = KeypadFeatureReport(B);
    const bool sent = HidD_SetFeature(KeypadHandle, report.data(), report.size());
    Sleep(10);
    return !sent;
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
    // makes the command fail once its link is closed again.
    for (Byte profile : {kpOutputReport, kpFeatureReport}) {
        SelectDeviceIds(profile);
        if (!FindKeypadDevice()) continue;
        bool failed = SendDeviceByte(CommandIntroducer);
        failed |= SendDeviceByte(Command);
        CloseKeypadDevice();
        return !failed;
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
