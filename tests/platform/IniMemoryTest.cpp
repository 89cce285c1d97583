// What holding a large file costs: the file's text once, and little beyond it.
#include "HeapCounter.h"
#include "IniFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Repeat(const std::string& Line, size_t Size)
{
    std::string s;
    s.reserve(Size + Line.size());
    while (s.size() < Size) s += Line;
    return s;
}

std::string Sections(size_t Size)
{
    std::string s;
    s.reserve(Size + 32);
    for (int i = 0; s.size() < Size; ++i) s += "[KEY" + std::to_string(i) + "]\nKeyType=1\n";
    return s;
}

TEST(IniMemory, AFileIsHeldOnceWithLittleBeyondIt)
{
    constexpr size_t size = 8 << 20;
    struct Row {
        const char* Name;
        std::string Text;
    };
    const Row rows[] = {
        {"blank lines", std::string(size, '\n')},
        {"blank CR LF lines", Repeat("\r\n", size)},
        {"key lines", Repeat("A=1\n", size)},
        {"distinct sections", Sections(size)},
        {"one long value", "[KEY7]\nKeyType=" + std::string(size, '7') + "\n"},
    };
    TTempDir dir;
    const std::string path = dir.File("large.ini");
    for (const Row& row : rows) {
        WriteFileText(path, row.Text);
        const size_t before = HeapInUse();
        ResetHeapPeak();
        {
            TIniFile ini(path);
            ASSERT_FALSE(ini.ReadFailed()) << row.Name;
            (void)ini.ReadInteger("KEY7", "KeyType", 0);
            (void)ini.ReadString("missing", "A", "");
            EXPECT_FALSE(ini.ValueExists("KEY7", "missing")) << row.Name;
        }
        const double times = double(HeapPeak() - before) / double(row.Text.size());
        std::printf("%-20s peak %.2f times the file\n", row.Name, times);
        EXPECT_LT(times, 3.0) << row.Name;
    }
}

} // namespace
