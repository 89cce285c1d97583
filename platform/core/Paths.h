// Where the running program lives. The editor and its neighbours keep their settings, help
// documents and partner programs beside their own file, never in the current folder.
#pragma once
#include <string>

// The full path of the running program's own file (from /proc/self/exe), or the path a test
// set with SetProgramFileName. "" when the system cannot tell.
std::string ProgramFileName();
// The folder of ProgramFileName(), ending in "/" ("" when it is unknown).
std::string ProgramFolder();
// Lets a test stand the program somewhere else (the file need not exist); "" restores the
// real one.
void SetProgramFileName(const std::string& Path);
