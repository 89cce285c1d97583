// The tray form in-process, against the virtual keypad and a simulated desktop: its icon
// record, the menu on the icon, the commands from the menu and from WM_KEYPADCOMMAND, the
// version guidance and the help box.
#include "Main.h"
#include "NotifyIcon.h"
#include "PORT_32.h"
#include "Paths.h"
#include "QtDialogs.h"
#include "QtMessageLoop.h"
#include "QtTestApp.h"
#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "Transport.h"
#include "VirtualKeypad.h"
#include "WindowsFolder.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

using namespace tray;

namespace {

using Lines = std::vector<std::string>;

const std::string Note = "Note: EEPROM must be in erased stated in order to get version info. ";
const std::string NoLink = "Unable to communicate wth Quillboard";

class TSimulatedDesktop : public TDesktop {
public:
    TSimulatedDesktop() { SetDesktop(this); }
    ~TSimulatedDesktop() override { SetDesktop(nullptr); }
    HWND FindForeignWindow(const std::string& Title) override
    {
        const auto it = Foreign.find(Title);
        return it == Foreign.end() ? 0 : it->second;
    }
    bool Activate(HWND Wnd) override
    {
        Activated.push_back(Wnd);
        return true;
    }
    POINT CursorPos() override { return Cursor; }
    void NotifyIconChanged(uint32_t Message, const NOTIFYICONDATA& Data) override { Icons.emplace_back(Message, Data); }

    std::map<std::string, HWND> Foreign;
    std::vector<HWND> Activated;
    POINT Cursor{120, 80};
    std::vector<std::pair<uint32_t, NOTIFYICONDATA>> Icons;
};

// Before the fixture's members: the loop's own desktop must not replace the simulated one.
struct TLoopInstalled {
    TLoopInstalled()
    {
        App();
        InstallQtMessageLoop();
    }
};

struct TMenuSeen {
    QPoint Pos;
    Lines Entries; // "-" for a separator
};

class TrayForm : public TLoopInstalled, public ::testing::Test {
protected:
    TTempDir Folder;
    TTestWindowsFolder Windows; // its port driver: none, unless a test puts the controller there
    TVirtualKeypad Keypad;
    TRecordedPauses Pauses;
    TRecordingDialogs Dialogs;
    TRecordingLauncher Launcher;
    TSimulatedDesktop Desk;
    std::unique_ptr<TMainForm> Form;

    void SetUp() override
    {
        SetProgramFileName(Folder.File("QuillboardLED"));
        Windows.WriteDriverFile("not a driver\n");
        Keypad.SetDevices("04b4 0a0a\n");
        Application.Initialize();
        Application.Icon = 7;
        Form = std::make_unique<TMainForm>(nullptr);
        Application.MainForm = Form.get();
    }
    void TearDown() override
    {
        Form.reset();
        SetProgramFileName("");
    }

    Lines Reports() const
    {
        Lines out;
        for (const TLoggedReport& r : Keypad.Reports()) out.push_back(r.Event + HexBytes(r.Bytes));
        return out;
    }

