// Inside the layer: the port driver of this machine. Ports are read and written one byte at
// the port's offset of /dev/port, and physical memory is mapped from /dev/mem below 4 GiB.
// Both need root or CAP_SYS_RAWIO: without them, or on a kernel without /dev/port, the device
// does not open (ERROR_ACCESS_DENIED or ERROR_FILE_NOT_FOUND).
#pragma once
#include "PortDriver.h"

#include <memory>

std::unique_ptr<TKernelDriver> MakeLinuxPortDriver(TDriverLoad How);
