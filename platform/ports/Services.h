// The Service Control Manager, for kernel-driver services. The service database lives in the
// Windows folder (Files.h) as "SERVICES.INI", read and written whole (a complete new file
// replaces the old one), so it outlives the process: a service one run installed, started and
// left is found installed and running by the next. A change holds the lock file
// "SERVICES.LCK" beside it (mode 0600: only root, the service manager's user, can hold it) from
// its read to its save, and waits for it at most 2 seconds; then it fails with 1055 (the
// database is locked). A database, lock or folder that the layer's rule refuses (LayerFiles.h)
// fails every call that needs it with 5. A damaged entry reads as absent (ServiceDatabase.h).
// Each call is one use of the layer's files: the database, its lock and the driver's files are
// reached through one chain of folders.
//
// A driver file is recorded relative to the Windows folder, and followed only as a path of
// plain names inside it (a path the database holds that leads elsewhere is refused). A started
// kernel-driver service provides the device named after its driver file's stem ("PORTACC.SYS"
// gives "\\.\PORTACC", Kernel.h); starting checks that the file names a driver of ours
// (KernelDrivers.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

using SC_HANDLE = void*;

constexpr uint32_t SC_MANAGER_CONNECT = 0x0001;
constexpr uint32_t SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr uint32_t SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr uint32_t SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr uint32_t SERVICE_START = 0x0010;
constexpr uint32_t SERVICE_STOP = 0x0020;
constexpr uint32_t DELETE = 0x00010000;
constexpr uint32_t SERVICE_ALL_ACCESS = 0xF01FF;
constexpr uint32_t SERVICE_KERNEL_DRIVER = 0x00000001;
constexpr uint32_t SERVICE_DEMAND_START = 0x00000003;
constexpr uint32_t SERVICE_ERROR_NORMAL = 0x00000001;
constexpr uint32_t SERVICE_CONTROL_STOP = 0x00000001;
constexpr uint32_t SERVICE_STOPPED = 0x00000001;
constexpr uint32_t SERVICE_RUNNING = 0x00000004;

struct SERVICE_STATUS {
    uint32_t dwServiceType;
    uint32_t dwCurrentState;
    uint32_t dwControlsAccepted;
    uint32_t dwWin32ExitCode;
    uint32_t dwServiceSpecificExitCode;
    uint32_t dwCheckPoint;
    uint32_t dwWaitHint;
};

// The local machine's database (MachineName and DatabaseName null or empty). Any access beyond
// connecting and enumerating needs an administrator (root): otherwise null, last error 5. Only
// an administrator's manager creates services or opens them for more than queries.
SC_HANDLE OpenSCManagerA(const char* MachineName, const char* DatabaseName, uint32_t DesiredAccess);
// Records a kernel-driver service stopped. Null with last error 1073 when a service of that
// name exists (1072 when it is marked for deletion), 87 for another service type or a name or
// path with a control character, 5 when the database cannot be read or replaced or when a start
// would refuse the driver's files (StartServiceA's 5, also for a driver file outside the Windows
// folder): nothing is recorded then.
SC_HANDLE CreateServiceA(SC_HANDLE SCManager, const char* ServiceName, const char* DisplayName, uint32_t DesiredAccess,
                         uint32_t ServiceType, uint32_t StartType, uint32_t ErrorControl, const char* BinaryPathName,
                         const char* LoadOrderGroup, uint32_t* TagId, const char* Dependencies,
                         const char* ServiceStartName, const char* Password);
// Null with last error 1060 when there is no such service.
SC_HANDLE OpenServiceA(SC_HANDLE SCManager, const char* ServiceName, uint32_t DesiredAccess);
// Starting, stopping and deleting each need the right in the handle's access (SERVICE_START,
// SERVICE_STOP, DELETE): otherwise they fail with 5.
// Fails with 1056 when the service runs, 1072 when it is marked for deletion, 2 when its
// driver file is missing, 193 when the file names no driver of ours, 5 when the driver file,
// a folder above it or a file its device would use (its lock, the controller's log) is refused
// (LayerFiles.h), before the service is marked running; a driver folder the rule refuses gives 5
// also for a driver file missing or of no driver.
bool StartServiceA(SC_HANDLE Service, uint32_t NumServiceArgs, const char** ServiceArgVectors);
// SERVICE_CONTROL_STOP only; fails with 1062 when the service is not running.
bool ControlService(SC_HANDLE Service, uint32_t Control, SERVICE_STATUS* Status);
// Marks the service for deletion: it leaves the database once it is stopped and no handle of
// this process names it any more.
bool DeleteService(SC_HANDLE Service);
bool CloseServiceHandle(SC_HANDLE Object);

// Inside the layer: the driver file of the running kernel-driver service whose device is
// DeviceName (case ignored); "" when there is none.
std::string RunningDriverOfDevice(const std::string& DeviceName);

// Whether the caller counts as an administrator: by default when its effective user is root.
// A test may decide instead (std::nullopt restores the rule).
void SetAdministratorSeam(std::optional<bool> IsAdministrator);
