#include "X11Session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

bool OnPath(const std::string& Tool)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (access((dir + "/" + Tool).c_str(), X_OK) == 0) return true;
    return false;
}

pid_t Spawn(const std::vector<std::string>& Argv, const std::vector<std::string>& Env, int OutFd)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& e : Env) putenv(strdup(e.c_str()));
    if (OutFd >= 0) dup2(OutFd, 1);
    const int null = open("/dev/null", O_RDWR);
    if (OutFd < 0) dup2(null, 1);
    dup2(null, 0);
    std::vector<char*> argv;
    for (const std::string& a : Argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

} // namespace

void TX11Session::Sleep(int Ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

TX11Session::TX11Session(bool WithTray)
{
    for (const char* tool : {"Xvfb", "openbox", "trayer", "xdotool", "xprop"})
        if (!OnPath(tool)) {
            std::fprintf(stderr, "%s is missing: skipped\n", tool);
            std::exit(77);
        }
    // Xvfb picks a free display itself and writes its number to the pipe.
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t xvfb = fork();
    if (xvfb == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    close(fds[1]);
    FStarted.push_back(xvfb);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        std::fprintf(stderr, "Xvfb did not start: skipped\n");
        std::exit(77);
    }
    FDisplay = ":" + number;
    // A client started the moment the server is up now and then fails to connect on a busy
    // machine: each desktop program gets a few tries before the session gives up on it.
    auto startUntil = [&](const std::vector<std::string>& Argv, auto&& Up) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const pid_t pid = Spawn(Argv, {"DISPLAY=" + FDisplay}, -1);
            FStarted.push_back(pid);
            if (WaitFor(Up, 5000)) return;
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            std::erase(FStarted, pid);
        }
    };
    // The window manager is up once it has announced itself on the root window.
    startUntil({"openbox"},
               [&] { return Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") != std::string::npos; });
    if (WithTray)
        startUntil({"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height", "24",
                    "--SetDockType", "true"},
                   [&] { return !WindowsNamed("panel").empty(); });
}

TX11Session::~TX11Session()
{
    // The last started first, the display server last.
    for (auto it = FStarted.rbegin(); it != FStarted.rend(); ++it) {
        kill(*it, SIGTERM);
        if (Wait(*it, 2000) < 0) {
            kill(*it, SIGKILL);
            waitpid(*it, nullptr, 0);
        }
    }
}

void TX11Session::KillServer()
{
    if (FStarted.empty()) return;
    const pid_t server = FStarted.front(); // started first
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    FStarted.erase(FStarted.begin());
}

pid_t TX11Session::Start(const std::vector<std::string>& Argv, const std::vector<std::string>& Env)
{
    std::vector<std::string> env{"DISPLAY=" + FDisplay, "QT_QPA_PLATFORM=xcb"};
    env.insert(env.end(), Env.begin(), Env.end());
    const pid_t pid = Spawn(Argv, env, -1);
    FStarted.push_back(pid);
    return pid;
}

int TX11Session::Wait(pid_t Pid, int TimeoutMs)
{
    int status = 0;
    for (int waited = 0;; waited += 10) {
        const pid_t r = waitpid(Pid, &status, WNOHANG);
        if (r == Pid) {
            std::erase(FStarted, Pid);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (r < 0 || waited >= TimeoutMs) return -1;
        Sleep(10);
    }
}

std::string TX11Session::Run(const std::vector<std::string>& Argv, int* Status)
{
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    const pid_t pid = Spawn(Argv, {"DISPLAY=" + FDisplay, "QT_QPA_PLATFORM=xcb"}, fds[1]);
    close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (Status) *Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::vector<TWindowGeometry> TX11Session::VisibleWindows(pid_t Pid)
{
    std::vector<TWindowGeometry> out;
    std::stringstream ids(Run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(Pid)}));
    unsigned long id;
    while (ids >> id) {
        TWindowGeometry g;
        g.Id = id;
        std::stringstream shell(Run({"xdotool", "getwindowgeometry", "--shell", std::to_string(id)}));
        std::string line;
        while (std::getline(shell, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            const int v = std::atoi(line.c_str() + eq + 1);
            const std::string key = line.substr(0, eq);
            if (key == "X") g.X = v;
            if (key == "Y") g.Y = v;
            if (key == "WIDTH") g.Width = v;
            if (key == "HEIGHT") g.Height = v;
        }
        out.push_back(g);
    }
    return out;
}

std::vector<unsigned long> TX11Session::WindowsNamed(const std::string& Title, pid_t Pid, bool OnlyVisible, int MaxDepth)
{
    std::vector<std::string> argv{"xdotool", "search", "--all"};
    if (MaxDepth > 0) {
        argv.push_back("--maxdepth");
        argv.push_back(std::to_string(MaxDepth));
    }
    if (OnlyVisible) argv.push_back("--onlyvisible");
    if (Pid != 0) {
        argv.push_back("--pid");
        argv.push_back(std::to_string(Pid));
    }
    // xdotool takes a regular expression; the titles here hold no special characters.
    argv.push_back("--name");
    argv.push_back("^" + Title + "$");
    std::stringstream ids(Run(argv));
    std::vector<unsigned long> out;
    unsigned long id;
    while (ids >> id) out.push_back(id);
    return out;
}
