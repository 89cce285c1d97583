// The program block of Keyburn591: the loader's window runs the whole download while it is
// created; no message loop runs.
#pragma once

namespace loader {

// Runs the loader to its end. 0 after "Done!", 1 after any failure.
int WinMain(int argc, char** argv);

} // namespace loader
