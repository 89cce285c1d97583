#include "Files.h"
#include "Forms.h"
#include "IniFiles.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <vector>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string Path = Dir.File("test.ini");
};

TEST_F(IniFileTest, NamesMatchIgnoringCaseAndFirstOccurrenceWins)
{
    WriteFileText(Path, "[Key5]\nLevel_1_Codes=1c\nlevel_1_codes=ff\n[KEY5]\nLevel_1_Codes=22\n");
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("key5", "LEVEL_1_CODES", "x"), "1c");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"Key5", "KEY5"}));
    ini.WriteString("KEY5", "LEVEL_1_codes", "e0");
    ini.UpdateFile();
    EXPECT_EQ(ReadFileText(Path), "[Key5]\nLevel_1_Codes=e0\nlevel_1_codes=ff\n[KEY5]\nLevel_1_Codes=22\n");
}

TEST_F(IniFileTest, ReadsAreCutAt2047Characters)
{
    WriteFileText(Path, "[S]\nA=" + std::string(5000, 'x') + "\n");
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("S", "A", "").size(), 2047u);
    EXPECT_EQ(ini.ReadString("S", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Missing", "A", "dflt"), "dflt");
}

TEST_F(IniFileTest, IntegerForms)
{
    WriteFileText(Path,
                  "[S]\ndec=42\nneg=-7\nplus=+3\nhex=0x1F\nHEX=0X10\ndollar=$ff\nempty=\ntext=12a\nbig=99999999999\n"
                  "spaces=  9  \nbool0=0\nbool2=2\n");
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadInteger("S", "dec", 0), 42);
    EXPECT_EQ(ini.ReadInteger("S", "neg", 0), -7);
    EXPECT_EQ(ini.ReadInteger("S", "plus", 0), 3);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("s", "hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("S", "empty", 5), 5);
    EXPECT_EQ(ini.ReadInteger("S", "text", 5), 5);
    EXPECT_EQ(ini.ReadInteger("S", "big", 5), 5);
    EXPECT_EQ(ini.ReadInteger("S", "spaces", 5), 9);
    EXPECT_EQ(ini.ReadInteger("S", "missing", -1), -1);
    EXPECT_FALSE(ini.ReadBool("S", "bool0", true));
    EXPECT_TRUE(ini.ReadBool("S", "bool2", false));
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
    EXPECT_FALSE(ini.ReadBool("S", "text", false));
}

TEST_F(IniFileTest, WritesLeaveEverythingElseInPlace)
{
    const std::string before = "; comment\r\n[Foreign]\r\nX = keep me \r\n\r\n[GLOBAL_PARAMETERS]\r\nModel_Number=Old\r\n"
                               "Odd line\r\n\r\n[Tail]\r\nT=1";
    WriteFileText(Path, before);
    {
        TIniFile ini(Path);
        ini.WriteString("Global_Parameters", "MODEL_NUMBER", "Keysmith591");
        ini.WriteInteger("GLOBAL_PARAMETERS", "Repeat_Delay", 25);
        ini.WriteBool("Tail", "B", true);
        ini.WriteString("KEY0", "Level_1_Codes", "");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFileText(Path),
              "; comment\r\n[Foreign]\r\nX = keep me \r\n\r\n[GLOBAL_PARAMETERS]\r\nModel_Number=Keysmith591\r\n"
              "Repeat_Delay=25\r\nOdd line\r\n\r\n[Tail]\r\nT=1\r\nB=1\r\n[KEY0]\r\nLevel_1_Codes=\r\n");
    TIniFile again(Path);
    EXPECT_EQ(again.ReadString("Foreign", "x", ""), "keep me");
}

TEST_F(IniFileTest, AWriteAfterALastLineEndingInACarriageReturnReadsBackTheSame)
{
    WriteFileText(Path, "[A]\n[global_parameters\r");
    {
        TIniFile ini(Path);
        ini.WriteString("GLOBAL_PARAMETERS", "Model_Number", "Keysmith591");
        ini.UpdateFile();
    }
    TIniFile again(Path);
    EXPECT_EQ(again.ReadString("GLOBAL_PARAMETERS", "Model_Number", ""), "Keysmith591");
}

TEST_F(IniFileTest, NewFileAndLineBreaksInValues)
{
    {
        TIniFile ini(Path);
        ini.WriteString("A", "Name", "two\nlines\r[B]");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFileText(Path), "[A]\nName=two lines [B]\n");
    TIniFile ini(Path);
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, std::vector<std::string>{"A"});
}

