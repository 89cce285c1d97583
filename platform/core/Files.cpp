#include "Files.h"

#include "SysUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <climits>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
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

int Refuse(const std::string& Path, const char* Why)
{
    SayRefused(Path, Why);
    errno = EACCES;
    return -1;
}

constexpr mode_t kByOthers = S_IWGRP | S_IWOTH;

// Why a privileged run may not use an entry with status St found in a folder with status Dir
// (none for the Windows folder itself); null when it may.
const char* Untrusted(const struct stat& St, const struct stat* Dir)
{
    if (S_ISLNK(St.st_mode)) return "it is a symbolic link";
    if ((St.st_mode & kByOthers) && !(S_ISDIR(St.st_mode) && (St.st_mode & S_ISVTX)))
        return "users other than its owner may write it";
    // Another name of the same file may stand anywhere, for anyone to have linked (where the
    // system lets users link files of others): what is written through one reaches the other.
    if (!S_ISDIR(St.st_mode) && St.st_nlink != 1) return "it has more than one link";
    // Others may add names to a sticky folder, but not replace or remove those of others.
    if (Dir && (Dir->st_mode & kByOthers) && St.st_uid != 0 && St.st_uid != Dir->st_uid && St.st_uid != ::geteuid())
        return "it belongs to another user in a folder others may write";
    return nullptr;
}

std::string FolderOf(const std::string& Path)
{
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : Path.substr(0, slash);
}

// A folder of the layer as it was opened: its descriptor and status, or Missing.
struct TFolder {
    int Fd = -1;
    struct stat St {};
    bool Missing = false;
    TFolder() = default;
    TFolder(const TFolder&) = delete;
    TFolder& operator=(const TFolder&) = delete;
    ~TFolder()
    {
        if (Fd >= 0) ::close(Fd);
    }
};

} // namespace

// Says why the layer refused a file, on one line of standard error: a refusal repeats at every
// run until someone mends the file, so it names the file for the administrator. A line just
// said is not said again.
void SayRefused(const std::string& Path, const char* Why)
{
    static std::mutex guard;
    static std::string last;
    const std::string line = "Quillboard port layer: " + Path + " refused: " + Why + "\n";
    const std::lock_guard<std::mutex> hold(guard);
    if (line == last) return;
    last = line;
    std::fputs(line.c_str(), stderr);
}

// A pinned folder: its descriptor and status as it was judged.
class TFolderPin {
public:
    std::string Dir;
    int Fd;
    struct stat St;
    TFolderPin(std::string D, int F, const struct stat& S);
    ~TFolderPin();
};

