#include "QtApplication.h"

#include <QThreadPool>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

namespace {
char FallbackName[] = "quillboard";

// The name Qt gives its pooled threads, as the system shows it.
constexpr char PooledThreadName[] = "Thread (pooled)";

bool PooledThreadRunning()
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return false;
    bool found = false;
    while (dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        const std::string file = std::string("/proc/self/task/") + task->d_name + "/comm";
        if (FILE* f = std::fopen(file.c_str(), "r")) {
            char name[32] = {};
            if (std::fgets(name, sizeof name, f)) found = std::strncmp(name, PooledThreadName, std::strlen(PooledThreadName)) == 0;
            std::fclose(f);
        }
        if (found) break;
    }
    closedir(tasks);
    return found;
}

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
    setFont(FormFont());
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

QPixmap ScreenPicture(int Width, int Height)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap picture(static_cast<int>(std::ceil(Width * ratio)), static_cast<int>(std::ceil(Height * ratio)));
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    return picture;
}

QRect WholeRect(const QWidget& W)
{
    const qreal ratio = W.devicePixelRatioF();
    const QPointF at = QPointF(W.mapTo(W.window(), QPoint(0, 0))) * ratio;
    const int across = qRound(at.x() + W.width() * ratio) - qRound(at.x());
    const int down = qRound(at.y() + W.height() * ratio) - qRound(at.y());
    int w = W.width();
    int h = W.height();
    while (w > 0 && qRound(w * ratio) > across) --w;
    while (h > 0 && qRound(h * ratio) > down) --h;
    return QRect(0, 0, w, h);
}

void TFrame::paintEvent(QPaintEvent* E)
{
    // Set only when it differs (after a resize, a move, a new screen): setting it asks for a paint.
    if (const QRect whole = WholeRect(*this); frameRect() != whole) setFrameRect(whole);
    QFrame::paintEvent(E);
}

void EndPooledThreads()
{
    QThreadPool* pool = QThreadPool::globalInstance();
    if (!pool) return;
    pool->waitForDone();
    // Each has only its exit to run by now; the bound is for a system that never shows it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (PooledThreadRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}
