// Any file content must be read, and written back, without a crash or a read past its end.
#include "Files.h"
#include "IniFiles.h"
#include "TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TMemoryFileSystem fs;
    SetFileSystem(&fs);
    fs.Data.assign(reinterpret_cast<const char*>(data), size);
    TIniFile ini("/fuzz.ini");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    for (const auto& s : sections) {
        (void)ini.ReadString(s, "KeyType", "");
        (void)ini.ReadInteger(s, "L1_MacroMode", 0);
    }
    ini.WriteString("GLOBAL_PARAMETERS", "Model_Number", "Keysmith591");
    ini.WriteInteger(sections.empty() ? "KEY0" : sections.front(), "KeyType", 1);
    ini.UpdateFile();
    TIniFile again("/fuzz.ini");
    if (again.ReadString("GLOBAL_PARAMETERS", "Model_Number", "") != "Keysmith591") __builtin_trap();
    return 0;
}
