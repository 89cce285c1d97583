// Large INI files: the time to read one and look up a definition's worth of values in it, and
// the heap it takes at its peak, as a multiple of the file's size (counter "peak_x").
#include "HeapCounter.h"
#include "IniFiles.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr size_t FileSize = 50'000'000;

std::string Repeat(const std::string& Line)
{
    std::string s;
    s.reserve(FileSize + Line.size());
    while (s.size() < FileSize) s += Line;
    return s;
}

// About 2.3 million sections, each naming a key of its own.
std::string Sections()
{
    std::string s;
    s.reserve(FileSize + 32);
    for (int i = 0; s.size() < FileSize; ++i) s += "[KEY" + std::to_string(i) + "]\nKeyType=1\n";
    return s;
}

void ReadAndLookUp(benchmark::State& State, const std::string& Text)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-ini-" + std::to_string(::getpid()) + ".ini")).string();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(Text.data(), 1, Text.size(), f);
        std::fclose(f);
    }
    size_t peak = 0;
    for (auto _ : State) {
        const size_t before = HeapInUse();
        ResetHeapPeak();
        TIniFile ini(path);
        // What the loader asks of a definition: four parameters and seven values of 24 keys.
        int32_t sum = 0;
        for (const char* k : {"Character_Pacing", "Key_Roll_Over", "LED_Function", "Download_Delay"})
            sum += ini.ReadInteger("GLOBAL_PARAMETERS", k, 0);
        for (int key = 0; key < 24; ++key) {
            const std::string s = "KEY" + std::to_string(key);
            for (const char* k : {"L1_MacroMode", "L2_MacroMode", "L1_AutoRepeat", "L2_AutoRepeat", "KeyType"})
                sum += ini.ReadInteger(s, k, 0);
            sum += static_cast<int32_t>(ini.ReadString(s, "Level_2_Codes", "").size());
            sum += static_cast<int32_t>(ini.ReadString(s, "Level_1_Codes", "").size());
        }
        benchmark::DoNotOptimize(sum);
        peak = std::max(peak, HeapPeak() - before);
    }
    std::filesystem::remove(path);
    State.counters["MB"] = double(Text.size()) / 1e6;
    State.counters["peak_x"] = double(peak) / double(Text.size());
}

void BM_BlankLines(benchmark::State& State) { ReadAndLookUp(State, Repeat("\n")); }
void BM_KeyLines(benchmark::State& State) { ReadAndLookUp(State, "[KEY0]\n" + Repeat("Level_1_Codes=1c\n")); }
void BM_MillionsOfSections(benchmark::State& State) { ReadAndLookUp(State, Sections()); }

BENCHMARK(BM_BlankLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_KeyLines)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionsOfSections)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
