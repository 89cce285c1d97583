// The tray's command transport, measured: one command's wall time, with real pauses, against
// the pauses its link prescribes, the keypad being the last of 20 HID devices. The virtual
// keypad is linked in place of the system's HID library; its own cost (it rereads its device
// list on every enumeration and open, and appends every open, close and report to its log)
// counts as added time, so the figures are an upper bound.
#include "Transport.h"
#include "VirtualKeypad.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

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

} // namespace

BENCHMARK(BM_OutputReportCommand)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeatureReportCommand)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);
