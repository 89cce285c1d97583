// The processor's byte-wide IN and OUT instructions, executed by the program itself. Where the
// process may not use a port (the system refuses it the permission) or the processor has no
// port instructions, a read gives 0xFF and a write does nothing: the process is never killed.
#pragma once
#include <cstdint>

uint8_t PortInByte(uint16_t Port);
void PortOutByte(uint16_t Port, uint8_t Value);

// The seam: a test answers the instructions instead of the processor; nullptr restores it.
class TPortInstructions {
public:
    virtual ~TPortInstructions() = default;
    virtual uint8_t In(uint16_t Port) = 0;
    virtual void Out(uint16_t Port, uint8_t Value) = 0;
};
void SetPortInstructionSeam(TPortInstructions* Seam);
