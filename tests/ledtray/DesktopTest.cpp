// QuillboardLED as a process on a desktop of its own (Xvfb, openbox, trayer), with the
// virtual keypad in place of the system's HID library: the tray icon and its menu under the
// mouse, WM_KEYPADCOMMAND posted by another program, Tapcheck raised, and what the utility
// costs while it waits in the tray.
#include "TestSupport.h"
#include "VirtualKeypad.h"
#include "WindowsFolder.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string Title = "Varnholt QuillboardLED";
constexpr const char* OutputLedOn = "output 00 05 05 05";

// For a sanitized build: what the system's libraries leak is not ours to report.
std::string LeakSuppressions()
{
    return std::string("LSAN_OPTIONS=suppressions=") + QUILL_TEST_SOURCE_DIR + "/tests/ledtray/lsan.supp";
}

std::string Helper()
{
    return BinaryDir() + "/tests/helpers/ledtray_x11_helper";
}

// "output 00 05 05 05" for each report of the log, in order.
std::vector<std::string> ReportsOf(const std::string& LogFile)
{
    std::vector<std::string> out;
    std::ifstream in(LogFile);
    std::string stamp, device, event, line;
    while (in >> stamp >> device >> event) {
        std::getline(in, line);
        if (event == "output" || event == "feature") out.push_back(event + line);
    }
    return out;
}

class TrayDesktop : public ::testing::Test {
protected:
    TX11Session X;
    TVirtualKeypad Keypad;
    TTempDir Folder; // the program folder: a copy of the utility, so Tapcheck can stand beside it

    void SetUp() override
    {
        std::filesystem::copy_file(ProgramDir() + "/QuillboardLED", Folder.File("QuillboardLED"));
        Keypad.SetDevices("04b4 0a0a\n");
    }

    pid_t StartUtility(const std::string& Log = "")
    {
        std::vector<std::string> env{"LD_LIBRARY_PATH=" + VirtualLibraryDir("virtualhid"), LeakSuppressions()};
        if (!Log.empty()) env.push_back("QUILL_VIRTUAL_HID_LOG=" + Log);
        return X.Start({Folder.File("QuillboardLED")}, env);
    }

    // The icon as the tray shows it: the utility's one visible window.
    TWindowGeometry Icon(pid_t Pid)
    {
        std::vector<TWindowGeometry> shown;
        X.WaitFor([&] { return !(shown = X.VisibleWindows(Pid)).empty(); });
        return shown.empty() ? TWindowGeometry{} : shown.front();
    }

    void Click(const TWindowGeometry& Icon, const std::string& Button, int Repeat = 1)
    {
        X.Run({"xdotool", "mousemove", std::to_string(Icon.X + Icon.Width / 2), std::to_string(Icon.Y + Icon.Height / 2),
               "click", "--repeat", std::to_string(Repeat), "--delay", "80", Button});
    }

    // The visible windows of the utility other than its icon (its menu, a message box).
    std::vector<TWindowGeometry> Others(pid_t Pid, const TWindowGeometry& Icon)
    {
        std::vector<TWindowGeometry> out;
        for (const TWindowGeometry& w : X.VisibleWindows(Pid))
            if (w.Id != Icon.Id) out.push_back(w);
        return out;
    }

