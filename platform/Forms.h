// The application object: the program's title and the error box for an error that no
// handler catches.
#pragma once
#include <string>

class Exception;

class TApplication {
public:
    std::string Title;
    // Shows the error's message in a box captioned with Title, stop icon, one OK button.
    void ShowException(const Exception& E);
    // Takes and handles every window message waiting in the thread's queue, each passing the
    // message hook and then dispatched, as the message loop does; returns when none is left.
    // Does nothing while no message loop is installed (SetMessagePump).
    void ProcessMessages();
};

// The message loop's "handle what is waiting" step, installed by the layer that owns the
// program's message queue; nullptr removes it.
using TMessagePump = void (*)();
void SetMessagePump(TMessagePump Pump);

extern TApplication Application;

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
