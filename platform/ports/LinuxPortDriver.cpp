#include "LinuxPortDriver.h"

#include "LastError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

class TLinuxPortDriver : public TPortDriver {
public:
    using TPortDriver::TPortDriver;
    ~TLinuxPortDriver() override
    {
        if (FPort >= 0) ::close(FPort);
    }

    bool Open(uint32_t& Error) override
    {
        FPort = ::open("/dev/port", O_RDWR | O_CLOEXEC);
        if (FPort >= 0) return true;
        Error = errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        return false;
    }

    bool Usable(uint32_t& /*Error*/) const override { return true; } // nothing but /dev/port

protected:
    uint8_t ReadPort(uint16_t Port) override
    {
        uint8_t value = 0xFF;
        return ::pread(FPort, &value, 1, Port) == 1 ? value : 0xFF;
    }

    void WritePort(uint16_t Port, uint8_t Value) override
    {
        if (::pwrite(FPort, &Value, 1, Port) != 1) { /* a refused write is lost, as on the bus */ }
    }

    uint32_t MapPhysical(uint32_t Physical, uint32_t Size) override
    {
        const int mem = ::open("/dev/mem", O_RDONLY | O_CLOEXEC);
        if (mem < 0) return 0;
        // The mapping outlives the descriptor.
        const uint32_t address = MapLow(Physical, Size, mem, nullptr);
        ::close(mem);
        return address;
    }

    bool Unmap(uint32_t Address, uint32_t Size) override { return UnmapLow(Address, Size); }

private:
    int FPort = -1;
};

} // namespace

std::unique_ptr<TKernelDriver> MakeLinuxPortDriver(TDriverLoad How)
{
    return std::make_unique<TLinuxPortDriver>(How);
}
