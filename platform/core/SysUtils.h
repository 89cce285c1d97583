// platform_core stands in for the parts of the platform and its class library that need no
// widgets and no devices: run-time helpers and errors, files and INI files, the last error and
// handles, classes and forms without widgets, the dialog and message seams, the shell, the
// program's own folder and the version resource. It uses nothing else of the layer.
//
// The class library's error type and the few run-time helpers the programs use.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// The class library's base error: carries a message text that the application
// object shows when no handler catches it.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& Msg) : std::runtime_error(Msg) {}
    std::string Message() const { return what(); }
};

// Raised by TIniFile when its changes cannot reach the disk.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// What the class library raises when memory runs out.
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

// The file-name part of a path: everything after the last "/".
std::string ExtractFileName(const std::string& Path);
// The folder part of a path, with its trailing "/" (empty when there is none).
std::string ExtractFilePath(const std::string& Path);
// True when Path names a Windows program: its file name ends in ".exe" (any case).
bool IsWindowsProgramName(const std::string& Path);
// The file that a Windows program name "X.exe" stands for on this system, the program X in
// the same folder; any other path is itself.
std::string ProgramFilePath(const std::string& Path);
// True when Path names an existing regular file (a folder is no file); a program "X.exe" is
// the file X.
bool FileExists(const std::string& Path);
// ASCII-only case mapping: bytes above 127 are kept as they are.
std::string LowerCase(const std::string& S);
std::string UpperCase(const std::string& S);
bool SameText(const std::string& A, const std::string& B);
// Decimal with optional sign, or hexadecimal after "0x", "0X" or "$" (up to 32 bits,
// wrapping as the class library does); anything else, or a value that does not fit,
// gives Default.
int32_t StrToIntDef(const std::string& S, int32_t Default);
std::string IntToStr(int64_t Value);
// Value in upper-case hexadecimal, at least Digits digits.
std::string IntToHex(uint32_t Value, int Digits);
