// The program block of QuillboardLED: no window is shown; the tray icon and the message loop
// run until "Exit".
#pragma once

// Its arguments are not used; returns 0 in every case.
int WinMain(int argc, char** argv);
