#include "Transport.h"

#include "Devices.h"
#include "Forms.h"
#include "PORT_32.h"
#include "Services.h"
#include "VirtualKeypad.h"
#include "WindowsFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace tray;

namespace {

using Lines = std::vector<std::string>;
using Pauses = std::vector<uint32_t>;

// The virtual keypad's log in short: "open 1", "output 1 00 e4 e4 e4", "close 1".
Lines Log(const TVirtualKeypad& Keypad)
{
    Lines out;
    for (const TLoggedReport& e : Keypad.Events()) {
        out.push_back(e.Event + " " + e.Device.substr(e.Device.rfind('/') + 1) + HexBytes(e.Bytes));
    }
    return out;
}

// The tray form's port component over a Windows folder of the test's own, whose port driver
// is the virtual keyboard controller. The service manager refuses this process unless a test
// makes it an administrator, so by default port access cannot be opened.
class TransportTest : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    TRecordedPauses Recorded;
    TTestWindowsFolder Windows;
    TPortAccess Port{nullptr};
    TransportTest()
    {
        SetAdministratorSeam(false);
        KeyPort = &Port;
    }
    ~TransportTest() override
    {
        KeyPort = nullptr;
        SetAdministratorSeam(std::nullopt);
    }
    void Attach(const std::string& Devices)
    {
        Keypad.SetDevices(Devices);
        std::remove(Keypad.LogFile().c_str());
    }
};

struct TCommandRow {
    const char* Name;
    const char* Devices;
    bool Result;
    Lines Log;
    Pauses Paused;
};

