// File and device handles, and the thread's pause. A HID device path listed by the device
// enumeration (SetupApi.h) opens through the bound HID library; any other path opens as a
// file of the system.
#pragma once
#include "DeviceWait.h"
#include "Handles.h"

#include <cstdint>
#include <string>

// Opens an existing file or device. A HID device path opens with the access asked: access 0
// is enough for the attributes and feature reports, as on the platform; reading or writing
// is refused for a keyboard, mouse or pen collection, which the system holds for its own
// input (the platform's exclusive collections). Fails too when the HID library is not bound
// or the device refuses to open. Only OPEN_EXISTING is served. Returns INVALID_HANDLE_VALUE on
// failure; never creates a file.
HANDLE CreateFileA(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode, void* SecurityAttributes,
                   uint32_t CreationDisposition, uint32_t FlagsAndAttributes, HANDLE TemplateFile);
// Writes NumberOfBytesToWrite bytes from Buffer. A HID device takes them as one output report,
// Buffer[0] being the report id, and only through a handle opened with GENERIC_WRITE. True when
// the write was carried out; *NumberOfBytesWritten (set first to 0) is then the count taken,
// which may be short. Overlapped I/O is not served: Overlapped must be null.
bool WriteFile(HANDLE File, const void* Buffer, uint32_t NumberOfBytesToWrite, uint32_t* NumberOfBytesWritten,
               void* Overlapped);
// Closes a handle from CreateFileA; false (and nothing done) for any other value, including
// null and INVALID_HANDLE_VALUE.
bool CloseHandle(HANDLE Object);

// A HID device carries the reports of one program at a time, across processes. The first
// report sent through a handle (WriteFile, HidD_SetFeature, HidD_GetFeature) takes the device
// for it, waiting while another handle holds it; the handle holds it until CloseHandle, and the
// system lets go of it when the holding process ends. The hold is a lock on the device's node,
// so only a user who may open the node can hold it. Opening a device and reading its
// attributes take nothing: a search neither waits for nor holds the devices it passes over.
// A device that cannot be taken carries no report. How the thread waits: DeviceWait.h.

// Blocks the thread for Milliseconds, through the pause seam.
void Sleep(uint32_t Milliseconds);
// A test may take the pauses instead of waiting them; nullptr restores the real pause.
using TSleepSeam = void (*)(uint32_t Milliseconds);
void SetSleepSeam(TSleepSeam Seam);
