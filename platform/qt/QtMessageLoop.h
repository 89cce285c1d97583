// The message queue over Qt's event loop: the application's loop and its "handle what is
// waiting" step (both with the hook), posted messages woken into whatever loop runs, and,
// on Qt's xcb platform, the X11 desktop (other programs' windows, posting between processes,
// the active-window request). A program calls InstallQtMessageLoop once its QApplication exists;
// the loop and the desktop (with its tray icons) end with that application, never at exit().
#pragma once

#include <functional>

void InstallQtMessageLoop();

// SIGTERM, SIGHUP and SIGINT no longer end the process where they strike: each runs OnEnd on
// the GUI thread, from whichever loop takes messages then (the application's, a box's or a
// menu's, or a wait that lets messages run), so the program ends as its own command would.
// SIGPIPE no longer ends it either: a write to a peer that is gone (the X server) fails, and
// the connection's owner sees the error. Once per process, after the QApplication exists;
// programs started later get the signals' usual actions.
void InstallEndSignals(std::function<void()> OnEnd);
