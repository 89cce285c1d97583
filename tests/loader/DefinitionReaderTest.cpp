#include "DefinitionReader.h"
#include "Files.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace loader;

namespace {

using Bytes = std::vector<Byte>;

class DefinitionReaderTest : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string Path = Dir.File("def.ckd");

    void Read(const std::string& Text)
    {
        WriteFileText(Path, Text);
        ASSERT_EQ(ReadKeypadFile(Path), 0);
    }
    // The stream bytes of one key's record, from its introducer to its last run byte.
    static Bytes Record(int Key)
    {
        const TDownloadKeyRecord& r = KeyRecords[Key];
        Bytes out{r.CommandIntroducer, r.kcKeyRecord, r.KeyIndex, r.Level2Flags, r.Level1Flags, r.KeyIndex2,
                  r.Level1Count};
        out.insert(out.end(), r.Level1Codes, r.Level1Codes + r.Level1Count);
        out.push_back(r.Level2Count);
        out.insert(out.end(), r.Level2Codes, r.Level2Codes + r.Level2Count);
        return out;
    }
    static Bytes EmptyRecord(int Key) { return {0xE4, 0x02, Byte(Key), 0x00, 0x00, Byte(Key), 0x00, 0x00}; }
    static std::string Pairs(int N, const std::string& Pair = "1c")
    {
        std::string s;
        for (int i = 0; i < N; ++i) s += Pair;
        return s;
    }
};

TEST_F(DefinitionReaderTest, EmptyDefinitionGivesThe206ByteStream)
{
    Read("[GLOBAL_PARAMETERS]\nCharacter_Pacing=2\nKey_Roll_Over=1\nLED_Function=3\nDownload_Delay=20\n");
    Bytes expected{0xE4, 0x01, 0x0A, 0xE0, 0x70, 0x80, 0x80, 0x80, 0x80, 0x01, 0x00, 0x02, 0x03};
    for (int i = 0; i < 24; ++i) {
        Bytes r = EmptyRecord(i);
        expected.insert(expected.end(), r.begin(), r.end());
    }
    expected.push_back(0xE5);
    EXPECT_EQ(DownloadStream(), expected);
    EXPECT_EQ(DownloadStream().size(), 206u);
    EXPECT_EQ(DownloadDelay, 20);
    EXPECT_EQ(ProgressTotal, 250);
}

TEST_F(DefinitionReaderTest, LoaderDefaultsForMissingValues)
{
    Read("[GLOBAL_PARAMETERS]\nCharacter_Pacing=fast\n");
    EXPECT_EQ(DownloadHeader[9], 0x02);
    EXPECT_EQ(DownloadHeader[11], 0x04);
    EXPECT_EQ(DownloadHeader[12], 0x01);
    EXPECT_EQ(DownloadDelay, 0);
    // One section alone, even one the loader does not read, makes a definition file.
    Read("[Notes]\n");
    for (int i = 0; i < 24; ++i) EXPECT_EQ(Record(i), EmptyRecord(i)) << "key " << i;
}

TEST_F(DefinitionReaderTest, MissingFileIsRefusedAndChangesNothing)
{
    Read("[GLOBAL_PARAMETERS]\nDownload_Delay=7\n[KEY3]\nLevel_1_Codes=1c\n");
    const Bytes before = DownloadStream();
    EXPECT_EQ(ReadKeypadFile(Dir.File("missing.ckd")), 1);
    EXPECT_EQ(ReadKeypadFile(Dir.Path()), 1); // a folder is no file
    // A file that is there but cannot be read is refused, never sent as an empty definition.
    struct TUnreadable : TFileSystem {
        TReadResult ReadWholeFile(const std::string&, std::string& Data, size_t, TLinks) override
        {
            Data.clear();
            return TReadResult::Failed;
        }
    } unreadable;
    const std::string there = Dir.File("there.ckd");
    WriteFileText(there, "[KEY0]\nLevel_1_Codes=1c\n");
    SetFileSystem(&unreadable);
    EXPECT_EQ(ReadKeypadFile(there), 1);
    SetFileSystem(nullptr);
    EXPECT_EQ(DownloadStream(), before);
    EXPECT_EQ(DownloadDelay, 7);
}

