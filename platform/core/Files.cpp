#include "Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
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

const char kTemporaryPrefix[] = ".~qb.";

// Whether a privileged run may use an entry with status St found in a folder with status Dir
// (none for the Windows folder itself).
bool Trusted(const struct stat& St, const struct stat* Dir)
{
    constexpr mode_t kByOthers = S_IWGRP | S_IWOTH;
    if ((St.st_mode & kByOthers) && !(S_ISDIR(St.st_mode) && (St.st_mode & S_ISVTX))) return false;
    // Others may add names to a sticky folder, but not replace or remove those of others.
    if (Dir && (Dir->st_mode & kByOthers))
        return St.st_uid == 0 || St.st_uid == Dir->st_uid || St.st_uid == ::geteuid();
    return true;
}

std::string FolderOf(const std::string& Path)
{
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : Path.substr(0, slash);
}

// Checks the folders from the Windows folder (or from Dir alone, outside it) down to Dir; Last
// gets Dir's status. True also when a part is missing, with Missing set.
bool WalkLayerFolders(const std::string& Dir, struct stat& Last, bool& Missing)
{
    const std::string root = GetWindowsDirectoryA();
    std::string path = Dir, below;
    if (Dir.size() > root.size() && Dir.compare(0, root.size(), root) == 0 && Dir[root.size()] == '/') {
        path = root;
        below = Dir.substr(root.size() + 1);
    }
    Missing = false;
    const auto gone = [&] { return Missing = errno == ENOENT || errno == ENOTDIR; };
    if (::stat(path.c_str(), &Last) != 0) return gone();
    if (!S_ISDIR(Last.st_mode) || !Trusted(Last, nullptr)) return false;
    std::istringstream names(below);
    for (std::string name; std::getline(names, name, '/');) {
        if (name.empty()) continue;
        path += "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return gone();
        if (!S_ISDIR(st.st_mode) || !Trusted(st, &Last)) return false; // a link is no folder here
        Last = st;
    }
    return true;
}

