#include "QtApplication.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {
char FallbackName[] = "quillboard";

// What Qt reports while the application is made is held back: when the display cannot be
// opened, one line of ours stands for all of it; otherwise it is reported as it came.
struct THeldMessage {
    QtMsgType Type;
    std::string Category, Text;
};

std::mutex gLock;
bool gWatching = false;
std::string gProgram;
bool gNoDisplay = false;
std::string gDisplay;
std::vector<THeldMessage> gHeld;
QtMessageHandler gPrevious = nullptr;

void Report(const THeldMessage& M)
{
    QMessageLogger logger(nullptr, 0, nullptr, M.Category.empty() ? nullptr : M.Category.c_str());
    switch (M.Type) {
    case QtDebugMsg: logger.debug("%s", M.Text.c_str()); break;
    case QtInfoMsg: logger.info("%s", M.Text.c_str()); break;
    case QtWarningMsg: logger.warning("%s", M.Text.c_str()); break;
    case QtCriticalMsg: logger.critical("%s", M.Text.c_str()); break;
    case QtFatalMsg: break;
    }
}

// Gives the messages back to the handler that was there before, and reports those held.
void StopWatching()
{
    std::vector<THeldMessage> held;
    {
        std::lock_guard lock(gLock);
        if (!gWatching) return;
        gWatching = false;
        held.swap(gHeld);
        qInstallMessageHandler(gPrevious);
    }
    for (const THeldMessage& m : held) Report(m);
}

void Watch(QtMsgType Type, const QMessageLogContext& Context, const QString& Message)
{
    const std::string category = Context.category ? Context.category : "";
    const std::string text = Message.toLocal8Bit().toStdString();
    {
        std::lock_guard lock(gLock);
        // Qt's X11 platform names the display it could not connect to, then gives up.
        const std::string prefix = "could not connect to display";
        if (category == "qt.qpa.xcb" && text.rfind(prefix, 0) == 0) {
            gNoDisplay = true;
            gDisplay = text.substr(std::min(text.size(), prefix.size() + 1));
        }
        if (Type != QtFatalMsg) {
            gHeld.push_back({Type, category, text});
            return;
        }
        if (gNoDisplay) {
            const std::string line = gDisplay.empty() ? gProgram + ": cannot open X display: DISPLAY is not set\n"
                                                      : gProgram + ": cannot open X display \"" + gDisplay + "\"\n";
            std::fflush(stdout);
            std::fputs(line.c_str(), stderr);
            std::fflush(stderr);
            // Ends here, in the middle of Qt's start: nothing made so far is to be torn down.
            _exit(1);
        }
    }
    // Any other failure to start goes on to Qt's own end, after what was held.
    const QtMessageHandler previous = gPrevious;
    StopWatching();
    if (previous)
        previous(Type, Context, Message);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}

TQtApplicationStart::TQtApplicationStart(char* ProgramName) : FArguments(ProgramName)
{
    std::lock_guard lock(gLock);
    const char* slash = std::strrchr(FArguments.Values[0], '/');
    gProgram = slash ? slash + 1 : FArguments.Values[0];
    gNoDisplay = false;
    gDisplay.clear();
    gWatching = true;
    gPrevious = qInstallMessageHandler(&Watch);
}

void TQtApplicationStart::Started()
{
    StopWatching();
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