TEST_F(DefinitionReaderTest, AFileWithoutASingleSectionIsNoKeypadFile)
{
    Read("[GLOBAL_PARAMETERS]\nDownload_Delay=7\n[KEY3]\nLevel_1_Codes=1c\n");
    const Bytes before = DownloadStream();
    std::string noise(1 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
        if (c == '[') c = ']';
    }
    struct Row {
        const char* Name;
        std::string Text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"NUL bytes", std::string(1 << 20, '\0')},
        {"random bytes", noise},
        {"keys without a section", "Model_Number=Keysmith591\nLevel_1_Codes=1c\n"},
    };
    for (const Row& row : rows) {
        WriteFileText(Path, row.Text);
        EXPECT_EQ(ReadKeypadFile(Path), 1) << row.Name;
        EXPECT_EQ(DownloadStream(), before) << row.Name;
        EXPECT_EQ(DownloadDelay, 7) << row.Name;
    }
}

TEST_F(DefinitionReaderTest, AFileOver16MiBIsRefusedUnread)
{
    std::string text = "[KEY3]\nLevel_1_Codes=1c\n";
    text.resize(16 << 20, '\n');
    Read(text);
    EXPECT_EQ(Record(3)[6], 0x02);
    text += "\n";
    WriteFileText(Path, text);
    EXPECT_EQ(ReadKeypadFile(Path), 1);
}

TEST_F(DefinitionReaderTest, AFileRenamedAwayAndBackIsNeverReadAsAnEmptyOne)
{
    Read("[GLOBAL_PARAMETERS]\nDownload_Delay=7\n[KEY3]\nLevel_1_Codes=1cf01c\n[KEY9]\nKeyType=2\n");
    const Bytes full = DownloadStream();
    int refused = 0;
    {
        TRenamingRace race(Path);
        for (int i = 0; i < 3000 && !HasFailure(); ++i) {
            refused += ReadKeypadFile(Path);
            // Read whole, or refused with nothing changed: the full stream either way.
            EXPECT_EQ(DownloadStream(), full) << "run " << i;
        }
    }
    std::printf("refused %d of 3000 reads\n", refused);
}

TEST_F(DefinitionReaderTest, RelativePathNamesAFileInTheWindowsFolder)
{
    SetWindowsDirectory(Dir.Path());
    WriteFileText(Dir.File("untitled.ckd"), "[GLOBAL_PARAMETERS]\nDownload_Delay=5\n");
    EXPECT_EQ(ReadKeypadFile("untitled.ckd"), 0);
    EXPECT_EQ(DownloadDelay, 5);
    SetWindowsDirectory("");
}

TEST_F(DefinitionReaderTest, KeyRollOverAndHeaderBytesKeepTheirLowByte)
{
    struct Row {
        const char* Name;
        const char* Value;
        Byte Expected;
    };
    for (Row row : {Row{"three", "3", 2}, Row{"zero", "0", 0}, Row{"one", "1", 1}, Row{"258", "258", 2},
                    Row{"minus one", "-1", 2}, Row{"hex", "0x1", 1}, Row{"dollar", "$2", 2}}) {
        Read(std::string("[GLOBAL_PARAMETERS]\nKey_Roll_Over=") + row.Value + "\nLED_Function=260\nCharacter_Pacing=-2\n");
        EXPECT_EQ(DownloadHeader[9], row.Expected) << row.Name;
        EXPECT_EQ(DownloadHeader[12], 0x04) << row.Name;
        EXPECT_EQ(DownloadHeader[11], 0xFE) << row.Name;
    }
}

TEST_F(DefinitionReaderTest, DownloadDelayIsReadWhole)
{
    Read("[GLOBAL_PARAMETERS]\nDownload_Delay=300\n");
    EXPECT_EQ(DownloadDelay, 300);
    Read("[GLOBAL_PARAMETERS]\nDownload_Delay=-5\n");
    EXPECT_EQ(DownloadDelay, -5);
}

TEST_F(DefinitionReaderTest, Key3MacroExample)
{
    Read("[KEY3]\nL1_MacroMode=2\nLevel_1_Codes=1cf01c\n");
    EXPECT_EQ(Record(3), (Bytes{0xE4, 0x02, 0x03, 0x00, 0x01, 0x03, 0x04, 0x1C, 0xE3, 0x1C, 0x00, 0x00}));
    EXPECT_EQ(ProgressTotal, 253);
}