    void Post(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
    {
        ASSERT_TRUE(PostMessageA(Wnd, Msg, WParam, LParam));
        Application.ProcessMessages();
    }

    // The icon's notification as the desktop posts it. A menu that opens is looked at and
    // the entry captioned Choice is chosen ("" dismisses it).
    TMenuSeen Notify(LPARAM MouseMessage, const std::string& Choice = "")
    {
        TMenuSeen seen;
        QTimer poll;
        WatchMenu(poll, Choice, seen);
        Post(Form->Handle(), Form->TrayMessage, 0, MouseMessage);
        return seen;
    }

    // While Poll runs, the next menu to open is looked at into Seen and Choice is chosen.
    static void WatchMenu(QTimer& Poll, const std::string& Choice, TMenuSeen& Seen)
    {
        QObject::connect(&Poll, &QTimer::timeout, [&Poll, Choice, &Seen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            Poll.stop();
            Seen.Pos = menu->pos();
            QAction* chosen = nullptr;
            for (QAction* a : menu->actions()) {
                Seen.Entries.push_back(a->isSeparator() ? "-" : a->text().toStdString());
                if (!a->isSeparator() && a->text().toStdString() == Choice) chosen = a;
            }
            if (chosen) {
                menu->setActiveAction(chosen);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        });
        Poll.start(5);
    }

    // The bytes the keyboard controller's data port took, in order.
    Lines DataPortWrites() const
    {
        Lines out;
        for (const std::string& line : Windows.PortLog())
            if (line.rfind("out 0x60 ", 0) == 0) out.push_back(line.substr(9));
        return out;
    }
};

TEST_F(TrayForm, TrayIconRecordAddedAtCreationAndRemovedWithTheForm)
{
    EXPECT_EQ(Form->TrayMessage, RegisterWindowMessageA("IconNotify_QZ_QuillboardLED"));
    EXPECT_GE(Form->TrayMessage, 0xC000u);
    ASSERT_EQ(Desk.Icons.size(), 1u);
    const auto& [message, added] = Desk.Icons[0];
    EXPECT_EQ(message, NIM_ADD);
    EXPECT_EQ(added.cbSize, 88u);
    EXPECT_EQ(added.hWnd, Form->Handle());
    EXPECT_EQ(added.uID, 0u);
    EXPECT_EQ(added.uFlags, 7u);
    EXPECT_EQ(added.uCallbackMessage, Form->TrayMessage);
    EXPECT_EQ(added.hIcon, 7u);
    char tip[64] = "Varnholt QuillboardLED";
    EXPECT_EQ(std::memcmp(added.szTip, tip, sizeof tip), 0) << "the tip is not zero-padded";
    // The hidden form is what other programs find by its caption.
    EXPECT_EQ(FindWindowA(nullptr, "Varnholt QuillboardLED"), Form->Handle());
    // The form's stored values reach its port component, which the transport uses.
    EXPECT_FALSE(Form->KeyPort->HardAccess());
    EXPECT_EQ(::KeyPort, Form->KeyPort);

    const HWND wnd = Form->Handle();
    Form.reset();
    ASSERT_EQ(Desk.Icons.size(), 2u);
    EXPECT_EQ(Desk.Icons[1].first, NIM_DELETE);
    EXPECT_EQ(Desk.Icons[1].second.hWnd, wnd);
    EXPECT_EQ(Desk.Icons[1].second.uID, 0u);
    EXPECT_EQ(FindWindowA(nullptr, "Varnholt QuillboardLED"), 0u);
    EXPECT_EQ(::KeyPort, nullptr) << "the transport still reaches the destroyed port component";
}

TEST_F(TrayForm, RightButtonOpensTheNineEntryMenuAtTheCursorOtherNotificationsDoNothing)
{
    const TMenuSeen seen = Notify(WM_RBUTTONUP);
    EXPECT_EQ(seen.Pos, QPoint(120, 80));
    EXPECT_EQ(seen.Entries, (Lines{"Help\\About", "-", "Turn the LED On", "Turn the LED Off", "Flash the LED", "-",
                                   "Get Keypad Version", "-", "Exit"}));
    EXPECT_EQ(Desk.Activated, std::vector<HWND>{Form->Handle()}) << "the form is not made the foreground window";

    for (LPARAM other : {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE})
        EXPECT_TRUE(Notify(other).Entries.empty()) << "lParam " << other;
    EXPECT_TRUE(Reports().empty());
    EXPECT_TRUE(Dialogs.Messages.empty());
}

// Another program can post the icon's notification as often as it likes: while the menu is
// open, further right-button notifications open no menu inside it (each would nest a loop).
TEST_F(TrayForm, NotificationsWhileTheMenuIsOpenOpenNoFurtherMenu)
{
    int menusClosed = 0;
    bool flooded = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        if (!flooded) {
            flooded = true;
            for (int i = 0; i < 20; ++i) PostMessageA(Form->Handle(), Form->TrayMessage, 0, WM_RBUTTONUP);
            return;
        }
        ++menusClosed;
        menu->close();
    });
    poll.start(5);
    Post(Form->Handle(), Form->TrayMessage, 0, WM_RBUTTONUP);
    poll.stop();
    EXPECT_TRUE(flooded);
    EXPECT_EQ(menusClosed, 1);

