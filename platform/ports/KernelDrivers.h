// Inside the layer: the kernel drivers that driver files name. A driver file is a text file
// whose first word pair says which driver it is:
//     driver linux-port                        the ports and memory of this machine
//     driver virtual-keyboard-controller      a simulated PS/2 controller (VirtualController.h)
// A driver is loaded from its file when a service starts it (to check the file) and again each
// time its device opens; the device's requests reach the loaded instance until it closes.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TKernelDriver {
public:
    virtual ~TKernelDriver() = default;
    // Takes what the device needs (files, memory). False with Error (a last-error value) when
    // the device cannot open.
    virtual bool Open(uint32_t& Error) = 0;
    // One I/O control request. Buffer holds the request bytes, grown with zeros to the larger
    // of the two sizes the caller gave, and takes the reply in place; Returned is the reply's
    // length. False with Error to refuse.
    virtual bool Control(uint32_t IoControlCode, std::vector<uint8_t>& Buffer, uint32_t& Returned,
                         uint32_t& Error) = 0;
    // True only for a driver that answers from a description and touches nothing of the
    // machine; a driver that does not say so is taken to reach real hardware.
    virtual bool Simulated() const { return false; }
    // Judges, without making or changing anything, the files Open would use (LayerFiles.h).
    // False with Error when Open would refuse them. Every driver says, so that a wrapper cannot forget to ask.
    virtual bool Usable(uint32_t& Error) const = 0;
};

// How the driver was loaded: as a kernel-driver service's device, or as the 9x family's
// dynamically loaded driver (whose I/O control codes are the bare function numbers).
enum class TDriverLoad { Service, Vxd };

// The driver that DriverFile names, not yet opened; null with Error ERROR_FILE_NOT_FOUND when
// the file is missing, ERROR_BAD_EXE_FORMAT when it names no driver of ours,
// ERROR_ACCESS_DENIED when the layer's rule refuses the file or a folder above it (LayerFiles.h):
// the file says which ports a privileged run writes.
std::unique_ptr<TKernelDriver> LoadDriverFile(const std::string& DriverFile, TDriverLoad How, uint32_t& Error);

// The seam: every load goes through it. A test may wrap what LoadDriverFile gives (to watch
// the requests) or answer with a driver of its own; an empty function restores LoadDriverFile.
using TDriverLoader = std::function<std::unique_ptr<TKernelDriver>(const std::string& DriverFile, TDriverLoad How,
                                                                   uint32_t& Error)>;
void SetDriverLoaderSeam(TDriverLoader Loader);
std::unique_ptr<TKernelDriver> LoadKernelDriver(const std::string& DriverFile, TDriverLoad How, uint32_t& Error);

// The lock file that an open device of DriverFile holds: its name with ".LCK", beside it.
std::string DeviceLockFile(const std::string& DriverFile);
