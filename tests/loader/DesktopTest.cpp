// The loader's window on an X server with a window manager (Xvfb, openbox): what another
// window or the open dialog uncovers is drawn again at the run's next repaint, or at once while
// the run waits for a keypad that another program holds, so the screen shows the window as it
// renders itself; the dialog stands centred on the screen.
#include "HidTransport.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "SplashForm.h"
#include "VirtualKeypad.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QAbstractNativeEventFilter>
#include <QWindow>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

using namespace loader;

// For a sanitized build: on an X display Qt asks the D-Bus library about the desktop, which
// keeps a buffer to the end; that leak is the system library's, not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace {

// Runs at each pause of the run, which is waited for real (up to 50 ms).
std::function<void(uint32_t)> gAtPause;
void Pause(uint32_t Ms)
{
    if (gAtPause) gAtPause(Ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(Ms, 50)));
}

// Pixels where the screen differs from the window's own rendering.
int Differences(QWidget& Window)
{
    const QImage own = Window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = Window.mapToGlobal(QPoint(0, 0));
    const QImage shown = Window.screen()->grabWindow(0, at.x(), at.y(), Window.width(), Window.height()).toImage();
    int differ = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) differ += x >= shown.width() || y >= shown.height() || own.pixel(x, y) != shown.pixel(x, y);
    return differ;
}

// Whether the window system's notices reach the program: the test marks the end of a drag by
// a property change on the loader's window, which comes after the drag's own notices.
class TMarkSeen : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& Type, void* Message, qintptr*) override
    {
        const auto* e = static_cast<const xcb_generic_event_t*>(Message);
        if (Type == "xcb_generic_event_t" && (e->response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<const xcb_property_notify_event_t*>(e)->atom == XCB_ATOM_WM_COMMAND)
            Seen = true;
        return false;
    }
    std::atomic<bool> Seen{false};
};