    // Once it is closed, the icon opens the menu again.
    EXPECT_EQ(Notify(WM_RBUTTONUP).Entries.size(), 9u);
}

struct TCommandRow {
    const char* Name;
    const char* Devices;
    std::function<void()> Act;
    Lines Reports;
    Lines Boxes;
};

TEST_F(TrayForm, MenuAndPostedCommandsReachTheKeypad)
{
    const Lines on{"output 00 e4 e4 e4", "output 00 05 05 05"};
    auto post = [this](WPARAM W, LPARAM L, bool ToApplication = false) {
        return [=, this] { Post(ToApplication ? Application.Handle() : Form->Handle(), WM_KEYPADCOMMAND, W, L); };
    };
    const TCommandRow rows[] = {
        {"menu: Turn the LED On", "04b4 0a0a", [this] { Notify(WM_RBUTTONUP, "Turn the LED On"); }, on, {}},
        {"menu: Turn the LED Off", "04b4 0a0a", [this] { Form->mnuTurnLEDOff->Click(); },
         {"output 00 e4 e4 e4", "output 00 04 04 04"}, {}},
        {"menu: Flash the LED", "16c0 0607", [this] { Form->mnuFlashLED->Click(); },
         {"feature 00 01 e4 00 00 00", "feature 00 01 06 00 00 00"}, {}},
        {"posted E4/5 to the form", "04b4 0a0a", post(0xE4, 5), on, {}},
        {"posted E4/4 to the application's window", "04b4 0a0a", post(0xE4, 4, true), {"output 00 e4 e4 e4", "output 00 04 04 04"}, {}},
        {"posted E4/6", "04b4 0a0a", post(0xE4, 6), {"output 00 e4 e4 e4", "output 00 06 06 06"}, {}},
        {"posted E4/3: no version request by message", "04b4 0a0a", post(0xE4, 3), {}, {}},
        {"posted E4/7", "04b4 0a0a", post(0xE4, 7), {}, {}},
        {"posted E3/5", "04b4 0a0a", post(0xE3, 5), {}, {}},
        {"sent, not posted: passes no hook", "04b4 0a0a",
         [this] { SendMessageA(Form->Handle(), WM_KEYPADCOMMAND, 0xE4, 5); }, {}, {}},
        {"nothing reachable: menu", "", [this] { Form->mnuTurnLEDOn->Click(); }, {}, {NoLink}},
        {"nothing reachable: posted E4/5", "", post(0xE4, 5), {}, {NoLink}},
        {"a byte not handed over", "04b4 0a0a write-fails=1", [this] { Form->mnuTurnLEDOn->Click(); },
         {"output 00 05 05 05"}, {NoLink}},
    };
    for (const TCommandRow& row : rows) {
        SCOPED_TRACE(row.Name);
        Keypad.SetDevices(row.Devices);
        std::remove(Keypad.LogFile().c_str());
        Dialogs.Messages.clear();
        row.Act();
        EXPECT_EQ(Reports(), row.Reports);
        ASSERT_EQ(Dialogs.Texts(), row.Boxes);
        for (const TMessageRequest& box : Dialogs.Messages) {
            EXPECT_EQ(box.Caption, "QuillboardLED");
            EXPECT_EQ(box.Icon, TMsgIcon::Information);
            EXPECT_EQ(box.Buttons, TMsgButtons::Ok);
            // Owned by the hidden application window: modal for it alone, not for the icon.
            EXPECT_EQ(box.Owner, Application.Handle());
        }
    }
}

// While a box is up its own loop takes the messages: a posted command is not acted on, but
// the icon's menu still runs a command over the box.
TEST_F(TrayForm, ABoxOwnLoopPassesTheHookOverButTheIconStillWorks)
{
    Dialogs.OnMessage = [&](const TMessageRequest&) {
        Dialogs.OnMessage = nullptr;
        ASSERT_TRUE(PostMessageA(Form->Handle(), WM_KEYPADCOMMAND, 0xE4, 4));
        QCoreApplication::processEvents();
        EXPECT_TRUE(Reports().empty()) << "the posted command was acted on under the box";
        Notify(WM_RBUTTONUP, "Turn the LED On");
    };
    Form->Help1->Click();
    Application.ProcessMessages();
    EXPECT_EQ(Reports(), (Lines{"output 00 e4 e4 e4", "output 00 05 05 05"}));
}

TEST_F(TrayForm, HelpBoxCaptionAndItsEightLines)
{
    Form->Help1->Click();
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    const TMessageRequest& box = Dialogs.Messages[0];
    EXPECT_EQ(box.Caption, "QuillboardLED Demo v5.10 - Help");
    EXPECT_EQ(box.Icon, TMsgIcon::None);
    EXPECT_EQ(box.Owner, Application.Handle());
    EXPECT_EQ(box.Buttons, TMsgButtons::Ok);
    EXPECT_EQ(box.Text, "This program controls the LED of a Varnholt Quillboard 590 or 591. Please follow these\r\n"
                        "IMPORTANT CONFIGURATION REQUIREMENTS:\r\n"
                        "\r\n"
                        " \x95 This function requires a Quillboard v5.00 or higher. \r\n"
                        "\r\n"
                        " \x95 For controlling the LED make sure the Quillboard is configured for LED in Host/Macro mode. \r\n"
                        "\r\n"
                        " \x95 For getting the Version info make sure the EEPROM is erased (two-finger reset).");
    EXPECT_TRUE(Reports().empty());
}

// On the screen the box breaks its lines at CR LF and shows byte 0x95 as the bullet. In the
// programs' font its first line, the longest but one, stands whole on a screen of 800 pixels
// (Qt's own boxes wrap at half the screen's width).
TEST_F(TrayForm, HelpBoxOnTheScreen)
{
    TQtDialogSeam screen;
    SetDialogSeam(&screen);
    const QFont font = QApplication::font();
    QApplication::setFont(FormFont());
    QString shown;
    int textWidth = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll.stop();
        shown = box->text();
        if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) textWidth = label->contentsRect().width();
        box->accept();
    });
    poll.start(5);
    Form->Help1->Click();
    SetDialogSeam(&Dialogs);
    const QStringList lines = shown.split(QChar('\n'));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[3], QString::fromUtf8(" \u2022 This function requires a Quillboard v5.00 or higher. "));
    EXPECT_FALSE(shown.contains(QChar('\r')));
    const QFontMetrics metrics(FormFont());
    std::printf("help box text %d pixels wide on a screen of %d; first line %d, longest %d\n", textWidth,
                QGuiApplication::primaryScreen()->availableGeometry().width(), metrics.horizontalAdvance(lines[0]),
                metrics.horizontalAdvance(lines[5]));
    EXPECT_GE(textWidth, metrics.horizontalAdvance(lines[0])) << lines[0].toStdString();
    QApplication::setFont(font);
}

