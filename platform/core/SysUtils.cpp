#include "SysUtils.h"

#include <sys/stat.h>

#include <cstdio>

std::string ExtractFileName(const std::string& Path)
{
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& Path)
{
    const auto slash = Path.find_last_of('/');
    return slash == std::string::npos ? std::string() : Path.substr(0, slash + 1);
}

bool IsWindowsProgramName(const std::string& Path)
{
    const std::string base = ExtractFileName(Path);
    return base.size() > 4 && SameText(base.substr(base.size() - 4), ".exe");
}

std::string ProgramFilePath(const std::string& Path)
{
    return IsWindowsProgramName(Path) ? Path.substr(0, Path.size() - 4) : Path;
}

bool FileExists(const std::string& Path)
{
    struct stat st {};
    const std::string file = ProgramFilePath(Path);
    return !file.empty() && ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string LowerCase(const std::string& S)
{
    std::string r = S;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string UpperCase(const std::string& S)
{
    std::string r = S;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

bool SameText(const std::string& A, const std::string& B)
{
    return A.size() == B.size() && LowerCase(A) == LowerCase(B);
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int32_t StrToIntDef(const std::string& S, int32_t Default)
{
    size_t i = 0;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
    bool hex = false;
    if (i < S.size() && S[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= S.size()) return Default;
    uint64_t value = 0;
    for (; i < S.size(); ++i) {
        const int d = hex ? HexDigit(S[i]) : (S[i] >= '0' && S[i] <= '9' ? S[i] - '0' : -1);
        if (d < 0) return Default;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFull) return Default;
    }
    if (hex) {
        const auto v = static_cast<int32_t>(static_cast<uint32_t>(value));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v;
    }
    if (negative) return value > 0x80000000ull ? Default : static_cast<int32_t>(-static_cast<int64_t>(value));
    return value > 0x7FFFFFFFull ? Default : static_cast<int32_t>(value);
}

std::string IntToStr(int64_t Value)
{
    return std::to_string(Value);
}

std::string IntToHex(uint32_t Value, int Digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", Digits, Value);
    return buf;
}