    // Opens the menu on the icon and chooses the entry reached with Down pressed Downs times.
    void Choose(pid_t Pid, const TWindowGeometry& Icon, int Downs)
    {
        // A press within a few milliseconds of a menu's closing still goes to the closed
        // menu (its pointer grab ends when the utility's loop next runs), and a loaded
        // machine may put off the closing of the last menu chosen from for a while.
        X.WaitFor([&] {
            if (FMenu == 0) return true;
            const std::vector<TWindowGeometry> shown = X.VisibleWindows(FMenuPid);
            return std::none_of(shown.begin(), shown.end(), [&](const TWindowGeometry& w) { return w.Id == FMenu; });
        });
        X.WaitFor([] { return false; }, 300);
        const std::vector<TWindowGeometry> before = Others(Pid, Icon); // a box may be up already
        Click(Icon, "3");
        std::vector<TWindowGeometry> now;
        ASSERT_TRUE(X.WaitFor([&] { return (now = Others(Pid, Icon)).size() > before.size(); })) << "no menu";
        FMenuPid = Pid;
        for (const TWindowGeometry& w : now)
            if (std::none_of(before.begin(), before.end(), [&](const TWindowGeometry& b) { return b.Id == w.Id; })) FMenu = w.Id;
        std::vector<std::string> keys{"xdotool", "key", "--delay", "40"};
        keys.insert(keys.end(), static_cast<size_t>(Downs), "Down");
        keys.push_back("Return");
        X.Run(keys);
    }

private:
    pid_t FMenuPid = 0;
    unsigned long FMenu = 0; // the menu of the last Choose
};

// Entries under the keyboard, from the top: Help\About, Turn the LED On, Turn the LED Off,
// Flash the LED, Get Keypad Version, Exit (separators are passed over).
constexpr int DownsToHelp = 1;
constexpr int DownsToLedOn = 2;
constexpr int DownsToGetVersion = 5;
constexpr int DownsToExit = 6;

TEST_F(TrayDesktop, IconMenuAtTheCursorLedOnAndExit)
{
    const pid_t pid = StartUtility();
    const TWindowGeometry icon = Icon(pid);
    ASSERT_NE(icon.Id, 0u) << "no icon in the tray";
    EXPECT_LT(icon.Y, 24) << "the icon is not in the tray at the top of the screen";

    // Left clicks and a double click do nothing: no menu, no box, nothing sent.
    Click(icon, "1");
    Click(icon, "1", 2);
    X.WaitFor([] { return false; }, 500);
    EXPECT_TRUE(Others(pid, icon).empty());
    EXPECT_TRUE(ReportsOf(Keypad.LogFile()).empty());

    Click(icon, "3");
    std::vector<TWindowGeometry> menu;
    ASSERT_TRUE(X.WaitFor([&] { return !(menu = Others(pid, icon)).empty(); })) << "no menu";
    EXPECT_EQ(menu.front().X, icon.X + icon.Width / 2) << "the menu's left edge is not at the cursor";
    EXPECT_EQ(menu.front().Y, icon.Y + icon.Height / 2) << "the menu's top is not at the cursor";
    X.Run({"xdotool", "key", "--delay", "40", "Down", "Down", "Return"});
    EXPECT_TRUE(X.WaitFor([&] { return ReportsOf(Keypad.LogFile()).size() == 2; }));
    EXPECT_EQ(ReportsOf(Keypad.LogFile()), (std::vector<std::string>{"output 00 e4 e4 e4", OutputLedOn}));

    Choose(pid, icon, DownsToExit);
    EXPECT_EQ(X.Wait(pid, 5000), 0) << "Exit did not end the program";
}

