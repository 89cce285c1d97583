#include "VirtualKeypad.h"

#include "Devices.h"

#include <cstdio>
#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <numeric>
#include <sstream>

TVirtualKeypad::TVirtualKeypad() : FDevices(Dir.File("devices")), FLog(Dir.File("reports.log"))
{
    setenv("QUILL_VIRTUAL_HID_DEVICES", FDevices.c_str(), 1);
    setenv("QUILL_VIRTUAL_HID_LOG", FLog.c_str(), 1);
    SetDevices("");
}

TVirtualKeypad::~TVirtualKeypad()
{
    unsetenv("QUILL_VIRTUAL_HID_DEVICES");
    unsetenv("QUILL_VIRTUAL_HID_LOG");
}

void TVirtualKeypad::SetDevices(const std::string& Lines)
{
    WriteFileText(FDevices, Lines);
}

std::vector<TLoggedReport> ReadKeypadLog(const std::string& File)
{
    std::vector<TLoggedReport> out;
    std::ifstream in(File);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        TLoggedReport r;
        std::string hex;
        words >> r.Milliseconds >> r.Device >> r.Event;
        while (words >> hex) r.Bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
        out.push_back(r);
    }
    return out;
}

std::vector<TLoggedReport> ReportsOf(std::vector<TLoggedReport> Events)
{
    std::vector<TLoggedReport> out;
    for (TLoggedReport& r : Events)
        if (r.Event == "feature" || r.Event == "output") out.push_back(std::move(r));
    return out;
}

std::vector<TLoggedReport> TVirtualKeypad::Events() const
{
    return ReadKeypadLog(FLog);
}

std::vector<TLoggedReport> TVirtualKeypad::Reports() const
{
    return ReportsOf(Events());
}

std::vector<uint8_t> TVirtualKeypad::CarriedBytes() const
{
    std::vector<uint8_t> out;
    for (const TLoggedReport& r : Reports()) out.push_back(r.Bytes.size() > 2 ? r.Bytes[2] : 0xFF);
    return out;
}

std::string BinaryDir()
{
    const char* dir = std::getenv("QUILL_BINARY_DIR");
    return dir ? dir : QUILL_TEST_BINARY_DIR;
}

std::string ProgramDir()
{
    const char* dir = std::getenv("QUILL_PROGRAM_DIR");
    return dir ? dir : QUILL_TEST_PROGRAM_DIR;
}

std::string VirtualLibraryDir(const std::string& Variant)
{
    return BinaryDir() + "/" + Variant;
}

void* TVirtualLibraries::Open(const std::string& FileName)
{
    if (++FAttempts == RefuseOpen || FileName != HidLibraryFileName) return nullptr;
    void* h = dlopen((VirtualLibraryDir(FVariant) + "/" + FileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h) ++Opens;
    return h;
}

void* TVirtualLibraries::Symbol(void* Handle, const char* Name)
{
    return dlsym(Handle, Name);
}

void TVirtualLibraries::Close(void* Handle)
{
    ++Closes;
    dlclose(Handle);
}

namespace {
void Record(uint32_t Ms)
{
    TRecordedPauses::Pauses().push_back(Ms);
}
} // namespace

TRecordedPauses::TRecordedPauses()
{
    Pauses().clear();
    SetSleepSeam(&Record);
}

TRecordedPauses::~TRecordedPauses()
{
    SetSleepSeam(nullptr);
}

std::vector<uint32_t>& TRecordedPauses::Pauses()
{
    static std::vector<uint32_t> pauses;
    return pauses;
}

int64_t TRecordedPauses::Total()
{
    return std::accumulate(Pauses().begin(), Pauses().end(), int64_t{0});
}

std::string HexBytes(const std::vector<uint8_t>& Bytes)
{
    std::string out;
    char hex[4];
    for (uint8_t b : Bytes) {
        std::snprintf(hex, sizeof hex, " %02x", b);
        out += hex;
    }
    return out;
}