// Puts a window over the loader at +40+40 of Frame, runs Covered, then drags the window across
// and off to the right; its process id.
pid_t DragAcross(TX11Session& X, const QRect& Frame, const std::function<void()>& Covered = {})
{
    const pid_t over = X.Start({"xmessage", "-geometry", "+" + std::to_string(Frame.x() + 40) + "+" + std::to_string(Frame.y() + 40), "Over"});
    std::string id = X.Run({"timeout", "15", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^xmessage$"});
    EXPECT_FALSE(id.empty()) << "no window to drag";
    if (id.empty()) return over;
    id.resize(id.find('\n'));
    if (Covered) Covered();
    for (int left = Frame.x() + 80; left < Frame.right() + 200; left += 60)
        X.Run({"timeout", "15", "xdotool", "windowmove", "--sync", id, std::to_string(left), std::to_string(Frame.y() + 60)});
    return over;
}

TEST(LoaderDesktop, WindowIsWholeAfterTheOpenDialogAndAWindowDraggedAcross)
{
    TX11Session x(false);
    setenv("DISPLAY", x.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    TQtApplication app(nullptr);
    InstallQtDialogs();
    TVirtualKeypad keypad;
    keypad.SetDevices("16c0 0607\n");
    TTempDir folder; // the program folder, with its "Macro Files"
    std::filesystem::create_directories(folder.File("Macro Files"));
    WriteFileText(folder.File("Macro Files/chosen.ckd"), "[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n");
    SetSleepSeam(&Pause);

    TMarkSeen mark;
    app.installNativeEventFilter(&mark);
    struct TRow {
        const char* Name;
        bool Dialog;
        bool Choose; // the file chosen in the dialog, or given
        bool Held;   // the keypad held by another program until a window was dragged across
    };
    const TRow rows[] = {
        {"file chosen", true, true, false},
        {"dialog cancelled", true, false, false},
        {"keypad held elsewhere", false, true, true},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        const bool choose = row.Choose;
        TVirtualLibraries libraries;
        // The dialog is answered once it stands framed and centred (or after 20 s).
        bool centred = false;
        QDeadlineTimer deadline(20000);
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
            const QPoint off = dialog->frameGeometry().center() - dialog->screen()->availableGeometry().center();
            centred = !dialog->windowHandle()->frameMargins().isNull() && std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1;
            if (!centred && !deadline.hasExpired()) return;
            answer.stop();
            if (!choose) return dialog->reject();
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("chosen.ckd");
            static_cast<QDialog*>(dialog)->accept();
        });
        answer.start(20);

        // Compared at the first pause after the dialog and at the last; during the download a
        // window is put over the loader, then dragged across it and off to the right.
        std::vector<int> shown;
        int steps = 0;
        gAtPause = [&](uint32_t Ms) {
            QWidget* form = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "Form2") form = w;
            if (shown.empty() || Ms >= 500) shown.push_back(Differences(*form));
            if (Ms != 25 || ++steps != 2) return;
            const pid_t over = DragAcross(x, form->frameGeometry(), [&] {
                EXPECT_GT(Differences(*form), 0) << "the other window does not cover the loader";
            });
            kill(over, SIGTERM);
            x.Wait(over, 3000);
        };
        // While the keypad is held, the run waits at its first byte, its last repaint done:
        // another thread drags a window across it meanwhile, marks that, and lets go once the
        // run has seen the mark (or after 20 s), so the first pause after the wait compares.
        std::thread dragger;
        std::remove(keypad.LogFile().c_str());
        mark.Seen = false;
        if (row.Held) {
            const int holder = open(keypad.DevicePath(0).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_EQ(flock(holder, LOCK_EX), 0);
            dragger = std::thread([&x, &keypad, &mark, holder] {
                const bool opened = x.WaitFor([&] { return ReadFileText(keypad.LogFile()).find(" open") != std::string::npos; });
                std::string id = x.Run({"timeout", "15", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                                        "^Keyburn - USB/PS2 Keypad Programmer$"});
                int left = 0, top = 0, width = 0, height = 0;
                std::sscanf(x.Run({"xdotool", "getwindowgeometry", "--shell", id.substr(0, id.find('\n'))}).c_str(),
                            "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &left, &top, &width, &height);
                EXPECT_TRUE(opened && width > 0) << "the loader never waited for the keypad";
                if (opened && width > 0) {
                    const pid_t over = DragAcross(x, QRect(left, top, width, height));
                    x.Run({"xprop", "-id", id.substr(0, id.find('\n')), "-f", "WM_COMMAND", "8s", "-set", "WM_COMMAND", "dragged"});
                    EXPECT_TRUE(x.WaitFor([&] { return mark.Seen.load(); })) << "the waiting loader took no notice";
                    kill(over, SIGTERM);
                    x.Wait(over, 3000);
                }
                close(holder);
            });
        }
        TForm2 form(row.Dialog ? std::vector<std::string>{folder.File("Keyburn591")}
                               : std::vector<std::string>{folder.File("Keyburn591"), folder.File("Macro Files/chosen.ckd")});
        if (dragger.joinable()) dragger.join();
        EXPECT_EQ(form.Succeeded(), choose);
        EXPECT_EQ(centred, row.Dialog) << "the open dialog is not centred on the screen";
        EXPECT_EQ(shown, std::vector<int>(choose ? 2 : 1, 0));
        EXPECT_EQ(steps >= 2, choose) << "no window was dragged across";
        UnloadHidApi();
    }
    SetSleepSeam(nullptr);
    gAtPause = nullptr;
}

// The X server's end (a logout, a crash) while the real program runs: Qt ends it with exit
// status 1 at its next repaint, in its open dialog or in the middle of a download (20 ms
// after each byte, so it lasts for seconds).
TEST(LoaderDesktop, ServerGoneEndsTheProgramWithStatus1)
{
    for (const bool downloading : {false, true}) {
        SCOPED_TRACE(downloading ? "during the download" : "in the open dialog");
        TX11Session x(false);
        TVirtualKeypad keypad;
        keypad.SetDevices("16c0 0607\n");
        const std::string file = keypad.Dir.File("slow.ckd");
        WriteFileText(file, "[GLOBAL_PARAMETERS]\nDownload_Delay=20\n[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n");
        std::vector<std::string> argv{ProgramDir() + "/Keyburn591"};
        if (downloading) argv.push_back(file);
        const pid_t pid = x.Start(argv, {"LD_LIBRARY_PATH=" + VirtualLibraryDir("virtualhid")});
        if (downloading)
            ASSERT_TRUE(x.WaitFor([&] { return !keypad.Reports().empty(); })) << "the download did not begin";
        else
            ASSERT_TRUE(x.WaitFor([&] { return !x.WindowsNamed("Keyburn - Choose Keypad File", pid, true).empty(); }))
                << "no open dialog";
        x.KillServer();
        // A download that ran to its end would give 0.
        EXPECT_EQ(x.Wait(pid, 60000), 1) << "-1: did not end; 128 + n: ended by signal n";
    }
}

} // namespace
