#include "Services.h"

#include "Files.h"
#include "LayerFiles.h"
#include "KernelDrivers.h"
#include "LastError.h"
#include "ServiceDatabase.h"
#include "SysUtils.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

struct TScObject {
    bool Manager = false;
    uint32_t Access = 0;
    bool Administrator = false; // managers only: opened by an administrator
    std::string Service; // services only
};

// Query configuration and status, enumerate dependents, interrogate.
constexpr uint32_t kServiceQueryAccess = 0x0001 | 0x0004 | 0x0008 | 0x0080;

std::set<TScObject*> gObjects;
std::optional<bool> gAdministrator;

bool Fail(uint32_t Error)
{
    SetLastError(Error);
    return false;
}

bool IsAdministrator()
{
    return gAdministrator ? *gAdministrator : ::geteuid() == 0;
}

TScObject* ObjectOf(SC_HANDLE Handle, bool Manager)
{
    auto o = static_cast<TScObject*>(Handle);
    if (!gObjects.count(o) || o->Manager != Manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return o;
}

SC_HANDLE Keep(TScObject Object)
{
    return *gObjects.insert(new TScObject(std::move(Object))).first;
}

bool NamedByHandle(const std::string& Service)
{
    return std::any_of(gObjects.begin(), gObjects.end(),
                       [&](const TScObject* o) { return !o->Manager && SameServiceName(o->Service, Service); });
}

// The service of a handle as the database has it now; null when the handle is not a
// service's (6), was not opened with the Right asked (5) or the service has gone (1060).
TService* ServiceOf(TServiceDatabase& Db, SC_HANDLE Service, uint32_t Right)
{
    const TScObject* handle = ObjectOf(Service, false);
    if (!handle || !Db.Ready()) return nullptr;
    if ((handle->Access & Right) != Right) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    TService* s = Db.Find(handle->Service);
    if (!s) SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return s;
}

// Judges the driver of File as a start would: loaded, and the files its device would use (its
// lock, and what the driver keeps) usable, so that a run refused at the device leaves the
// database as it found it. The lock is judged also without a driver: a missing driver file alone
// would let the install go ahead. ERROR_SUCCESS when usable; otherwise the start's error.
uint32_t JudgeDriver(const std::string& File)
{
    uint32_t error = ERROR_SUCCESS;
    const auto driver = LoadKernelDriver(File, TDriverLoad::Service, error);
    // Both are judged, so that what is refused is said whole at once.
    const bool lock = LayerLockTrusted(DeviceLockFile(File)), files = !driver || driver->Usable(error);
    return !lock ? ERROR_ACCESS_DENIED : !files || !driver ? error : ERROR_SUCCESS;
}

std::string Text(const char* S)
{
    return S ? S : "";
}

// A driver file inside the Windows folder is kept relative to it, as the platform keeps its
// own drivers under the system root: a database still serves when the folder is seen
// elsewhere (a test's folder, a folder mounted in another place).
std::string StoredImagePath(const std::string& Path)
{
    const std::string root = GetWindowsDirectoryA() + "/";
    return Path.compare(0, root.size(), root) == 0 ? Path.substr(root.size()) : Path;
}

} // namespace

