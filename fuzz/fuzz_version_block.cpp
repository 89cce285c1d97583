// Any file must be examined for a version block without a crash or a read outside what was
// read; a block found must be one that the value look-up can walk, whole or cut short.
#include "FuzzCheck.h"
#include "Version.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The reader takes a path: the input goes into a file in memory, rewritten for every run.
const std::string& InputFile(int& Fd)
{
    static int fd = ::memfd_create("fuzz-version", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0) std::abort();
    Fd = fd;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd;
    const std::string& path = InputFile(fd);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

    uint32_t handle = 1;
    const uint32_t need = GetFileVersionInfoSizeA(path, &handle);
    Check(handle == 0);
    if (need == 0) return 0;
    Check(need >= 8 && need <= 64 * 1024);
    for (uint32_t len : {need, std::max(need / 2, uint32_t(8)), uint32_t(8)}) {
        // Exactly as large as asked for, so a read past the block is seen.
        std::vector<unsigned char> block(len);
        Check(GetFileVersionInfoA(path, 0, len, block.data()));
        for (const char* name : {"\\StringFileInfo\\040904E4\\FileVersion", "\\StringFileInfo\\040904E4\\ProductName", ""}) {
            const void* value = nullptr;
            uint32_t chars = 0;
            if (!VerQueryValueA(block.data(), name, &value, &chars)) continue;
            const auto* v = static_cast<const unsigned char*>(value);
            Check(v >= block.data() && chars >= 1 && v + chars <= block.data() + len);
            Check(v[chars - 1] == '\0');
        }
    }
    return 0;
}
