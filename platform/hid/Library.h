// Run-time binding of libraries by name, as the programs ask for them. "HID.DLL" and
// "SETUPAPI.DLL" are both served by the system's HID library (hidapi over hidraw,
// "libhidapi-hidraw.so.0"); what GetProcAddress hands out for them are our layer's HidD_* and
// SetupDi* functions (Hid.h, SetupApi.h), each only when the hidapi functions it stands on
// were bound from that library. Every open, symbol look-up and close passes one seam.
#pragma once
#include <string>

using HMODULE = void*;
using FARPROC = void (*)();

// A module handle, or nullptr when the library cannot be loaded (never throws).
HMODULE LoadLibraryA(const std::string& LibFileName);
// The named entry point of Module, or nullptr when the module lacks it or Module is null.
FARPROC GetProcAddress(HMODULE Module, const std::string& ProcName);
// Releases one load of Module; false for a null handle. Functions handed out for it must not
// be called once the last HID module is freed: they then fail as if no device answered.
bool FreeLibrary(HMODULE Module);

// The system's dynamic loader. The default is dlopen/dlsym/dlclose.
class TLibrarySeam {
public:
    virtual ~TLibrarySeam() = default;
    // A handle for the shared library of that file name, or nullptr.
    virtual void* Open(const std::string& FileName) = 0;
    virtual void* Symbol(void* Handle, const char* Name) = 0;
    virtual void Close(void* Handle) = 0;
};
// nullptr restores the system's loader.
void SetLibrarySeam(TLibrarySeam* Seam);

// The file name under which the system's HID library is loaded.
inline constexpr const char* HidLibraryFileName = "libhidapi-hidraw.so.0";