// A box of the utility blocks none of its other windows nor the icon, which is the
// desktop's: a right click opens the menu over the box and its command reaches the keypad,
// while WM_KEYPADCOMMAND posted meanwhile passes the box's loop without being acted on.
TEST_F(TrayDesktop, MenuOverABoxRunsItsCommandAndAPostedOneIsNotActedOn)
{
    const pid_t pid = StartUtility();
    const TWindowGeometry icon = Icon(pid);
    Choose(pid, icon, DownsToHelp);
    std::vector<unsigned long> box;
    ASSERT_TRUE(X.WaitFor([&] { return !(box = X.WindowsNamed("QuillboardLED Demo v5.10 - Help", pid, true)).empty(); }))
        << "no help box";
    // Posted before the click, so the utility has taken it by the time the menu opens.
    X.Run({Helper(), "post", Title, "0x8591", "0xE4", "4"});
    Choose(pid, icon, DownsToLedOn);
    EXPECT_TRUE(X.WaitFor([&] { return ReportsOf(Keypad.LogFile()).size() >= 2; })) << "the command did not run";
    ASSERT_FALSE(X.WindowsNamed("QuillboardLED Demo v5.10 - Help", pid, true).empty()) << "the box went away";

    X.Run({"xdotool", "windowactivate", "--sync", std::to_string(box.front()), "key", "Return"});
    EXPECT_TRUE(X.WaitFor([&] { return X.WindowsNamed("QuillboardLED Demo v5.10 - Help", pid, true).empty(); }));
    Choose(pid, icon, DownsToExit);
    EXPECT_EQ(X.Wait(pid, 5000), 0);
    EXPECT_EQ(ReportsOf(Keypad.LogFile()), (std::vector<std::string>{"output 00 e4 e4 e4", OutputLedOn}));
}

