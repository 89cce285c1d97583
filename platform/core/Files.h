// File access as the layer's own code sees it. Every read and replacement of a whole file
// goes through one seam, so a test can refuse a write that root would be allowed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// How a path is reached: through symbolic links, as a user's own files are, or only where its
// last name is the file itself (a link there is refused), as the layer's own files are in a
// folder that other users may share.
enum class TLinks { Follow, Refuse };

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    enum class TReadResult { Read, Missing, Failed };
    // Reads the whole file into Data (empty unless Read), opening it once: what is read is
    // one file as it stood at that moment. Missing: nothing is at Path. Failed: something is
    // there that could not be read whole: no regular file (a FIFO, device, socket or folder,
    // which is never opened, so it cannot block or be acted on), a link that Links refuses
    // (refused, also a file or folder OpenLayerFile refuses),
    // no read permission, a read error, more than MaxSize bytes, or no memory to hold it.
    virtual TReadResult ReadWholeFile(const std::string& Path, std::string& Data, size_t MaxSize, TLinks Links);
    TReadResult ReadWholeFile(const std::string& Path, std::string& Data, size_t MaxSize)
    {
        return ReadWholeFile(Path, Data, MaxSize, TLinks::Follow);
    }
    // The same with no limit but memory's.
    TReadResult ReadWholeFile(const std::string& Path, std::string& Data) { return ReadWholeFile(Path, Data, SIZE_MAX); }
    // Replaces the file with Data all at once: a complete new file is written beside it under
    // a short temporary name (".~qb.", the writer's process id, "." and six characters) and
    // renamed over it, keeping the old file's permissions. Followed, a symbolic link keeps
    // naming the same link and the file it points to is replaced; refused, a link at Path is
    // left alone and the call fails, and a new file is never writable by group or others.
    // False, with the old file exactly as it was, when that cannot be done: the old file is
    // no regular file, is read-only (no write permission for anyone, which even the superuser
    // does not override), or this process may not write it.
    virtual bool ReplaceWholeFile(const std::string& Path, const std::string& Data, TLinks Links);
    bool ReplaceWholeFile(const std::string& Path, const std::string& Data)
    {
        return ReplaceWholeFile(Path, Data, TLinks::Follow);
    }
};

// The seam: the file system in force (never null). SetFileSystem(nullptr) restores the real one.
TFileSystem& FileSystem();
void SetFileSystem(TFileSystem* Fs);

// The platform's fixed "Windows folder": a path that is not a full path names a file in it.
// Tests may move it with SetWindowsDirectory; "" restores the fixed one.
std::string GetWindowsDirectoryA();
void SetWindowsDirectory(const std::string& Dir);
// Path itself when it starts with "/", else the file of that name in the Windows folder.
std::string ResolveProfilePath(const std::string& Path);
// Path with the extension of its last name (from its last ".") replaced by Extension, or with
// Extension added when it has none: ("D/PORTACC.SYS", ".LOG") gives "D/PORTACC.LOG".
std::string ReplaceExtension(const std::string& Path, const std::string& Extension);

// Inside the layer: the rules for the files a privileged run keeps in a folder that other
// users may share (the Windows folder, its driver folders). A folder is trusted when no user
// but its owner and root may add or replace a name in it (neither group nor others may
// write it), or when its sticky bit keeps them from replacing names of others and every name
// used in it belongs to root, its owner or this process's user. Inside the Windows folder,
// every folder from it down is held to this and none may be a link; the Windows folder itself
// is the system's own choice of path. Each call opens the folders anew, each by its name in the
// one above without following a link, judges each as it was opened and uses the file through
// its folder's descriptor, so a folder swapped after its judging is never the one used. A file
// of the layer is a regular file with one link (another name of it could stand anywhere). What
// is refused is said on standard error, one line naming the file and why.

// Says on standard error, one line, that the layer refused Path and Why (a line just said is
// not said again).
void SayRefused(const std::string& Path, const char* Why);
// The folder of Path, opened and judged as above and held: while a pin of it lives, the calls
// below reach that folder through the pin's descriptor, as it was judged, and never open its
// path anew, so a folder swapped in at the path since is never used. The service manager pins
// a driver's folder at its install or start, for as long as its handle is open (Services.h).
// Null, with errno EACCES when the folder is refused or ENOENT when it is missing.
class TFolderPin;
std::shared_ptr<TFolderPin> PinFolderOf(const std::string& Path);
// Whether the file Path and its folder are trusted (a missing one is: nothing can be planted
// in it): where the file is there, it is no link, has one link, neither group nor others may
// write it, and in a sticky folder it belongs to a trusted user; of Kind Regular, it is also a
// regular file (Any leaves that to the opening, which refuses anything else).
enum class TFileKind { Any, Regular };
bool LayerFileTrusted(const std::string& Path, TFileKind Kind = TFileKind::Any);
// Opens Path (open(2) Flags: access, O_CREAT, O_APPEND) as LayerFileTrusted allows, judged as it
// was opened: never through a link and never waiting (a FIFO is refused, not opened), a regular
// file only. A new file gets Mode. -1 when refused (errno EACCES) or not opened (ENOENT: missing).
int OpenLayerFile(const std::string& Path, int Flags, unsigned Mode);
// A lock file of the layer, opened for reading and writing (created, mode 0600, when missing).
// Whoever may open it may hold its lock, so it must be this process's user's or root's, mode
// 0600, with one link, and stand in a folder that no other user may write or own (where others
// could make its name theirs first); one that is not is refused, never changed. -1 when refused.
int OpenLayerLock(const std::string& Path);
// Whether OpenLayerLock would take Path, judged without creating or opening it.
bool LayerLockTrusted(const std::string& Path);
// Removes the temporary files that writers killed before their rename left in Dir: each
// whose writer (the process id in its name) has ended, or is a later process that started
// after the file was last written.
void RemoveStaleTemporaryFiles(const std::string& Dir);