TEST_F(IniFileTest, NothingReachesTheDiskUntilUpdateAndNothingIsTornOnFailure)
{
    const std::string before = "[S]\nA=1\nB=2\n";
    WriteFileText(Path, before);
    TRefusingFileSystem refuse;
    TIniFile ini(Path);
    ini.WriteString("S", "A", "changed");
    EXPECT_EQ(ReadFileText(Path), before);
    try {
        ini.UpdateFile();
        FAIL() << "a refused write must raise";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + Path);
    }
    EXPECT_EQ(ReadFileText(Path), before);
    EXPECT_EQ(refuse.Refused, 1);
}

TEST_F(IniFileTest, ReplacementKeepsPermissionsAndSymbolicLinks)
{
    WriteFileText(Path, "[S]\nA=1\n");
    ::chmod(Path.c_str(), 0640);
    const std::string link = Dir.File("link.ini");
    ASSERT_EQ(::symlink("test.ini", link.c_str()), 0);
    {
        TIniFile ini(link);
        ini.WriteString("S", "A", "2");
        ini.UpdateFile();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileText(Path), "[S]\nA=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(Path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), std::filesystem::directory_iterator()), 2);
}

TEST_F(IniFileTest, AFolderOrUnwritableTargetRaisesAndKeepsWhatIsThere)
{
    const std::string folder = Dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    TIniFile ini(folder);
    EXPECT_EQ(ini.ReadString("S", "A", "d"), "d");
    ini.WriteString("S", "A", "1");
    EXPECT_THROW(ini.UpdateFile(), EIniFileException);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    TIniFile missingDir(Dir.File("no/such/dir.ini"));
    missingDir.WriteString("S", "A", "1");
    EXPECT_THROW(missingDir.UpdateFile(), EIniFileException);
}

TEST_F(IniFileTest, AnyContentIsReadSafely)
{
    using namespace std::string_literals;
    std::string odd = "[S]\nA=a\0b\n"s;
    odd.push_back('\0');
    odd += "\xff\xfe[\n=\n[]\nB=\x80\x81";
    WriteFileText(Path, odd);
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("S", "A", ""), std::string("a\0b", 3));
    EXPECT_EQ(ini.ReadString("", "B", ""), "\x80\x81");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"S", ""}));
}

TEST_F(IniFileTest, RelativeNamesLiveInTheWindowsFolder)
{
    SetWindowsDirectory(Dir.Path());
    {
        TIniFile ini("untitled.ckd");
        ini.WriteString("S", "A", "1");
        ini.UpdateFile();
    }
    SetWindowsDirectory("");
    EXPECT_EQ(ReadFileText(Dir.File("untitled.ckd")), "[S]\nA=1\n");
    EXPECT_EQ(GetWindowsDirectoryA().front(), '/');
}

TEST_F(IniFileTest, EveryLineEndKindAndAByteOrderMark)
{
    const std::string bom = "\xEF\xBB\xBF";
    struct Row {
        const char* Name;
        std::string Before, After; // the file, and the file after Repeat_Delay=7 and [KEY1] A=1
    };
    const Row rows[] = {
        {"CR alone", "[GLOBAL_PARAMETERS]\rModel_Number=X\r[KEY0]\rA=0",
         "[GLOBAL_PARAMETERS]\rModel_Number=X\rRepeat_Delay=7\r[KEY0]\rA=0\r[KEY1]\rA=1\r"},
        {"byte-order mark", bom + "[GLOBAL_PARAMETERS]\nModel_Number=X\n[KEY0]\nA=0\n",
         bom + "[GLOBAL_PARAMETERS]\nModel_Number=X\nRepeat_Delay=7\n[KEY0]\nA=0\n[KEY1]\nA=1\n"},
        {"mark on an empty file", bom, bom + "[GLOBAL_PARAMETERS]\nRepeat_Delay=7\n[KEY1]\nA=1\n"},
        // A line added before an LF that follows a lone CR must not join them into one end.
        {"CR then CRLF, blank LF line", "[GLOBAL_PARAMETERS]\rModel_Number=X\r\n\n[KEY0]\nA=0\n",
         "[GLOBAL_PARAMETERS]\rModel_Number=X\r\nRepeat_Delay=7\r\n\n[KEY0]\nA=0\n[KEY1]\rA=1\r"},
    };
    for (const Row& row : rows) {
        WriteFileText(Path, row.Before);
        {
            TIniFile ini(Path);
            std::vector<std::string> sections;
            ini.ReadSections(sections);
            if (row.Before.size() > bom.size()) {
                EXPECT_EQ(sections, (std::vector<std::string>{"GLOBAL_PARAMETERS", "KEY0"})) << row.Name;
                EXPECT_EQ(ini.ReadString("GLOBAL_PARAMETERS", "Model_Number", ""), "X") << row.Name;
                EXPECT_EQ(ini.ReadInteger("KEY0", "A", -1), 0) << row.Name;
            }
            ini.WriteInteger("GLOBAL_PARAMETERS", "Repeat_Delay", 7);
            ini.WriteInteger("KEY1", "A", 1);
            ini.UpdateFile();
        }
        EXPECT_EQ(ReadFileText(Path), row.After) << row.Name;
        TIniFile again(Path);
        EXPECT_EQ(again.ReadInteger("GLOBAL_PARAMETERS", "Repeat_Delay", 0), 7) << row.Name;
        EXPECT_EQ(again.ReadInteger("KEY1", "A", 0), 1) << row.Name;
    }
}

