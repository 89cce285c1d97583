// The tray's command transport, measured with real pauses against the pauses its link
// prescribes, 20 HID devices present: over USB a whole command (the keypad is the last
// device), over PS/2 the time to the last byte written (no USB keypad among the 20; the
// virtual keyboard controller behind port access), and a PS/2 wait that runs out of its
// 1,000,000 status reads. The virtual devices' own costs (the keypad rereads its device list on
// every enumeration and open and logs every open, close and report; the controller logs every
// port access, a run of identical status reads as one line) count as added time, so the
// figures are an upper bound.
#include "KernelDrivers.h"
#include "PORT_32.h"
#include "Services.h"
#include "Transport.h"
#include "VirtualKeypad.h"
#include "WindowsFolder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

using namespace tray;

namespace {

constexpr int DeviceCount = 20;

std::string Devices(const std::string& Keypad)
{
    std::string lines;
    for (int i = 0; i < DeviceCount - 1; ++i) lines += "046d c0" + std::to_string(10 + i) + "\n";
    return lines + Keypad + "\n";
}

void Measure(benchmark::State& State, const std::string& Keypad, double PrescribedMs)
{
    TVirtualKeypad keypad;
    keypad.SetDevices(Devices(Keypad));
    KeyPort = nullptr;
    double total = 0;
    int64_t runs = 0;
    for (auto _ : State) {
        std::remove(keypad.LogFile().c_str());
        auto start = std::chrono::steady_clock::now();
        const bool reached = SendKeypadCommand(kcLEDOn);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        State.SetIterationTime(ms / 1000);
        if (!reached || keypad.Reports().size() != 2) State.SkipWithError("the command did not arrive");
        total += ms;
        ++runs;
    }
    State.counters["devices"] = DeviceCount;
    State.counters["prescribed_ms"] = PrescribedMs;
    State.counters["added_ms"] = runs ? total / double(runs) - PrescribedMs : 0;
}

// Output report: no pause. Feature report: 10 ms after each of the two reports.
void BM_OutputReportCommand(benchmark::State& State)
{
    Measure(State, "04b4 0a0a", 0);
}
void BM_FeatureReportCommand(benchmark::State& State)
{
    Measure(State, "16c0 0607", 20);
}

using TClock = std::chrono::steady_clock;

// Notes when the driver's device opens and when it is asked to write a port.
class TTimedDriver : public TKernelDriver {
public:
    TTimedDriver(std::unique_ptr<TKernelDriver> Inner, TClock::time_point& Opened, TClock::time_point& LastWrite)
        : FInner(std::move(Inner)), FOpened(Opened), FLastWrite(LastWrite)
    {
    }
    bool Open(uint32_t& Error) override
    {
        FOpened = TClock::now();
        return FInner->Open(Error);
    }
    bool Usable(uint32_t& Error) const override { return FInner->Usable(Error); }
    bool Control(uint32_t Code, std::vector<uint8_t>& Buffer, uint32_t& Returned, uint32_t& Error) override
    {
        const bool taken = FInner->Control(Code, Buffer, Returned, Error);
        if (Code == 0x80002030) FLastWrite = TClock::now();
        return taken;
    }

private:
    std::unique_ptr<TKernelDriver> FInner;
    TClock::time_point& FOpened;
    TClock::time_point& FLastWrite;
};

// Port access over the virtual keyboard controller, no USB keypad among the HID devices.
struct TPs2Link {
    explicit TPs2Link(const std::string& Controller) : Windows(Controller)
    {
        Keypad.SetDevices(Devices("046d c0ff"));
        SetAdministratorSeam(true);
        SetDriverLoaderSeam([this](const std::string& File, TDriverLoad How, uint32_t& Error) {
            auto driver = LoadDriverFile(File, How, Error);
            return driver ? std::make_unique<TTimedDriver>(std::move(driver), Opened, LastWrite) : nullptr;
        });
        KeyPort = &Port;
    }
    ~TPs2Link()
    {
        KeyPort = nullptr;
        Port.CloseAccess();
        SetDriverLoaderSeam(nullptr);
        SetAdministratorSeam(std::nullopt);
    }
    TVirtualKeypad Keypad;
    TTestWindowsFolder Windows;
    TPortAccess Port{nullptr};
    TClock::time_point Opened, LastWrite;
};

// Installs and starts the port driver's service, as a run that leaves it running would.
void LeaveServiceRunning(const TTestWindowsFolder& Windows)
{
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = CreateServiceA(scm, "PORTACC", "PORTACC", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, Windows.DriverFile().c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    StartServiceA(service, 0, nullptr);
    CloseServiceHandle(service);
    CloseServiceHandle(scm);
}

// 10 ms before the introducer and 10 ms between the two bytes; then 10 ms and the 0.5 s of
// closing port access follow the last byte. Argument 0: no service, so every command installs
// and starts it and removes it again (each a write of the service database); 1: the driver's
// service left running.
void BM_Ps2CommandToLastByte(benchmark::State& State)
{
    TPs2Link link("");
    if (State.range(0)) LeaveServiceRunning(link.Windows);
    const double prescribed = 20;
    double total = 0, opening = 0;
    int64_t runs = 0;
    for (auto _ : State) {
        const auto start = TClock::now();
        const bool delivered = SendKeypadCommand(kcLEDOn);
        const double ms = std::chrono::duration<double, std::milli>(link.LastWrite - start).count();
        State.SetIterationTime(ms / 1000);
        if (!delivered) State.SkipWithError("the command did not arrive");
        total += ms;
        opening += std::chrono::duration<double, std::milli>(link.Opened - start).count();
        ++runs;
    }
    State.counters["devices"] = DeviceCount;
    State.counters["prescribed_ms"] = prescribed;
    State.counters["added_ms"] = runs ? total / double(runs) - prescribed : 0;
    // Of which: both USB searches and starting the port driver's service.
    State.counters["to_device_open_ms"] = runs ? opening / double(runs) : 0;
}

// The controller never lets the byte go: every read shows its output buffer full.
void BM_Ps2WaitRunsOut(benchmark::State& State)
{
    TPs2Link link("status 0x01\n");
    if (!link.Port.OpenAccess()) State.SkipWithError("port access did not open");
    for (auto _ : State) {
        const auto start = TClock::now();
        const int32_t result = SendPs2Byte(kcLEDOn);
        State.SetIterationTime(std::chrono::duration<double>(TClock::now() - start).count());
        if (result != 1) State.SkipWithError("the wait did not run out");
    }
    State.counters["reads"] = Ps2PollLimit;
}

} // namespace

BENCHMARK(BM_OutputReportCommand)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeatureReportCommand)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ps2CommandToLastByte)->Arg(0)->Arg(1)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ps2WaitRunsOut)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
