// The program block of Keysmith591, the keypad definition editor: the start-up question while
// the settings file is missing, then the main window and the Keypad Properties dialog, until
// the main window closes.
#pragma once

// The first argument is a definition file to open; returns when the message loop ends.
int WinMain(int argc, char** argv);
