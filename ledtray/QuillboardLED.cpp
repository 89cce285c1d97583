#include "QuillboardLED.h"

#include "Forms.h"
#include "Main.h"
#include "MainIcon.h"
#include "QtDialogs.h"
#include "QtApplication.h"
#include "QtMessageLoop.h"

#include <QApplication>

#include <memory>

int WinMain(int argc, char** argv)
{
    // Other programs find the hidden window and post to it through the X11 desktop, so the
    // utility runs on Qt's xcb platform unless told otherwise (under Wayland: XWayland).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    // The command line is not the utility's to read, nor Qt's.
    TQtApplication app(argc > 0 ? argv[0] : nullptr);
    // The message boxes are the only windows shown: closing the last must not end the program.
    app.setQuitOnLastWindowClosed(false);
    InstallQtDialogs();
    InstallQtMessageLoop();

    RunGuarded([] {
        Application.Initialize();
        Application.Title = "Varnholt QuillboardLED";
        Application.Icon = CreateIconFromImage(MainIconImage());
        auto form = std::make_unique<TMainForm>(nullptr);
        MainForm = form.get();
        Application.MainForm = MainForm;
        ShowWindow(Application.Handle(), SW_HIDE);
        Application.Run();
    });
    return 0;
}
