#include "LayerFiles.h"

#include "Files.h"
#include "SysUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// The rule, for a folder (Folder) or a file of the layer with status St; null when it is trusted.
const char* Untrusted(const struct stat& St, bool Folder)
{
    if (S_ISLNK(St.st_mode)) return "it is a symbolic link";
    if (St.st_uid != 0 && St.st_uid != ::geteuid()) return "it belongs to another user than root or this one";
    if (St.st_mode & (S_IWGRP | S_IWOTH)) return "users other than its owner may write it";
    if (Folder) return S_ISDIR(St.st_mode) ? nullptr : "it is no folder";
    if (!S_ISREG(St.st_mode)) return "it is no regular file";
    if (St.st_nlink != 1) return "it has more than one link";
    return nullptr;
}

int Refuse(const std::string& Path, const char* Why)
{
    SayRefused(Path, Why);
    errno = EACCES;
    return -1;
}

// A folder of the chain as this use opened it: its descriptor, or the errno it failed with.
struct TFolder {
    int Fd = -1;
    int Error = 0;
};

// The chain of the use in force: the Windows folder's path when the use began, and each folder
// below it, by its path relative to it ("" the Windows folder itself), as first reached.
struct TChain {
    std::string Root = GetWindowsDirectoryA();
    std::map<std::string, TFolder> Folders;
    ~TChain()
    {
        for (auto& [name, folder] : Folders)
            if (folder.Fd >= 0) ::close(folder.Fd);
    }
};

thread_local TChain* gChain = nullptr;

// The folder Rel of the chain, reached from the one above it by its name. A refusal or a missing
// part is remembered too, so that it is neither reached nor said again within the use.
const TFolder& Folder(TChain& Chain, const std::string& Rel)
{
    if (const auto known = Chain.Folders.find(Rel); known != Chain.Folders.end()) return known->second;
    const auto slash = Rel.find_last_of('/');
    const std::string up = slash == std::string::npos ? std::string() : Rel.substr(0, slash);
    const TFolder above = Rel.empty() ? TFolder{} : Folder(Chain, up);
    if (!Rel.empty() && above.Fd < 0) return Chain.Folders.emplace(Rel, TFolder{-1, above.Error}).first->second;
    const std::string path = Rel.empty() ? Chain.Root : Chain.Root + "/" + Rel;
    TFolder folder{Rel.empty() ? ::open(path.c_str(), O_PATH | O_CLOEXEC)
                               : ::openat(above.Fd, Rel.substr(slash + 1).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)};
    struct stat st {};
    const char* why = folder.Fd < 0 ? (errno == ENOENT || errno == ENOTDIR ? nullptr : std::strerror(errno))
                      : ::fstat(folder.Fd, &st) != 0 ? "it cannot be examined"
                                                     : Untrusted(st, true);
    if (folder.Fd >= 0 && why) ::close(folder.Fd);
    if (why) SayRefused(path, why);
    if (folder.Fd < 0 || why) folder = {-1, why ? EACCES : ENOENT};
    return Chain.Folders.emplace(Rel, folder).first->second;
}

// Path relative to the Windows folder of Chain ("" for the folder itself). Refused (false, errno
// EACCES, said) when it lies outside the Windows folder, has a part "." or "..", or is longer
// than any path the system takes (the chain is walked a name at a time, and a path the
// database holds may be of any length): a path the database holds is followed only down the
// chain.
bool Locate(const TChain& Chain, const std::string& Path, std::string& Rel)
{
    const std::string& root = Chain.Root;
    Rel.clear();
    if (Path == root) return true;
    const bool inside = Path.size() > root.size() + 1 && Path.size() < PATH_MAX &&
                        Path.find('\0') == std::string::npos && Path.compare(0, root.size(), root) == 0 &&
                        Path[root.size()] == '/';
    if (inside) Rel = Path.substr(root.size() + 1);
    const std::string parts = "/" + Rel + "/";
    const bool plain = inside && parts.find("//") == std::string::npos && parts.find("/./") == std::string::npos &&
                       parts.find("/../") == std::string::npos;
    return plain || Refuse(Path, "a file of the layer is named only by plain names below the Windows folder") == 0;
}

// Runs Act(chain) in the use in force, or in a use of its own.
template <typename TAct>
auto InUse(TAct Act)
{
    const TLayerUse use;
    return Act(*gChain);
}

// The folder of the file Path, opened in Chain: its descriptor (the chain's own) and Path's name
// in it; -1 with errno set when refused or missing.
int FolderOfFile(TChain& Chain, const std::string& Path, std::string& Name)
{
    std::string rel;
    if (!Locate(Chain, Path, rel) || rel.empty()) return errno = EACCES, -1;
    const auto slash = rel.find_last_of('/');
    Name = rel.substr(slash == std::string::npos ? 0 : slash + 1);
    const TFolder& folder = Folder(Chain, slash == std::string::npos ? std::string() : rel.substr(0, slash));
    errno = folder.Error;
    return folder.Fd;
}

