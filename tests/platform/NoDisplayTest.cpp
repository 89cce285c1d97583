// Each program started where no X display can be opened: one line that names the display,
// and status 1 (Qt alone would abort).
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A display number no server listens on: neither its socket file nor its abstract socket.
std::string UnusedDisplay()
{
    std::ifstream in("/proc/net/unix");
    const std::string sockets((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (int n = 7000;; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (!std::filesystem::exists(socket) && sockets.find(socket + "\n") == std::string::npos) return ":" + std::to_string(n);
    }
}

struct TEnded {
    int Status = -1;
    std::string Output; // standard output and error
};

TEnded RunWithout(const std::string& Program, const char* Display)
{
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        unsetenv("QT_QPA_PLATFORM");
        unsetenv("WAYLAND_DISPLAY");
        if (Display)
            setenv("DISPLAY", Display, 1);
        else
            unsetenv("DISPLAY");
        execl(Program.c_str(), Program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    TEnded ended;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) ended.Output.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ended.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ended;
}

TEST(NoDisplay, EachProgramNamesTheDisplayAndEndsWithStatus1)
{
    const std::string unused = UnusedDisplay();
    struct Row {
        const char* Program;
        const char* Display; // nullptr: none set
        std::string Line;
    };
    for (const Row& row : {Row{"Keysmith591", unused.c_str(), "Keysmith591: cannot open X display \"" + unused + "\"\n"},
                           Row{"Keyburn591", nullptr, "Keyburn591: cannot open X display: DISPLAY is not set\n"},
                           Row{"QuillboardLED", unused.c_str(), "QuillboardLED: cannot open X display \"" + unused + "\"\n"}}) {
        const TEnded ended = RunWithout(ProgramDir() + "/" + row.Program, row.Display);
        EXPECT_EQ(ended.Status, 1) << row.Program;
        EXPECT_EQ(ended.Output, row.Line) << row.Program;
    }
}

} // namespace
