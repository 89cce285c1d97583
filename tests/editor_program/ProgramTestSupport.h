// Stand-ins of the editor program's tests: a process launcher that records what the shell
// would have started.
#pragma once
#include "Shell.h"
#include "TestSupport.h"

#include <string>
#include <vector>

// Starts nothing; every start succeeds. The desktop's opener is "/usr/bin/xdg-open".
class TRecordingLauncher : public TProcessLauncher {
public:
    TRecordingLauncher() { SetProcessLauncher(this); }
    ~TRecordingLauncher() override { SetProcessLauncher(nullptr); }
    std::string FindProgram(const std::string& Name) override { return Name == "xdg-open" ? "/usr/bin/xdg-open" : ""; }
    int Start(const TProcessStart& Request) override
    {
        Starts.push_back(Request);
        return 0;
    }
    std::vector<TProcessStart> Starts;
};

// A file the shell takes for a program.
void MakeExecutable(const std::string& Path);