// Whether the temporary file of process Pid, last written at Written, was left by a writer
// that is gone: the process has ended, or the one with its id now started after the write.
bool WriterGone(pid_t Pid, const struct timespec& Written)
{
    if (Pid == ::getpid()) return false;
    if (::kill(Pid, 0) != 0 && errno == ESRCH) return true;
    std::ifstream in("/proc/" + std::to_string(Pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto paren = text.rfind(')');
    if (paren == std::string::npos) return false;
    std::istringstream fields(text.substr(paren + 2));
    std::string field;
    // The start time, in clock ticks since boot, is the 22nd field; the 3rd follows the name.
    for (int i = 3; i <= 22 && fields >> field; ++i) {}
    char* end = nullptr;
    const unsigned long long ticks = std::strtoull(field.c_str(), &end, 10);
    if (field.empty() || *end) return false;
    struct timespec now {}, sinceBoot {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot);
    const double started = double(now.tv_sec - sinceBoot.tv_sec) + double(now.tv_nsec - sinceBoot.tv_nsec) / 1e9 +
                           double(ticks) / double(::sysconf(_SC_CLK_TCK));
    // A second's margin for the clocks' resolution: a live writer's file is never taken.
    return started > double(Written.tv_sec) + double(Written.tv_nsec) / 1e9 + 1.0;
}

} // namespace

TFileSystem::TReadResult TFileSystem::ReadWholeFile(const std::string& Path, std::string& Data, size_t MaxSize,
                                                    TLinks Links)
{
    Data.clear();
    auto gone = [] { return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed; };
    const bool follow = Links == TLinks::Follow;
    struct stat st {};
    if ((follow ? ::stat(Path.c_str(), &st) : ::lstat(Path.c_str(), &st)) != 0) return gone();
    // Opening a FIFO for reading waits for a writer, and opening a device may act on it.
    if (!S_ISREG(st.st_mode)) return TReadResult::Failed;
    // Not followed, it is one of the layer's own files: what is opened is also judged as one, so
    // a file another user planted in a shared folder after the caller's check is refused here.
    const int fd = follow ? ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)
                          : OpenLayerFile(Path, O_RDONLY, 0);
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

bool TFileSystem::ReplaceWholeFile(const std::string& Path, const std::string& Data, TLinks Links)
{
    const bool follow = Links == TLinks::Follow;
    const std::string target = follow ? FinalTarget(Path) : Path;
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);

    struct stat old {};
    // Not followed, a link is no regular file and is refused below.
    const bool existed = (follow ? ::stat(target.c_str(), &old) : ::lstat(target.c_str(), &old)) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;
    // The rename would replace a file whatever its permissions; the platform refuses to
    // write a read-only file, or one this user may not write.
    if (existed && ((old.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0))
        return false;

    // Short, so that a name near the longest a folder takes can still be replaced; the
    // writer's process id tells a later writer whether it may still be written.
    std::string tmp = dir + (dir.back() == '/' ? "" : "/") + kTemporaryPrefix + std::to_string(::getpid()) + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    mode_t mode;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
        // What only the layer writes stays out of others' hands whatever the umask.
        if (!follow) mode &= ~mode_t(S_IWGRP | S_IWOTH);
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

std::string ReplaceExtension(const std::string& Path, const std::string& Extension)
{
    const auto slash = Path.find_last_of('/');
    const auto dot = Path.find_last_of('.');
    const bool has = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has ? Path.substr(0, dot) : Path) + Extension;
}

bool LayerFolderTrusted(const std::string& Dir)
{
    struct stat st {};
    bool missing = false;
    return WalkLayerFolders(Dir, st, missing);
}

bool LayerFileTrusted(const std::string& Path)
{
    struct stat dir {}, st {};
    bool missing = false;
    if (!WalkLayerFolders(FolderOf(Path), dir, missing)) return false;
    if (missing || ::lstat(Path.c_str(), &st) != 0) return true; // nothing there, or nothing this process sees
    return !S_ISLNK(st.st_mode) && Trusted(st, &dir);
}

int OpenLayerFile(const std::string& Path, int Flags, unsigned Mode)
{
    struct stat dir {}, st {};
    bool missing = false;
    if (!WalkLayerFolders(FolderOf(Path), dir, missing) || missing) {
        errno = missing ? ENOENT : EACCES;
        return -1;
    }
    const int fd = ::open(Path.c_str(), Flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, static_cast<mode_t>(Mode));
    if (fd < 0) return -1;
    // What was opened is judged: a name planted in a sticky folder meanwhile is caught here.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !Trusted(st, &dir)) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

int OpenLayerLock(const std::string& Path)
{
    const int fd = OpenLayerFile(Path, O_RDWR | O_CREAT, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    // Whoever may open the file may hold a lock on it.
    if ((st.st_uid != 0 && st.st_uid != ::geteuid()) || ((st.st_mode & 077) && ::fchmod(fd, 0600) != 0)) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

void RemoveStaleTemporaryFiles(const std::string& Dir)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Dir.c_str()), ::closedir);
    if (!dir) return;
    const size_t prefix = sizeof kTemporaryPrefix - 1;
    while (const dirent* entry = ::readdir(dir.get())) {
        // ".~qb.", the writer's process id, "." and mkstemp's six characters.
        const std::string name = entry->d_name;
        const auto dot = name.find('.', prefix);
        if (name.compare(0, prefix, kTemporaryPrefix) != 0 || dot == std::string::npos || dot == prefix ||
            dot - prefix > 9 || name.size() != dot + 7 ||
            name.find_first_not_of("0123456789", prefix) != dot)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name.substr(prefix, dot - prefix)));
        struct stat st {};
        if (pid <= 0 || ::fstatat(::dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        if (WriterGone(pid, st.st_mtim)) ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
    }
}
