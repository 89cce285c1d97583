#include "LoaderStream.h"

#include "DefinitionReader.h"

std::vector<uint8_t> LoaderStreamOf(const std::string& Path)
{
    if (ReadKeypadFile(Path) != 0) return {};
    return DownloadStream();
}
