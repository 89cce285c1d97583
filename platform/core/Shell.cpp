#include "Shell.h"

#include "SysUtils.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

extern char** environ;

namespace {

TProcessLauncher RealLauncher;
TProcessLauncher* CurrentLauncher = &RealLauncher;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsExecutableFile(const std::string& Path)
{
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(Path.c_str(), X_OK) == 0;
}

std::string CurrentFolder()
{
    std::string buf(4096, '\0');
    if (!::getcwd(buf.data(), buf.size())) return ".";
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    return buf;
}

HINSTANCE ResultOfStart(int Error, HINSTANCE WhenMissing)
{
    switch (Error) {
    case 0: return SHELL_SUCCESS;
    case ENOENT: case ENOTDIR: return WhenMissing;
    case EACCES: case EPERM: return SE_ERR_ACCESSDENIED;
    case ENOEXEC: return ERROR_BAD_FORMAT;
    case ENOMEM: case EAGAIN: return SE_ERR_OOM_RESULT;
    default: return SE_ERR_ACCESSDENIED;
    }
}

// After fork only async-signal-safe calls may run (the editor has other threads), so the
// children below do nothing but plain system calls on data prepared beforehand.
[[noreturn]] void ReportAndExit(int Fd, int Error)
{
    while (::write(Fd, &Error, sizeof Error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

void MarkAllCloseOnExec(long MaxFd)
{
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    for (long fd = 3; fd < MaxFd; ++fd) ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& Parameters)
{
    std::vector<std::string> args;
    std::string cur;
    bool inArg = false;
    bool inQuotes = false;
    const size_t n = Parameters.size();
    size_t i = 0;
    while (i < n) {
        const char c = Parameters[i];
        if (IsBlank(c) && !inQuotes) {
            if (inArg) args.push_back(cur);
            cur.clear();
            inArg = false;
            ++i;
        } else if (c == '\\') {
            size_t j = i;
            while (j < n && Parameters[j] == '\\') ++j;
            const size_t count = j - i;
            inArg = true;
            if (j < n && Parameters[j] == '"') {
                cur.append(count / 2, '\\');
                if (count % 2 == 1) {
                    cur += '"';
                    ++j;
                }
            } else {
                cur.append(count, '\\');
            }
            i = j;
        } else if (c == '"') {
            inArg = true;
            if (inQuotes && i + 1 < n && Parameters[i + 1] == '"') {
                cur += '"';
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
        } else {
            cur += c;
            inArg = true;
            ++i;
        }
    }
    if (inArg) args.push_back(cur);
    return args;
}

std::string QuoteArgument(const std::string& Argument)
{
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : Argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // The closing quote must not be escaped by backslashes that end the text.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string TProcessLauncher::FindProgram(const std::string& Name)
{
    if (Name.find('/') != std::string::npos) return IsExecutableFile(Name) ? Name : "";
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(':', start);
        const size_t len = (end == std::string::npos ? path.size() : end) - start;
        // An empty entry is the current folder.
        std::string candidate = len == 0 ? std::string(".") : path.substr(start, len);
        candidate.append("/").append(Name);
        if (IsExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) return "";
        start = end + 1;
    }
}

int TProcessLauncher::Start(const TProcessStart& Request)
{
    std::vector<std::string> strings;
    strings.push_back(Request.Program);
    strings.insert(strings.end(), Request.Arguments.begin(), Request.Arguments.end());
    std::vector<char*> argv;
    for (auto& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const char* dir = Request.Directory.empty() ? nullptr : Request.Directory.c_str();
    long maxFd = ::sysconf(_SC_OPEN_MAX);
    if (maxFd < 0 || maxFd > 65536) maxFd = 65536;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return errno;

    // Two forks: the middle process ends at once, so the program is nobody's child here and
    // needs no reaping; the close-on-exec pipe carries back only a failed exec's errno.
    const pid_t middle = ::fork();
    if (middle < 0) {
        const int e = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return e;
    }
    if (middle == 0) {
        ::close(pipeFds[0]);
        const pid_t pid = ::fork();
        if (pid < 0) ReportAndExit(pipeFds[1], errno);
        if (pid > 0) ::_exit(0);
        ::setsid();
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // An ignored signal stays ignored across exec; the program should start clean.
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sig != SIGKILL && sig != SIGSTOP) ::signal(sig, SIG_DFL);
        }
        if (dir && ::chdir(dir) != 0) ReportAndExit(pipeFds[1], errno);
        MarkAllCloseOnExec(maxFd);
        ::execve(argv[0], argv.data(), environ);
        ReportAndExit(pipeFds[1], errno);
    }
    ::close(pipeFds[1]);
    int error = 0;
    ssize_t got;
    do {
        got = ::read(pipeFds[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

TProcessLauncher& ProcessLauncher()
{
    return *CurrentLauncher;
}

void SetProcessLauncher(TProcessLauncher* Launcher)
{
    CurrentLauncher = Launcher ? Launcher : &RealLauncher;
}

HINSTANCE ShellExecuteA(void* /*Owner*/, const std::string& Verb, const std::string& File,
                        const std::string& Parameters, const std::string& Directory, int ShowCmd)
{
    if (!Verb.empty() && !SameText(Verb, "open")) return SE_ERR_NOASSOC;

    std::string path = File;
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    if (path.empty()) return ERROR_FILE_NOT_FOUND;

    if (!Directory.empty()) {
        struct stat st {};
        if (::stat(Directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    }
    if (path.front() != '/') {
        std::string folder = Directory.empty() ? CurrentFolder() : Directory;
        if (folder.back() != '/') folder += '/';
        path = folder + path;
    }

    const bool windowsProgram = IsWindowsProgramName(path);
    path = ProgramFilePath(path);

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return ResultOfStart(errno, ERROR_FILE_NOT_FOUND);

    TProcessStart request;
    request.Directory = Directory;
    request.ShowCmd = ShowCmd;
    const bool program = windowsProgram || (Verb.empty() && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0);
    if (program) {
        if (!S_ISREG(st.st_mode)) return ERROR_BAD_FORMAT;
        if (::access(path.c_str(), X_OK) != 0) return SE_ERR_ACCESSDENIED;
        request.Program = path;
        request.Arguments = SplitCommandLine(Parameters);
        return ResultOfStart(ProcessLauncher().Start(request), ERROR_FILE_NOT_FOUND);
    }

    request.Program = ProcessLauncher().FindProgram("xdg-open");
    if (request.Program.empty()) return SE_ERR_NOASSOC;
    request.Arguments = {path};
    return ResultOfStart(ProcessLauncher().Start(request), SE_ERR_NOASSOC);
}
