// The virtual keypad as the loader's tests use it: a device list, the report log, and a
// library seam that binds the virtual HID library (or refuses to) in place of the system's.
#pragma once
#include "Library.h"
#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

// One line of the virtual keypad's log: "open", "close", or a report ("feature", "output")
// with the bytes the device took.
struct TLoggedReport {
    int64_t Milliseconds;
    std::string Device;
    std::string Event;
    std::vector<uint8_t> Bytes;
};

// Every line of a keypad log, in order (the virtual keypad's, or a test guest's keypads').
std::vector<TLoggedReport> ReadKeypadLog(const std::string& File);
// The reports among Events.
std::vector<TLoggedReport> ReportsOf(std::vector<TLoggedReport> Events);
// " 00 e4 e4 e4": each byte as a blank and two lowercase hex digits.
std::string HexBytes(const std::vector<uint8_t>& Bytes);

// Sets the virtual library's environment for this process; the device list starts empty.
class TVirtualKeypad {
public:
    TVirtualKeypad();
    ~TVirtualKeypad();
    void SetDevices(const std::string& Lines); // one device a line, as the library reads them
    // The reports received, in order.
    std::vector<TLoggedReport> Reports() const;
    // Every line, the opens and closes too.
    std::vector<TLoggedReport> Events() const;
    // The byte each feature report carried, in order.
    std::vector<uint8_t> CarriedBytes() const;
    const std::string& DevicesFile() const { return FDevices; }
    // The file that stands for the node of device N (from 0), made when the list is read.
    std::string DevicePath(int N) const { return FDevices + ".hid" + std::to_string(N); }
    const std::string& LogFile() const { return FLog; }
    TTempDir Dir;

private:
    std::string FDevices, FLog;
};

std::string BinaryDir();
// The folder the programs are built into.
std::string ProgramDir();
// The folder of a virtual library variant: "virtualhid" or "virtualhid-nogetfeature".
std::string VirtualLibraryDir(const std::string& Variant);

// Binds the chosen virtual library; RefuseOpen = n makes the n-th open of the run fail
// (1 = "HID.DLL", 2 = "SETUPAPI.DLL"), 0 lets every one succeed.
class TVirtualLibraries : public TLibrarySeam {
public:
    explicit TVirtualLibraries(std::string Variant = "virtualhid") : FVariant(std::move(Variant)) { SetLibrarySeam(this); }
    ~TVirtualLibraries() override { SetLibrarySeam(nullptr); }
    void* Open(const std::string& FileName) override;
    void* Symbol(void* Handle, const char* Name) override;
    void Close(void* Handle) override;
    int RefuseOpen = 0;
    int Opens = 0;  // successful
    int Closes = 0;

private:
    std::string FVariant;
    int FAttempts = 0;
};

// Takes the pauses instead of waiting them.
class TRecordedPauses {
public:
    TRecordedPauses();
    ~TRecordedPauses();
    static std::vector<uint32_t>& Pauses();
    static int64_t Total();
};