namespace {

std::mutex gPinsGuard;
std::vector<const TFolderPin*> gPins;

// Opens Dir from the Windows folder down (or Dir alone, outside it), each folder below the
// Windows folder by its name in the one above without following a link, and judges each as it
// was opened: nothing is looked up by path again, so a folder swapped after its judging is never
// the one used. A pinned Dir is its pin's folder, as judged then (PinFolderOf). False when
// refused; true also when a part is missing, with Missing set.
bool OpenFolder(const std::string& Dir, TFolder& F)
{
    {
        const std::lock_guard<std::mutex> hold(gPinsGuard);
        const auto pin = std::find_if(gPins.begin(), gPins.end(), [&](const TFolderPin* p) { return p->Dir == Dir; });
        if (pin != gPins.end()) {
            F.Fd = ::fcntl((*pin)->Fd, F_DUPFD_CLOEXEC, 0);
            F.St = (*pin)->St;
            return F.Fd >= 0 || (Refuse(Dir, std::strerror(errno)), false);
        }
    }
    const std::string root = GetWindowsDirectoryA();
    std::string path = Dir, below;
    if (Dir.size() > root.size() && Dir.compare(0, root.size(), root) == 0 && Dir[root.size()] == '/') {
        path = root;
        below = Dir.substr(root.size() + 1);
    }
    const auto failed = [&] {
        if (errno == ENOENT || errno == ENOTDIR) return F.Missing = true;
        return Refuse(path, std::strerror(errno)), false;
    };
    const auto judged = [&](const struct stat* Above) {
        if (::fstat(F.Fd, &F.St) != 0) return failed();
        const char* why = S_ISLNK(F.St.st_mode) || S_ISDIR(F.St.st_mode) ? Untrusted(F.St, Above) : "it is no folder";
        return why ? (Refuse(path, why), false) : true;
    };
    // The Windows folder itself is the system's choice of path, links and all.
    F.Fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (F.Fd < 0) return failed();
    if (!judged(nullptr)) return false;
    std::istringstream names(below);
    for (std::string name; std::getline(names, name, '/');) {
        if (name.empty()) continue;
        path += "/" + name;
        const struct stat above = F.St;
        const int fd = ::openat(F.Fd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        ::close(F.Fd);
        F.Fd = fd;
        if (fd < 0) return failed();
        if (!judged(&above)) return false;
    }
    return true;
}

// Why a file of the layer that is there, with status St, in folder F may not be used.
const char* UnfitFile(const struct stat& St, const TFolder& F)
{
    if (!S_ISREG(St.st_mode) && !S_ISLNK(St.st_mode)) return "it is no regular file";
    return Untrusted(St, &F.St);
}

// The entry of Path in its opened folder F, opened as the layer's own file and judged as it was
// opened. -1 with errno ENOENT when missing, EACCES when refused.
int OpenInFolder(const TFolder& F, const std::string& Path, int Flags, mode_t Mode)
{
    const std::string name = ExtractFileName(Path);
    struct stat st {};
    // Only a regular file is opened: opening a FIFO may wait, opening a device may act on it.
    if (::fstatat(F.Fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode))
        return Refuse(Path, UnfitFile(st, F));
    const int fd = ::openat(F.Fd, name.c_str(), Flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, Mode);
    if (fd < 0) {
        // Planted between the look and the open: a link, or a FIFO without a reader.
        if (errno == ELOOP || errno == ENXIO) return Refuse(Path, "it is no regular file");
        return -1;
    }
    const char* why = ::fstat(fd, &st) != 0 ? "it cannot be examined" : UnfitFile(st, F);
    if (why) {
        ::close(fd);
        return Refuse(Path, why);
    }
    return fd;
}

// A lock keeps other runs out only where no other user can make its name stand for another file
// or a file of theirs: in a folder that only its owner, root or this run's user, may write.
const char* UnfitLockFolder(const TFolder& F)
{
    if ((F.St.st_mode & kByOthers) || (F.St.st_uid != 0 && F.St.st_uid != ::geteuid()))
        return "a lock stands only in a folder that no other user may write or own";
    return nullptr;
}

// Whoever may open a lock file may hold its lock: a lock is the run's own, or root's, readable by
// no one else, under one name.
const char* UnfitLock(const struct stat& St)
{
    if ((St.st_uid != 0 && St.st_uid != ::geteuid()) || (St.st_mode & 07777) != 0600 || St.st_nlink != 1)
        return "a lock must belong to this user or root, with mode 0600 and one link";
    return nullptr;
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
        // One of the layer's own files: its folder is judged as opened and used by its descriptor.
        if (!OpenFolder(FolderOf(Path), folder) || folder.Missing) return false;
        name = ExtractFileName(Path);
        existed = ::fstatat(folder.Fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
        if (existed) {
            if (const char* why = UnfitFile(old, folder)) return Refuse(Path, why) == 0;
        }
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

TFolderPin::TFolderPin(std::string D, int F, const struct stat& S) : Dir(std::move(D)), Fd(F), St(S)
{
    const std::lock_guard<std::mutex> hold(gPinsGuard);
    gPins.push_back(this);
}

TFolderPin::~TFolderPin()
{
    {
        const std::lock_guard<std::mutex> hold(gPinsGuard);
        gPins.erase(std::find(gPins.begin(), gPins.end(), this));
    }
    ::close(Fd);
}

std::shared_ptr<TFolderPin> PinFolderOf(const std::string& Path)
{
    TFolder folder;
    if (!OpenFolder(FolderOf(Path), folder) || folder.Missing) {
        errno = folder.Missing ? ENOENT : EACCES;
        return nullptr;
    }
    // A second pin of a pinned folder holds the same folder, through a descriptor of its own.
    return std::make_shared<TFolderPin>(FolderOf(Path), std::exchange(folder.Fd, -1), folder.St);
}

bool LayerFileTrusted(const std::string& Path, TFileKind Kind)
{
    TFolder folder;
    if (!OpenFolder(FolderOf(Path), folder)) return false;
    struct stat st {};
    // Nothing there, or nothing this process sees: nothing to refuse.
    if (folder.Missing || ::fstatat(folder.Fd, ExtractFileName(Path).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    const char* why = Kind == TFileKind::Regular || S_ISLNK(st.st_mode) ? UnfitFile(st, folder) : Untrusted(st, &folder.St);
    return !why || Refuse(Path, why) == 0;
}

int OpenLayerFile(const std::string& Path, int Flags, unsigned Mode)
{
    TFolder folder;
    if (!OpenFolder(FolderOf(Path), folder)) return -1;
    if (folder.Missing) {
        errno = ENOENT;
        return -1;
    }
    return OpenInFolder(folder, Path, Flags, static_cast<mode_t>(Mode));
}

bool LayerLockTrusted(const std::string& Path)
{
    TFolder folder;
    if (!OpenFolder(FolderOf(Path), folder)) return false;
    if (folder.Missing) return true;
    if (const char* why = UnfitLockFolder(folder)) return Refuse(Path, why) == 0;
    struct stat st {};
    if (::fstatat(folder.Fd, ExtractFileName(Path).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    const char* why = UnfitFile(st, folder);
    if (!why) why = UnfitLock(st);
    return !why || Refuse(Path, why) == 0;
}

int OpenLayerLock(const std::string& Path)
{
    TFolder folder;
    if (!OpenFolder(FolderOf(Path), folder)) return -1;
    if (folder.Missing) {
        errno = ENOENT;
        return -1;
    }
    if (const char* why = UnfitLockFolder(folder)) return Refuse(Path, why);
    const std::string name = ExtractFileName(Path);
    int fd = ::openat(folder.Fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
        // Made here, so its mode is ours to set whatever the umask took.
        if (::fchmod(fd, 0600) == 0) return fd;
        ::close(fd);
        return -1;
    }
    if (errno != EEXIST) return -1;
    // One that was there is taken as it stands, never changed: it may be a name for another file.
    fd = OpenInFolder(folder, Path, O_RDWR, 0);
    struct stat st {};
    if (fd < 0) return -1;
    const char* why = ::fstat(fd, &st) != 0 ? "it cannot be examined" : UnfitLock(st);
    if (!why) return fd;
    ::close(fd);
    return Refuse(Path, why);
}

void RemoveStaleTemporaryFiles(const std::string& Dir)
{
    TFolder folder;
    if (!OpenFolder(Dir, folder) || folder.Missing) return;
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
