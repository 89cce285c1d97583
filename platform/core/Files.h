// File access as the layer's own code sees it. Every read and replacement of a whole file
// goes through one seam, so a test can refuse a write that root would be allowed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// How a path is reached: through symbolic links, as a user's own files are, or as a file of the
// layer, which the layer's rule judges (LayerFiles.h: no link, down the chain of trusted folders).
enum class TLinks { Follow, Refuse };

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    enum class TReadResult { Read, Missing, Failed };
    // Reads the whole file into Data (empty unless Read), opening it once: what is read is
    // one file as it stood at that moment. Missing: nothing is at Path. Failed: something is
    // there that could not be read whole: no regular file (a FIFO, device, socket or folder,
    // which is never opened, so it cannot block or be acted on), a link that Links refuses
    // (refused, also a file or folder the layer's rule refuses, LayerFiles.h),
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

// Removes the temporary files that writers killed before their rename left in Dir, a folder of
// the layer (LayerFiles.h): each whose writer (the process id in its name) has ended, or is a
// later process that started after the file was last written.
void RemoveStaleTemporaryFiles(const std::string& Dir);
