// Inside the layer: the virtual keyboard controller, a port driver that answers from a
// description instead of touching the machine. Its driver file, after the "driver" line:
//     status <byte> [K]     the next K reads of port 0x64 give <byte>; without K, every read
//                           from then on. Lines apply in order; once all are used, 0x00.
//     lpt <w1> <w2> <w3>    the BIOS parallel-port table at 0x408 (default 0x378 0 0)
//     lpt none              the map request succeeds but maps nothing (address 0)
//     lpt fails             the map request is refused
// Numbers are decimal (a leading zero included) or 0x-prefixed hex; "#" starts a comment.
// Reads of any other port give 0xFF. Status reads are counted from each opening of the device.
//
// Every port read and write is appended to the log beside the driver file (its name with
// ".LOG" in place of the extension), one line each: milliseconds since the epoch, "in" or
// "out", the port and the byte, both as 0x-prefixed hex:
//     1796767908544 in 0x64 0x01
//     1796767908555 out 0x60 0xe4
// except that a run of two or more identical status reads is one line, stamped with the run's
// first read, with the run's length after an "x":
//     1796767908544 in 0x64 0x01 x1000000
// The log reaches the disk at each write and when the device closes. It is a file of the layer
// (LayerFiles.h: never through a link, a regular file only, never waiting on a pipe); where the
// rule refuses it, the device does not open (5), and its service is neither installed nor
// started (Services.h).
#pragma once
#include "PortDriver.h"

#include <memory>
#include <string>

// Null when Description (the driver file's text) has a line it does not understand.
std::unique_ptr<TKernelDriver> MakeVirtualController(const std::string& DriverFile, const std::string& Description,
                                                     TDriverLoad How);
