#include "LoaderStream.h"

#include "DefinitionReader.h"

using namespace loader;

std::vector<uint8_t> LoaderStreamOf(const std::string& Path)
{
    if (ReadKeypadFile(Path) != 0) return {};
    return DownloadStream();
}