TEST_F(DefinitionReaderTest, ModifierSequencesInEachMode)
{
    struct Row {
        const char* Name;
        int Mode;
        const char* Codes;
        Byte Flags;
        Bytes Run; // count, codes, 0x00
    };
    const Row rows[] = {
        {"left shift, auto-sense", 0, "12f012", 0x09, {0x02, 0x12, 0x00}},
        {"left shift, macro", 2, "12f012", 0x01, {0x04, 0x12, 0xE3, 0x12, 0x00}},
        {"right alt down, auto-sense", 0, "e011", 0x09, {0x03, 0xE0, 0x11, 0x00}},
        {"right alt down, separate up codes", 1, "e011", 0x09, {0x03, 0xE0, 0x11, 0x00}},
        {"right alt down, literal", 3, "e011", 0x05, {0x03, 0xE0, 0x11, 0x00}},
        {"left windows, auto-sense", 0, "e01fe0f01f", 0x09, {0x03, 0xE0, 0x1F, 0x00}},
        {"right shift, auto-sense", 0, "59f059", 0x09, {0x02, 0x59, 0x00}},
        {"upper case is no sequence", 0, "12F012", 0x01, {0x04, 0x12, 0xE3, 0x12, 0x00}},
        {"unknown mode counts as not auto-sense", 7, "12f012", 0x01, {0x04, 0x12, 0xE3, 0x12, 0x00}},
    };
    for (const Row& row : rows) {
        Read("[KEY0]\nL1_MacroMode=" + std::to_string(row.Mode) + "\nLevel_1_Codes=" + row.Codes + "\n");
        Bytes expected{0xE4, 0x02, 0x00, 0x00, row.Flags, 0x00};
        expected.insert(expected.end(), row.Run.begin(), row.Run.end());
        expected.push_back(0x00);
        EXPECT_EQ(Record(0), expected) << row.Name;
    }
}

TEST_F(DefinitionReaderTest, SequenceOnLevel2AddsItsCountToProgress)
{
    Read("[KEY1]\nL2_MacroMode=0\nLevel_2_Codes=14f014\n");
    EXPECT_EQ(Record(1), (Bytes{0xE4, 0x02, 0x01, 0x09, 0x00, 0x01, 0x00, 0x02, 0x14, 0x00}));
    EXPECT_EQ(ProgressTotal, 252);
}

TEST_F(DefinitionReaderTest, OneCodeRuleAndOddOrInvalidStrings)
{
    struct Row {
        const char* Name;
        const char* Codes;
        Byte Flags;
        Bytes Run;
        int Progress;
    };
    const Row rows[] = {
        {"one code", "1c", 0x09, {0x02, 0x1C, 0x00}, 251},
        {"two codes", "1c1c", 0x01, {0x03, 0x1C, 0x1C, 0x00}, 252},
        {"odd last character ignored", "1cf", 0x09, {0x02, 0x1C, 0x00}, 251},
        {"invalid pair after one code", "1c00", 0x09, {0x00}, 251},
        {"pair above e4", "1ce5", 0x09, {0x00}, 251},
        {"led and delay commands", "e204e20119", 0x01, {0x06, 0xE2, 0x04, 0xE2, 0x01, 0x19, 0x00}, 255},
        {"single character", "1", 0x01, {0x00}, 250},
    };
    for (const Row& row : rows) {
        Read(std::string("[KEY2]\nLevel_1_Codes=") + row.Codes + "\n");
        Bytes expected{0xE4, 0x02, 0x02, 0x00, row.Flags, 0x02};
        expected.insert(expected.end(), row.Run.begin(), row.Run.end());
        expected.push_back(0x00);
        EXPECT_EQ(Record(2), expected) << row.Name;
        EXPECT_EQ(ProgressTotal, row.Progress) << row.Name;
    }
}

TEST_F(DefinitionReaderTest, HexPairArithmetic)
{
    EXPECT_EQ(HexPairToCode('f', '0'), 0xE3);
    EXPECT_EQ(HexPairToCode('e', '0'), 0xE0);
    EXPECT_EQ(HexPairToCode('e', '4'), 0xE4);
    EXPECT_EQ(HexPairToCode('e', '5'), 0x00);
    EXPECT_EQ(HexPairToCode('0', '0'), 0x00);
    // Other characters give some byte, no error: an upper-case low digit a wrong one.
    EXPECT_EQ(HexPairToCode('2', 'A'), 0x0A);
    EXPECT_EQ(HexPairToCode('1', 'A'), 0x00);
    EXPECT_EQ(HexPairToCode('\x80', '1'), 0x01); // a byte above 127 counts as negative
}

