#include "Paths.h"

#include "SysUtils.h"

#include <unistd.h>

#include <vector>

namespace {
std::string OverrideFile;
}

std::string ProgramFileName()
{
    if (!OverrideFile.empty()) return OverrideFile;
    // readlink does not say whether it cut the name short, so grow until it fits.
    std::vector<char> buf(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string ProgramFolder()
{
    return ExtractFilePath(ProgramFileName());
}

void SetProgramFileName(const std::string& Path)
{
    OverrideFile = Path;
}