struct TVersionRow {
    const char* Name;
    const char* Devices;
    bool TapcheckFile;
    bool TapcheckWindow;
    Lines Boxes;
    bool Started; // Tapcheck started, and only after its box
};

TEST_F(TrayForm, GetKeypadVersionGuidesToTapcheckOrNotepad)
{
    const TVersionRow rows[] = {
        {"Tapcheck running: raised", "04b4 0a0a", true, true, {"Tapcheck opened.  When ready, press a keypad key.\r\n" + Note}, false},
        {"Tapcheck not running: started after OK", "04b4 0a0a", true, false,
         {"Tapcheck is opening.  When ready, press a keypad key.\r\n" + Note}, true},
        {"no Tapcheck: Notepad", "04b4 0a0a", false, true, {"Open/activate \"Notepad.exe\" then press a keypad key.\r\n" + Note}, false},
        {"nothing reachable: that alone", "", true, true, {NoLink}, false},
    };
    constexpr HWND TapcheckWindow = 0x5A0001;
    for (const TVersionRow& row : rows) {
        SCOPED_TRACE(row.Name);
        Keypad.SetDevices(row.Devices);
        std::remove(Keypad.LogFile().c_str());
        std::remove(Folder.File("Tapcheck").c_str());
        if (row.TapcheckFile) MakeExecutable(Folder.File("Tapcheck"));
        Desk.Foreign.clear();
        if (row.TapcheckWindow) Desk.Foreign["Tapcheck"] = TapcheckWindow;
        Desk.Activated.clear();
        Dialogs.Messages.clear();
        Launcher.Starts.clear();
        size_t startsDuringBox = 0;
        Dialogs.OnMessage = [&](const TMessageRequest&) { startsDuringBox = Launcher.Starts.size(); };

        Form->mnuGetVersion->Click();

        EXPECT_EQ(Reports(), row.Devices[0] ? (Lines{"output 00 e4 e4 e4", "output 00 03 03 03"}) : Lines{});
        EXPECT_EQ(Dialogs.Texts(), row.Boxes);
        EXPECT_EQ(Dialogs.Messages.at(0).Caption, "QuillboardLED");
        EXPECT_EQ(Dialogs.Messages.at(0).Icon, TMsgIcon::Information);
        const bool raised = row.Devices[0] && row.TapcheckFile && row.TapcheckWindow;
        EXPECT_EQ(Desk.Activated, raised ? std::vector<HWND>{TapcheckWindow} : std::vector<HWND>{});
        EXPECT_EQ(startsDuringBox, 0u);
        ASSERT_EQ(Launcher.Starts.size(), row.Started ? 1u : 0u);
        if (row.Started) {
            EXPECT_EQ(Launcher.Starts[0].Program, Folder.File("Tapcheck"));
            EXPECT_TRUE(Launcher.Starts[0].Arguments.empty());
            EXPECT_EQ(Launcher.Starts[0].Directory, Folder.Path() + "/");
            EXPECT_EQ(Launcher.Starts[0].ShowCmd, SW_SHOWNORMAL);
        }
    }
}

