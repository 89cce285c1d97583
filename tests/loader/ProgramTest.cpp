// The real Keyburn591 program, run against the virtual keypad through the library search path.
#include "DefinitionReader.h"
#include "SysUtils.h"
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

using namespace loader;

namespace {

using Bytes = std::vector<uint8_t>;

struct TRun {
    int ExitStatus = -1;
    double Seconds = 0;
};

struct TStarted {
    pid_t Pid = -1;
    std::chrono::steady_clock::time_point Start;
};

// Starts Program with Args and the extra environment, and with at most AddressSpace bytes of
// memory when it is not 0.
TStarted StartProgram(const std::string& Program, const std::vector<std::string>& Args,
                      const std::vector<std::pair<std::string, std::string>>& Env, rlim_t AddressSpace = 0)
{
    TStarted started{-1, std::chrono::steady_clock::now()};
    started.Pid = fork();
    if (started.Pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        for (const auto& [name, value] : Env) setenv(name.c_str(), value.c_str(), 1);
        const rlimit limit{AddressSpace, AddressSpace};
        if (AddressSpace) setrlimit(RLIMIT_AS, &limit);
        std::vector<char*> argv{const_cast<char*>(Program.c_str())};
        for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(Program.c_str(), argv.data());
        _exit(127);
    }
    return started;
}

// Waits for a started program; -1 when it had to be killed or did not exit by itself.
TRun Finish(const TStarted& Started)
{
    TRun run;
    int status = 0;
    for (int i = 0; i < 1200; ++i) {
        if (waitpid(Started.Pid, &status, WNOHANG) == Started.Pid) {
            run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (run.ExitStatus == -1 && waitpid(Started.Pid, &status, WNOHANG) == 0) {
        kill(Started.Pid, SIGKILL);
        waitpid(Started.Pid, &status, 0);
    }
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started.Start).count();
    return run;
}

TRun RunLoader(const std::vector<std::string>& Args, const std::vector<std::pair<std::string, std::string>>& Env,
               rlim_t AddressSpace = 0)
{
    return Finish(StartProgram(ProgramDir() + "/Keyburn591", Args, Env, AddressSpace));
}

class ProgramTest : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    std::string Path = Keypad.Dir.File("my keypad.ckd");
    std::pair<std::string, std::string> Library(const std::string& Variant = "virtualhid")
    {
        return {"LD_LIBRARY_PATH", VirtualLibraryDir(Variant)};
    }
    std::vector<std::string> SplitPath() const { return {Keypad.Dir.Path() + "/my", "keypad.ckd"}; }
    void SetUp() override
    {
        WriteFileText(Path, "[GLOBAL_PARAMETERS]\nCharacter_Pacing=2\n[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n"
                            "[KEY4]\nKeyType=2\nLevel_2_Codes=12f012\n");
        Keypad.SetDevices("16c0 0607\n");
    }
};

TEST_F(ProgramTest, SendsTheWholeStreamOneFeatureReportPerByte)
{
    ASSERT_EQ(ReadKeypadFile(Path), 0);
    const Bytes expected = DownloadStream();
    TRun run = RunLoader(SplitPath(), {Library()});
    EXPECT_EQ(run.ExitStatus, 0);
    auto reports = Keypad.Reports();
    ASSERT_EQ(reports.size(), expected.size());
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].Bytes, (Bytes{0x00, 0x01, expected[i], 0x00, 0x00, 0x00})) << "byte " << i;
        EXPECT_EQ(reports[i].Device, "virtual-hid/0");
        // 10 ms after every report; the log's clock counts whole milliseconds.
        if (i > 0) {
            EXPECT_GE(reports[i].Milliseconds - reports[i - 1].Milliseconds, 9) << "byte " << i;
        }
    }
}

