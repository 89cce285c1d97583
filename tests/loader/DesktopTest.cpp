// The loader's window on an X server with a window manager (Xvfb, openbox): what another
// window or the open dialog uncovers is drawn again at the run's next repaint, so the screen
// shows the window as it renders itself.
#include "HidTransport.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "SplashForm.h"
#include "VirtualKeypad.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

// For a sanitized build: on an X display Qt asks the D-Bus library about the desktop, which
// keeps a buffer to the end; that leak is the system library's, not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace {

// The desktop and the test's application on it, one for all tests of the program.
std::unique_ptr<TX11Session> gX;
std::unique_ptr<QApplication> gApp;

class TDesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        gX = std::make_unique<TX11Session>(false);
        setenv("DISPLAY", gX->Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "loader_desktop_test";
        static char* argv[] = {name, nullptr};
        gApp = std::make_unique<QApplication>(argc, argv);
        QApplication::setFont(FormFont());
        InstallQtDialogs();
    }
    void TearDown() override
    {
        gApp.reset();
        gX.reset();
    }
};
::testing::Environment* const Desktop = ::testing::AddGlobalTestEnvironment(new TDesktopEnvironment);

// Runs at each pause of the run, which is waited for real.
std::function<void(uint32_t)> gAtPause;
void Pause(uint32_t Ms)
{
    if (gAtPause) gAtPause(Ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(Ms, 50)));
}

QWidget* Form()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "Form2") return w;
    return nullptr;
}

// Pixels where the screen differs from the window's own rendering.
int Differences(QWidget& Window)
{
    const QImage own = Window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = Window.mapToGlobal(QPoint(0, 0));
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(0, at.x(), at.y(), Window.width(), Window.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (shown.size() != own.size()) return Window.width() * Window.height();
    int differ = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) differ += own.pixel(x, y) != shown.pixel(x, y);
    return differ;
}

class LoaderDesktop : public ::testing::Test {
protected:
    TVirtualKeypad Keypad;
    TVirtualLibraries Libraries;
    TTempDir Folder; // the program folder, with its "Macro Files"
    std::string Program = Folder.File("Keyburn591");
    std::string Chosen = Folder.File("Macro Files/chosen.ckd");
    int Shown = -1; // differences at the last pause

    void SetUp() override
    {
        std::filesystem::create_directories(Folder.File("Macro Files"));
        WriteFileText(Chosen, "[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n");
        Keypad.SetDevices("16c0 0607\n");
        SetSleepSeam(&Pause);
    }
    void TearDown() override
    {
        SetSleepSeam(nullptr);
        gAtPause = nullptr;
        UnloadHidApi();
    }

    // Answers the open dialog once it is on the screen and framed: the chosen file, or
    // cancel. Notes whether it came to stand centred on the screen by its frame.
    bool DialogCentred = false;
    void AnswerDialog(QTimer& Timer, bool Choose)
    {
        Timer.setInterval(20);
        auto deadline = std::make_shared<QDeadlineTimer>(5000);
        QObject::connect(&Timer, &QTimer::timeout, [&Timer, this, Choose, deadline] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
            const QPoint off = dialog->frameGeometry().center() - dialog->screen()->availableGeometry().center();
            DialogCentred = !dialog->windowHandle()->frameMargins().isNull() && std::abs(off.x()) <= 1 &&
                            std::abs(off.y()) <= 1;
            if (!DialogCentred && !deadline->hasExpired()) return;
            Timer.stop();
            if (!Choose) return dialog->reject();
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("chosen.ckd");
            static_cast<QDialog*>(dialog)->accept();
        });
        Timer.start();
    }
    // Compares the screen with the window at each pause of Ms.
    void CompareAt(uint32_t Ms)
    {
        gAtPause = [this, Ms](uint32_t P) {
            if (P == Ms && Form()) Shown = Differences(*Form());
        };
    }
};

TEST_F(LoaderDesktop, WindowDraggedOverAndAwayIsDrawnAgain)
{
    WriteFileText(Chosen, "[GLOBAL_PARAMETERS]\nDownload_Delay=0\n");
    int steps = 0;
    gAtPause = [&](uint32_t Ms) {
        if (Ms == 500 && Form()) Shown = Differences(*Form());
        if (Ms != 25 || ++steps != 2) return;
        // A window put over the loader's middle, then dragged across it and off to the right.
        const QRect g = Form()->frameGeometry();
        gX->Start({"xmessage", "-geometry", "+" + std::to_string(g.x() + 40) + "+" + std::to_string(g.y() + 40),
                   "A window over the loader"});
        const std::string id = gX->Run({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^xmessage$"});
        ASSERT_FALSE(id.empty());
        for (int x = g.x() + 80; x < g.right() + 200; x += 60)
            gX->Run({"xdotool", "windowmove", "--sync", id.substr(0, id.find('\n')), std::to_string(x),
                     std::to_string(g.y() + 60)});
    };
    TForm2 form({Program, Chosen});
    EXPECT_TRUE(form.Succeeded());
    EXPECT_EQ(Shown, 0);
}

TEST_F(LoaderDesktop, WindowIsWholeAfterTheOpenDialog)
{
    for (bool choose : {true, false}) {
        QTimer timer;
        AnswerDialog(timer, choose);
        CompareAt(choose ? 10 : 3500);
        Shown = -1;
        TForm2 form({Program});
        EXPECT_EQ(form.Succeeded(), choose);
        EXPECT_TRUE(DialogCentred);
        EXPECT_EQ(Shown, 0) << (choose ? "file chosen" : "dialog cancelled");
    }
}

} // namespace
