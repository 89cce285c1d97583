#include "KernelDrivers.h"

#include "Files.h"
#include "LayerFiles.h"
#include "LastError.h"
#include "LinuxPortDriver.h"
#include "VirtualController.h"

#include <sstream>

namespace {

TDriverLoader gLoader;

} // namespace

std::unique_ptr<TKernelDriver> LoadDriverFile(const std::string& DriverFile, TDriverLoad How, uint32_t& Error)
{
    // The file says which ports a privileged run writes: only one the rule trusts may choose.
    if (!LayerFileTrusted(DriverFile)) {
        Error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    std::string text;
    // A driver file is a few lines of description; a larger one is no driver of ours.
    if (FileSystem().ReadWholeFile(DriverFile, text, 1 << 20, TLinks::Refuse) != TFileSystem::TReadResult::Read) {
        Error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    std::istringstream in(text);
    std::string keyword, name;
    in >> keyword >> name;
    std::unique_ptr<TKernelDriver> driver;
    if (keyword == "driver" && name == "linux-port") driver = MakeLinuxPortDriver(How);
    if (keyword == "driver" && name == "virtual-keyboard-controller") driver = MakeVirtualController(DriverFile, text, How);
    if (!driver) Error = ERROR_BAD_EXE_FORMAT;
    return driver;
}

void SetDriverLoaderSeam(TDriverLoader Loader)
{
    gLoader = std::move(Loader);
}

std::unique_ptr<TKernelDriver> LoadKernelDriver(const std::string& DriverFile, TDriverLoad How, uint32_t& Error)
{
    return gLoader ? gLoader(DriverFile, How, Error) : LoadDriverFile(DriverFile, How, Error);
}

std::string DeviceLockFile(const std::string& DriverFile)
{
    return ReplaceExtension(DriverFile, ".LCK");
}