// One sender per keypad: a loader started while another sends (a double click on Download),
// or the tray's command then, waits until the first has closed the keypad and then sends
// whole; a first loader that is killed lets go of the keypad with its process.
TEST_F(ProgramTest, ASecondSenderWaitsUntilTheFirstHasClosedTheKeypad)
{
    const std::string probe = BinaryDir() + "/tests/guest/tray_command_probe";
    struct Row {
        const char* Name;
        bool TraySecond;
        bool KillFirst;
    };
    const Row rows[] = {
        {"two loaders", false, false},
        {"the first loader killed while it sends", false, true},
        {"a loader, then the tray's command", true, false}, // last: it may be skipped
    };
    ASSERT_EQ(ReadKeypadFile(Path), 0);
    const Bytes stream = DownloadStream();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        if (row.TraySecond && access(probe.c_str(), X_OK) != 0) GTEST_SKIP() << "built without the tray transport";
        std::remove(Keypad.LogFile().c_str());
        const TStarted first = StartProgram(ProgramDir() + "/Keyburn591", SplitPath(), {Library()});
        for (int i = 0; i < 6000 && Keypad.Reports().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(Keypad.Reports().empty()) << "the first loader never sent";
        const auto secondStart = std::chrono::system_clock::now();
        const TStarted second = row.TraySecond ? StartProgram(probe, {"05"}, {Library()})
                                               : StartProgram(ProgramDir() + "/Keyburn591", SplitPath(), {Library()});
        if (row.KillFirst) kill(first.Pid, SIGKILL);
        const TRun firstRun = Finish(first), secondRun = Finish(second);
        if (!row.KillFirst) {
            EXPECT_EQ(firstRun.ExitStatus, 0);
        }
        EXPECT_EQ(secondRun.ExitStatus, 0);

        // The first's bytes (all of them, or as far as it got), then the second's, whole.
        const Bytes secondBytes = row.TraySecond ? Bytes{0xE4, 0x05} : stream;
        const Bytes carried = Keypad.CarriedBytes();
        ASSERT_GE(carried.size(), secondBytes.size());
        const size_t split = carried.size() - secondBytes.size();
        EXPECT_EQ(Bytes(carried.begin() + split, carried.end()), secondBytes);
        ASSERT_LE(split, stream.size());
        EXPECT_EQ(Bytes(carried.begin(), carried.begin() + split), Bytes(stream.begin(), stream.begin() + split));
        if (!row.KillFirst) {
            EXPECT_EQ(split, stream.size());
        }
        const auto reports = Keypad.Reports();
        const auto started = std::chrono::duration_cast<std::chrono::milliseconds>(secondStart.time_since_epoch()).count();
        std::printf("[ figures  ] %s: the second waited %.2f s for the keypad; the first ran %.2f s, the second %.2f s\n",
                    row.Name, (reports[split].Milliseconds - started) / 1000.0, firstRun.Seconds, secondRun.Seconds);
    }
}

TEST_F(ProgramTest, EveryFailureExitsWithStatus1)
{
    struct Row {
        const char* Name;
        const char* Devices;
        std::vector<std::pair<std::string, std::string>> Env;
        size_t Received;
    };
    const std::string nohid = VirtualLibraryDir("virtualhid-missing") + "/libnohidlibrary.so";
    const Row rows[] = {
        {"keypad missing", "04b4 0a0a\n", {Library()}, 0},
        {"library missing", "16c0 0607\n",
         {Library(), {"LD_PRELOAD", nohid}, {"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"}}, 0},
        {"entry point missing", "16c0 0607\n", {Library("virtualhid-nogetfeature")}, 0},
        {"first header byte fails", "16c0 0607 feature-fails=1\n", {Library()}, 0},
        {"download end fails", "16c0 0607 feature-fails=212\n", {Library()}, 211},
    };
    std::vector<std::thread> runs;
    std::vector<TRun> results(std::size(rows));
    // Each failure shows its text for 3.5 s; the cases run side by side, each with its own log.
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string devices = Keypad.Dir.File("devices" + std::to_string(i));
        std::string log = Keypad.Dir.File("log" + std::to_string(i));
        WriteFileText(devices, rows[i].Devices);
        auto env = rows[i].Env;
        env.push_back({"QUILL_VIRTUAL_HID_DEVICES", devices});
        env.push_back({"QUILL_VIRTUAL_HID_LOG", log});
        runs.emplace_back([&, i, env] { results[i] = RunLoader(SplitPath(), env); });
    }
    for (auto& t : runs) t.join();
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(results[i].ExitStatus, 1) << rows[i].Name;
        EXPECT_GE(results[i].Seconds, 3.5) << rows[i].Name;
        std::string log = Keypad.Dir.File("log" + std::to_string(i));
        size_t reports = 0; // the log also has the device's opens and closes
        if (FileExists(log)) {
            std::istringstream lines(ReadFileText(log));
            for (std::string line; std::getline(lines, line);) reports += line.find(" feature ") != std::string::npos;
        }
        EXPECT_EQ(reports, rows[i].Received) << rows[i].Name;
    }
}

