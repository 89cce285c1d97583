// TPortAccess: reads and writes single bytes at x86 I/O ports through the port-access driver
// "PORTACC". On the NT family it opens the driver's device, starting (and first installing)
// its kernel-driver service when the device is not there, and on closing undoes only what it
// started or installed; on the 9x family it loads the driver by opening it. Shows nothing and
// raises nothing: it reports through its results and ActiveHW alone.
#pragma once
#include "Classes.h"
#include "Devices.h"
#include "Services.h"

#include <array>
#include <cstdint>

using Byte = uint8_t;

class TPortAccess : public TComponent {
public:
    // Touches no driver: sets the family, resets the state and builds the names and paths.
    explicit TPortAccess(TComponent* AOwner);
    // Closes access if open, then pauses 0.3 s.
    ~TPortAccess() override;

    // True when access is active afterwards; a second call while active does nothing. While
    // another process has the driver's device open, the device's opening waits until it is
    // closed (Kernel.h), and the service is then started or installed as from nothing.
    bool OpenAccess();
    // Nothing (and no pause) while access is not active.
    void CloseAccess();
    // 0xFF while access is not active.
    Byte InPort(uint16_t Port);
    // Nothing while access is not active.
    void OutPort(uint16_t Port, Byte Value);

    // Published properties: ActiveHW (read only, never stored), LPTNumber (default 1) and
    // HardAccess (default True).
    bool ActiveHW() const { return FActiveHW; }
    Byte LPTNumber() const { return FLPTNumber; }
    void SetLPTNumber(Byte N);
    bool HardAccess() const { return FHardAccess; }
    void SetHardAccess(bool Value);
    Byte LPTCount() const { return FLPTCount; }

    // The I/O control code of driver function N on this family.
    uint32_t IoctlCode(uint32_t N) const;

    static constexpr uint32_t IoctlReadPort = 11;
    static constexpr uint32_t IoctlWritePort = 12;
    static constexpr uint32_t IoctlMapMemory = 26;
    static constexpr uint32_t IoctlUnmapMemory = 27;

    char DriverName[10 + 1] = {};
    char DriverPath[128 + 1] = {};
    char DevicePath[12 + 1] = {};
    HANDLE DriverHandle = INVALID_HANDLE_VALUE;
    bool IsWin9x = false;
    bool ServiceWasInstalled = true;
    bool ServiceWasRunning = true;
    std::array<Byte, 48> DriverRequest = {};

private:
    void ResetPortState();
    void OpenDriverDevice();
    void ReleaseDriver();
    bool InstallDriverService();
    bool StartDriverService();
    void StopDriverService();
    void DeleteDriverService();
    // One request to the driver, DriverRequest both ways; true when the driver took it.
    bool CallDriver(uint32_t N);
    uint32_t RequestField(size_t Offset) const;
    void SetRequestField(size_t Offset, uint32_t Value);

    SC_HANDLE ScmHandle = nullptr;
    bool FHardAccess = true;
    bool FActiveHW = false;
    const uint16_t* LPTTable = nullptr;
    Byte FLPTNumber = 0;
    Byte FLPTCount = 0;
};
