// Pacing of Keyburn591, measured: the real program downloads to the virtual keypad and its
// wall time (process start to exit) is set against the pauses the protocol prescribes.
#include "DefinitionReader.h"
#include "VirtualKeypad.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

using namespace loader;

namespace {

std::string DefinitionText(bool Full, int Delay)
{
    std::string text = "[GLOBAL_PARAMETERS]\nDownload_Delay=" + std::to_string(Delay) + "\n";
    if (!Full) return text;
    std::string pairs;
    for (int i = 0; i < 111; ++i) pairs += "1c";
    for (int k = 0; k < 24; ++k)
        text += "[KEY" + std::to_string(k) + "]\nL1_MacroMode=2\nL2_MacroMode=2\nLevel_1_Codes=" + pairs +
                "\nLevel_2_Codes=" + pairs + "\n";
    return text;
}

// 10 ms per byte, the delay per byte, 25 ms per progress step, 500 ms after "Done!".
double PrescribedMs(int Delay)
{
    const int64_t bytes = int64_t(DownloadStream().size());
    const int64_t perStep = (ProgressTotal + 24) / 25;
    const int64_t steps = std::min<int64_t>(bytes / perStep, 25);
    return double(bytes * (10 + Delay) + steps * 25 + 500);
}

void BM_LoaderDownload(benchmark::State& State)
{
    const bool full = State.range(0) != 0;
    const int delay = int(State.range(1));
    TVirtualKeypad keypad;
    keypad.SetDevices("16c0 0607\n");
    const std::string path = keypad.Dir.File("bench.ckd");
    WriteFileText(path, DefinitionText(full, delay));
    ReadKeypadFile(path);
    const double prescribed = PrescribedMs(delay);
    const std::string program = ProgramDir() + "/Keyburn591";
    double ms = 0;
    for (auto _ : State) {
        std::remove(keypad.LogFile().c_str());
        auto start = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("LD_LIBRARY_PATH", VirtualLibraryDir("virtualhid").c_str(), 1);
            execl(program.c_str(), program.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        State.SetIterationTime(ms / 1000);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || keypad.Reports().size() != DownloadStream().size())
            State.SkipWithError("the download did not complete");
    }
    State.counters["bytes"] = double(DownloadStream().size());
    State.counters["prescribed_ms"] = prescribed;
    State.counters["wall_ms"] = ms;
    State.counters["added_pct"] = (ms - prescribed) / prescribed * 100;
}

} // namespace

// {empty = 0 / full = 1, Download_Delay}
BENCHMARK(BM_LoaderDownload)
    ->Args({0, 0})
    ->Args({0, 20})
    ->Args({1, 0})
    ->Args({1, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