TEST_F(ProgramTest, PiecesOfAPathThatLookLikeQtOptionsArriveWhole)
{
    // Qt's options with and without a value of their own: none reaches Qt.
    for (const char* option : {"-reverse", "-platform", "-style", "-qwindowtitle"}) {
        const std::string odd = Keypad.Dir.File(std::string("my ") + option + " draft.ckd");
        WriteFileText(odd, ReadFileText(Path));
        std::remove(Keypad.LogFile().c_str());
        TRun run = RunLoader({Keypad.Dir.Path() + "/my", option, "draft.ckd"}, {Library()});
        EXPECT_EQ(run.ExitStatus, 0) << option;
        EXPECT_FALSE(Keypad.Reports().empty()) << option;
    }
}

// Qt starts pooled threads for large fills. The program sees each of them ended before it
// ends itself, however long a thread takes over its exit (held in it here): one still ending
// as the program ends can leave its thread data behind.
TEST_F(ProgramTest, PooledThreadsHaveEndedBeforeTheProgramEnds)
{
    const std::string log = Keypad.Dir.File("pooled.log");
    TRun run = RunLoader({Path}, {Library(),
                                  {"LD_PRELOAD", POOLED_THREAD_PROBE},
                                  {"POOLED_THREAD_PROBE_LOG", log},
                                  {"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=1"}});
    EXPECT_EQ(run.ExitStatus, 0);
    int started = -1, ended = -1;
    ASSERT_EQ(std::sscanf(ReadFileText(log).c_str(), "started %d ended %d", &started, &ended), 2);
    EXPECT_GT(started, 0) << "no pooled thread started: the probe shows nothing";
    EXPECT_EQ(ended, started);
}

TEST_F(ProgramTest, MissingDefinitionFileExitsWithStatus1)
{
    TRun run = RunLoader({Keypad.Dir.File("none.ckd")}, {Library()});
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_TRUE(Keypad.Reports().empty());
}

// The README's command lines as a person pastes them in the source folder: every definition
// file they name is a full path to a file of the clone, and the loader's example downloads it.
TEST_F(ProgramTest, ReadmeExamplesNameDefinitionsThatExist)
{
    const std::string source = QUILL_TEST_SOURCE_DIR;
    std::istringstream readme(ReadFileText(source + "/README.md"));
    std::vector<std::string> named;
    for (std::string line; std::getline(readme, line);) {
        if (!line.starts_with("    ")) continue; // command lines only
        for (size_t q = line.find('"'); q != std::string::npos; q = line.find('"', q + 1)) {
            const size_t end = line.find('"', q + 1);
            if (end == std::string::npos) break;
            std::string arg = line.substr(q + 1, end - q - 1);
            q = end;
            if (!arg.ends_with(".ckd")) continue;
            EXPECT_TRUE(arg.starts_with("$PWD/") || arg.starts_with("/")) << arg << ": not a full path";
            if (arg.starts_with("$PWD/")) arg = source + arg.substr(4);
            EXPECT_TRUE(FileExists(arg)) << arg;
            named.push_back(arg);
        }
    }
    ASSERT_FALSE(named.empty());
    // Given unquoted: split at its blank.
    TRun run = RunLoader({source + "/examples/my", "keypad.ckd"}, {Library()});
    EXPECT_EQ(run.ExitStatus, 0);
    EXPECT_FALSE(Keypad.Reports().empty());
}

} // namespace

namespace {

TEST_F(ProgramTest, AFileLargerThanMemoryAllowsEndsWithTheFileMessageNotAnAbort)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the sanitizer reserves more address space than the limit allows";
#endif
#endif
    const std::string huge = Keypad.Dir.File("huge.ckd");
    WriteFileText(huge, "[KEY0]\nLevel_1_Codes=1c\n" + std::string(50'000'000, '\n'));
    TRun run = RunLoader({huge}, {Library()}, rlim_t(1) << 30);
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_TRUE(Keypad.Reports().empty());
}

} // namespace
