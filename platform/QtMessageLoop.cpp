#include "QtMessageLoop.h"

#include "Forms.h"
#include "Messages.h"
#include "QtDesktop.h"
#include "X11Desktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

#include <memory>

namespace {

// Takes the queue's messages in whichever loop is running when Qt delivers its wake-up event.
class TQueuePump : public QObject {
public:
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
};

TQueuePump* Pump = nullptr;
std::unique_ptr<TDesktop> InstalledDesktop;

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

} // namespace

void InstallQtMessageLoop()
{
    if (Pump) return;
    Pump = new TQueuePump;
    Pump->setParent(QCoreApplication::instance());
    // The pump and the desktop end with the application: nothing may reach them after that.
    QObject::connect(Pump, &QObject::destroyed, [] {
        Pump = nullptr;
        SetQueueWakeup(nullptr);
        SetMessagePump(nullptr);
        SetMessageLoop(nullptr, nullptr);
        SetDesktop(nullptr);
        InstalledDesktop.reset();
    });
    SetQueueWakeup([] {
        if (Pump) Pump->Wake();
    });
    SetMessagePump(PumpWaiting);
    SetMessageLoop(RunLoop, QuitLoop);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        InstalledDesktop = MakeX11Desktop();
    if (!InstalledDesktop) InstalledDesktop = std::make_unique<TQtDesktop>();
    SetDesktop(InstalledDesktop.get());
}
