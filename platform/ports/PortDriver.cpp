#include "PortDriver.h"

#include "LastError.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr size_t kRequestSize = 48;
constexpr size_t kPhysAddress = 8, kMapSize = 20, kMappedAddress = 24, kPortNumber = 28, kPortValue = 32;

uint32_t Field(const std::vector<uint8_t>& B, size_t At)
{
    return uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 | uint32_t(B[At + 3]) << 24;
}

void SetField(std::vector<uint8_t>& B, size_t At, uint32_t V)
{
    for (int i = 0; i < 4; ++i) B[At + i] = static_cast<uint8_t>(V >> (8 * i));
}

// The function number of a code, or -1 when the code is not one of this load's form.
int FunctionOf(uint32_t Code, TDriverLoad How)
{
    if (How == TDriverLoad::Vxd) return Code < 0x800 ? static_cast<int>(Code) : -1;
    // Device type 0x8000, any access, buffered: only the function bits may vary.
    if ((Code & 0xFFFFC003u) != 0x80000000u) return -1;
    const uint32_t function = (Code >> 2) & 0xFFF;
    return function >= 0x800 ? static_cast<int>(function - 0x800) : -1;
}

} // namespace

TPortDriver::~TPortDriver()
{
    for (auto& [address, m] : FMappings) ::munmap(m.Base, m.Length);
}

bool TPortDriver::Control(uint32_t IoControlCode, std::vector<uint8_t>& Buffer, uint32_t& Returned, uint32_t& Error)
{
    Returned = 0;
    if (Buffer.size() < kRequestSize) {
        Error = ERROR_INSUFFICIENT_BUFFER;
        return false;
    }
    switch (FunctionOf(IoControlCode, FHow)) {
    case 11:
        SetField(Buffer, kPortValue, ReadPort(static_cast<uint16_t>(Field(Buffer, kPortNumber))));
        break;
    case 12:
        WritePort(static_cast<uint16_t>(Field(Buffer, kPortNumber)), static_cast<uint8_t>(Field(Buffer, kPortValue)));
        break;
    case 26:
        SetField(Buffer, kMappedAddress, MapPhysical(Field(Buffer, kPhysAddress), Field(Buffer, kMapSize)));
        break;
    case 27:
        if (!Unmap(Field(Buffer, kMappedAddress), Field(Buffer, kMapSize))) {
            Error = ERROR_INVALID_PARAMETER;
            return false;
        }
        break;
    default:
        Error = ERROR_INVALID_FUNCTION;
        return false;
    }
    Returned = kRequestSize;
    return true;
}

uint32_t TPortDriver::MapLow(uint32_t Physical, uint32_t Size, int Fd, const std::function<void(uint8_t*)>& Fill)
{
#ifdef MAP_32BIT
    const uint32_t page = static_cast<uint32_t>(::sysconf(_SC_PAGESIZE));
    const uint32_t first = Physical / page * page;
    if (Size == 0 || Physical + uint64_t(Size) > 0x100000000ull) return 0;
    const size_t length = (uint64_t(Physical) + Size - first + page - 1) / page * page;
    void* base = Fd >= 0 ? ::mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_32BIT, Fd, first)
                         : ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (base == MAP_FAILED) return 0;
    const uintptr_t address = reinterpret_cast<uintptr_t>(base) + (Physical - first);
    if (address + Size > 0x100000000ull) {
        ::munmap(base, length);
        return 0;
    }
    if (Fd < 0) {
        Fill(static_cast<uint8_t*>(base) + (Physical - first));
        ::mprotect(base, length, PROT_READ);
    }
    FMappings.push_back({static_cast<uint32_t>(address), {base, length, Size}});
    return static_cast<uint32_t>(address);
#else
    // No way to place memory below 4 GiB: nothing is mapped.
    (void)Physical, (void)Size, (void)Fd, (void)Fill;
    return 0;
#endif
}

bool TPortDriver::UnmapLow(uint32_t Address, uint32_t Size)
{
    for (auto it = FMappings.begin(); it != FMappings.end(); ++it)
        if (it->first == Address && it->second.Size == Size) {
            ::munmap(it->second.Base, it->second.Length);
            FMappings.erase(it);
            return true;
        }
    return false;
}
