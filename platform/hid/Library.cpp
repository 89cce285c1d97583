#include "Library.h"

#include "Hid.h"
#include "HidApiBinding.h"
#include "SetupApi.h"
#include "SysUtils.h"

#include <dlfcn.h>

#include <memory>
#include <set>

namespace {

class TSystemLoader : public TLibrarySeam {
public:
    void* Open(const std::string& FileName) override { return dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL); }
    void* Symbol(void* Handle, const char* Name) override { return dlsym(Handle, Name); }
    void Close(void* Handle) override { dlclose(Handle); }
};

TSystemLoader gSystemLoader;
TLibrarySeam* gSeam = &gSystemLoader;

enum class TModuleKind { Hid, SetupApi, Other };

struct TModule {
    TModuleKind Kind;
    void* Handle;
};

std::set<TModule*> gModules;
THidApi gHid;
THidApi gLinkedHid;
int gHidModules = 0; // loads of "HID.DLL" and "SETUPAPI.DLL" alive; the binding lives with them

template <class T>
void Bind(T& Entry, void* Handle, const char* Name)
{
    Entry = reinterpret_cast<T>(gSeam->Symbol(Handle, Name));
}

void BindHidApi(void* Handle)
{
    Bind(gHid.Init, Handle, "hid_init");
    Bind(gHid.Enumerate, Handle, "hid_enumerate");
    Bind(gHid.FreeEnumeration, Handle, "hid_free_enumeration");
    Bind(gHid.OpenPath, Handle, "hid_open_path");
    Bind(gHid.Close, Handle, "hid_close");
    Bind(gHid.SendFeatureReport, Handle, "hid_send_feature_report");
    Bind(gHid.GetFeatureReport, Handle, "hid_get_feature_report");
    Bind(gHid.GetDeviceInfo, Handle, "hid_get_device_info");
    Bind(gHid.Write, Handle, "hid_write");
}

TModule* ModuleOf(HMODULE Module)
{
    auto m = static_cast<TModule*>(Module);
    return gModules.count(m) ? m : nullptr;
}

template <class F>
FARPROC Proc(F* Function)
{
    return reinterpret_cast<FARPROC>(Function);
}

bool Enumerates()
{
    return gHid.Enumerate && gHid.FreeEnumeration;
}

} // namespace

const THidApi& BoundHidApi()
{
    return gHidModules > 0 ? gHid : gLinkedHid;
}

void LinkHidApi(const THidApi& Linked)
{
    gLinkedHid = Linked;
}

void SetLibrarySeam(TLibrarySeam* Seam)
{
    gSeam = Seam ? Seam : &gSystemLoader;
}

HMODULE LoadLibraryA(const std::string& LibFileName)
{
    TModuleKind kind = TModuleKind::Other;
    std::string file = LibFileName;
    if (SameText(LibFileName, "HID.DLL")) kind = TModuleKind::Hid;
    if (SameText(LibFileName, "SETUPAPI.DLL")) kind = TModuleKind::SetupApi;
    if (kind != TModuleKind::Other) file = HidLibraryFileName;
    void* handle = gSeam->Open(file);
    if (!handle) return nullptr;
    auto module = std::make_unique<TModule>(TModule{kind, handle});
    if (kind != TModuleKind::Other && gHidModules++ == 0) BindHidApi(handle);
    return *gModules.insert(module.release()).first;
}

FARPROC GetProcAddress(HMODULE Module, const std::string& ProcName)
{
    TModule* m = ModuleOf(Module);
    if (!m) return nullptr;
    const std::string& n = ProcName;
    switch (m->Kind) {
    case TModuleKind::Hid:
        if (n == "HidD_GetHidGuid") return gHid.Init ? Proc(&HidD_GetHidGuid) : nullptr;
        if (n == "HidD_GetAttributes") return gHid.GetDeviceInfo ? Proc(&HidD_GetAttributes) : nullptr;
        if (n == "HidD_SetFeature") return gHid.SendFeatureReport ? Proc(&HidD_SetFeature) : nullptr;
        if (n == "HidD_GetFeature") return gHid.GetFeatureReport ? Proc(&HidD_GetFeature) : nullptr;
        return nullptr;
    case TModuleKind::SetupApi:
        if (!Enumerates()) return nullptr;
        if (n == "SetupDiGetClassDevsA") return Proc(&SetupDiGetClassDevsA);
        if (n == "SetupDiEnumDeviceInterfaces") return Proc(&SetupDiEnumDeviceInterfaces);
        if (n == "SetupDiGetDeviceInterfaceDetailA") return Proc(&SetupDiGetDeviceInterfaceDetailA);
        if (n == "SetupDiDestroyDeviceInfoList") return Proc(&SetupDiDestroyDeviceInfoList);
        return nullptr;
    case TModuleKind::Other:
        return reinterpret_cast<FARPROC>(gSeam->Symbol(m->Handle, ProcName.c_str()));
    }
    return nullptr;
}

bool FreeLibrary(HMODULE Module)
{
    TModule* m = ModuleOf(Module);
    if (!m) return false;
    std::unique_ptr<TModule> owned(m);
    gModules.erase(m);
    if (m->Kind != TModuleKind::Other && --gHidModules == 0) gHid = THidApi{};
    gSeam->Close(m->Handle);
    return true;
}
