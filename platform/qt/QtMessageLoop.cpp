#include "QtMessageLoop.h"

#include "Forms.h"
#include "Messages.h"
#include "QtDesktop.h"
#include "X11Desktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>

namespace {

// Takes the queue's messages in whichever loop is running when Qt delivers its wake-up event,
// and holds the desktop. A child of the application, it ends with it, and the desktop with it:
// never among the exit handlers or static destructors. When the X server goes, Qt's xcb
// platform calls exit() from inside the loop; the application and its windows still exist
// then, and a widget deleted there (the desktop's tray icons) may find Qt's own thread data
// already gone and crash.
class TQueuePump : public QObject {
public:
    explicit TQueuePump(std::unique_ptr<TDesktop> Desktop) : QObject(QCoreApplication::instance()), FDesktop(std::move(Desktop)) {}
    // Nothing may reach the pump or the desktop once they are gone.
    ~TQueuePump() override;
    TDesktop& Desktop() { return *FDesktop; }

    void Wake()
    {
        if (FPending) return;
        FPending = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }

protected:
    void customEvent(QEvent*) override
    {
        FPending = false;
        while (!Application.Terminated()) {
            if (CurrentLoopKind() == TLoopKind::Application) {
                if (!Application.HandleWaitingMessage()) break;
            } else {
                MSG msg;
                if (!PeekWaitingMessage(msg)) break;
                DispatchMessageA(msg);
            }
        }
    }

private:
    bool FPending = false;
    std::unique_ptr<TDesktop> FDesktop;
};

TQueuePump* Pump = nullptr;

TQueuePump::~TQueuePump()
{
    Pump = nullptr;
    SetQueueWakeup(nullptr);
    SetMessagePump(nullptr);
    SetMessageLoop(nullptr, nullptr);
    SetDesktop(nullptr);
}

void PumpWaiting()
{
    TLoopScope loop(TLoopKind::Application);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (!Application.Terminated() && Application.HandleWaitingMessage()) {
    }
}

bool LoopRunning = false;

void RunLoop()
{
    TLoopScope loop(TLoopKind::Application);
    LoopRunning = true;
    QCoreApplication::exec();
    LoopRunning = false;
}

// Qt's exit also ends every modal loop inside the application's, as the platform's quit
// message does; outside a running loop it would make the next modal loop end at once.
void QuitLoop()
{
    if (LoopRunning) QCoreApplication::exit(0);
}

// The signal handler's one way into the loop: a byte down this pipe.
int EndPipe[2] = {-1, -1};

void EndSignalCaught(int)
{
    const int saved = errno;
    const char byte = 0;
    // A full pipe already holds a request to end.
    [[maybe_unused]] const ssize_t written = write(EndPipe[1], &byte, 1);
    errno = saved;
}

void PipeSignalCaught(int) {}

} // namespace

void InstallEndSignals(std::function<void()> OnEnd)
{
    if (EndPipe[0] >= 0 || pipe2(EndPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(EndPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [OnEnd = std::move(OnEnd)] {
        char drained[64];
        while (read(EndPipe[0], drained, sizeof drained) > 0) {
        }
        OnEnd();
    });
    struct sigaction caught {};
    caught.sa_handler = EndSignalCaught;
    sigemptyset(&caught.sa_mask);
    caught.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &caught, nullptr);
    // Caught rather than ignored: an ignored signal would stay ignored in the programs we start.
    caught.sa_handler = PipeSignalCaught;
    sigaction(SIGPIPE, &caught, nullptr);
}

void InstallQtMessageLoop()
{
    if (Pump) return;
    std::unique_ptr<TDesktop> desktop;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) desktop = MakeX11Desktop();
    if (!desktop) desktop = std::make_unique<TQtDesktop>();
    Pump = new TQueuePump(std::move(desktop));
    SetQueueWakeup([] {
        if (Pump) Pump->Wake();
    });
    SetMessagePump(PumpWaiting);
    SetMessageLoop(RunLoop, QuitLoop);
    SetDesktop(&Pump->Desktop());
}
