#include "QuillboardLED.h"

#include "Forms.h"
#include "Main.h"
#include "MainIcon.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "QtMessageLoop.h"
#include "Transport.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace tray {

int WinMain(int argc, char** argv)
{
    // Other programs find the hidden window and post to it through the X11 desktop, so the
    // utility runs on Qt's xcb platform unless told otherwise (under Wayland: XWayland).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    // The command line is not the utility's to read, nor Qt's.
    TQtApplication app(argc > 0 ? argv[0] : nullptr);
    TPooledThreads pooledThreads; // ended after the windows, before the application
    // The message boxes are the only windows shown: closing the last must not end the program.
    app.setQuitOnLastWindowClosed(false);
    InstallQtDialogs();
    InstallQtMessageLoop();
    // Ended from outside, the utility ends as closing its form does, and no sooner than the
    // running command has closed its link, so a port driver service that the command started
    // does not outlive it. What would wait for an answer then (the command's box, a menu,
    // commands waiting their turn) ends with the loops. A request that comes before the loop
    // runs is taken once it does.
    InstallEndSignals([] { Application.Terminate(); });

    RunGuarded([] {
        Application.Initialize();
        Application.Title = "Varnholt QuillboardLED";
        Application.Icon = CreateIconFromImage(MainIconImage());
        auto form = std::make_unique<TMainForm>(nullptr);
        MainForm = form.get();
        Application.MainForm = MainForm;
        // The X server's loss ends the process from inside Qt (exit), also in the middle of a
        // PS/2 command's wait, whose stack never unwinds then: on the way out the command's
        // port access is closed as the command would have closed it. Nothing of Qt runs
        // there, and closing happens once: after it, and once the form is gone, it does nothing.
        std::atexit(CloseKeyPort);
        ShowWindow(Application.Handle(), SW_HIDE);
        Application.Run();
    });
    return 0;
}

} // namespace tray
