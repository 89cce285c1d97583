#include "PortIo.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define QUILL_PORT_INSTRUCTIONS 1
#endif

#include <bitset>

namespace {

TPortInstructions* gSeam = nullptr;

#ifdef QUILL_PORT_INSTRUCTIONS
// Ports this process was granted; a refusal is asked again next time, as it may change.
std::bitset<65536> gGranted;

bool Permitted(uint16_t Port)
{
    if (gGranted[Port]) return true;
    if (::ioperm(Port, 1, 1) != 0) return false;
    gGranted[Port] = true;
    return true;
}
#endif

} // namespace

uint8_t PortInByte(uint16_t Port)
{
    if (gSeam) return gSeam->In(Port);
#ifdef QUILL_PORT_INSTRUCTIONS
    if (Permitted(Port)) return ::inb(Port);
#endif
    return 0xFF;
}

void PortOutByte(uint16_t Port, uint8_t Value)
{
    if (gSeam) return gSeam->Out(Port, Value);
#ifdef QUILL_PORT_INSTRUCTIONS
    if (Permitted(Port)) ::outb(Value, Port);
#else
    (void)Port, (void)Value;
#endif
}

void SetPortInstructionSeam(TPortInstructions* Seam)
{
    gSeam = Seam;
}
