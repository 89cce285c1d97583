// The program block of QuillboardLED: no window is shown; the tray icon and the message loop
// run until "Exit".
#pragma once

namespace tray {

// Its arguments are not used; returns 0 in every case.
int WinMain(int argc, char** argv);

} // namespace tray
