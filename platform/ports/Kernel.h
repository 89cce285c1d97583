// platform_ports stands in for the system's kernel side as the port I/O component meets it:
// the version, the service manager and its database, kernel drivers' devices with the two
// port drivers behind them, and the processor's port instructions. It uses platform_core.
//
// The system's version, its Windows folder as a fixed-size text, and the devices of kernel
// drivers ("\\.\NAME") with their I/O control requests. The thread's last error, which these
// calls set, is the layer's own (LastError.h).
#pragma once
#include "Handles.h"
#include "LastError.h"

#include <cstdint>
#include <optional>
#include <string>

constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;

// The system's version word. Bit 31 clear: the NT family (this system always is); a test may
// make it answer any value (std::nullopt restores the real one).
uint32_t GetVersion();
void SetVersionSeam(std::optional<uint32_t> Value);

// Copies the Windows folder (Files.h), zero-terminated, into Buffer of Size characters and
// returns its length. When it does not fit, Buffer is untouched and the result is the size
// needed, terminator included. 0 with the last error set on failure.
uint32_t GetWindowsDirectoryA(char* Buffer, uint32_t Size);

// The device of a running kernel driver: "\\.\NAME" opens the device NAME of a started
// kernel-driver service (Services.h); "\\.\NAME.VXD" with FILE_FLAG_DELETE_ON_CLOSE loads the
// driver file SYSTEM/NAME.VXD of the Windows folder for as long as the handle is open. A device
// opens once at a time, whatever process asks: its handle holds the lock file beside the
// driver file (its name with ".LCK", mode 0600), which no other user may open (LayerFiles.h,
// OpenLayerLock, says which lock files are taken). One opening is one use of the layer's files.
// A device that another process has open is waited for as DeviceWait.h says, and once that
// process has closed it, looked for anew (it may be gone then); a wait that the program's wait
// step gives up fails with 995; one open in this process fails with 5 at once. CreateFileA
// routes these paths here.
bool IsDriverDevicePath(const std::string& FileName);
HANDLE OpenDriverDevicePath(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                            uint32_t CreationDisposition, uint32_t FlagsAndAttributes);
// True when Object was a driver device handle, which is now closed.
bool CloseDriverDeviceHandle(HANDLE Object);
// Inside the layer: whether the driver behind an open device handle is a simulated one
// (KernelDrivers.h), whatever its file says now; false for any other handle.
bool DriverDeviceIsSimulated(HANDLE Device);

// One synchronous request to the driver of a device handle: InBuffer's InSize bytes go to the
// driver, and the reply's bytes (at most OutSize) come back into OutBuffer, their count into
// BytesReturned. The buffers may be the same. False, with the last error set, when the handle
// is not a driver device or the driver refuses the request. Overlapped must be null.
bool DeviceIoControl(HANDLE Device, uint32_t IoControlCode, const void* InBuffer, uint32_t InSize, void* OutBuffer,
                     uint32_t OutSize, uint32_t* BytesReturned, void* Overlapped);
