#include "Keysmith591.h"

#include "Forms.h"
#include "Params.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "Startup.h"
#include "Unit1.h"

#include <QApplication>

#include <memory>

int WinMain(int argc, char** argv)
{
    // The first argument is a file the user named, whatever it holds; Qt sees none of them.
    SetCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    TQtApplication app(argc > 0 ? argv[0] : nullptr);
    TPooledThreads pooledThreads; // ended after the windows, before the application
    InstallQtDialogs();

    // Asked before the main window exists, so a message of the command-line file's load may
    // come up while the question is on the screen. It looks the main window up only on OK.
    std::unique_ptr<TStartupForm> startup;
    if (StartupQuestionWanted()) {
        startup = std::make_unique<TStartupForm>();
        startup->OnGettingStarted = [] {
            if (frmMain) frmMain->GettingStarted->trigger();
        };
        // The program ends when the main window closes, whether or not this is answered.
        startup->setAttribute(Qt::WA_QuitOnClose, false);
        startup->show();
    }

    Application.Title = "Keysmith";

    std::unique_ptr<TfrmMain> main = CreateMainForm();
    auto parameters = std::make_unique<TfrmParameters>(main.get());
    frmParameters = parameters.get();
    frmParameters->SetModified = [](bool Value) {
        if (frmMain) frmMain->SetModified(Value);
    };

    // Ends the loop without asking the other windows to close: the start-up question refuses
    // to, and must not keep the program alive once the main window has closed.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, [] { QCoreApplication::exit(0); });
    main->show();
    const int result = app.exec();
    frmParameters = nullptr;
    return result;
}
