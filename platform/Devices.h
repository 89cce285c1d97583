// File and device handles, and the thread's pause. A HID device path listed by the device
// enumeration (SetupApi.h) opens through the bound HID library; any other path opens as a
// file of the system.
#pragma once
#include <cstdint>
#include <string>

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

constexpr uint32_t GENERIC_READ = 0x80000000;
constexpr uint32_t GENERIC_WRITE = 0x40000000;
constexpr uint32_t FILE_SHARE_READ = 0x01;
constexpr uint32_t FILE_SHARE_WRITE = 0x02;
constexpr uint32_t OPEN_EXISTING = 3;

// Opens an existing file or device. A HID device path opens whatever DesiredAccess asks
// (access 0 is enough for feature reports, as on the platform), and fails when the HID
// library is not bound or the device refuses. Only OPEN_EXISTING is served. Returns
// INVALID_HANDLE_VALUE on failure; never creates a file.
HANDLE CreateFileA(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode, void* SecurityAttributes,
                   uint32_t CreationDisposition, uint32_t FlagsAndAttributes, HANDLE TemplateFile);
// Closes a handle from CreateFileA; false (and nothing done) for any other value, including
// null and INVALID_HANDLE_VALUE.
bool CloseHandle(HANDLE Object);

// Blocks the thread for Milliseconds, through the pause seam.
void Sleep(uint32_t Milliseconds);
// A test may take the pauses instead of waiting them; nullptr restores the real pause.
using TSleepSeam = void (*)(uint32_t Milliseconds);
void SetSleepSeam(TSleepSeam Seam);
