// A desktop of the test's own: Xvfb on a display no other test uses, with the openbox window
// manager and the trayer notification area when asked. Everything it starts ends with it.
// A machine without the tools makes the test skip (exit 77).
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

struct TWindowGeometry {
    unsigned long Id = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class TX11Session {
public:
    // The tray sits at the top-left corner of the screen, so a menu opened on its icon fits.
    explicit TX11Session(bool WithTray = true);
    ~TX11Session();
    TX11Session(const TX11Session&) = delete;
    TX11Session& operator=(const TX11Session&) = delete;

    const std::string& Display() const { return FDisplay; }
    // Starts a program on this display (Qt on its xcb platform) with the extra environment
    // entries "NAME=value"; it is ended with the session unless it has ended before.
    pid_t Start(const std::vector<std::string>& Argv, const std::vector<std::string>& Env = {});
    // The exit status, or -1 when it has not ended within TimeoutMs.
    int Wait(pid_t Pid, int TimeoutMs);
    // Runs a tool on this display to its end; its standard output.
    std::string Run(const std::vector<std::string>& Argv, int* Status = nullptr);

    // Ends the X server at once, as a crash or a logout does: every client loses its connection.
    void KillServer();

    // The visible windows of a process, as xdotool finds them.
    std::vector<TWindowGeometry> VisibleWindows(pid_t Pid);
    // Windows (hidden ones too) titled exactly Title, of a process when Pid is not 0, at most
    // MaxDepth levels below the root when MaxDepth is not 0.
    std::vector<unsigned long> WindowsNamed(const std::string& Title, pid_t Pid = 0, bool OnlyVisible = false,
                                            int MaxDepth = 0);
    // Polls Condition every 20 ms for up to TimeoutMs. What the tests wait for comes in well
    // under a second; the default leaves room for a loaded machine and costs only a failure.
    template <class F>
    bool WaitFor(F&& Condition, int TimeoutMs = 20000);

private:
    static void Sleep(int Ms);
    std::string FDisplay;
    std::vector<pid_t> FStarted;
};

template <class F>
bool TX11Session::WaitFor(F&& Condition, int TimeoutMs)
{
    for (int waited = 0;; waited += 20) {
        if (Condition()) return true;
        if (waited >= TimeoutMs) return false;
        Sleep(20);
    }
}
