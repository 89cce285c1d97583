#include "TestSupport.h"
#include "Version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

namespace {

const char* const FileVersionName = "\\StringFileInfo\\040904E4\\FileVersion";

// The FileVersion text of a file, or "NA" as the About box shows a missing one.
std::string FileVersionOf(const std::string& Path)
{
    uint32_t handle = 7;
    const uint32_t size = GetFileVersionInfoSizeA(Path, &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return "NA";
    auto block = std::make_unique<unsigned char[]>(size);
    if (!GetFileVersionInfoA(Path, handle, size, block.get())) return "NA";
    const void* value = nullptr;
    uint32_t len = 0;
    if (!VerQueryValueA(block.get(), FileVersionName, &value, &len)) return "NA";
    const auto* text = static_cast<const char*>(value);
    EXPECT_EQ(len, std::strlen(text) + 1);
    return text;
}

TEST(VersionResource, ReadsTheBlockOfTheFileNamed)
{
    EXPECT_EQ(FileVersionOf(VERSION_PROBE), "5.5.0.0");
    EXPECT_EQ(FileVersionOf(VERSION_PROBE_12), "12");
}

TEST(VersionResource, FilesWithoutABlock)
{
    TTempDir dir;
    WriteFileText(dir.File("text"), "\x7f" "ELF but not really");
    WriteFileText(dir.File("empty"), "");
    for (const std::string& p : {std::string(ARGV_RECORDER), dir.File("text"), dir.File("empty"), dir.File("missing"), dir.Path()})
        EXPECT_EQ(FileVersionOf(p), "NA") << p;
}

TEST(VersionResource, QueriesStayInsideTheBlock)
{
    uint32_t handle = 0;
    const uint32_t size = GetFileVersionInfoSizeA(VERSION_PROBE, &handle);
    ASSERT_GT(size, 8u);
    auto block = std::make_unique<unsigned char[]>(size);
    ASSERT_TRUE(GetFileVersionInfoA(VERSION_PROBE, 0, size, block.get()));
    const void* value = nullptr;
    uint32_t len = 0;
    EXPECT_TRUE(VerQueryValueA(block.get(), "\\stringfileinfo\\040904e4\\fileversion", &value, &len));
    EXPECT_FALSE(VerQueryValueA(block.get(), "\\StringFileInfo\\040904E4\\ProductVersion", &value, &len));
    EXPECT_FALSE(VerQueryValueA(block.get(), "\\StringFileInfo\\040904E4", &value, &len));

    // A buffer too small for the whole block holds its start only; the value is not found
    // and nothing past the buffer is read (the sanitizer build watches that).
    const uint32_t small = size - 3;
    auto part = std::make_unique<unsigned char[]>(small);
    ASSERT_TRUE(GetFileVersionInfoA(VERSION_PROBE, 0, small, part.get()));
    EXPECT_FALSE(VerQueryValueA(part.get(), FileVersionName, &value, &len));
    unsigned char header[4];
    EXPECT_FALSE(GetFileVersionInfoA(VERSION_PROBE, 0, sizeof header, header));
}

TEST(VersionResource, DamagedBlockIsNoBlock)
{
    TTempDir dir;
    std::string image = ReadFileText(VERSION_PROBE);
    const size_t at = image.find("QVER");
    ASSERT_NE(at, std::string::npos);
    image[at + 5] = '\x7f'; // a size far beyond the section
    WriteFileText(dir.File("damaged"), image);
    EXPECT_EQ(FileVersionOf(dir.File("damaged")), "NA");
}

} // namespace