// The rule for a file of status St, and for a Lock also: whoever may open a lock may hold it.
const char* Unfit(const struct stat& St, bool Lock)
{
    if (const char* why = Untrusted(St, false)) return why;
    if (Lock && (St.st_mode & 07777) != 0600)
        return "a lock must belong to this user or root, with mode 0600 and one link";
    return nullptr;
}

// Why the entry Name of the folder Fd may not be used; null when it may or is not there.
const char* UnfitEntry(int Fd, const std::string& Name, bool Lock)
{
    struct stat st {};
    return ::fstatat(Fd, Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ? nullptr : Unfit(st, Lock);
}

// Opens the entry of Path in its folder Fd as the rule allows, judged before (so that a FIFO or
// device is never opened) and again as it was opened.
int OpenEntry(int Fd, const std::string& Path, const std::string& Name, int Flags, mode_t Mode, bool Lock)
{
    if (const char* why = UnfitEntry(Fd, Name, Lock)) return Refuse(Path, why);
    const int fd = ::openat(Fd, Name.c_str(), Flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, Mode);
    if (fd < 0) {
        // Made between the look and the open: a link, or a FIFO without a reader.
        if (errno == ELOOP || errno == ENXIO) return Refuse(Path, "it is no regular file");
        return -1;
    }
    struct stat st {};
    const char* why = ::fstat(fd, &st) != 0 ? "it cannot be examined" : Unfit(st, Lock);
    if (!why) return fd;
    ::close(fd);
    return Refuse(Path, why);
}

// Opens the entry of Path in its folder Fd, making it (O_CREAT in Flags, Mode) only where the run's
// own user owns the folder: a file that a run of another user, one allowed to open root's files,
// made in root's folder would be another user's to every root run after it, and shut them out.
int OpenOrMake(int Fd, const std::string& Path, const std::string& Name, int Flags, mode_t Mode, bool Lock)
{
    struct stat folder {};
    const bool make = (Flags & O_CREAT) && ::fstat(Fd, &folder) == 0 && folder.st_uid == ::geteuid();
    if (make && Lock) {
        // Made here, so its mode is ours to set whatever the umask took; one that is there is
        // taken as it stands, never changed.
        const int fd =
            ::openat(Fd, Name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd >= 0 && ::fchmod(fd, 0600) == 0) return fd;
        if (fd >= 0) ::close(fd);
        if (fd >= 0 || errno != EEXIST) return -1;
    }
    const int fd = OpenEntry(Fd, Path, Name, make && !Lock ? Flags : Flags & ~O_CREAT, Mode, Lock);
    if (fd < 0 && errno == ENOENT && (Flags & O_CREAT) && !make)
        return Refuse(Path, "it is missing, and only the owner of its folder makes it");
    return fd;
}

// Whether the file Path, judged without opening it, passes the rule (for a Lock, a lock's).
bool Trusted(const std::string& Path, bool Lock)
{
    return InUse([&](TChain& Chain) {
        std::string name;
        const int folder = FolderOfFile(Chain, Path, name);
        if (folder < 0) return errno == ENOENT;
        const char* why = UnfitEntry(folder, name, Lock);
        return !why || Refuse(Path, why) == 0;
    });
}

} // namespace

TLayerUse::TLayerUse() : FOwner(gChain == nullptr)
{
    if (FOwner) gChain = new TChain;
}

TLayerUse::~TLayerUse()
{
    if (!FOwner) return;
    delete gChain;
    gChain = nullptr;
}

// A refusal repeats at every run until someone mends the file, so it names the file for the
// administrator; a line just said is not said again.
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

int OpenLayerFile(const std::string& Path, int Flags, unsigned Mode)
{
    return InUse([&](TChain& Chain) {
        std::string name;
        const int folder = FolderOfFile(Chain, Path, name);
        return folder < 0 ? -1 : OpenOrMake(folder, Path, name, Flags, static_cast<mode_t>(Mode), false);
    });
}

bool LayerFileTrusted(const std::string& Path)
{
    return Trusted(Path, false);
}

int OpenLayerLock(const std::string& Path)
{
    return InUse([&](TChain& Chain) {
        std::string name;
        const int folder = FolderOfFile(Chain, Path, name);
        return folder < 0 ? -1 : OpenOrMake(folder, Path, name, O_RDWR | O_CREAT, 0600, true);
    });
}

bool LayerLockTrusted(const std::string& Path)
{
    return Trusted(Path, true);
}

int OpenLayerFolder(const std::string& Dir)
{
    return InUse([&](TChain& Chain) {
        std::string rel;
        if (!Locate(Chain, Dir, rel)) return -1;
        const TFolder& folder = Folder(Chain, rel);
        errno = folder.Error;
        return folder.Fd < 0 ? -1 : ::fcntl(folder.Fd, F_DUPFD_CLOEXEC, 0);
    });
}
