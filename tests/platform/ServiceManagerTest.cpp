#include "PortTestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TServiceManagerTest = TPortTest;

struct TScm {
    SC_HANDLE Handle = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ~TScm() { CloseServiceHandle(Handle); }
    SC_HANDLE Create(const std::string& File) const
    {
        return CreateServiceA(Handle, "PORTACC", "PORTACC", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, File.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr);
    }
    SC_HANDLE Open() const { return OpenServiceA(Handle, "PORTACC", SERVICE_ALL_ACCESS); }
};

// The rules the port component relies on, each with the last error it reads.
TEST_F(TServiceManagerTest, ErrorsOfTheServiceCalls)
{
    TScm scm;
    ASSERT_NE(scm.Handle, nullptr);
    EXPECT_EQ(scm.Open(), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);

    // A driver file is followed only down the Windows folder: nothing else is recorded.
    for (const std::string& elsewhere : {std::string("/usr/lib/PORTACC.SYS"), Windows.Path() + "/../PORTACC.SYS"}) {
        EXPECT_EQ(scm.Create(elsewhere), nullptr) << elsewhere;
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(ServiceState(), "none");
    // A path relative to the Windows folder, as the database keeps one, is judged where a start finds it.
    SC_HANDLE service = scm.Create("SYSTEM32/DRIVERS/MISSING.SYS");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(scm.Create(Windows.DriverFile()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    SC_HANDLE lower = OpenServiceA(scm.Handle, "portacc", SERVICE_ALL_ACCESS); // names ignore case
    EXPECT_NE(lower, nullptr);
    CloseServiceHandle(lower);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_TRUE(DeleteService(service));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_EQ(ServiceState(), "none"); // stopped and no handle left: gone

    service = scm.Create(Windows.DriverFile());
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
    CloseServiceHandle(service);

    SetAdministratorSeam(false);
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // An ordinary user's handle may ask about the service, not stop or delete it.
    SC_HANDLE user = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE query = OpenServiceA(user, "PORTACC", 0x0004); // SERVICE_QUERY_STATUS
    ASSERT_NE(query, nullptr);
    EXPECT_FALSE(ControlService(query, SERVICE_CONTROL_STOP, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteService(query));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseServiceHandle(query);
    CloseServiceHandle(user);
    EXPECT_EQ(ServiceState(), "running");
}

TEST_F(TServiceManagerTest, ADeletedServiceGoesOnceStoppedAndClosed)
{
    TScm scm;
    SC_HANDLE service = scm.Create(Windows.DriverFile());
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    SC_HANDLE other = scm.Open();
    ASSERT_TRUE(DeleteService(service));
    CloseServiceHandle(service);
    EXPECT_EQ(ServiceState(), "running"); // still running
    EXPECT_EQ(scm.Create(Windows.DriverFile()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    ASSERT_TRUE(ControlService(other, SERVICE_CONTROL_STOP, nullptr));
    EXPECT_EQ(ServiceState(), "stopped"); // a handle still names it
    CloseServiceHandle(other);
    EXPECT_EQ(ServiceState(), "none");
}

TEST_F(TServiceManagerTest, TheDatabaseIsWrittenWholeAndRefusedWritesChangeNothing)
{
    TScm scm;
    {
        TRefusingFileSystem refusing;
        EXPECT_EQ(scm.Create(Windows.DriverFile()), nullptr);
        EXPECT_EQ(refusing.Refused, 1);
    }
    EXPECT_EQ(ServiceState(), "none");
    // A line break in a value would forge the lines after it.
    EXPECT_EQ(CreateServiceA(scm.Handle, "PORTACC", "PORTACC\nState=4", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, Windows.DriverFile().c_str(), nullptr,
                             nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Windows.ServiceDatabase(), "");

    // A database this process may replace but not read: what it holds must not be lost.
    LeaveService(false);
    const std::string kept = Windows.ServiceDatabase();
    if (::geteuid() != 0) GTEST_SKIP() << "needs to act as another user";
    namespace fs = std::filesystem;
    fs::permissions(fs::path(Windows.Path()).parent_path(), fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    fs::permissions(Windows.Path(), fs::perms::all);
    fs::permissions(Windows.Path() + "/SERVICES.INI",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    ASSERT_EQ(::seteuid(65534), 0);
    SC_HANDLE other = CreateServiceA(scm.Handle, "OTHER", "OTHER", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                     SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, Windows.DriverFile().c_str(),
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
    const uint32_t error = GetLastError();
    ASSERT_EQ(::seteuid(0), 0);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Windows.ServiceDatabase(), kept);
}

TEST_F(TServiceManagerTest, ADeviceOpensOnceAtATimeAndAnswersWhole48ByteRequests)
{
    LeaveService(true);
    HANDLE device = CreateFileA("\\\\.\\PORTACC", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("\\\\.\\PORTACC", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // Device names ignore case, also the 9x family's extension: the same device, still open, and
    // a driver to load, which needs FILE_FLAG_DELETE_ON_CLOSE.
    EXPECT_EQ(CreateFileA("\\\\.\\portacc", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileA("\\\\.\\portacc.vxd", 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    uint8_t request[48] = {};
    request[28] = 0x64;
    uint32_t returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, 0x8000202C, request, 48, request, 48, &returned, nullptr));
    EXPECT_EQ(returned, 48u);
    // The 9x family's bare function number is not this device's code.
    EXPECT_FALSE(DeviceIoControl(device, 11, request, 48, request, 48, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(CloseHandle(device));

    // Stopped, the service has no device.
    TScm scm;
    SC_HANDLE service = scm.Open();
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, nullptr));
    CloseServiceHandle(service);
    EXPECT_EQ(CreateFileA("\\\\.\\PORTACC", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A driver file that is no regular file (a pipe would block whoever opens it) is refused, and
// a log that is none is not written: the device does not open, and nothing waits.
TEST_F(TServiceManagerTest, ADriverFileThatIsNoFileOpensNoDevice)
{
    LeaveService(true);
    std::filesystem::remove(Windows.DriverFile());
    ASSERT_EQ(::mkfifo(Windows.DriverFile().c_str(), 0644), 0);
    ::alarm(30); // a device open that blocks ends the test
    EXPECT_EQ(CreateFileA("\\\\.\\PORTACC", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    // Nor does a log that is no regular file: the device would wait for the pipe's reader.
    std::filesystem::remove(Windows.DriverFile());
    Describe("");
    ASSERT_EQ(::mkfifo((Windows.Path() + "/SYSTEM32/DRIVERS/PORTACC.LOG").c_str(), 0644), 0);
    EXPECT_EQ(CreateFileA("\\\\.\\PORTACC", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ::alarm(0);
}

// Only the layer's own runs hold the database's lock, and only for moments: one that holds it
// longer is waited for a few seconds, then the change fails as on a locked database.
TEST_F(TServiceManagerTest, AChangeWaitsForTheDatabaseLockAFewSecondsAtMost)
{
    LeaveService(false);
    const int stuck = ::open((Windows.Path() + "/SERVICES.LCK").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(stuck, LOCK_EX), 0);
    TScm scm;
    SC_HANDLE service = scm.Open(); // reading needs no lock
    ASSERT_NE(service, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DATABASE_LOCKED);
    const auto waited = std::chrono::steady_clock::now() - start;
    std::printf("waited %.2f s for the held lock\n", std::chrono::duration<double>(waited).count());
    EXPECT_GE(waited, std::chrono::seconds(1));
    EXPECT_LT(waited, std::chrono::seconds(10)); // a few seconds, on a loaded machine too
    ::close(stuck);
    EXPECT_TRUE(StartServiceA(service, 0, nullptr));
    CloseServiceHandle(service);
    EXPECT_EQ(ServiceState(), "running");
}

// A writer killed before its rename leaves its temporary file; the next change of the
// database removes those whose writer has ended, and only those.
TEST_F(TServiceManagerTest, TemporaryFilesOfEndedWritersGoWithTheNextChange)
{
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    // A writer alive until the test ends, whichever way it ends (an assertion, or the test
    // program killed).
    struct TLiveWriter {
        const pid_t Parent = ::getpid(), Pid = ::fork();
        ~TLiveWriter()
        {
            if (Pid <= 0) return;
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    } writer;
    const pid_t live = writer.Pid;
    if (live == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() == writer.Parent) ::pause();
        ::_exit(0);
    }
    ASSERT_GT(live, 0);
    const std::string dir = Windows.Path() + "/";
    const std::string endedWriters = dir + ".~qb." + std::to_string(ended) + ".aaaaaa";
    const std::string liveWriters = dir + ".~qb." + std::to_string(live) + ".bbbbbb";
    const std::string olderThanItsWriter = dir + ".~qb." + std::to_string(live) + ".cccccc";
    for (const std::string& file : {endedWriters, liveWriters, olderThanItsWriter})
        WriteFileText(file, "[PORTACC]\n");
    const struct timespec year2000[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, olderThanItsWriter.c_str(), year2000, 0), 0);
    LeaveService(false);
    EXPECT_FALSE(std::filesystem::exists(endedWriters));
    EXPECT_TRUE(std::filesystem::exists(liveWriters));
    EXPECT_FALSE(std::filesystem::exists(olderThanItsWriter));
}

TEST(WindowsDirectory, ReturnsTheLengthOrTheSizeNeeded)
{
    SetWindowsDirectory("/srv/windows");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, 12), 13u); // no room for the terminator
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetWindowsDirectoryA(buffer, 13), 12u);
    EXPECT_STREQ(buffer, "/srv/windows");
    SetWindowsDirectory("");
}

} // namespace