TEST_F(IniFileTest, WhatIsNoRegularFileIsNeverOpened)
{
    const std::string fifo = Dir.File("pipe.ckd");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        EXPECT_TRUE(EndsWithin(30, [&] {
            TIniFile ini(path);
            if (!ini.ReadFailed()) ::_exit(2);
            ini.WriteString("S", "A", "1");
            try {
                ini.UpdateFile();
                ::_exit(3);
            } catch (const EIniFileException& e) {
                if (e.Message() != "Unable to write to " + path) ::_exit(4);
            }
        })) << path;
    }
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(IniFileTest, AFileTheUserMayNotWriteIsRefused)
{
    // No write permission for anyone: refused even to the superuser, as the platform does.
    WriteFileText(Path, "[S]\nA=1\n");
    ::chmod(Path.c_str(), 0444);
    {
        TIniFile ini(Path);
        ini.WriteString("S", "A", "2");
        EXPECT_THROW(ini.UpdateFile(), EIniFileException);
    }
    EXPECT_EQ(ReadFileText(Path), "[S]\nA=1\n");

    // Another user's file in a folder anyone may write: the rename would be allowed.
    if (::geteuid() != 0) GTEST_SKIP() << "needs a second user to own a file";
    const std::string theirs = Dir.File("theirs.ckd");
    WriteFileText(theirs, "[S]\nA=1\n");
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    ::chmod(theirs.c_str(), 0644);
    ::chmod(Dir.Path().c_str(), 0777);
    EXPECT_TRUE(EndsWithin(30, [&] {
        if (::setgid(65533) != 0 || ::setuid(65533) != 0) ::_exit(5);
        TIniFile ini(theirs);
        ini.WriteString("S", "A", "2");
        try {
            ini.UpdateFile();
            ::_exit(6);
        } catch (const EIniFileException&) {
        }
    }));
    EXPECT_EQ(ReadFileText(theirs), "[S]\nA=1\n");
}

TEST_F(IniFileTest, ANameOfTheLongestLengthCanBeSaved)
{
    const std::string longest = Dir.File(std::string(251, 'k') + ".ckd");
    WriteFileText(longest, "[S]\nA=1\n");
    {
        TIniFile ini(longest);
        ini.WriteString("S", "A", "2");
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadFileText(longest), "[S]\nA=2\n");
}

TEST_F(IniFileTest, AFileLargerThanAllowedOrThanMemoryIsUnreadable)
{
    WriteFileText(Path, "[S]\nA=1\n");
    EXPECT_EQ(TIniFile(Path, 8).ReadResult(), TFileSystem::TReadResult::Read);
    EXPECT_EQ(TIniFile(Path, 7).ReadResult(), TFileSystem::TReadResult::Failed);
    struct TNoMemory : TFileSystem {
        TReadResult ReadWholeFile(const std::string&, std::string&, size_t, TLinks) override { throw std::bad_alloc(); }
    } noMemory;
    SetFileSystem(&noMemory);
    TIniFile ini(Path);
    SetFileSystem(nullptr);
    EXPECT_TRUE(ini.ReadFailed());
    ini.WriteString("S", "A", "2");
    EXPECT_THROW(ini.UpdateFile(), EIniFileException);
    EXPECT_EQ(ReadFileText(Path), "[S]\nA=1\n");
}

TEST(Application, RunningOutOfMemoryIsShownAndTheCommandEnds)
{
    TRecordingDialogs dialogs;
    Application.Title = "Keysmith";
    RunGuarded([] { throw std::bad_alloc(); });
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Out of memory");
    EXPECT_EQ(dialogs.Messages[0].Caption, "Keysmith");
    EXPECT_EQ(dialogs.Messages[0].Icon, TMsgIcon::Stop);
}

TEST(SysUtils, FileNameParts)
{
    EXPECT_EQ(ExtractFileName("/a/b/c.ckd"), "c.ckd");
    EXPECT_EQ(ExtractFileName("c.ckd"), "c.ckd");
    EXPECT_EQ(ExtractFilePath("/a/b/c.ckd"), "/a/b/");
    EXPECT_EQ(ExtractFilePath("c.ckd"), "");
}

} // namespace
