#include "PortTestSupport.h"

#include <cstring>

namespace {

TPortTest* gTest = nullptr;

class TRecordingDriver : public TKernelDriver {
public:
    TRecordingDriver(std::unique_ptr<TKernelDriver> Inner, std::vector<TDriverCall>& Calls)
        : FInner(std::move(Inner)), FCalls(Calls)
    {
    }
    bool Usable(uint32_t& Error) const override { return FInner->Usable(Error); }
    bool Open(uint32_t& Error) override { return FInner->Open(Error); }
    bool Control(uint32_t Code, std::vector<uint8_t>& Buffer, uint32_t& Returned, uint32_t& Error) override
    {
        TDriverCall call{Code, {}, {}, false};
        std::memcpy(call.Request.data(), Buffer.data(), std::min<size_t>(48, Buffer.size()));
        call.Taken = FInner->Control(Code, Buffer, Returned, Error);
        std::memcpy(call.Reply.data(), Buffer.data(), std::min<size_t>(48, Buffer.size()));
        FCalls.push_back(call);
        return call.Taken;
    }

private:
    std::unique_ptr<TKernelDriver> FInner;
    std::vector<TDriverCall>& FCalls;
};

} // namespace

TPortTest::TPortTest()
{
    gTest = this;
    SetAdministratorSeam(true);
    SetSleepSeam([](uint32_t ms) { gTest->Pauses.push_back(ms); });
    SetDriverLoaderSeam([this](const std::string& File, TDriverLoad How, uint32_t& Error) {
        auto driver = LoadDriverFile(File, How, Error);
        return driver ? std::make_unique<TRecordingDriver>(std::move(driver), Calls) : nullptr;
    });
}

TPortTest::~TPortTest()
{
    SetDriverLoaderSeam(nullptr);
    SetSleepSeam(nullptr);
    SetAdministratorSeam(std::nullopt);
    SetVersionSeam(std::nullopt);
    SetPortInstructionSeam(nullptr);
    gTest = nullptr;
}

void TPortTest::Describe(const std::string& Description) const
{
    Windows.WriteDriverFile("driver virtual-keyboard-controller\n" + Description);
}

uint32_t TPortTest::Field(const std::array<uint8_t, 48>& B, size_t At) const
{
    return uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 | uint32_t(B[At + 3]) << 24;
}

std::vector<TDriverCall> TPortTest::TakeCalls()
{
    return std::exchange(Calls, {});
}

int TPortTest::TakePauses()
{
    int total = 0;
    for (uint32_t ms : std::exchange(Pauses, {})) {
        EXPECT_EQ(ms, 100u);
        ++total;
    }
    return total;
}

std::string TPortTest::ServiceState() const
{
    const std::string db = Windows.ServiceDatabase();
    if (db.find("[PORTACC]") == std::string::npos) return "none";
    return db.find("State=4") != std::string::npos ? "running" : "stopped";
}

void TPortTest::LeaveService(bool Running) const
{
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = CreateServiceA(scm, "PORTACC", "PORTACC", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, Windows.DriverFile().c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    if (Running) {
        ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    }
    CloseServiceHandle(service);
    CloseServiceHandle(scm);
}
