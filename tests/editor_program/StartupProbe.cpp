// The editor's real program block, reporting once its main window is on the screen: when
// (wall clock, ns), whether the start-up question is up, whether the window is laid out right
// to left, and its caption; then it ends. It watches from outside the block: an event filter
// on the application, installed as Qt makes the application.
#include "Keysmith591.h"
#include "Startup.h"
#include "Unit1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

bool StartupQuestionUp()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TStartupForm*>(w) && w->isVisible()) return true;
    return false;
}

void Report()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::printf("%lld %d %d %s\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                StartupQuestionUp() ? 1 : 0, frmMain->layoutDirection() == Qt::RightToLeft ? 1 : 0,
                frmMain->Caption().c_str());
    std::fflush(stdout);
    QCoreApplication::exit(0);
}

// The main window's first showing queues the report, which runs as the loop starts.
class TMainWindowShown : public QObject {
public:
    explicit TMainWindowShown(QObject* Application) : QObject(Application) {}
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (!FQueued && Event->type() == QEvent::Show && frmMain && Watched == frmMain) {
            FQueued = true;
            QTimer::singleShot(0, QCoreApplication::instance(), Report);
        }
        return false;
    }

private:
    bool FQueued = false;
};

void WatchForTheMainWindow()
{
    QCoreApplication* application = QCoreApplication::instance();
    // Goes with the application.
    application->installEventFilter(new TMainWindowShown(application));
}
Q_COREAPP_STARTUP_FUNCTION(WatchForTheMainWindow)

} // namespace

int main(int argc, char** argv)
{
    return WinMain(argc, argv);
}
