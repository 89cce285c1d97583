// Inside the layer: what both port drivers share, the port-access driver's request interface.
// Functions: 11 read a port, 12 write a port, 26 map physical memory, 27 unmap it. A device of a
// service takes the code 0x80000000 | ((0x800 + n) << 2); a dynamically loaded driver takes n.
// The request is at least 48 bytes, little-endian 32-bit fields: 8 physical address, 20 size,
// 24 mapped address, 28 port number, 32 port value; the reply is the same 48 bytes, changed
// only in the field a function answers.
#pragma once
#include "KernelDrivers.h"

class TPortDriver : public TKernelDriver {
public:
    explicit TPortDriver(TDriverLoad How) : FHow(How) {}
    bool Control(uint32_t IoControlCode, std::vector<uint8_t>& Buffer, uint32_t& Returned, uint32_t& Error) override;

protected:
    virtual uint8_t ReadPort(uint16_t Port) = 0;
    virtual void WritePort(uint16_t Port, uint8_t Value) = 0;
    // The address (below 4 GiB) at which Size bytes of physical memory at Physical are now
    // readable; 0 when nothing is mapped.
    virtual uint32_t MapPhysical(uint32_t Physical, uint32_t Size) = 0;
    // False when Address and Size are not a mapping of this driver.
    virtual bool Unmap(uint32_t Address, uint32_t Size) = 0;

    // The pages [Physical, Physical + Size) rounded out to whole pages are mapped read-only
    // below 4 GiB: from Fd (a memory device) at the physical offset, or, with Fd -1, as fresh
    // memory that Fill writes, given where Physical lies in it. The address of Physical
    // within them, or 0 when that fails.
    uint32_t MapLow(uint32_t Physical, uint32_t Size, int Fd, const std::function<void(uint8_t* At)>& Fill);
    // Releases a mapping MapLow made; false when Address and Size are not one.
    bool UnmapLow(uint32_t Address, uint32_t Size);

private:
    struct TMapping {
        void* Base;
        size_t Length;
        uint32_t Size;
    };
    TDriverLoad FHow;
    std::vector<std::pair<uint32_t, TMapping>> FMappings;

public:
    ~TPortDriver() override;
};
