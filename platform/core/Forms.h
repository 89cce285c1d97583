// The application object and the form: the program's title, its hidden window, the message
// loop with its hook, the error box for an error that no handler catches, and message boxes.
#pragma once
#include "Classes.h"
#include "Messages.h"

#include <functional>
#include <string>

class Exception;
class TForm;

class TApplication {
public:
    std::string Title;
    // The program's main icon.
    HICON Icon = 0;
    // The first form made with CreateForm; closing it ends the loop.
    TForm* MainForm = nullptr;
    // The hook: sees each message that the application's own loop takes from the queue,
    // before it is dispatched; setting Handled keeps it from being dispatched.
    std::function<void(MSG& Msg, bool& Handled)> OnMessage;

    // Readies the application object for a run of its message loop.
    void Initialize() { FTerminated = false; }
    // Shows the error's message in a box captioned with Title, stop icon, one OK button.
    void ShowException(const Exception& E);
    // Takes and handles every window message waiting in the thread's queue, each passing the
    // message hook and then dispatched, as the message loop does; returns when none is left.
    // Does nothing while no message loop is installed (SetMessagePump).
    void ProcessMessages();
    // Takes one waiting message through the hook and dispatches it unless handled; false when
    // none was waiting.
    bool HandleWaitingMessage();
    // The application's hidden top-level window, titled Title; made on first use.
    HWND Handle();
    // Runs the message loop until Terminate.
    void Run();
    // Ends the message loop and every modal loop running inside it.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // A modal message box owned by the application's window; returns mrOk.
    int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

private:
    HWND FHandle = 0;
    bool FTerminated = false;
};

// The message loop's "handle what is waiting" step, installed by the layer that owns the
// program's message queue; nullptr removes it.
using TMessagePump = void (*)();
void SetMessagePump(TMessagePump Pump);
// The message loop itself and how to end it, installed by the same layer. Without them, Run
// handles what is waiting and returns.
using TMessageLoop = void (*)();
void SetMessageLoop(TMessageLoop Loop, TMessageLoop Quit);

extern TApplication Application;

// A form: a top-level window of this process with its own window procedure. Its window is
// made on first use of Handle and destroyed with the form.
class TForm : public TComponent {
public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;
    HWND Handle();
    bool HandleAllocated() const { return FHandle != 0; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // Closing the application's main form ends the application's message loop.
    void Close();

protected:
    // Gets every message dispatched to the form's window; the base handles none.
    virtual void WndProc(TMessage& Message);

private:
    HWND FHandle = 0;
    std::string FCaption;
};

// Runs a command; an Exception that escapes it is shown by the application object and the
// command ends there, as the class library does for event handlers. Running out of memory is
// such an error too ("Out of memory"), never the end of the program.
template <class F>
void RunGuarded(F&& Command);

#include "SysUtils.h"

#include <new>

template <class F>
void RunGuarded(F&& Command)
{
    try {
        Command();
    } catch (const Exception& e) {
        Application.ShowException(e);
    } catch (const std::bad_alloc&) {
        Application.ShowException(EOutOfMemory("Out of memory"));
    }
}
