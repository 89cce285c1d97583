// A definition saved by the editor's writer, downloaded by the loader's reader.
#include "DefinitionReader.h"
#include "EditorWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace loader;

namespace {

using Bytes = std::vector<Byte>;

Bytes RecordBytes(int Key)
{
    const TDownloadKeyRecord& r = KeyRecords[Key];
    Bytes out{r.CommandIntroducer, r.kcKeyRecord, r.KeyIndex, r.Level2Flags, r.Level1Flags, r.KeyIndex2, r.Level1Count};
    out.insert(out.end(), r.Level1Codes, r.Level1Codes + r.Level1Count);
    out.push_back(r.Level2Count);
    out.insert(out.end(), r.Level2Codes, r.Level2Codes + r.Level2Count);
    return out;
}

TEST(EditorFileTest, NewDefinitionDownloadsEmptyWithTheEditorsParameters)
{
    TTempDir dir;
    SaveNewEditorDefinition(dir.File("new.ckd"));
    ASSERT_EQ(ReadKeypadFile(dir.File("new.ckd")), 0);
    EXPECT_EQ(DownloadStream().size(), 206u);
    // A new definition paces at 2 and uses LED function 3, not the loader's own defaults.
    EXPECT_EQ(DownloadHeader[11], 2);
    EXPECT_EQ(DownloadHeader[12], 3);
    EXPECT_EQ(DownloadDelay, 0);
}

TEST(EditorFileTest, EditedKeysArriveAsTheirStreamBytes)
{
    TTempDir dir;
    const std::string path = dir.File("edited.ckd");
    SaveEditorDefinition(path);
    ASSERT_EQ(ReadKeypadFile(path), 0);
    EXPECT_EQ(DownloadHeader[5], 5);
    EXPECT_EQ(DownloadHeader[6], 0x80);
    EXPECT_EQ(DownloadHeader[9], 1);
    EXPECT_EQ(DownloadHeader[12], 4);
    EXPECT_EQ(DownloadDelay, 20);
    EXPECT_EQ(RecordBytes(3), (Bytes{0xE4, 0x02, 0x03, 0x00, 0x01, 0x03, 0x04, 0x5A, 0xE3, 0x5A, 0x00, 0x00}));
    EXPECT_EQ(RecordBytes(5), (Bytes{0xE4, 0x02, 0x05, 0x09, 0x02, 0x05, 0x00, 0x02, 0x12, 0x00}));
    EXPECT_EQ(RecordBytes(7), (Bytes{0xE4, 0x02, 0x07, 0x00, 0x01, 0x07, 0x06, 0xE2, 0x05, 0xE2, 0x01, 0x19, 0x00, 0x00}));
    EXPECT_EQ(DownloadStream().size(), 206u + 4 + 2 + 6);
}

} // namespace
