// Starting programs and opening documents, as the platform's shell call does it.
//
// Nothing here ever goes through a command interpreter: a program is executed directly with
// its arguments as a list, so no path or parameter text can run a command.
#pragma once
#include "Messages.h"

#include <cstdint>
#include <string>
#include <vector>

// The shell's result: above 32 for success, 32 or less for failure (compared unsigned).
using HINSTANCE = std::uintptr_t;

constexpr HINSTANCE SE_ERR_OOM_RESULT = 0;      // no process could be made
constexpr HINSTANCE ERROR_FILE_NOT_FOUND = 2;   // nothing at the file's path
constexpr HINSTANCE ERROR_PATH_NOT_FOUND = 3;   // the working folder does not exist
constexpr HINSTANCE SE_ERR_ACCESSDENIED = 5;    // there, but not allowed to run
constexpr HINSTANCE ERROR_BAD_FORMAT = 11;      // there, but not a program this system runs
constexpr HINSTANCE SE_ERR_NOASSOC = 31;        // no program to open this document with
constexpr HINSTANCE SHELL_SUCCESS = 42;         // what a successful start returns

// Show states (Messages.h): this system has no say over the started program's window, so the
// value is accepted and passed on to the seam only.

// Starts File, or opens it when it is a document, and returns at once; the started program
// runs on its own (not awaited, not a child the caller must reap).
// - Verb "" (the default) or "open". Any other verb fails with SE_ERR_NOASSOC.
// - File may stand in double quotes. A relative name is taken in Directory, else in the
//   current folder. A name "X.exe" is the program "X" in the same folder.
// - A program ("X.exe", or with the default verb any executable file) gets Parameters split
//   as the platform splits a command line (SplitCommandLine); it starts in Directory, or in
//   the caller's current folder when Directory is "". It inherits the environment and
//   standard input and output, and no other open file.
// - Anything else is a document: it is handed, as one argument, to the desktop's opener
//   (xdg-open on the search path); SE_ERR_NOASSOC when there is none. Parameters are
//   not used for a document.
// - ERROR_FILE_NOT_FOUND when nothing is at the path; the Windows-shaped failure codes above
//   for the rest.
// Owner is the window the shell would parent its own messages to; it shows none.
HINSTANCE ShellExecuteA(void* Owner, const std::string& Verb, const std::string& File,
                        const std::string& Parameters, const std::string& Directory, int ShowCmd);

// The platform's command-line splitting: blanks (space, tab) separate arguments; double
// quotes group blanks into an argument and are removed; inside quotes "" is one literal
// quote. Backslashes are literal except before a quote: 2n backslashes and a quote give n
// backslashes and the quote groups; 2n+1 give n backslashes and a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& Parameters);
// The text that SplitCommandLine turns back into exactly Argument, as one argument.
std::string QuoteArgument(const std::string& Argument);

// One process start, as the shell has worked it out.
struct TProcessStart {
    std::string Program;                 // full path of the file to execute
    std::vector<std::string> Arguments;  // after the program name
    std::string Directory;               // "" keeps the caller's current folder
    int ShowCmd = SW_SHOWNORMAL;
};

// The seam between the shell and the system: a test replaces it to record what would have
// been started and to decide how starting goes.
class TProcessLauncher {
public:
    virtual ~TProcessLauncher() = default;
    // The full path of an executable named Name on the search path; "" when there is none.
    virtual std::string FindProgram(const std::string& Name);
    // Starts the process detached; 0, or the errno that stopped it from starting.
    virtual int Start(const TProcessStart& Request);
};

// The launcher in force (never null). SetProcessLauncher(nullptr) restores the real one.
TProcessLauncher& ProcessLauncher();
void SetProcessLauncher(TProcessLauncher* Launcher);
