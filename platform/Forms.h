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
};

extern TApplication Application;

// Runs a command; an Exception that escapes it is shown by the application object and the
// command ends there, as the class library does for event handlers.
template <class F>
void RunGuarded(F&& Command);

#include "SysUtils.h"

template <class F>
void RunGuarded(F&& Command)
{
    try {
        Command();
    } catch (const Exception& e) {
        Application.ShowException(e);
    }
}