// Every row sends kcLEDOn (0x05); port access cannot be opened.
TEST_F(TransportTest, CommandGoesToTheFirstKeypadReachedAndEveryOpenedDeviceIsClosed)
{
    const TCommandRow rows[] = {
        {"both identities: only the output-report keypad receives, no pause", "16c0 0607\n04b4 0a0a\n", true,
         {"open 0", "close 0", "open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"only the feature-report keypad: the first search opens every interface", "04b4 0a0b\n16c0 0607\n", true,
         {"open 0", "close 0", "open 1", "close 1", "open 0", "close 0", "open 1", "feature 1 00 01 e4 00 00 00",
          "feature 1 00 01 05 00 00 00", "close 1"},
         {10, 10}},
        {"a keyboard collection refuses reading and writing, not the feature reports",
         "16c0 0607 usage=0001:0006\n", true,
         {"open 0", "feature 0 00 01 e4 00 00 00", "feature 0 00 01 05 00 00 00", "close 0"}, {10, 10}},
        {"an output-report keypad the system holds is passed over", "04b4 0a0a usage=0001:0006\n16c0 0607\n", true,
         {"open 1", "close 1", "open 0", "close 0", "open 1", "feature 1 00 01 e4 00 00 00",
          "feature 1 00 01 05 00 00 00", "close 1"},
         {10, 10}},
        {"attributes that cannot be read: closed and passed over", "04b4 0a0a no-attributes\n04b4 0a0a\n", true,
         {"open 0", "close 0", "open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"a device that does not open is passed over", "04b4 0a0a no-open\n04b4 0a0a\n", true,
         {"open 1", "output 1 00 e4 e4 e4", "output 1 00 05 05 05", "close 1"}, {}},
        {"nothing reachable: false, nothing written", "04b4 0a0b\n16c0 0607 no-attributes\n", false,
         {"open 0", "close 0", "open 1", "close 1", "open 0", "close 0", "open 1", "close 1"}, {}},
        {"no HID device at all", "", false, {}, {}},
        // A byte that was not handed over fails the command; the other byte still goes.
        {"first output report fails", "04b4 0a0a write-fails=1\n", false,
         {"open 0", "output 0 00 05 05 05", "close 0"}, {}},
        {"second output report taken short", "04b4 0a0a write-short=2\n", false,
         {"open 0", "output 0 00 e4 e4 e4", "output 0 00 05 05", "close 0"}, {}},
        {"first feature report fails, both pauses still made", "16c0 0607 feature-fails=1\n", false,
         {"open 0", "close 0", "open 0", "feature 0 00 01 05 00 00 00", "close 0"}, {10, 10}},
        {"second feature report fails", "16c0 0607 feature-fails=2\n", false,
         {"open 0", "close 0", "open 0", "feature 0 00 01 e4 00 00 00", "close 0"}, {10, 10}},
    };
    for (const TCommandRow& row : rows) {
        Attach(row.Devices);
        TRecordedPauses::Pauses().clear();
        EXPECT_EQ(SendKeypadCommand(kcLEDOn), row.Result) << row.Name;
        EXPECT_EQ(Log(Keypad), row.Log) << row.Name;
        EXPECT_EQ(TRecordedPauses::Pauses(), row.Paused) << row.Name;
        EXPECT_EQ(KeypadHandle, nullptr) << row.Name;
    }
    EXPECT_TRUE(Windows.PortLog().empty());
}

// Ending, the program gives up waiting for a keypad that another program holds: nothing of the
// command goes out, not even its second byte once the other has let go just then.
TEST_F(TransportTest, AWaitGivenUpSendsNothingMore)
{
    for (const char* devices : {"04b4 0a0a\n", "16c0 0607\n"}) {
        SCOPED_TRACE(devices);
        Attach(devices);
        int holder = ::open(Keypad.DevicePath(0).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        ProgramEnding = [&holder] { return ::close(holder) == 0; };
        EXPECT_FALSE(SendKeypadCommand(kcLEDOn));
        ProgramEnding = nullptr;
        EXPECT_TRUE(Keypad.Reports().empty());
        EXPECT_EQ(KeypadHandle, nullptr);
    }
}

// What the output-report path relies on of WriteFile: only a handle opened for writing takes
// a report, and the count taken comes back.
TEST_F(TransportTest, OutputReportNeedsAHandleOpenedForWriting)
{
    Attach("04b4 0a0a\n");
    const TKeypadOutputReport report = KeypadOutputReport(0x42);
    uint32_t written = 99;
    HANDLE queryOnly = CreateFileA(Keypad.DevicePath(0), 0, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(queryOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(queryOnly, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(written, 0u);
    HANDLE device = CreateFileA(Keypad.DevicePath(0), GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    int overlapped = 0;
    EXPECT_FALSE(WriteFile(device, report.data(), report.size(), &written, &overlapped));
    EXPECT_TRUE(WriteFile(device, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(written, 4u);
    EXPECT_TRUE(CloseHandle(queryOnly));
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_FALSE(WriteFile(device, report.data(), report.size(), &written, nullptr));
    EXPECT_EQ(Log(Keypad), (Lines{"open 0", "open 0", "output 0 00 42 42 42", "close 0", "close 0"}));
}

// The PS/2 path: no USB keypad, the virtual keyboard controller behind port access. The
// controller's log and the pauses make one time line: "pause 10", "in 0x64 0x00", "out 0x60 0xe4".
class Ps2TransportTest : public TransportTest {
protected:
    Ps2TransportTest()
    {
        SetAdministratorSeam(true);
        SetSleepSeam(&Pause);
        SetMessagePump(&Pump);
        gTest = this;
        Attach("");
    }
    ~Ps2TransportTest() override
    {
        SetMessagePump(nullptr);
        SetSleepSeam([](uint32_t) {}); // the component's own pauses when it goes
        gTest = nullptr;
    }
    void Describe(const std::string& Controller) const
    {
        Windows.WriteDriverFile("driver virtual-keyboard-controller\n" + Controller);
    }
    // The controller's log with the pauses put where they fell. The log reaches the disk at
    // each write and at closing, and every pause follows a write or comes before any read.
    Lines TimeLine() const
    {
        Lines out = Windows.PortLog();
        for (auto p = Paused.rbegin(); p != Paused.rend(); ++p)
            out.insert(out.begin() + std::min(p->second, out.size()), "pause " + std::to_string(p->first));
        return out;
    }
    std::vector<std::pair<uint32_t, size_t>> Paused;
    int Pumped = 0;
    std::function<void()> OnPump; // what the waiting messages do

private:
    static inline Ps2TransportTest* gTest = nullptr;
    static void Pause(uint32_t Ms) { gTest->Paused.push_back({Ms, gTest->Windows.PortLog().size()}); }
    static void Pump()
    {
        ++gTest->Pumped;
        if (gTest->OnPump) gTest->OnPump();
    }
};

const Lines Closing = {"pause 100", "pause 100", "pause 100", "pause 100", "pause 100"};

Lines Concat(Lines A, const Lines& B)
{
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

TEST_F(Ps2TransportTest, BytesWaitOnlyWhileEitherBufferIsFullRunningMessagesOnEachHeldRead)
{
    struct TRow {
        const char* Name;
        const char* Controller;
        Lines Log;
        int Pumped;
    };
    const TRow rows[] = {
        {"ready: written at once", "",
         {"pause 10", "in 0x64 0x00", "out 0x60 0xe4", "pause 10", "in 0x64 0x00", "out 0x60 0x05", "pause 10"}, 0},
        {"other status bits do not hold", "status 0x1c\n",
         {"pause 10", "in 0x64 0x1c", "out 0x60 0xe4", "pause 10", "in 0x64 0x1c", "out 0x60 0x05", "pause 10"}, 0},
        {"output buffer full holds the byte", "status 0x01 2\n",
         {"pause 10", "in 0x64 0x01 x2", "in 0x64 0x00", "out 0x60 0xe4", "pause 10", "in 0x64 0x00", "out 0x60 0x05",
          "pause 10"},
         2},
        // Written then, the byte would overwrite the one the controller has not yet taken.
        {"input buffer full holds the byte too", "status 0x00 1\nstatus 0x02 2\nstatus 0x03 1\n",
         {"pause 10", "in 0x64 0x00", "out 0x60 0xe4", "pause 10", "in 0x64 0x02 x2", "in 0x64 0x03", "in 0x64 0x00",
          "out 0x60 0x05", "pause 10"},
         3},
    };
    for (const TRow& row : rows) {
        Describe(row.Controller);
        std::remove((Windows.DriverFile().substr(0, Windows.DriverFile().size() - 3) + "LOG").c_str());
        Paused.clear();
        Pumped = 0;
        EXPECT_TRUE(SendKeypadCommand(kcLEDOn)) << row.Name;
        EXPECT_EQ(TimeLine(), Concat(row.Log, Closing)) << row.Name;
        EXPECT_EQ(Pumped, row.Pumped) << row.Name;
        EXPECT_FALSE(Port.ActiveHW()) << row.Name;
    }
    EXPECT_TRUE(Keypad.Reports().empty());
}

// The millionth status read ends the wait whatever it shows; the other byte is still sent
// and the closing still made, but the command reports that it was not delivered. The reads
// counted catch a limit off by one either way; the held status is one line of the log.
TEST_F(Ps2TransportTest, PollLimitEndsTheWaitAtTheMillionthRead)
{
    Describe("status 0x01 999999\n"); // the millionth read, the first one clear, is not looked at
    EXPECT_FALSE(SendKeypadCommand(kcGetVersion));
    EXPECT_EQ(Windows.PortLog(), (Lines{"in 0x64 0x01 x999999", "in 0x64 0x00 x2", "out 0x60 0x03"}));
    EXPECT_EQ(Pumped, 999999);
    std::vector<uint32_t> pauses;
    for (auto& p : Paused) pauses.push_back(p.first);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{10, 10, 10, 100, 100, 100, 100, 100}));
}

// Another utility's command (a process of its own), sent while this one's holds the byte
// back: its port access waits for this one's to close, then opens as from nothing (this
// one's closing removed the service it had installed), and its command follows whole.
TEST_F(Ps2TransportTest, AnotherUtilitysCommandWaitsUntilPortAccessIsClosedThenSendsWhole)
{
    const std::string probe = BinaryDir() + "/tests/guest/tray_command_probe";
    if (::access(probe.c_str(), X_OK) != 0) GTEST_SKIP() << "built without the tray's command probe";
    if (!PrivateWindowsFolderWorks()) GTEST_SKIP() << "no user and mount namespaces here";
    Describe("status 0x01 1\n");
    SetSleepSeam(nullptr); // the pauses a user would wait through, for the figure
    const std::string out = Keypad.Dir.File("second.out");
    pid_t second = -1;
    bool waiting = false;
    std::chrono::system_clock::time_point seen;
    OnPump = [&] {
        if (second != -1) return;
        const std::vector<std::string> command = Windows.Command({probe, "--ps2", "06"});
        second = ::fork();
        if (second == 0) {
            ::setenv("LD_LIBRARY_PATH", VirtualLibraryDir("virtualhid").c_str(), 1);
            if (!std::freopen(out.c_str(), "w", stdout)) ::_exit(126);
            std::vector<char*> argv;
            for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        // The device's lock file open in it while this process holds the lock: it waits.
        const std::string lock = Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK";
        siginfo_t ended{};
        for (int i = 0; i < 6000 && !waiting && ::waitid(P_PID, second, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                        ended.si_pid == 0;
             ++i) {
            waiting = HasOpen(second, lock);
            if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        seen = std::chrono::system_clock::now();
    };
    EXPECT_TRUE(SendKeypadCommand(kcLEDOn));
    ASSERT_GT(second, 0);
    EXPECT_TRUE(waiting) << "the second command ended without waiting";
    int status = -1;
    bool ended = false;
    for (int i = 0; i < 6000 && !(ended = ::waitpid(second, &status, WNOHANG) == second); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!ended) {
        ::kill(second, SIGKILL);
        ::waitpid(second, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileText(out);
    EXPECT_EQ(ReadFileText(out), "command 06 1\n");

    const Lines whole = {"in 0x64 0x01", "in 0x64 0x00", "out 0x60 0xe4", "in 0x64 0x00"};
    EXPECT_EQ(Windows.PortLog(), Concat(Concat(whole, {"out 0x60 0x05"}), Concat(whole, {"out 0x60 0x06"})));
    EXPECT_EQ(Windows.ServiceDatabase().find("PORTACC"), std::string::npos) << "a service was left behind";
    // From its wait seen to its first status read (the log's sixth line), by the log's clock.
    std::istringstream log(ReadFileText(Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG"));
    std::string line;
    for (int i = 0; i < 6 && std::getline(log, line);) ++i;
    const auto seenMs = std::chrono::duration_cast<std::chrono::milliseconds>(seen.time_since_epoch()).count();
    if (waiting && Windows.PortLog().size() == 10)
        std::printf("[ figures  ] the second command waited %.2f s for port access\n",
                    (std::atoll(line.c_str()) - seenMs) / 1000.0);
}

TEST_F(Ps2TransportTest, UsbKeypadOrNoPortAccessLeavesThePortsAlone)
{
    Attach("16c0 0607\n");
    EXPECT_TRUE(SendKeypadCommand(kcLEDOff));
    Attach("");
    SetAdministratorSeam(false); // no service manager, no running driver
    EXPECT_FALSE(SendKeypadCommand(kcLEDOff));
    EXPECT_TRUE(Windows.PortLog().empty());
    EXPECT_EQ(Paused.size(), 2u); // the feature reports' pauses only
}

} // namespace
