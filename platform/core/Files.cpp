#include "Files.h"

#include "LayerFiles.h"
#include "SysUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <new>
#include <sstream>
#include <utility>
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

constexpr mode_t kByOthers = S_IWGRP | S_IWOTH;

std::string FolderOf(const std::string& Path)
{
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : Path.substr(0, slash);
}

// A folder's descriptor, closed with the object.
struct TFolder {
    int Fd = -1;
    TFolder() = default;
    TFolder(const TFolder&) = delete;
    TFolder& operator=(const TFolder&) = delete;
    ~TFolder()
    {
        if (Fd >= 0) ::close(Fd);
    }
};

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
    struct stat st {};
    int fd = -1;
    if (Links == TLinks::Follow) {
        if (::stat(Path.c_str(), &st) != 0) return gone();
        // Opening a FIFO for reading waits for a writer, and opening a device may act on it.
        if (!S_ISREG(st.st_mode)) return TReadResult::Failed;
        fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } else {
        // One of the layer's own files: opened in its folder as judged, and judged as opened.
        fd = OpenLayerFile(Path, O_RDONLY, 0);
    }
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
    TFolder folder;
    std::string name;
    struct stat old {};
    bool existed = false;
    if (Links == TLinks::Follow) {
        const std::string target = FinalTarget(Path);
        folder.Fd = ::open(FolderOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        name = ExtractFileName(target);
        if (folder.Fd < 0) return false;
        existed = ::fstatat(folder.Fd, name.c_str(), &old, 0) == 0;
        if (existed && !S_ISREG(old.st_mode)) return false;
    } else {
        // One of the layer's own files: its folder as the chain has it, the file as the rule allows,
        // in one use; the write goes through the folder's own descriptor.
        const TLayerUse use;
        folder.Fd = OpenLayerFolder(FolderOf(Path));
        if (folder.Fd < 0 || !LayerFileTrusted(Path)) return false;
        name = ExtractFileName(Path);
        existed = ::fstatat(folder.Fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    }
    // The rename would replace a file whatever its permissions; the platform refuses to
    // write a read-only file, or one this user may not write.
    if (existed && ((old.st_mode & 0222) == 0 || ::faccessat(folder.Fd, name.c_str(), W_OK, AT_EACCESS) != 0))
        return false;

    // Short, so that a name near the longest a folder takes can still be replaced; the
    // writer's process id tells a later writer whether it may still be written.
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string tmp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        tmp = kTemporaryPrefix + std::to_string(::getpid()) + ".";
        for (int i = 0; i < 6; ++i) tmp += kChars[random() % (sizeof kChars - 1)];
        fd = ::openat(folder.Fd, tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    mode_t mode;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
        // What only the layer writes stays out of others' hands whatever the umask.
        if (Links == TLinks::Refuse) mode &= ~kByOthers;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, Data) && ::fsync(fd) == 0;
    if (ok && existed && ::geteuid() == 0) {
        // Root saving a user's file must not take it away from that user.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* ownership kept as far as allowed */ }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::renameat(folder.Fd, tmp.c_str(), folder.Fd, name.c_str()) == 0;
    if (!ok) ::unlinkat(folder.Fd, tmp.c_str(), 0);
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

void RemoveStaleTemporaryFiles(const std::string& Dir)
{
    TFolder folder;
    folder.Fd = OpenLayerFolder(Dir);
    if (folder.Fd < 0) return;
    const int fd = ::openat(folder.Fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
    if (!dir) {
        if (fd >= 0) ::close(fd);
        return;
    }
    const size_t prefix = sizeof kTemporaryPrefix - 1;
    while (const dirent* entry = ::readdir(dir.get())) {
        // ".~qb.", the writer's process id, "." and the six characters it drew.
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
