// Inside the layer: the files a privileged run keeps in the Windows folder (Files.h), the service
// database and its lock, the driver files, their locks and logs, and the one rule by which a run
// trusts them.
//
// The rule: a folder or file of the layer is trusted only when it belongs to root or the running
// user and no one else may write it (no write permission for group or others; a sticky folder is
// writable by others all the same), a folder only when it is one, a file only when it is a regular
// file with one link (another name of it could stand anywhere). Nothing is reached through a
// symbolic link below the Windows folder, whose path is the system's own choice. Every file of the
// layer lies in the Windows folder or below it, named by plain names ("." and ".." are none) in a
// path no longer than the system takes: a path that leaves the chain of folders from the Windows
// folder down is refused like a file that fails the rule. What fails is refused, never changed, and
// said on standard error: one line naming it and why (a line just said is not said again).
#pragma once
#include <string>

// One use of the layer (a service call, a device's opening) reaches the chain of folders once:
// while a TLayerUse lives, each folder from the Windows folder down is opened at most once, by its
// name in the one above, judged as it was opened, and every file of the use is opened relative to
// the folder's descriptor, so no folder is reached by its path a second time. A use made while
// another lives is part of that one; a call below made outside any use is a use of its own.
class TLayerUse {
public:
    TLayerUse();
    ~TLayerUse();
    TLayerUse(const TLayerUse&) = delete;
    TLayerUse& operator=(const TLayerUse&) = delete;

private:
    bool FOwner;
};

// Says on standard error that the layer refused Path, and Why.
void SayRefused(const std::string& Path, const char* Why);

// Opens the file Path (open(2) Flags: access, O_CREAT, O_APPEND) where the rule allows it, judged
// as it was opened, never waiting (a FIFO is refused, not opened). A new file gets Mode, and is
// made only in a folder of the running user's: in another's (root's, for a run allowed to open
// root's files) it would be another user's file to the owner's runs, and shut them out. -1 with
// errno EACCES when refused, ENOENT when its folder is missing (or, opened without O_CREAT, the
// file).
int OpenLayerFile(const std::string& Path, int Flags, unsigned Mode);
// Whether the rule allows the file Path, judged without opening or making it: its folder is
// trusted, and the file is, where it is there (nothing can be planted in a missing one).
bool LayerFileTrusted(const std::string& Path);
// A lock file of the layer, opened for reading and writing (made, mode 0600, when missing, where
// OpenLayerFile would make a file). Whoever may open a lock may hold it, so one that is there must
// also be readable by no one else: mode 0600. -1 when refused (EACCES) or its folder is missing
// (ENOENT).
int OpenLayerLock(const std::string& Path);
// Whether OpenLayerLock would take Path, judged without making or opening it.
bool LayerLockTrusted(const std::string& Path);
// The folder Dir of the chain, judged: a descriptor of its own (O_PATH) for the caller to close;
// -1 with errno EACCES when refused, ENOENT when missing.
int OpenLayerFolder(const std::string& Dir);
