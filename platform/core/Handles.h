// The handle of an open file or device, and the values it is opened with. Devices.h opens
// files and HID devices, Kernel.h the devices of kernel drivers.
#pragma once
#include <cstdint>

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

constexpr uint32_t GENERIC_READ = 0x80000000;
constexpr uint32_t GENERIC_WRITE = 0x40000000;
constexpr uint32_t FILE_SHARE_READ = 0x01;
constexpr uint32_t FILE_SHARE_WRITE = 0x02;
constexpr uint32_t OPEN_EXISTING = 3;
