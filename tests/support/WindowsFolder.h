// A Windows folder of the test's own, holding the virtual keyboard controller as the port
// driver "PORTACC", for this process and for the programs a test starts.
#pragma once
#include "TestSupport.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class TTestWindowsFolder {
public:
    // Writes the driver file (SYSTEM32/DRIVERS/PORTACC.SYS, and SYSTEM/PORTACC.VXD for the 9x
    // family) naming the virtual keyboard controller, followed by Description's lines, and
    // makes the folder this process's Windows folder until the object goes.
    explicit TTestWindowsFolder(const std::string& Description = "");
    ~TTestWindowsFolder();

    const std::string& Path() const { return FPath; }
    std::string DriverFile() const { return FPath + "/SYSTEM32/DRIVERS/PORTACC.SYS"; }
    // Replaces both driver files' text whole (not only the description).
    void WriteDriverFile(const std::string& Text) const;
    // The controller's log lines without their timestamps ("in 0x64 0x01", "out 0x60 0xe4").
    std::vector<std::string> PortLog() const;
    // The service database's text; "" while there is none.
    std::string ServiceDatabase() const;

    // The command line that runs Argv with this folder as its Windows folder: in a private
    // mount namespace where the folder is mounted over /var/lib/quillboard/windows. NonRoot:
    // the program runs as an ordinary user (uid 65534). See PrivateWindowsFolderWorks().
    std::vector<std::string> Command(const std::vector<std::string>& Argv, bool NonRoot = false) const;

private:
    TTempDir FRoot;
    std::string FPath;
};

// Whether Command() can work on this machine (user and mount namespaces); tests that need it
// skip otherwise.
bool PrivateWindowsFolderWorks();

// Runs a command line; its exit status (-1 when it did not run), its standard output in Output.
int RunCommand(const std::vector<std::string>& Argv, std::string* Output = nullptr);

// Another user of this machine (uid and gid 65534, no groups) in a child process of its own:
// runs Act there and keeps the child, with what it holds open or locked, until the object
// goes. Needs a test process that may change its user: see Works().
class TOtherUser {
public:
    explicit TOtherUser(const std::function<bool()>& Act);
    ~TOtherUser();
    TOtherUser(const TOtherUser&) = delete;
    TOtherUser& operator=(const TOtherUser&) = delete;
    // What Act gave; false also when the child could not become that user.
    bool Result() const { return FResult == '1'; }
    static bool Works();

private:
    pid_t FChild = -1;
    int FHold = -1;
    char FResult = 0;
};
