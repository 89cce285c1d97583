// The shell's launcher as tests put it: records what would have been started.
#pragma once
#include "Shell.h"

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
