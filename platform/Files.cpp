#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
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

TFileSystem::TReadResult TFileSystem::ReadWholeFile(const std::string& Path, std::string& Data, size_t MaxSize)
{
    Data.clear();
    auto gone = [] { return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed; };
    struct stat st {};
    if (::stat(Path.c_str(), &st) != 0) return gone();
    // Opening a FIFO for reading waits for a writer, and opening a device may act on it.
    if (!S_ISREG(st.st_mode)) return TReadResult::Failed;
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return gone();
    // What was opened is judged, not what was looked at: the path may have changed between.
    const size_t limit = MaxSize < SIZE_MAX ? MaxSize + 1 : SIZE_MAX;
    TReadResult result = TReadResult::Failed;
    try {
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= MaxSize) {
            // One byte more than the file's size, so its end is seen without growing.
            std::string buf(std::min(static_cast<size_t>(st.st_size) + 1, limit), '\0');
            size_t got = 0;
            for (;;) {
                if (got == buf.size()) {
                    if (got >= limit) break; // grew past MaxSize while being read
                    buf.resize(std::min(std::max(got * 2, size_t(65536)), limit));
                }
                const ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) break;
                if (n == 0) {
                    buf.resize(got);
                    Data = std::move(buf);
                    result = TReadResult::Read;
                    break;
                }
                got += static_cast<size_t>(n);
            }
        }
    } catch (const std::bad_alloc&) {
        Data = std::string();
    }
    ::close(fd);
    return result;
}

bool TFileSystem::ReplaceWholeFile(const std::string& Path, const std::string& Data)
{
    const std::string target = FinalTarget(Path);
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;
    // The rename would replace a file whatever its permissions; the platform refuses to
    // write a read-only file, or one this user may not write.
    if (existed && ((old.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;

    // Short, so that a name near the longest a folder takes can still be replaced.
    std::string tmp = dir + (dir.back() == '/' ? "" : "/") + ".~qb.XXXXXX";
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