// What another program holds while the command starts.
enum class THeld { Nothing, UsbKeypad, PortAccess };

struct TWaitRow {
    const char* Name;
    LPARAM Posted;      // WM_KEYPADCOMMAND posted before the command starts
    const char* Chosen; // from the icon's menu, opened during the wait
    TMenuItem* TMainForm::*Command;
    Lines Writes;       // to the keyboard controller's data port, or carried to the USB keypad
    Lines Boxes;
    bool Ends;
    THeld Held = THeld::Nothing; // the wait is for what another program holds, not the controller
};

// The waits let waiting messages run: the PS/2 wait, and the wait for a USB keypad or port
// access that another program holds (a download, another utility's command). A command that arrives then (posted, or chosen from a
// new menu) runs after the running one, in order of arrival, never between its bytes; "Exit"
// ends the program once the running command is done, and what waits is dropped. Nothing is
// shown while the keypad is held. "Exit" during a wait for another program's hold ends the
// wait: nothing of the command is sent, and no box says so.
TEST_F(TrayForm, CommandsArrivingDuringAWaitRunAfterTheRunningOne)
{
    const TWaitRow rows[] = {
        {"posted, then chosen", 5, "Flash the LED", &TMainForm::mnuTurnLEDOff, {"0xe4", "0x04", "0xe4", "0x05", "0xe4", "0x06"}, {}, false},
        {"Exit chosen", 6, "Exit", &TMainForm::mnuGetVersion, {"0xe4", "0x03"},
         {"Open/activate \"Notepad.exe\" then press a keypad key.\r\n" + Note}, true},
        {"USB keypad held elsewhere", 5, "Flash the LED", &TMainForm::mnuTurnLEDOff,
         {"0xe4", "0x04", "0xe4", "0x05", "0xe4", "0x06"}, {}, false, THeld::UsbKeypad},
        {"port access held elsewhere", 5, "Flash the LED", &TMainForm::mnuTurnLEDOff,
         {"0xe4", "0x04", "0xe4", "0x05", "0xe4", "0x06"}, {}, false, THeld::PortAccess},
        {"Exit chosen while the USB keypad is held", 5, "Exit", &TMainForm::mnuTurnLEDOff, {}, {}, true, THeld::UsbKeypad},
        {"Exit chosen while port access is held", 5, "Exit", &TMainForm::mnuTurnLEDOff, {}, {}, true, THeld::PortAccess},
    };
    for (const TWaitRow& row : rows) {
        SCOPED_TRACE(row.Name);
        Application.Initialize();
        Keypad.SetDevices(row.Held == THeld::UsbKeypad ? "16c0 0607\n" : "");
        std::remove(Keypad.LogFile().c_str());
        std::remove((Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG").c_str());
        Windows.WriteDriverFile("driver virtual-keyboard-controller\nstatus 0x01 3\n");
        Dialogs.Messages.clear();
        ASSERT_TRUE(PostMessageA(Form->Handle(), WM_KEYPADCOMMAND, 0xE4, row.Posted));
        ASSERT_TRUE(PostMessageA(Form->Handle(), Form->TrayMessage, 0, WM_RBUTTONUP));
        QTimer poll;
        TMenuSeen seen;
        WatchMenu(poll, row.Chosen, seen);
        bool endedUnderTheCommand = false;
        Dialogs.OnMessage = [&](const TMessageRequest&) { endedUnderTheCommand = Application.Terminated(); };
        // Another program's hold, let go once the menu has been used.
        int holder = -1;
        QTimer release;
        if (row.Held != THeld::Nothing) {
            holder = row.Held == THeld::UsbKeypad
                         ? open(Keypad.DevicePath(0).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)
                         : open((Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_EQ(flock(holder, LOCK_EX), 0);
            // Let go after some 10 s in any case: a wait that ran no messages fails, not hangs.
            QObject::connect(&release, &QTimer::timeout, [&, ticks = 0]() mutable {
                if (++ticks < 2000 && (seen.Entries.empty() || QApplication::activePopupWidget())) return;
                release.stop();
                close(holder);
                holder = -1;
            });
            release.start(5);
        }

        (Form.get()->*row.Command)->Click();
        if (holder >= 0) close(holder);

        EXPECT_EQ(seen.Entries.size(), 9u) << "the menu did not open during the wait";
        Lines writes = DataPortWrites();
        if (row.Held == THeld::UsbKeypad) {
            EXPECT_TRUE(writes.empty());
            writes.clear();
            char hex[8];
            for (uint8_t b : Keypad.CarriedBytes()) {
                std::snprintf(hex, sizeof hex, "0x%02x", b);
                writes.push_back(hex);
            }
        }
        EXPECT_EQ(writes, row.Writes);
        EXPECT_EQ(Dialogs.Texts(), row.Boxes);
        EXPECT_FALSE(endedUnderTheCommand) << "the program ended under the running command";
        EXPECT_EQ(Application.Terminated(), row.Ends);
    }
}

// Over the box of a command that reached nothing, the icon's menu runs a command; one posted
// during that command's PS/2 wait runs as soon as it has returned, before a command chosen
// after it, not once the first box is answered.
TEST_F(TrayForm, CommandsOverABoxRunInOrderOfArrival)
{
    Keypad.SetDevices("");
    Dialogs.OnMessage = [&](const TMessageRequest&) {
        Dialogs.OnMessage = nullptr;
        Windows.WriteDriverFile("driver virtual-keyboard-controller\nstatus 0x01 3\n");
        ASSERT_TRUE(PostMessageA(Form->Handle(), WM_KEYPADCOMMAND, 0xE4, 5));
        Form->mnuFlashLED->Click();
        Form->mnuTurnLEDOff->Click();
    };
    Form->mnuGetVersion->Click();
    EXPECT_EQ(DataPortWrites(), (Lines{"0xe4", "0x06", "0xe4", "0x05", "0xe4", "0x04"}));
    EXPECT_EQ(Dialogs.Texts(), Lines{NoLink});
}

} // namespace