TEST_F(DefinitionReaderTest, CapacityBounds)
{
    struct Row {
        const char* Name;
        int Level1Pairs;
        const char* Level2;
        int Level2Pairs;
        Byte Level1Count;
        Byte Level2Count;
    };
    const Row rows[] = {
        {"223 pairs, level 2 empty", 223, nullptr, 0, 224, 0},
        {"224 pairs, level 2 empty", 224, nullptr, 0, 0, 0},
        {"111 pairs beside level 2", 111, "1c", 0, 112, 2},
        {"112 pairs beside level 2", 112, "1c", 0, 0, 2},
        {"112 pairs beside a dropped level 2", 112, "00", 0, 0, 0},
        {"111 pairs beside a dropped level 2", 111, "00", 0, 112, 0},
        {"level 2 with 111 pairs", 0, "", 111, 0, 112},
        {"level 2 with 112 pairs", 0, "", 112, 0, 0},
    };
    for (const Row& row : rows) {
        std::string level2 = row.Level2 ? row.Level2 : "";
        if (row.Level2Pairs) level2 = Pairs(row.Level2Pairs, "2a");
        Read("[KEY23]\nL1_MacroMode=2\nL2_MacroMode=2\nLevel_1_Codes=" + Pairs(row.Level1Pairs) +
             "\nLevel_2_Codes=" + level2 + "\n");
        EXPECT_EQ(KeyRecords[23].Level1Count, row.Level1Count) << row.Name;
        EXPECT_EQ(KeyRecords[23].Level2Count, row.Level2Count) << row.Name;
        EXPECT_EQ(Record(23).size(), 8u + row.Level1Count + row.Level2Count) << row.Name;
    }
}

TEST_F(DefinitionReaderTest, FullDefinitionIsTheLongestStream)
{
    std::string text;
    for (int i = 0; i < 24; ++i)
        text += "[KEY" + std::to_string(i) + "]\nL1_MacroMode=2\nL2_MacroMode=2\nLevel_1_Codes=" + Pairs(111) +
                "\nLevel_2_Codes=" + Pairs(111) + "\n";
    Read(text);
    EXPECT_EQ(DownloadStream().size(), 5582u);
    EXPECT_EQ(ProgressTotal, 250 + 24 * 222);
}

TEST_F(DefinitionReaderTest, ToggleAndShiftKeySlots)
{
    Read("[KEY2]\nKeyType=2\n[KEY4]\nKeyType=1\n[KEY5]\nKeyType=2\n[KEY9]\nKeyType=2\n[KEY10]\nKeyType=3\n");
    EXPECT_EQ(DownloadHeader[5], 0x02);
    EXPECT_EQ(DownloadHeader[6], 0x05);
    EXPECT_EQ(DownloadHeader[7], 0x04);
    EXPECT_EQ(DownloadHeader[8], 0x80);
    EXPECT_EQ(Record(9), EmptyRecord(9)); // a third toggle key is sent like any other
    Read("[KEY1]\nKeyType=1\n");
    EXPECT_EQ(DownloadHeader[5], 0x80); // every read starts from the template
    EXPECT_EQ(DownloadHeader[7], 0x01);
}

TEST_F(DefinitionReaderTest, AutoRepeatWithoutCodes)
{
    Read("[KEY7]\nL1_AutoRepeat=1\nL2_AutoRepeat=-3\nL2_MacroMode=3\n");
    EXPECT_EQ(Record(7), (Bytes{0xE4, 0x02, 0x07, 0x06, 0x02, 0x07, 0x00, 0x00}));
}

TEST_F(DefinitionReaderTest, SectionAndKeyNamesIgnoreCase)
{
    Read("[global_parameters]\nDOWNLOAD_DELAY=9\n[key3]\nl1_macromode=2\nLEVEL_1_CODES=1cf01c\n");
    EXPECT_EQ(DownloadDelay, 9);
    EXPECT_EQ(Record(3), (Bytes{0xE4, 0x02, 0x03, 0x00, 0x01, 0x03, 0x04, 0x1C, 0xE3, 0x1C, 0x00, 0x00}));
}

} // namespace
