#include "TestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

int TRecordingDialogs::ShowMessage(const TMessageRequest& Request)
{
    Messages.push_back(Request);
    if (OnMessage) OnMessage(Request);
    if (Answers.empty()) return Request.EscapeResult;
    const int a = Answers.front();
    Answers.pop_front();
    return a;
}

bool TRecordingDialogs::ExecuteFileDialog(TFileDialog& Dialog)
{
    FileDialogs.push_back(Dialog);
    if (FileAnswers.empty()) return false;
    const std::string a = FileAnswers.front();
    FileAnswers.pop_front();
    if (a.empty()) return false;
    Dialog.FileName = a;
    return true;
}

std::vector<std::string> TRecordingDialogs::Texts() const
{
    std::vector<std::string> t;
    for (const auto& m : Messages) t.push_back(m.Text);
    return t;
}

TTempDir::TTempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl;
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FPath, ec);
}

std::string ReadFileText(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileText(const std::string& Path, const std::string& Text)
{
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Text;
}

bool EndsWithin(int Seconds, const std::function<void()>& Body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        Body();
        ::_exit(0);
    }
    for (int i = 0; i < Seconds * 100; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return false;
}

TRenamingRace::TRenamingRace(const std::string& Path)
{
    FMover = std::thread([this, Path] {
        const std::string away = Path + ".away";
        while (!FStop) {
            ::rename(Path.c_str(), away.c_str());
            ::rename(away.c_str(), Path.c_str());
        }
    });
}

TRenamingRace::~TRenamingRace()
{
    FStop = true;
    FMover.join();
}

void MakeExecutable(const std::string& Path)
{
    WriteFileText(Path, "#!/bin/sh\nexit 0\n");
    chmod(Path.c_str(), 0755);
}

bool HasOpen(pid_t Pid, const std::string& Path)
{
    struct stat file {};
    if (::stat(Path.c_str(), &file) != 0) return false;
    const std::string fds = "/proc/" + std::to_string(Pid) + "/fd";
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
        struct stat open {};
        if (::stat(fd.path().c_str(), &open) == 0 && open.st_dev == file.st_dev && open.st_ino == file.st_ino) return true;
    }
    return false;
}
