#include "QtApplication.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {
char FallbackName[] = "quillboard";

// While the application is made: the program's name, the handler Qt's messages went to before,
// and the display Qt's X11 platform could not connect to, once it said so.
std::string gProgram;
QtMessageHandler gPrevious = nullptr;
std::optional<std::string> gNoDisplay;

// Qt names the display it could not connect to, says it could not load its X11 platform and
// then aborts. One line of ours stands for all of it, and the program ends with status 1.
void WatchStart(QtMsgType Type, const QMessageLogContext& Context, const QString& Message)
{
    const std::string category = Context.category ? Context.category : "";
    const std::string text = Message.toLocal8Bit().toStdString();
    const std::string prefix = "could not connect to display";
    if (category == "qt.qpa.xcb" && text.rfind(prefix, 0) == 0) {
        gNoDisplay = text.substr(std::min(text.size(), prefix.size() + 1));
        return;
    }
    if (!gNoDisplay) return gPrevious(Type, Context, Message);
    if (Type != QtFatalMsg) {
        // What Qt adds about the platform it could not load, the line below says.
        if (category != "qt.qpa.plugin") gPrevious(Type, Context, Message);
        return;
    }
    std::fflush(stdout);
    if (gNoDisplay->empty())
        std::fprintf(stderr, "%s: cannot open X display: DISPLAY is not set\n", gProgram.c_str());
    else
        std::fprintf(stderr, "%s: cannot open X display \"%s\"\n", gProgram.c_str(), gNoDisplay->c_str());
    // In the middle of Qt's start: nothing made so far is to be torn down.
    _exit(1);
}

} // namespace

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}

TQtApplicationStart::TQtApplicationStart(char* ProgramName) : FArguments(ProgramName)
{
    const char* slash = std::strrchr(FArguments.Values[0], '/');
    gProgram = slash ? slash + 1 : FArguments.Values[0];
    gNoDisplay.reset();
    gPrevious = qInstallMessageHandler(&WatchStart);
}

void TQtApplicationStart::Started()
{
    qInstallMessageHandler(gPrevious);
}

TQtApplication::TQtApplication(char* ProgramName)
    : TQtApplicationStart(ProgramName), QApplication(FArguments.Count, FArguments.Values)
{
    Started();
}

QFont FormFont()
{
    // Named directly: asking for "MS Sans Serif" first would send every start through the
    // font system's search for a family that is not there.
    QFont f("Liberation Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}
