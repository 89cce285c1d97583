#include "Keyburn591.h"

#include "Forms.h"
#include "Paths.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "SplashForm.h"

#include <QApplication>

#include <string>
#include <vector>

namespace loader {

int WinMain(int argc, char** argv)
{
    // The arguments may be pieces of a path split at its blanks; Qt sees none of them.
    std::vector<std::string> params{ProgramFileName()};
    if (params[0].empty() && argc > 0 && argv[0]) params[0] = argv[0];
    for (int i = 1; i < argc; ++i) params.emplace_back(argv[i]);
    TQtApplication app(argc > 0 ? argv[0] : nullptr);
    TPooledThreads pooledThreads; // ended after the windows, before the application
    InstallQtDialogs();
    Application.Title = "KeyburnUsb";
    QApplication::setApplicationName(QString::fromStdString(Application.Title));
    bool succeeded = false;
    RunGuarded([&] {
        TForm2 form(params);
        succeeded = form.Succeeded();
    });
    return succeeded ? 0 : 1;
}

} // namespace loader