TEST_F(TrayDesktop, PostedKeypadCommandFromAnotherProgram)
{
    const pid_t pid = StartUtility();
    Icon(pid);
    auto post = [&](const std::string& Window, const char* WParam, const char* LParam) {
        int status = -1;
        X.Run({Helper(), "post", Window, "0x8591", WParam, LParam}, &status);
        return status;
    };
    // Posted first, so they have been taken by the time the accepted one is done.
    EXPECT_EQ(post(Title, "0xE4", "3"), 0);
    EXPECT_EQ(post(Title, "0xE4", "7"), 0);
    EXPECT_EQ(post(Title, "0xE3", "5"), 0);
    EXPECT_EQ(post(Title, "0xE4", "5"), 0);
    EXPECT_TRUE(X.WaitFor([&] { return ReportsOf(Keypad.LogFile()).size() >= 2; }));
    X.WaitFor([] { return false; }, 300);
    EXPECT_EQ(ReportsOf(Keypad.LogFile()), (std::vector<std::string>{"output 00 e4 e4 e4", OutputLedOn}));
    EXPECT_EQ(post("No Such Window", "0xE4", "5"), 1);

    // The README's example program posts as a peer does, without our layer.
    int status = -1;
    X.Run({BinaryDir() + "/tests/helpers/post_keypad_command", "6"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(X.WaitFor([&] { return ReportsOf(Keypad.LogFile()).size() >= 4; }));
    EXPECT_EQ(ReportsOf(Keypad.LogFile()),
              (std::vector<std::string>{"output 00 e4 e4 e4", OutputLedOn, "output 00 e4 e4 e4", "output 00 06 06 06"}));
}

TEST_F(TrayDesktop, TwoInstancesActOnlyOnWhatIsPostedToTheirOwnWindows)
{
    const std::string logA = Keypad.Dir.File("a.log"), logB = Keypad.Dir.File("b.log");
    const pid_t a = StartUtility(logA), b = StartUtility(logB);
    Icon(a);
    Icon(b);
    // The hidden windows are children of the root; the tray's icon also bears the title.
    const auto windowsA = X.WindowsNamed(Title, a, false, 1), windowsB = X.WindowsNamed(Title, b, false, 1);
    ASSERT_EQ(windowsA.size(), 2u) << "the form and the application's window";
    ASSERT_EQ(windowsB.size(), 2u);
    // The LED off to one window of A, on to the other window of B.
    auto id = [](unsigned long W) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%lx", W);
        return std::string(hex);
    };
    X.Run({Helper(), "post", id(windowsA[0]), "0x8591", "0xE4", "4"});
    X.Run({Helper(), "post", id(windowsB[1]), "0x8591", "0xE4", "5"});
    EXPECT_TRUE(X.WaitFor([&] { return ReportsOf(logA).size() == 2 && ReportsOf(logB).size() == 2; }));
    X.WaitFor([] { return false; }, 300);
    EXPECT_EQ(ReportsOf(logA), (std::vector<std::string>{"output 00 e4 e4 e4", "output 00 04 04 04"}));
    EXPECT_EQ(ReportsOf(logB), (std::vector<std::string>{"output 00 e4 e4 e4", OutputLedOn}));
}

TEST_F(TrayDesktop, GetVersionRaisesARunningTapcheckAndStartsNoSecondCopy)
{
    std::filesystem::copy_file(Helper(), Folder.File("Tapcheck"));
    const std::string starts = Folder.File("tapcheck-starts");
    const std::vector<std::string> tapEnv{"TAPCHECK_LOG=" + starts};
    const pid_t tapcheck = X.Start({Folder.File("Tapcheck")}, tapEnv);
    std::vector<unsigned long> tapWindow;
    ASSERT_TRUE(X.WaitFor([&] { return !(tapWindow = X.WindowsNamed("Tapcheck", tapcheck, true)).empty(); }));
    X.Run({"xdotool", "windowminimize", "--sync", std::to_string(tapWindow.front())});
    ASSERT_TRUE(X.WindowsNamed("Tapcheck", tapcheck, true).empty()) << "Tapcheck did not go out of sight";

    const pid_t pid = StartUtility();
    const TWindowGeometry icon = Icon(pid);
    Choose(pid, icon, DownsToGetVersion);
    std::vector<unsigned long> box;
    ASSERT_TRUE(X.WaitFor([&] { return !(box = X.WindowsNamed("QuillboardLED", pid, true)).empty(); })) << "no box";
    EXPECT_TRUE(X.WaitFor([&] { return !X.WindowsNamed("Tapcheck", tapcheck, true).empty(); })) << "Tapcheck not raised";
    X.Run({"xdotool", "windowactivate", "--sync", std::to_string(box.front()), "key", "Return"});
    EXPECT_TRUE(X.WaitFor([&] { return X.WindowsNamed("QuillboardLED", pid, true).empty(); }));
    EXPECT_EQ(ReadFileText(starts), "started " + std::to_string(tapcheck) + "\n") << "a second Tapcheck started";

    // Without the window, the box comes first and the program starts only once it is answered.
    X.Run({"kill", std::to_string(tapcheck)});
    ASSERT_GE(X.Wait(tapcheck, 10000), 0) << "Tapcheck did not end";
    Choose(pid, icon, DownsToGetVersion);
    ASSERT_TRUE(X.WaitFor([&] { return !(box = X.WindowsNamed("QuillboardLED", pid, true)).empty(); })) << "no box";
    X.WaitFor([] { return false; }, 300);
    EXPECT_EQ(ReadFileText(starts).size(), ("started " + std::to_string(tapcheck) + "\n").size()) << "started before OK";
    X.Run({"xdotool", "windowactivate", "--sync", std::to_string(box.front()), "key", "Return"});
    EXPECT_TRUE(X.WaitFor([&] { return !X.WindowsNamed("Tapcheck", 0, true).empty(); })) << "Tapcheck not started";
    // The started copy ends with the display server.
}

// No USB keypad: the commands go to the virtual keyboard controller, whose output buffer stays
// full for a while at each opening, so the second post is taken during the first's PS/2 wait.
TEST_F(TrayDesktop, ACommandPostedDuringThePs2WaitRunsAfterTheRunningOne)
{
    if (!PrivateWindowsFolderWorks()) GTEST_SKIP() << "no user and mount namespaces for a Windows folder of the test's own";
    TTestWindowsFolder windows("status 0x01 200000\n");
    Keypad.SetDevices("");
    const pid_t pid = X.Start(windows.Command({Folder.File("QuillboardLED")}),
                              {"LD_LIBRARY_PATH=" + VirtualLibraryDir("virtualhid"), LeakSuppressions()});
    Icon(pid);
    // Both posted at once: the second waits in the queue that the first command's wait runs.
    const long long secondPosted = std::atoll(X.Run({Helper(), "post", Title, "0x8591", "0xE4", "4", "5"}).c_str());
    auto writes = [&] {
        std::vector<std::string> out;
        for (const std::string& line : windows.PortLog())
            if (line.rfind("out ", 0) == 0) out.push_back(line);
        return out;
    };
    EXPECT_TRUE(X.WaitFor([&] { return writes().size() >= 4; }, 20000));
    EXPECT_EQ(writes(), (std::vector<std::string>{"out 0x60 0xe4", "out 0x60 0x04", "out 0x60 0xe4", "out 0x60 0x05"}));
    // The second post was in the utility's hands before the first command wrote its first byte.
    std::ifstream log(windows.DriverFile().substr(0, windows.DriverFile().size() - 3) + "LOG");
    long long stamp = 0;
    std::string direction;
    for (std::string line; std::getline(log, line) && direction != "out";)
        std::istringstream(line) >> stamp >> direction;
    EXPECT_LT(secondPosted, stamp) << "the second command arrived too late to test the wait";
    std::printf("[ figures  ] the second command was posted %.2f s before the first one's first byte\n",
                (stamp - secondPosted) / 1000.0);
}

// What the utility is doing when it is ended from outside.
enum class TState { Idle, MenuOpen, BoxOpen, CommandOverABox, UsbWait, Ps2Wait };

struct TEndRow {
    const char* Name;
    TState State;
    int Signal; // 0: the X server goes away, as at a logout or a crash
};

void PrintTo(const TEndRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

class TrayEndedFromOutside : public TrayDesktop, public ::testing::WithParamInterface<TEndRow> {};

// Ended from outside, the utility ends as "Exit" does: by a signal, through its own teardown
// (exit status 0), during a PS/2 command's wait once the command has closed port access,
// which stops and removes the port driver's service that it installed. When the X server
// goes, Qt ends the process (exit status 1) in whatever state it is, and port access is
// closed all the same. Each row reaches its state and sees it before the end comes.
TEST_P(TrayEndedFromOutside, EndsAsExitDoesAndLeavesNoPortService)
{
    const TEndRow& row = GetParam();
    // In a Windows folder of the test's own, where the machine allows it: the controller's
    // output buffer stays full for a while at each opening, so a PS/2 command waits.
    std::optional<TTestWindowsFolder> windows;
    if (PrivateWindowsFolderWorks())
        windows.emplace("status 0x01 300000\n");
    else if (row.State == TState::Ps2Wait)
        GTEST_SKIP() << "no user and mount namespaces for a Windows folder of the test's own";
    if (row.State == TState::Ps2Wait) Keypad.SetDevices("");
    const std::vector<std::string> program{Folder.File("QuillboardLED")};
    const pid_t pid = X.Start(windows ? windows->Command(program) : program,
                              {"LD_LIBRARY_PATH=" + VirtualLibraryDir("virtualhid"), LeakSuppressions()});
    const TWindowGeometry icon = Icon(pid);
    ASSERT_NE(icon.Id, 0u) << "no icon in the tray";

    const std::string help = "QuillboardLED Demo v5.10 - Help";
    int holder = -1; // another program's hold on the keypad
    switch (row.State) {
    case TState::Idle: break;
    case TState::MenuOpen:
        Click(icon, "3");
        ASSERT_TRUE(X.WaitFor([&] { return !Others(pid, icon).empty(); })) << "no menu";
        break;
    case TState::BoxOpen:
    case TState::CommandOverABox:
        Choose(pid, icon, DownsToHelp);
        ASSERT_TRUE(X.WaitFor([&] { return !X.WindowsNamed(help, pid, true).empty(); })) << "no help box";
        if (row.State == TState::BoxOpen) break;
        Choose(pid, icon, DownsToLedOn);
        ASSERT_TRUE(X.WaitFor([&] { return ReportsOf(Keypad.LogFile()).size() == 2; })) << "the command did not run";
        ASSERT_FALSE(X.WindowsNamed(help, pid, true).empty()) << "the box went away";
        break;
    case TState::UsbWait:
        holder = open(Keypad.DevicePath(0).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_EQ(flock(holder, LOCK_EX), 0);
        X.Run({Helper(), "post", Title, "0x8591", "0xE4", "5"});
        // The command's hold opens the node just before it waits for it.
        ASSERT_TRUE(X.WaitFor([&] { return HasOpen(pid, Keypad.DevicePath(0)); })) << "the command does not wait";
        break;
    case TState::Ps2Wait:
        X.Run({Helper(), "post", Title, "0x8591", "0xE4", "5"});
        ASSERT_TRUE(X.WaitFor([&] { return windows->ServiceDatabase().find("[PORTACC]") != std::string::npos; }))
            << "the command did not start the port driver's service";
        break;
    }

    row.Signal ? void(kill(pid, row.Signal)) : X.KillServer();
    EXPECT_EQ(X.Wait(pid, 60000), row.Signal ? 0 : 1) << "-1: did not end; 128 + n: ended by signal n";
    if (holder >= 0) close(holder);
    if (windows) {
        EXPECT_EQ(windows->ServiceDatabase().find("[PORTACC]"), std::string::npos) << windows->ServiceDatabase();
    }
    if (row.State != TState::CommandOverABox) {
        EXPECT_TRUE(ReportsOf(Keypad.LogFile()).empty()) << "a command was sent";
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, TrayEndedFromOutside,
    ::testing::Values(TEndRow{"SighupIdle", TState::Idle, SIGHUP}, TEndRow{"SigintIdle", TState::Idle, SIGINT},
                      TEndRow{"SigtermInAPs2Wait", TState::Ps2Wait, SIGTERM},
                      TEndRow{"ServerGoneIdle", TState::Idle, 0}, TEndRow{"ServerGoneWithTheMenuOpen", TState::MenuOpen, 0},
                      TEndRow{"ServerGoneWithABoxOpen", TState::BoxOpen, 0},
                      TEndRow{"ServerGoneWithABoxOpenAfterACommandOverIt", TState::CommandOverABox, 0},
                      TEndRow{"ServerGoneInAUsbWait", TState::UsbWait, 0},
                      TEndRow{"ServerGoneInAPs2Wait", TState::Ps2Wait, 0}),
    [](const ::testing::TestParamInfo<TEndRow>& Info) { return std::string(Info.param.Name); });

// Whether another process holds File's lock.
bool LockedElsewhere(const std::string& File)
{
    const int fd = open(File.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

// The keypad, or port access, that another program holds and may never let go of (here: the
// test itself, and a second utility stopped in its PS/2 command): "Exit" or SIGTERM during the
// command's wait ends the utility at once as "Exit" does, with nothing sent.
TEST_F(TrayDesktop, ExitOrSigtermEndsAWaitForWhatAnotherProgramHolds)
{
    struct TRow {
        const char* Name;
        bool PortAccess; // else the USB keypad
        bool Exit;       // else SIGTERM
    };
    const TRow rows[] = {
        {"USB keypad held, Exit", false, true},
        {"USB keypad held, SIGTERM", false, false},
        {"port access held, Exit", true, true},
        {"port access held, SIGTERM", true, false},
    };
    const std::vector<std::string> env{"LD_LIBRARY_PATH=" + VirtualLibraryDir("virtualhid"), LeakSuppressions()};
    std::unique_ptr<TTestWindowsFolder> windows;
    pid_t stopped = -1; // the utility that holds port access
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        int holder = -1;
        pid_t pid = -1;
        std::remove(Keypad.LogFile().c_str());
        if (!row.PortAccess) {
            Keypad.SetDevices("04b4 0a0a\n");
            holder = open(Keypad.DevicePath(0).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_EQ(flock(holder, LOCK_EX), 0);
            pid = StartUtility(Keypad.LogFile());
            Icon(pid);
            X.Run({Helper(), "post", Title, "0x8591", "0xE4", "5"});
            // The search has opened the keypad; the first byte waits for it.
            ASSERT_TRUE(X.WaitFor([&] { return ReadFileText(Keypad.LogFile()).find(" open") != std::string::npos; }));
        } else {
            if (!PrivateWindowsFolderWorks()) GTEST_SKIP() << "no user and mount namespaces for a Windows folder of the test's own";
            Keypad.SetDevices("");
            // The other utility's controller never lets a byte through: it holds port access
            // in its first byte's wait, and is stopped there.
            if (!windows) windows = std::make_unique<TTestWindowsFolder>("status 0x01\n");
            const std::string lock = windows->Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK";
            if (stopped < 0) {
                stopped = X.Start(windows->Command({Folder.File("QuillboardLED")}), env);
                Icon(stopped);
                X.Run({Helper(), "post", Title, "0x8591", "0xE4", "4"});
                ASSERT_TRUE(X.WaitFor([&] { return LockedElsewhere(lock); })) << "the other utility never held port access";
                kill(stopped, SIGSTOP);
            }
            pid = X.Start(windows->Command({Folder.File("QuillboardLED")}), env);
            Choose(pid, Icon(pid), DownsToLedOn);
            ASSERT_TRUE(X.WaitFor([&] { return HasOpen(pid, lock); })) << "the command does not wait for port access";
        }
        if (row.Exit) {
            Choose(pid, Icon(pid), DownsToExit);
        } else {
            kill(pid, SIGTERM);
        }
        const auto asked = std::chrono::steady_clock::now();
        // It ends in well under a second, in a few seconds on a loaded machine; the bound
        // leaves room for that and still tells an end from a wait for as long as the holder holds.
        EXPECT_EQ(X.Wait(pid, 30000), 0) << "the utility did not end within 30 s";
        std::printf("[ figures  ] %s: ended %.2f s after\n", row.Name,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
        EXPECT_TRUE(ReportsOf(Keypad.LogFile()).empty());
        if (windows) {
            for (const std::string& line : windows->PortLog()) EXPECT_NE(line.rfind("out ", 0), 0u) << line;
        }
        if (holder >= 0) close(holder);
    }
    if (stopped > 0) kill(stopped, SIGKILL);
}

// Writes build/quillboardled-tray-menu.png and prints the idle utility's resident memory.
TEST_F(TrayDesktop, ScreenshotOfTheMenuAndIdleMemory)
{
    const pid_t pid = StartUtility();
    const TWindowGeometry icon = Icon(pid);
    X.WaitFor([] { return false; }, 1000);
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    long rssKb = 0;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) rssKb = std::atol(line.c_str() + 6);
    std::printf("QuillboardLED idle in the tray: VmRSS %ld kB (%.1f MB)\n", rssKb, rssKb / 1024.0);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(rssKb, 40 * 1024);
#endif

    Click(icon, "3");
    std::vector<TWindowGeometry> menu;
    ASSERT_TRUE(X.WaitFor([&] { return !(menu = Others(pid, icon)).empty(); })) << "no menu";
    X.Run({"xdotool", "key", "Down", "Down"});
    X.WaitFor([] { return false; }, 300);
    // The corner of the screen with the tray and the menu.
    const std::string png = BinaryDir() + "/quillboardled-tray-menu.png";
    int result = -1;
    X.Run({Helper(), "grab", png, std::to_string(menu.front().X + menu.front().Width + 60),
           std::to_string(menu.front().Y + menu.front().Height + 40)},
          &result);
    EXPECT_EQ(result, 0);
    X.Run({"xdotool", "key", "Escape"});
}

} // namespace
