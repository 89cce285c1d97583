// Loading and saving a definition whose 48 levels are all full, on a real file.
#include "Dialogs.h"
#include "FileIO.h"
#include "KeypadClass.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Both levels of every key at the shared limit, mixing every kind of code.
void BuildFull(TKeypadClass& K)
{
    K.Create();
    for (int key = 0; key < KeyCount; ++key) {
        K.SetCurrentKey(static_cast<uint8_t>(key));
        K.SetKeyType(static_cast<uint8_t>(key % 3));
        for (int level = LevelCount - 1; level >= 0; --level) {
            K.SetCurrentLevel(static_cast<uint8_t>(level));
            K.SetName("Macro " + std::to_string(key) + "/" + std::to_string(level));
            const int32_t kinds[] = {1 + key, 86 + key % 20, CodeDelayBase + 1 + key, CodeLedFlash, 104, 30};
            for (int i = 0;; ++i) {
                int32_t pos = K.CodeCount();
                if (!K.InsertCode(pos, kinds[i % 6]) && !K.InsertCode(pos, 2)) break;
            }
        }
    }
    K.SetCurrentKey(0);
    K.SetCurrentLevel(0);
}

class TQuietDialogs : public TDialogSeam {
public:
    int ShowMessage(const TMessageRequest&) override { return mrOk; }
    bool ExecuteFileDialog(TFileDialog&) override { return false; }
};

struct TSetup {
    TKeypadClass Model;
    TQuietDialogs Dialogs;
    std::string Path = (std::filesystem::temp_directory_path() / "bench-definition.ckd").string();
    TSetup()
    {
        SetDialogSeam(&Dialogs);
        Keypad = &Model;
        std::remove(Path.c_str());
        BuildFull(Model);
        SaveDefinition(Path);
    }
    ~TSetup() { std::remove(Path.c_str()); }
};

TSetup& Setup()
{
    static TSetup s;
    return s;
}

void BM_LoadDefinition(benchmark::State& State)
{
    TSetup& s = Setup();
    for (auto _ : State) {
        LoadDefinition(s.Path);
        benchmark::DoNotOptimize(s.Model.CodeCount());
    }
    s.Model.SetCurrentLevel(1);
    if (s.Model.BytesUsed() != SharedLevelByteLimit) State.SkipWithError("definition not full after load");
    s.Model.SetCurrentLevel(0);
}

void BM_SaveDefinition(benchmark::State& State)
{
    TSetup& s = Setup();
    for (auto _ : State) SaveDefinition(s.Path);
}

BENCHMARK(BM_LoadDefinition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveDefinition)->Unit(benchmark::kMicrosecond);

} // namespace