SC_HANDLE OpenSCManagerA(const char* MachineName, const char* DatabaseName, uint32_t DesiredAccess)
{
    if (!Text(MachineName).empty() || !Text(DatabaseName).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if ((DesiredAccess & ~(SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE)) && !IsAdministrator()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return Keep({true, DesiredAccess, IsAdministrator(), {}});
}

SC_HANDLE CreateServiceA(SC_HANDLE SCManager, const char* ServiceName, const char* DisplayName,
                         uint32_t DesiredAccess, uint32_t ServiceType, uint32_t StartType, uint32_t ErrorControl,
                         const char* BinaryPathName, const char* /*LoadOrderGroup*/, uint32_t* /*TagId*/,
                         const char* /*Dependencies*/, const char* /*ServiceStartName*/, const char* /*Password*/)
{
    TScObject* manager = ObjectOf(SCManager, true);
    if (!manager) return nullptr;
    if (!(manager->Access & SC_MANAGER_CREATE_SERVICE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (Text(ServiceName).empty() || ServiceType != SERVICE_KERNEL_DRIVER || Text(BinaryPathName).empty() ||
        !OneLine(Text(ServiceName)) || !OneLine(Text(DisplayName)) || !OneLine(Text(BinaryPathName))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const TLayerUse use;
    TServiceDatabase db(TServiceDatabase::TUse::Change);
    if (!db.Ready()) return nullptr;
    if (TService* s = db.Find(ServiceName)) {
        SetLastError(s->DeletePending ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    // What a start would refuse for good, of the file a start would find (a relative path lies in
    // the Windows folder), is refused before anything is recorded; a driver file
    // that is missing or names no driver of ours is only found out by the start, as ever (in a
    // folder where the device's lock may stand).
    if (JudgeDriver(ResolveProfilePath(BinaryPathName)) == ERROR_ACCESS_DENIED) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    db.Add({ServiceName, Text(DisplayName), ServiceType, StartType, ErrorControl, StoredImagePath(BinaryPathName),
            SERVICE_STOPPED, false});
    if (!db.Save()) return nullptr;
    return Keep({false, DesiredAccess, false, ServiceName});
}

SC_HANDLE OpenServiceA(SC_HANDLE SCManager, const char* ServiceName, uint32_t DesiredAccess)
{
    TScObject* manager = ObjectOf(SCManager, true);
    if (!manager) return nullptr;
    // Only an administrator's manager opens a service for more than asking about it.
    if (!manager->Administrator && (DesiredAccess & ~kServiceQueryAccess)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    TServiceDatabase db(TServiceDatabase::TUse::Read);
    if (!db.Ready()) return nullptr;
    const TService* s = db.Find(Text(ServiceName));
    if (!s) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    return Keep({false, DesiredAccess, false, s->Name});
}

bool StartServiceA(SC_HANDLE Service, uint32_t /*NumServiceArgs*/, const char** /*ServiceArgVectors*/)
{
    const TLayerUse use;
    TServiceDatabase db(TServiceDatabase::TUse::Change);
    TService* s = ServiceOf(db, Service, SERVICE_START);
    if (!s) return false;
    if (s->DeletePending) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    if (s->State == SERVICE_RUNNING) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    const uint32_t error = JudgeDriver(ResolveProfilePath(s->ImagePath));
    if (error != ERROR_SUCCESS) return Fail(error);
    s->State = SERVICE_RUNNING;
    return db.Save();
}

bool ControlService(SC_HANDLE Service, uint32_t Control, SERVICE_STATUS* Status)
{
    TServiceDatabase db(TServiceDatabase::TUse::Change);
    TService* s = ServiceOf(db, Service, SERVICE_STOP);
    if (!s) return false;
    if (Control != SERVICE_CONTROL_STOP) return Fail(ERROR_INVALID_PARAMETER);
    if (Status) *Status = {s->Type, s->State, 0, 0, 0, 0, 0};
    if (s->State != SERVICE_RUNNING) return Fail(ERROR_SERVICE_NOT_ACTIVE);
    s->State = SERVICE_STOPPED;
    if (Status) Status->dwCurrentState = SERVICE_STOPPED;
    return db.Save();
}

bool DeleteService(SC_HANDLE Service)
{
    TServiceDatabase db(TServiceDatabase::TUse::Change);
    TService* s = ServiceOf(db, Service, DELETE);
    if (!s) return false;
    if (s->DeletePending) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    s->DeletePending = true;
    return db.Save();
}

bool CloseServiceHandle(SC_HANDLE Object)
{
    auto o = static_cast<TScObject*>(Object);
    if (!gObjects.count(o)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::unique_ptr<TScObject> owned(o);
    gObjects.erase(o);
    if (o->Manager || NamedByHandle(o->Service)) return true;
    const TLayerUse use;
    const auto goes = [&](TServiceDatabase& Db) {
        const TService* s = Db.Find(o->Service);
        return s && s->DeletePending && s->State == SERVICE_STOPPED;
    };
    // Looked at first without the lock: most closings change nothing.
    if (TServiceDatabase look(TServiceDatabase::TUse::Read); !goes(look)) return true;
    TServiceDatabase db(TServiceDatabase::TUse::Change);
    if (goes(db)) {
        db.Remove(o->Service);
        db.Save();
    }
    return true;
}

std::string RunningDriverOfDevice(const std::string& DeviceName)
{
    TServiceDatabase db(TServiceDatabase::TUse::Read);
    for (const TService& s : db.Services()) {
        if (s.Type != SERVICE_KERNEL_DRIVER || s.State != SERVICE_RUNNING) continue;
        const std::string name = ExtractFileName(s.ImagePath);
        const std::string stem = name.substr(0, name.find('.'));
        if (SameServiceName(stem, DeviceName)) return ResolveProfilePath(s.ImagePath);
    }
    return "";
}

void SetAdministratorSeam(std::optional<bool> IsAdministrator)
{
    gAdministrator = IsAdministrator;
}
