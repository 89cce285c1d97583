// Inside the layer: the service manager's database, the file "SERVICES.INI" of the Windows
// folder (Services.h says who may change it and how a change waits for another).
//
// It is no TIniFile (IniFiles.h), though it shares that class's file layer (Files.h): the
// whole file read once within a limit, as a file of the layer that its rule judges
// (LayerFiles.h), and replaced all at once. TIniFile follows links, as a user's own settings
// do, keeps a file's repeated sections and unknown lines, cannot remove a section, reads
// numbers with sign and hex, and reports a failed save by throwing: a database that privileged
// runs write must instead refuse links, drop what it did not write, forget deleted services and
// fail as the service calls fail.
//
// Its text: one block a service, in the order they were created, each followed by an empty
// line:
//     [PORTACC]
//     DisplayName=PORTACC
//     Type=1                  a kernel driver, the only type recorded
//     Start=3
//     ErrorControl=1
//     ImagePath=SYSTEM32/DRIVERS/PORTACC.SYS
//     State=1                 1 stopped, 4 running
//     DeletePending=0
#pragma once
#include "LayerFiles.h"

#include <cstdint>
#include <string>
#include <vector>

struct TService {
    std::string Name;
    std::string DisplayName;
    uint32_t Type = 0;
    uint32_t Start = 0;
    uint32_t ErrorControl = 0;
    std::string ImagePath;
    uint32_t State = 0;
    bool DeletePending = false;
};

// The whole entries of Text, in order. An entry that lacks one of the keys or holds a value that
// WriteServiceDatabase never writes (a type other than a kernel driver, a state other than stopped
// or running, a number with anything but decimal digits, an empty image path, a text with a control
// character) is damaged, by a cut or a hand, and left out as if absent: a service that cannot be
// trusted is installed afresh rather than refused for good. Lines outside the blocks are ignored.
std::vector<TService> ReadServiceDatabase(const std::string& Text);

// The text of Services, each value on one line (the caller keeps control characters out).
std::string WriteServiceDatabase(const std::vector<TService>& Services);

// Whether Value holds no control character. The database keeps each value on a line of its
// own: a line break in one would forge the lines after it, and a NUL in a path would end the
// name a file is opened by before the part that was judged.
bool OneLine(const std::string& Value);

// Service names, and a device's name against a driver file's stem, match ignoring case.
bool SameServiceName(const std::string& A, const std::string& B);

// The database as read on construction; Save() writes it whole. A change holds the lock file
// beside it, which only the service manager's users (root) may open, from its read to its
// save, so no change is lost to another; a read needs no lock, since a save replaces the file
// all at once. The object is one use of the layer's files (LayerFiles.h), or part of the one in
// force: the database, its lock and its folder are reached once. What the rule refuses fails
// with 5: it would let another user choose what a privileged run reads and where it writes.
class TServiceDatabase {
public:
    enum class TUse { Read, Change };
    explicit TServiceDatabase(TUse Use);
    ~TServiceDatabase();
    TServiceDatabase(const TServiceDatabase&) = delete;
    TServiceDatabase& operator=(const TServiceDatabase&) = delete;

    // False, with the last error set, when the database is refused or its lock was not had.
    bool Ready() const;

    TService* Find(const std::string& Name);
    void Add(TService S) { FServices.push_back(std::move(S)); }
    void Remove(const std::string& Name);
    const std::vector<TService>& Services() const { return FServices; }

    // False, with the last error set, when the file cannot be replaced.
    bool Save();

private:
    // Waits a while, then fails as the platform's locked database does.
    bool Lock();

    TLayerUse FLayerUse; // first: held from the first file reached to the last
    std::string FPath;
    TUse FUse;
    uint32_t FError;
    int FLock = -1;
    std::vector<TService> FServices;
};
