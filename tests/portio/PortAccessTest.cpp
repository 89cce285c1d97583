#include "DeviceWait.h"
#include "PORT_32.h"
#include "PortTestSupport.h"
#include "ServiceDatabase.h"

#include <fcntl.h>
#include <linux/securebits.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

namespace {

constexpr uint32_t kRead = 0x8000202C, kWrite = 0x80002030, kMap = 0x80002068, kUnmap = 0x8000206C;

using TPortAccessTest = TPortTest;

// What OpenAccess finds decides what CloseAccess undoes, and only that.
TEST_F(TPortAccessTest, CloseAccessUndoesWhatOpenAccessDid)
{
    struct TRow {
        const char* Name;
        const char* Before; // what an earlier run left
        bool WasRunning, WasInstalled;
        const char* AfterOpen;
        const char* AfterClose;
    };
    const TRow rows[] = {
        {"driver running", "running", true, true, "running", "running"},
        {"service stopped", "stopped", false, true, "running", "stopped"},
        {"no service", "none", false, false, "running", "none"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        if (std::string(row.Before) != "none") LeaveService(std::string(row.Before) == "running");
        TPortAccess port(nullptr);
        ASSERT_TRUE(port.OpenAccess());
        EXPECT_TRUE(port.ActiveHW());
        EXPECT_EQ(port.ServiceWasRunning, row.WasRunning);
        EXPECT_EQ(port.ServiceWasInstalled, row.WasInstalled);
        EXPECT_EQ(ServiceState(), row.AfterOpen);
        port.CloseAccess();
        EXPECT_FALSE(port.ActiveHW());
        EXPECT_EQ(ServiceState(), row.AfterClose);
        std::filesystem::remove(Windows.Path() + "/SERVICES.INI");
    }
}

TEST_F(TPortAccessTest, InstallsADemandStartKernelDriverNamingTheDriverFile)
{
    TPortAccess port(nullptr);
    ASSERT_TRUE(port.OpenAccess());
    const std::string db = Windows.ServiceDatabase();
    EXPECT_NE(db.find("DisplayName=PORTACC\nType=1\nStart=3\nErrorControl=1\nImagePath=SYSTEM32/DRIVERS/PORTACC.SYS"),
              std::string::npos)
        << db;
    EXPECT_EQ(std::string(port.DriverPath), Windows.DriverFile());
    EXPECT_EQ(std::string(port.DevicePath), "\\\\.\\PORTACC");
}

TEST_F(TPortAccessTest, ARunningDriverNeedsNoServiceManager)
{
    LeaveService(true);
    SetAdministratorSeam(false); // the service manager would refuse this process
    TPortAccess port(nullptr);
    EXPECT_TRUE(port.OpenAccess());
    port.CloseAccess();
    EXPECT_EQ(ServiceState(), "running");
}

// A failed OpenAccess undoes nothing; the next one finds what it left.
TEST_F(TPortAccessTest, FailedOpenLeavesTheServiceForTheNextInstance)
{
    Windows.WriteDriverFile("not a driver\n");
    {
        TPortAccess first(nullptr);
        EXPECT_FALSE(first.OpenAccess());
        EXPECT_FALSE(first.ActiveHW());
        EXPECT_EQ(first.LPTNumber(), 1);
        first.CloseAccess();
        EXPECT_EQ(TakePauses(), 0);
    }
    EXPECT_EQ(ServiceState(), "stopped");

    Describe("");
    TPortAccess second(nullptr);
    ASSERT_TRUE(second.OpenAccess());
    EXPECT_FALSE(second.ServiceWasRunning);
    EXPECT_TRUE(second.ServiceWasInstalled); // the first left it installed
    // A second instance meanwhile: the device is taken, its OpenAccess fails and changes nothing.
    TPortAccess third(nullptr);
    EXPECT_FALSE(third.OpenAccess());
    EXPECT_EQ(ServiceState(), "running");
    second.CloseAccess();
    EXPECT_EQ(ServiceState(), "stopped");
}

// A program that is ending gives up waiting for the device that another process has open (its
// wait step says so): OpenAccess gives false, and opens nothing, also when the other lets go
// just then; a wait given up after its own start or install leaves the service as it was.
TEST_F(TPortAccessTest, AWaitGivenUpOpensNothing)
{
    for (const char* before : {"running", "stopped", "none"}) {
        SCOPED_TRACE(before);
        if (std::string(before) != "none") LeaveService(std::string(before) == "running");
        static int holder = -1;
        holder = ::open((Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        SetDeviceWaitStep([] { return ::close(holder) != 0; });
        TPortAccess port(nullptr);
        EXPECT_FALSE(port.OpenAccess());
        SetDeviceWaitStep(nullptr);
        EXPECT_FALSE(port.ActiveHW());
        EXPECT_TRUE(TakeCalls().empty());
        EXPECT_EQ(ServiceState(), before);
        std::filesystem::remove(Windows.Path() + "/SERVICES.INI");
    }
}

TEST_F(TPortAccessTest, WithoutTheServiceManagerOpenAccessGivesFalseAndWritesNothing)
{
    SetAdministratorSeam(false);
    TPortAccess port(nullptr);
    EXPECT_FALSE(port.OpenAccess());
    port.OutPort(0x60, 0xE4);
    EXPECT_EQ(port.InPort(0x64), 0xFF);
    EXPECT_EQ(ServiceState(), "none");
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_TRUE(Windows.PortLog().empty());
}

// Another user may read the Windows folder and the driver file, and so lock them; the
// layer's own locks are not theirs to open. Nothing they hold holds up a run or keeps it from
// undoing what it did.
TEST_F(TPortAccessTest, AnotherUsersLocksHoldUpNoRun)
{
    if (!TOtherUser::Works()) GTEST_SKIP() << "no second user on this machine";
    ASSERT_EQ(::chmod(std::filesystem::path(Windows.Path()).parent_path().c_str(), 0711), 0);
    {
        TPortAccess first(nullptr); // leaves the lock files behind
        ASSERT_TRUE(first.OpenAccess());
    }
    const std::string device = Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK";
    TOtherUser other([&] {
        const int folder = ::open(Windows.Path().c_str(), O_RDONLY | O_DIRECTORY);
        const int driver = ::open(Windows.DriverFile().c_str(), O_RDONLY);
        return ::flock(folder, LOCK_EX) == 0 && ::flock(driver, LOCK_SH) == 0 &&
               ::open((Windows.Path() + "/SERVICES.LCK").c_str(), O_RDONLY) < 0 && ::open(device.c_str(), O_RDONLY) < 0;
    });
    ASSERT_TRUE(other.Result());
    ::alarm(60); // a run that waits on their locks ends the test
    TPortAccess port(nullptr);
    EXPECT_TRUE(port.OpenAccess());
    EXPECT_FALSE(port.ServiceWasInstalled);
    port.CloseAccess();
    ::alarm(0);
    EXPECT_EQ(ServiceState(), "none");
}

// A run of an ordinary user that may open root's files (CAP_DAC_OVERRIDE) uses a service root
// left running, but makes no file in root's folders: a device lock or log of that user's there
// would shut every later root run out.
TEST_F(TPortAccessTest, AUserAllowedRootsFilesMakesNoneThatShutsRootOut)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs to act as another user";
    LeaveService(true); // as a root run left it, before any device opened
    const pid_t child = ::fork();
    if (child == 0) {
        // Keeps every capability as it becomes uid 65534.
        if (::prctl(PR_SET_SECUREBITS, SECBIT_NO_SETUID_FIXUP) != 0 || ::setegid(65534) != 0 || ::seteuid(65534) != 0)
            ::_exit(2);
        TPortAccess port(nullptr);
        ::_exit(port.OpenAccess() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status; // no lock of root's to take
    EXPECT_FALSE(std::filesystem::exists(Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LCK"));
    EXPECT_FALSE(std::filesystem::exists(Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG"));
    TPortAccess port(nullptr);
    EXPECT_TRUE(port.OpenAccess());
    port.CloseAccess();
    EXPECT_EQ(ServiceState(), "running");
}

// A database cut anywhere, or holding values no save writes, never shuts the component out:
// a damaged entry reads as absent and is installed afresh, and the next save is whole.
TEST_F(TPortAccessTest, ADamagedDatabaseIsMendedByTheNextRun)
{
    const std::string block = "DisplayName=PORTACC\nType=1\nStart=3\nErrorControl=1\n"
                              "ImagePath=SYSTEM32/DRIVERS/PORTACC.SYS\n";
    const std::string whole = "[PORTACC]\n" + block + "State=1\nDeletePending=0\n\n[OTHER]\nDisplayName=OTHER\n"
                              "Type=1\nStart=3\nErrorControl=1\nImagePath=OTHER.SYS\nState=1\nDeletePending=0\n";
    const size_t portaccWhole = whole.find("DeletePending=0") + 15;
    struct TRow {
        std::string Name, Database;
        const char* AfterClose;
    };
    std::vector<TRow> rows = {
        {"a driver of no type that runs", "[PORTACC]\n" + block + "State=4\nDeletePending=0\n", "none"},
        {"marked for deletion in no state", "[PORTACC]\n" + block + "State=0\nDeletePending=1\n", "none"},
        // The path a file is opened by ends at the NUL: ".." would lead out of the Windows folder.
        {"a driver path through a NUL that runs",
         "[PORTACC]\n" + block.substr(0, block.find("ImagePath=") + 10) + std::string("..\0/PORTACC.SYS", 15) +
             "\nState=4\nDeletePending=0\n",
         "none"},
    };
    // Cut at both sides of every line break and inside every line.
    for (size_t start = 0, end; (end = whole.find('\n', start)) != std::string::npos; start = end + 1)
        for (size_t cut : {(start + end) / 2, end, end + 1})
            rows.push_back({"cut after " + std::to_string(cut), whole.substr(0, cut), cut >= portaccWhole ? "stopped" : "none"});
    rows[0].Database.replace(rows[0].Database.find("Type=1"), 6, "Type=0");
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        WriteFileText(Windows.Path() + "/SERVICES.INI", row.Database);
        TPortAccess port(nullptr);
        ASSERT_TRUE(port.OpenAccess());
        port.CloseAccess();
        EXPECT_EQ(ServiceState(), row.AfterClose);
        const std::string after = Windows.ServiceDatabase();
        EXPECT_EQ(WriteServiceDatabase(ReadServiceDatabase(after)), after);
    }
}

// A root run trusts a folder or file of the layer only when it is root's and no one else may
// write it, and follows the database only down that chain: nothing another user owns, plants or
// names makes it write elsewhere, hang or leave the database other than it found it, and a
// refusal names what it refused.
TEST_F(TPortAccessTest, WhatAnotherUserOwnsPlantsOrNamesRedirectsNothing)
{
    if (!TOtherUser::Works()) GTEST_SKIP() << "no second user on this machine";
    namespace fs = std::filesystem;
    enum TPlant { Nothing, Database, LinkToRootsFile, HardLink, Fifo, Folder, HeldRootsLock, Removed, Oversized };
    struct TRow {
        const char* Name;
        mode_t Folders; // the Windows folder and SYSTEM32
        const char* Theirs; // what belongs to the second user ("." the Windows folder), or null
        const char* Where;
        TPlant Plant;
        const char* Image; // a database's driver file, "*" for the full path of one outside
        bool Opens;
        const char* Named; // what a refusal names ("." the Windows folder, "*" the outside driver file)
    };
    const char* const lock = "SYSTEM32/DRIVERS/PORTACC.LCK";
    const char* const log = "SYSTEM32/DRIVERS/PORTACC.LOG";
    std::string deep = "SYSTEM32/DRIVERS/";
    while (deep.size() < PATH_MAX) deep += "a/";
    deep += "PORTACC.SYS";
    const TRow rows[] = {
        {"root's folders, nothing planted", 0755, nullptr, "", Nothing, nullptr, true, nullptr},
        {"folders others may write", 0777, nullptr, "", Nothing, nullptr, false, "."},
        {"sticky folders", 01777, nullptr, "", Nothing, nullptr, false, "."},
        {"another user's Windows folder, its database naming a driver elsewhere", 0755, ".", "SERVICES.INI",
         Database, "*", false, "."},
        {"another user's database in root's folder, naming a driver through ..", 0755, "SERVICES.INI",
         "SERVICES.INI", Database, "SYSTEM32/DRIVERS/../../../pkg/PORTACC.SYS", false, "SERVICES.INI"},
        {"root's database naming a driver outside by its full path", 0755, nullptr, "SERVICES.INI", Database, "*",
         false, "*"},
        {"root's database naming a driver outside through ..", 0755, nullptr, "SERVICES.INI", Database,
         "../pkg/PORTACC.SYS", false, "../pkg/PORTACC.SYS"},
        {"root's database naming a driver by a path longer than the system takes", 0755, nullptr, "SERVICES.INI",
         Database, deep.c_str(), false, deep.c_str()},
        {"another user's driver folder, the driver file removed by its owner", 0755, "SYSTEM32/DRIVERS",
         "SYSTEM32/DRIVERS/PORTACC.SYS", Removed, nullptr, false, "SYSTEM32/DRIVERS"},
        {"the database linked to root's file", 0755, nullptr, "SERVICES.INI", LinkToRootsFile, nullptr, false,
         "SERVICES.INI"},
        {"the log hard-linked to root's file", 0755, nullptr, log, HardLink, nullptr, false, log},
        {"the device lock hard-linked to root's file", 0755, nullptr, lock, HardLink, nullptr, false, lock},
        {"the database lock hard-linked to root's file", 0755, nullptr, "SERVICES.LCK", HardLink, nullptr, false,
         "SERVICES.LCK"},
        {"a FIFO as the device log", 0755, nullptr, log, Fifo, nullptr, false, log},
        {"a folder of root's as the device log", 0755, nullptr, log, Folder, nullptr, false, log},
        {"a 0644 device lock of root's held by another user", 0755, nullptr, lock, HeldRootsLock, nullptr, false, lock},
        {"a database too large to be one", 0755, nullptr, "SERVICES.INI", Oversized, nullptr, false, "SERVICES.INI"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Name);
        TTestWindowsFolder windows;
        const std::string root = fs::path(windows.Path()).parent_path().string();
        const std::string rootsFile = root + "/roots", pkg = root + "/pkg", outside = pkg + "/PORTACC.SYS";
        const std::string planted = windows.Path() + "/" + row.Where;
        const auto named = [&](const char* Name) {
            const std::string name = Name;
            return name == "*" ? outside : name == "." ? windows.Path() : windows.Path() + "/" + name;
        };
        WriteFileText(rootsFile, "root's own\n");
        // Readable by all, as /etc/passwd is: a lock made of it must not take that away.
        ASSERT_EQ(::chmod(rootsFile.c_str(), 0644), 0);
        // Root's own driver file outside the Windows folder, as a package might leave one.
        fs::create_directory(pkg);
        fs::copy_file(windows.DriverFile(), outside);
        ASSERT_EQ(::chmod(root.c_str(), 0711), 0);
        for (const char* dir : {"", "/SYSTEM32"}) ASSERT_EQ(::chmod((windows.Path() + dir).c_str(), row.Folders), 0);
        const std::string database = row.Image ? "[PORTACC]\nDisplayName=PORTACC\nType=1\nStart=3\nErrorControl=1\n"
                                                 "ImagePath=" + (std::string(row.Image) == "*" ? outside : row.Image) +
                                                     "\nState=4\nDeletePending=0\n"
                                               : "";
        if (row.Theirs) {
            if (std::string(row.Theirs) == row.Where) WriteFileText(planted, ""); // theirs to fill
            ASSERT_EQ(::chown(named(row.Theirs).c_str(), 65534, 65534), 0);
        } else if (row.Plant == Database) {
            WriteFileText(planted, database);
        }
        // A link the test makes itself has the link count another user's would have.
        if (row.Plant == HardLink) {
            ASSERT_EQ(::link(rootsFile.c_str(), planted.c_str()), 0);
        }
        if (row.Plant == LinkToRootsFile) {
            ASSERT_EQ(::symlink(rootsFile.c_str(), planted.c_str()), 0);
        }
        if (row.Plant == Fifo) {
            ASSERT_EQ(::mkfifo(planted.c_str(), 0644), 0);
        }
        if (row.Plant == Folder) {
            ASSERT_EQ(::mkdir(planted.c_str(), 0755), 0);
        }
        if (row.Plant == Oversized) WriteFileText(planted, std::string((1 << 20) + 1, '\n'));
        if (row.Plant == HeldRootsLock) { // an administrator's touch
            WriteFileText(planted, "");
            ASSERT_EQ(::chmod(planted.c_str(), 0644), 0);
        }
        TOtherUser other([&] {
            if (row.Plant == Database && row.Theirs) return bool(std::ofstream(planted) << database);
            if (row.Plant == Removed) return ::unlink(planted.c_str()) == 0;
            if (row.Plant != HeldRootsLock) return true;
            const int fd = ::open(planted.c_str(), O_RDONLY);
            return fd >= 0 && ::flock(fd, LOCK_EX) == 0;
        });
        ASSERT_TRUE(other.Result());
        testing::internal::CaptureStderr();
        const std::string before = ReadFileText(windows.Path() + "/SERVICES.INI");
        ::alarm(60); // a run that waits without end ends the test
        TPortAccess port(nullptr);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(port.OpenAccess(), row.Opens);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        port.OutPort(0x60, 0xE4); // a log line, wherever the log is
        port.CloseAccess();
        const std::string said = testing::internal::GetCapturedStderr();
        ::alarm(0);
        std::printf("%-72s %.2f ms\n", row.Name, took.count() * 1000);
        EXPECT_LT(took.count(), 10.0); // ends, against a wait without end; the figure is printed
        if (!row.Opens) {
            EXPECT_EQ(ReadFileText(windows.Path() + "/SERVICES.INI"), before);
        }
        if (row.Named) {
            EXPECT_NE(said.find(named(row.Named) + " refused: "), std::string::npos) << said;
        }
        EXPECT_EQ(ReadFileText(rootsFile), "root's own\n");
        struct stat st {};
        EXPECT_TRUE(::stat(rootsFile.c_str(), &st) == 0 && (st.st_mode & 07777) == 0644);
        // Only the driver file that stood there: no lock or log of a device that opened there.
        EXPECT_EQ(std::distance(fs::directory_iterator(pkg), fs::directory_iterator()), 1);
    }
}

// The second user owns SYSTEM32 and exchanges root's driver folder with a folder of its own
// again and again, while a service left running is opened by root: the rule refuses the chain
// as a whole, so that user's driver file is never read and nothing is written in its folder.
TEST_F(TPortAccessTest, AFolderExchangedUnderARunningServiceRedirectsNothing)
{
    if (!TOtherUser::Works()) GTEST_SKIP() << "no second user on this machine";
    namespace fs = std::filesystem;
    LeaveService(true);
    const std::string root = fs::path(Windows.Path()).parent_path().string();
    const std::string system32 = Windows.Path() + "/SYSTEM32", drivers = system32 + "/DRIVERS";
    const std::string theirs = system32 + "/THEIRS";
    ASSERT_EQ(::chmod(root.c_str(), 0711), 0);
    ASSERT_EQ(::chown(system32.c_str(), 65534, 65534), 0);
    TOtherUser other([&] {
        // A controller whose status tells a read of it from a read of root's.
        if (::mkdir(theirs.c_str(), 0755) != 0 ||
            !(std::ofstream(theirs + "/PORTACC.SYS") << "driver virtual-keyboard-controller\nstatus 0x5a\n"))
            return false;
        const pid_t parent = ::getpid(), swapper = ::fork();
        if (swapper != 0) return swapper > 0;
        // Exchanges until the second user's process ends, and at most this many times.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        for (long i = 0; i < 2'000'000 && ::getppid() == parent; ++i)
            ::renameat2(AT_FDCWD, drivers.c_str(), AT_FDCWD, theirs.c_str(), RENAME_EXCHANGE);
        ::_exit(0);
    });
    ASSERT_TRUE(other.Result());
    testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now(), until = started + std::chrono::seconds(3);
    int runs = 0, opened = 0, theirsRead = 0;
    double longest = 0;
    for (; runs < 400 && std::chrono::steady_clock::now() < until; ++runs) {
        const auto start = std::chrono::steady_clock::now();
        TPortAccess port(nullptr);
        opened += port.OpenAccess();
        theirsRead += port.InPort(0x64) == 0x5a;
        port.OutPort(0x60, 0xE4);
        port.CloseAccess();
        longest = std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const std::string said = testing::internal::GetCapturedStderr();
    std::printf("%d runs, %d opened, longest %.2f ms\n", runs, opened, longest * 1000);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(theirsRead, 0);
    EXPECT_NE(said.find(system32 + " refused: "), std::string::npos) << said;
    EXPECT_LT(longest, 10.0);
    // Their folder, held by a descriptor: the exchanges go on meanwhile.
    int their = -1;
    for (int tries = 0; their < 0 && tries < 1000; ++tries)
        for (const std::string& folder : {drivers, theirs}) {
            const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st {};
            if (their < 0 && fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == 65534)
                their = fd;
            else if (fd >= 0)
                ::close(fd);
        }
    ASSERT_GE(their, 0);
    EXPECT_NE(::faccessat(their, "PORTACC.LOG", F_OK, 0), 0);
    EXPECT_NE(::faccessat(their, "PORTACC.LCK", F_OK, 0), 0);
    ::close(their);
    EXPECT_EQ(ServiceState(), "running"); // as the earlier run left it
}

// Each request carries what the previous one left in the fields it does not set; only bytes 0
// to 23 are cleared, and only when a span starts.
TEST_F(TPortAccessTest, TheRequestBufferAsTheDriverSeesIt)
{
    Describe("lpt 0x378 0 0x278\nstatus 0x1c\n");
    LeaveService(true);
    TPortAccess port(nullptr);
    ASSERT_TRUE(port.OpenAccess());
    EXPECT_EQ(port.InPort(0x64), 0x1c);
    port.OutPort(0x60, 0xE4);
    port.CloseAccess();
    ASSERT_TRUE(port.OpenAccess());

    const auto calls = TakeCalls();
    ASSERT_EQ(calls.size(), 5u);
    const uint32_t table = Field(calls[0].Reply, 24);
    ASSERT_NE(table, 0u);
    struct TExpect {
        uint32_t Code;
        uint32_t Phys, Size, Mapped, Port, Value;
    };
    const TExpect expect[] = {
        {kMap, 0x408, 6, 0, 0, 0},
        {kRead, 0x408, 6, table, 0x64, 0},
        {kWrite, 0x408, 6, table, 0x60, 0xE4},
        {kUnmap, 0x408, 6, table, 0x60, 0xE4},
        {kMap, 0x408, 6, table, 0x60, 0xE4}, // a new span: 0..23 cleared, then set
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& r = calls[i].Request;
        EXPECT_EQ(calls[i].Code, expect[i].Code);
        EXPECT_TRUE(calls[i].Taken);
        EXPECT_EQ(Field(r, 8), expect[i].Phys);
        EXPECT_EQ(Field(r, 20), expect[i].Size);
        EXPECT_EQ(Field(r, 24), expect[i].Mapped);
        EXPECT_EQ(Field(r, 28), expect[i].Port);
        EXPECT_EQ(Field(r, 32), expect[i].Value);
        for (size_t at : {0u, 4u, 12u, 16u, 36u, 40u, 44u}) EXPECT_EQ(Field(r, at), 0u) << at;
    }
    EXPECT_EQ(Field(calls[1].Reply, 32), 0x1cu);
}

TEST_F(TPortAccessTest, ParallelPortTableCount)
{
    struct TRow {
        const char* Lpt;
        int Count;
    };
    const TRow rows[] = {{"lpt 0x378 0 0x278", 2}, {"lpt 0 0 0", 0}, {"lpt 0x3bc 0x378 0x278", 3},
                         {"lpt none", 1}, {"lpt fails", 1}};
    LeaveService(true);
    TPortAccess port(nullptr);
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Lpt);
        // Each span reloads the driver, after one that mapped a table: a refused map must not
        // take the address that span left in the buffer.
        Describe(std::string(row.Lpt) + "\n");
        ASSERT_TRUE(port.OpenAccess());
        EXPECT_EQ(port.LPTCount(), row.Count);
        EXPECT_EQ(port.LPTNumber(), 1);
        port.CloseAccess();
        Describe("lpt 0x378 0x278 0\n");
        ASSERT_TRUE(port.OpenAccess());
        port.CloseAccess();
    }
}

TEST_F(TPortAccessTest, SetLPTNumberOnlyWithinTheTableWhileActive)
{
    Describe("lpt 0x378 0 0x278\n");
    LeaveService(true);
    TPortAccess port(nullptr);
    port.SetLPTNumber(1);
    EXPECT_EQ(port.LPTNumber(), 0); // inactive: nothing changes
    ASSERT_TRUE(port.OpenAccess());
    for (auto [n, expected] : {std::pair{2, 2}, {0, 2}, {3, 2}, {1, 1}}) {
        port.SetLPTNumber(static_cast<Byte>(n));
        EXPECT_EQ(port.LPTNumber(), expected) << n;
    }
    port.CloseAccess();
    port.SetLPTNumber(2);
    EXPECT_EQ(port.LPTNumber(), 1);
}

class TRecordingInstructions : public TPortInstructions {
public:
    uint8_t In(uint16_t Port) override
    {
        Log.push_back("in " + std::to_string(Port));
        return 0x5A;
    }
    void Out(uint16_t Port, uint8_t Value) override
    {
        Log.push_back("out " + std::to_string(Port) + " " + std::to_string(Value));
    }
    std::vector<std::string> Log;
};

TEST_F(TPortAccessTest, HardAccessAcrossOpenAndClose)
{
    LeaveService(true);
    TRecordingInstructions cpu;
    SetPortInstructionSeam(&cpu);
    TPortAccess port(nullptr);
    port.SetHardAccess(false);
    ASSERT_TRUE(port.OpenAccess());
    EXPECT_TRUE(port.HardAccess());
    port.SetHardAccess(false);
    EXPECT_TRUE(port.OpenAccess()); // while active: nothing happens, HardAccess stays
    EXPECT_FALSE(port.HardAccess());
    TakeCalls();
    EXPECT_EQ(port.InPort(0x64), 0x5A);
    port.OutPort(0x60, 0xE4);
    EXPECT_EQ(cpu.Log, (std::vector<std::string>{"in 100", "out 96 228"}));
    EXPECT_TRUE(TakeCalls().empty());
    port.CloseAccess();
    EXPECT_TRUE(port.HardAccess());
}

// Where the process may not use the port instructions, a read gives 0xFF and a write does
// nothing, instead of the process being killed.
TEST(PortInstructions, RefusedPermissionReadsFFInsteadOfKillingTheProcess)
{
    if (::geteuid() == 0 && std::filesystem::exists("/dev/port"))
        GTEST_SKIP() << "this machine may grant port access; its ports are not tried";
    EXPECT_EQ(PortInByte(0x64), 0xFF);
    PortOutByte(0x80, 0x00);
}

TEST_F(TPortAccessTest, The9xFamilyLoadsTheDriverByFileName)
{
    SetVersionSeam(0xC0000A04); // bit 31 set
    SetAdministratorSeam(false);
    TPortAccess port(nullptr);
    EXPECT_TRUE(port.IsWin9x);
    EXPECT_EQ(std::string(port.DriverPath), "\\\\.\\PORTACC.VXD");
    EXPECT_EQ(port.IoctlCode(TPortAccess::IoctlReadPort), 11u);
    ASSERT_TRUE(port.OpenAccess());
    EXPECT_EQ(port.InPort(0x64), 0x00);
    port.OutPort(0x60, 0x05);
    port.CloseAccess();
    std::vector<uint32_t> codes;
    for (const auto& c : TakeCalls()) {
        codes.push_back(c.Code);
        EXPECT_TRUE(c.Taken);
    }
    EXPECT_EQ(codes, (std::vector<uint32_t>{26, 11, 12, 27}));
    EXPECT_EQ(ServiceState(), "none");
    EXPECT_EQ(Windows.PortLog(), (std::vector<std::string>{"in 0x64 0x00", "out 0x60 0x05"}));
}

TEST_F(TPortAccessTest, PausesOfCloseAndDestroy)
{
    LeaveService(true);
    auto port = std::make_unique<TPortAccess>(nullptr);
    port->CloseAccess();
    EXPECT_EQ(TakePauses(), 0);
    ASSERT_TRUE(port->OpenAccess());
    port->CloseAccess();
    EXPECT_EQ(TakePauses(), 5);
    port.reset();
    EXPECT_EQ(TakePauses(), 3);

    port = std::make_unique<TPortAccess>(nullptr);
    ASSERT_TRUE(port->OpenAccess());
    TakeCalls();
    port.reset();
    EXPECT_EQ(TakePauses(), 8);
    ASSERT_EQ(TakeCalls().size(), 1u); // the unmap request
    EXPECT_EQ(ServiceState(), "running");
}

// Where each pause falls: what the component and the service look like at each one.
TEST_F(TPortAccessTest, ClosingPausesFallAroundTheUnmapAndTheRelease)
{
    LeaveService(false); // OpenAccess starts it, so CloseAccess stops it
    auto port = std::make_unique<TPortAccess>(nullptr);
    ASSERT_TRUE(port->OpenAccess());
    port->SetHardAccess(false);
    TakeCalls();
    static decltype(this) test; // this test's own class, which may reach the fixture's records
    static TPortAccess* watched;
    static std::vector<std::string> seen;
    test = this, watched = port.get(), seen.clear();
    SetSleepSeam([](uint32_t Ms) {
        seen.push_back(std::to_string(Ms) + (watched->ActiveHW() ? " active" : " inactive") +
                       (watched->HardAccess() ? " hard " : " soft ") + std::to_string(test->Calls.size()) + " " +
                       test->ServiceState());
    });
    port.reset();
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "100 active soft 0 running", "100 active hard 0 running", "100 active hard 0 running",
                        "100 active hard 1 running", // after the unmap request
                        "100 active hard 1 stopped", // after the release
                        "100 inactive hard 1 stopped", "100 inactive hard 1 stopped", "100 inactive hard 1 stopped"}));
}

TEST_F(TPortAccessTest, AnOwnerDestroysItsPortAccess)
{
    LeaveService(false);
    {
        TComponent form(nullptr);
        auto* port = new TPortAccess(&form);
        ASSERT_TRUE(port->OpenAccess());
        EXPECT_EQ(ServiceState(), "running");
    }
    EXPECT_EQ(TakePauses(), 8);
    EXPECT_EQ(ServiceState(), "stopped");
}

// A command run nested inside another (through a message loop) opens, writes and closes under
// it: afterwards the outer one reads 0xFF and writes nothing.
TEST_F(TPortAccessTest, NestedCloseAccessEndsTheOuterSpan)
{
    LeaveService(true);
    TPortAccess port(nullptr);
    ASSERT_TRUE(port.OpenAccess());
    TakeCalls();
    EXPECT_TRUE(port.OpenAccess()); // nested: at once, no request
    EXPECT_TRUE(TakeCalls().empty());
    port.OutPort(0x60, 0xE4);
    port.CloseAccess();
    TakePauses();
    EXPECT_EQ(port.InPort(0x64), 0xFF);
    port.OutPort(0x60, 0x05);
    port.CloseAccess();
    EXPECT_EQ(TakePauses(), 0);
    EXPECT_EQ(Windows.PortLog(), std::vector<std::string>{"out 0x60 0xe4"});
}

// The controller's status sequences, as the tray's wait loop reads them, and its log lines.
TEST_F(TPortAccessTest, VirtualControllerStatusSequences)
{
    struct TRow {
        const char* Description;
        std::vector<int> Reads;
    };
    const TRow rows[] = {
        {"status 0x01 3\nstatus 0x00\n", {1, 1, 1, 0, 0}},
        {"status 0x01\n", {1, 1, 1, 1, 1}},
        {"status 0x02 2\n", {2, 2, 0, 0, 0}},
        {"status 0x01 1\nstatus 0x02 2\nstatus 0x03\n", {1, 2, 2, 3, 3}},
        {"# nothing\n", {0, 0, 0, 0, 0}},
        {"status 0x01 010\n", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}}, // a leading zero is no octal
    };
    LeaveService(true);
    TPortAccess port(nullptr);
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Description);
        Describe(row.Description);
        ASSERT_TRUE(port.OpenAccess()); // counting starts at each opening
        std::vector<int> reads;
        for (size_t i = 0; i < row.Reads.size(); ++i) reads.push_back(port.InPort(0x64));
        EXPECT_EQ(reads, row.Reads);
        port.CloseAccess();
    }
    // A run of identical status reads is one line with its length; anything else ends the run.
    std::remove((Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG").c_str());
    Describe("status 0x01 3\n");
    ASSERT_TRUE(port.OpenAccess());
    for (uint16_t p : {0x64, 0x64, 0x60, 0x64, 0x64, 0x64}) port.InPort(p);
    port.OutPort(0x60, 0xE4);
    port.InPort(0x64);
    port.CloseAccess();
    EXPECT_EQ(Windows.PortLog(), (std::vector<std::string>{"in 0x64 0x01 x2", "in 0x60 0xff", "in 0x64 0x01",
                                                            "in 0x64 0x00 x2", "out 0x60 0xe4", "in 0x64 0x00"}));
    const std::string log = ReadFileText(Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG");
    EXPECT_TRUE(std::regex_search(log, std::regex("^1[0-9]{12} in 0x64 0x01 x2\n1[0-9]{12} in 0x60 0xff\n"))) << log;
}

TEST_F(TPortAccessTest, AWindowsFolderThatLeavesNoRoomForTheDriverPath)
{
    // The folder, "/SYSTEM32/DRIVERS/PORTACC.SYS" (29 characters) and nothing more fit in 128.
    for (auto [length, opens] : {std::pair{99u, true}, {100u, false}}) {
        SCOPED_TRACE(length);
        std::string folder = Windows.Path() + "/";
        folder += std::string(length - folder.size(), 'w');
        std::filesystem::create_directories(folder + "/SYSTEM32/DRIVERS");
        std::filesystem::copy_file(Windows.DriverFile(), folder + "/SYSTEM32/DRIVERS/PORTACC.SYS");
        SetWindowsDirectory(folder);
        TPortAccess port(nullptr);
        EXPECT_EQ(port.OpenAccess(), opens);
        EXPECT_EQ(std::filesystem::exists(folder + "/SERVICES.INI"), opens);
        port.CloseAccess();
    }
}

TEST_F(TPortAccessTest, ThisMachinesPortDriverWithoutDevPortGivesFalse)
{
    if (std::filesystem::exists("/dev/port")) GTEST_SKIP() << "/dev/port exists: this machine's ports are not tried";
    Windows.WriteDriverFile("driver linux-port\n");
    TPortAccess port(nullptr);
    EXPECT_FALSE(port.OpenAccess());
    EXPECT_EQ(port.InPort(0x64), 0xFF);
}

} // namespace
