// The message queue over Qt's event loop: the application's loop and its "handle what is
// waiting" step (both with the hook), posted messages woken into whatever loop runs, and,
// on Qt's xcb platform, the X11 desktop (other programs' windows, posting between processes,
// the active-window request). A program calls InstallQtMessageLoop once its QApplication exists.
#pragma once

void InstallQtMessageLoop();
