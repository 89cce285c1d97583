#include "WindowsFolder.h"

#include "Files.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

namespace {

const std::string kScript = std::string(QUILL_TEST_SUPPORT_DIR) + "/in-windows-folder.sh";

} // namespace

TTestWindowsFolder::TTestWindowsFolder(const std::string& Description) : FPath(FRoot.File("windows"))
{
    std::filesystem::create_directories(FPath + "/SYSTEM32/DRIVERS");
    std::filesystem::create_directories(FPath + "/SYSTEM");
    WriteDriverFile("driver virtual-keyboard-controller\n" + Description);
    SetWindowsDirectory(FPath);
}

TTestWindowsFolder::~TTestWindowsFolder()
{
    SetWindowsDirectory("");
}

void TTestWindowsFolder::WriteDriverFile(const std::string& Text) const
{
    WriteFileText(DriverFile(), Text);
    WriteFileText(FPath + "/SYSTEM/PORTACC.VXD", Text);
}

std::vector<std::string> TTestWindowsFolder::PortLog() const
{
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(FPath + "/SYSTEM32/DRIVERS/PORTACC.LOG") +
                          ReadFileText(FPath + "/SYSTEM/PORTACC.LOG"));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

std::string TTestWindowsFolder::ServiceDatabase() const
{
    return ReadFileText(FPath + "/SERVICES.INI");
}

std::vector<std::string> TTestWindowsFolder::Command(const std::vector<std::string>& Argv, bool NonRoot) const
{
    std::vector<std::string> command = {"sh", kScript};
    if (NonRoot) command.push_back("--non-root");
    command.push_back(FPath);
    command.insert(command.end(), Argv.begin(), Argv.end());
    return command;
}

bool PrivateWindowsFolderWorks()
{
    static const bool works = [] {
        TTempDir dir;
        return RunCommand({"sh", kScript, "--non-root", dir.Path(), "true"}) == 0;
    }();
    return works;
}

int RunCommand(const std::vector<std::string>& Argv, std::string* Output)
{
    int out[2];
    if (::pipe(out) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> args;
        for (const auto& a : Argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (Output) *Output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TOtherUser::TOtherUser(const std::function<bool()>& Act)
{
    int report[2], hold[2];
    if (::pipe(report) != 0) return;
    if (::pipe(hold) != 0) {
        ::close(report[0]);
        ::close(report[1]);
        return;
    }
    FChild = ::fork();
    if (FChild == 0) {
        ::close(report[0]);
        ::close(hold[1]);
        const bool became = ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
                            ::setresuid(65534, 65534, 65534) == 0;
        const char result = !became ? 'x' : Act() ? '1' : '0';
        if (::write(report[1], &result, 1) != 1) ::_exit(1);
        char end;
        while (::read(hold[0], &end, 1) > 0) {} // until the parent lets go
        ::_exit(0);
    }
    ::close(report[1]);
    ::close(hold[0]);
    FHold = hold[1];
    if (FChild < 0 || ::read(report[0], &FResult, 1) != 1) FResult = 0;
    ::close(report[0]);
}

TOtherUser::~TOtherUser()
{
    if (FHold >= 0) ::close(FHold);
    if (FChild > 0) ::waitpid(FChild, nullptr, 0);
}

bool TOtherUser::Works()
{
    static const bool works = ::geteuid() == 0 && TOtherUser([] { return ::geteuid() == 65534; }).Result();
    return works;
}
