#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

TFileSystem gRealFileSystem;
TFileSystem* gFileSystem = &gRealFileSystem;

const char* const kFixedWindowsDirectory = "/var/lib/quillboard/windows";
std::string gWindowsDirectory;

// Follows a chain of symbolic links to the file that finally gets replaced.
std::string FinalTarget(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(PATH_MAX + 1);
        const ssize_t n = ::readlink(path.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return path;
        std::string target(buf.data(), static_cast<size_t>(n));
        if (target[0] != '/') {
            const auto slash = path.find_last_of('/');
            target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = target;
    }
    return path;
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TFileSystem::TReadResult TFileSystem::ReadWholeFile(const std::string& Path, std::string& Data)
{
    Data.clear();
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TReadResult::Failed;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            Data.clear();
            return TReadResult::Failed;
        }
        if (n == 0) break;
        Data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return TReadResult::Read;
}

bool TFileSystem::ReplaceWholeFile(const std::string& Path, const std::string& Data)
{
    const std::string target = FinalTarget(Path);
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;

    std::string tmp = dir + (dir.empty() || dir.back() == '/' ? "" : "/") + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    mode_t mode;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, Data) && ::fsync(fd) == 0;
    if (ok && existed && ::geteuid() == 0) {
        // Root saving a user's file must not take it away from that user.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* ownership kept as far as allowed */ }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

TFileSystem& FileSystem()
{
    return *gFileSystem;
}

void SetFileSystem(TFileSystem* Fs)
{
    gFileSystem = Fs ? Fs : &gRealFileSystem;
}

std::string GetWindowsDirectoryA()
{
    return gWindowsDirectory.empty() ? std::string(kFixedWindowsDirectory) : gWindowsDirectory;
}

void SetWindowsDirectory(const std::string& Dir)
{
    gWindowsDirectory = Dir;
}

std::string ResolveProfilePath(const std::string& Path)
{
    if (!Path.empty() && Path[0] == '/') return Path;
    return GetWindowsDirectoryA() + "/" + Path;
}
