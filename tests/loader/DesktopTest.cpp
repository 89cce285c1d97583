// The loader's window on an X server with a window manager (Xvfb, openbox): what another
// window or the open dialog uncovers is drawn again at the run's next repaint, so the screen
// shows the window as it renders itself; the dialog stands centred on the screen.
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
#include <QWindow>

#include <chrono>
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

    for (bool choose : {true, false}) {
        TVirtualLibraries libraries;
        // The dialog is answered once it stands framed and centred (or after 5 s).
        bool centred = false;
        QDeadlineTimer deadline(5000);
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
            const QRect g = form->frameGeometry();
            x.Start({"xmessage", "-geometry", "+" + std::to_string(g.x() + 40) + "+" + std::to_string(g.y() + 40), "Over"});
            std::string id = x.Run({"timeout", "15", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^xmessage$"});
            ASSERT_FALSE(id.empty()) << "no window to drag";
            id.resize(id.find('\n'));
            EXPECT_GT(Differences(*form), 0) << "the other window does not cover the loader";
            for (int left = g.x() + 80; left < g.right() + 200; left += 60)
                x.Run({"timeout", "15", "xdotool", "windowmove", "--sync", id, std::to_string(left), std::to_string(g.y() + 60)});
        };
        TForm2 form({folder.File("Keyburn591")});
        EXPECT_EQ(form.Succeeded(), choose);
        EXPECT_TRUE(centred) << "the open dialog is not centred on the screen";
        EXPECT_EQ(shown, std::vector<int>(choose ? 2 : 1, 0)) << (choose ? "file chosen" : "dialog cancelled");
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
            ASSERT_TRUE(x.WaitFor([&] { return !keypad.Reports().empty(); }, 10000)) << "the download did not begin";
        else
            ASSERT_TRUE(x.WaitFor([&] { return !x.WindowsNamed("Keyburn - Choose Keypad File", pid, true).empty(); }))
                << "no open dialog";
        x.KillServer();
        // A download that ran to its end would give 0.
        EXPECT_EQ(x.Wait(pid, 10000), 1) << "-1: did not end; 128 + n: ended by signal n";
    }
}

} // namespace
