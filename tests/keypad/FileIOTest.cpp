#include "FileIO.h"
#include "Files.h"
#include "Forms.h"
#include "IniFiles.h"
#include "KeypadClass.h"
#include "KeypadTestSupport.h"
#include "SysUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const Unrecognized = "Error reading definition file.  There was an unrecognized value.";
const char* const NotOurs = "Not a Keysmith591 file!";

constexpr int32_t Delay(int32_t n) { return CodeDelayBase + n; }

class DefinitionFileTest : public ::testing::Test {
protected:
    DefinitionFileTest()
    {
        Keypad = Model.get();
    }
    ~DefinitionFileTest() override { Keypad = nullptr; }

    // A file of the editor's layout with the given key sections after the parameters.
    void WriteDefinition(const std::string& KeySections, const std::string& Model = "Model_Number=Keysmith591\n")
    {
        WriteFileText(Path, "[GLOBAL_PARAMETERS]\n" + Model + KeySections);
    }
    void LoadQuietly(const std::string& File)
    {
        LoadDefinition(File);
        Window.Log.clear();
    }
    std::vector<int32_t> Codes(int Key, int Level) const
    {
        const auto& c = Keypad->Keys()[Key].Levels[Level].Codes;
        std::vector<int32_t> v;
        for (int32_t x : c) {
            if (x == 0) break;
            v.push_back(x);
        }
        return v;
    }

    TTempDir Dir;
    std::string Path = Dir.File("def.ckd");
    TRecordingDialogs Dialogs;
    TRecordingWindow Window;
    std::unique_ptr<TKeypadClass> Model = std::make_unique<TKeypadClass>();
};

// Every level full, every field away from its default, names longer than the editor's field.
void BuildFullDefinition(TKeypadClass& K)
{
    K.Create();
    K.SetRepeatDelay(7);
    K.SetRepeatRate(9);
    K.SetHostCanModifyAR(false);
    K.SetKeyRollOver(1);
    K.SetLEDFunction(LedFunctionHostMacro);
    K.SetCharacterPacing(5);
    K.SetDownloadDelay(200);
    for (int key = 0; key < KeyCount; ++key) {
        K.SetCurrentKey(static_cast<uint8_t>(key));
        K.SetKeyType(static_cast<uint8_t>(key % 3));
        // Level 2 first, so that both levels get the shared limit.
        for (int level = LevelCount - 1; level >= 0; --level) {
            K.SetCurrentLevel(static_cast<uint8_t>(level));
            K.SetAutoRepeat((key + level) % 2 == 1);
            K.SetMacroMode((key + level) % 4);
            K.SetName(std::string(level == 0 ? 40 : 5, static_cast<char>('a' + key)));
            // Codes that read back as themselves, cycling through the kinds.
            const int32_t kinds[] = {1 + key, 86 + (key % 20), Delay(1 + key * 5), CodeLedOn, 131 + level, 104};
            for (int i = 0;; ++i) {
                int32_t pos = K.CodeCount();
                if (!K.InsertCode(pos, kinds[i % 6]) && !K.InsertCode(pos, 2)) break;
            }
            EXPECT_EQ(K.BytesUsed(), SharedLevelByteLimit);
        }
    }
    K.SetCurrentKey(0);
    K.SetCurrentLevel(0);
}

TEST_F(DefinitionFileTest, EmptyDefinitionIsWrittenWholeAndReadsBackTheSame)
{
    Keypad->SetModelNumber("Keysmith591");
    SaveDefinition(Path);
    EXPECT_EQ(Window.Log, (std::vector<std::string>{"caption Keysmith591 - def.ckd", "unmodified"}));

    const std::string text = ReadFileText(Path);
    EXPECT_EQ(text.substr(0, text.find("[KEY0]")),
              "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\nRepeat_Delay=25\nRepeat_Rate=4\n"
              "Host_Can_Modify_AR=1\nKey_Roll_Over=2\nLED_Function=3\nCharacter_Pacing=2\nDownload_Delay=0\n");
    EXPECT_NE(text.find("[KEY0]\nKeyType=0\nLevel_1_Name=\nL1_MacroMode=0\nL1_AutoRepeat=0\nLevel_1_Codes=\n"
                        "Level_2_Name=\nL2_MacroMode=0\nL2_AutoRepeat=0\nLevel_2_Codes=\n"),
              std::string::npos);
    std::vector<std::string> sections;
    TIniFile(Path).ReadSections(sections);
    ASSERT_EQ(sections.size(), 25u);
    for (int k = 0; k < KeyCount; ++k) EXPECT_EQ(sections[k + 1], "KEY" + std::to_string(k));

    const TKeypadClass saved = *Keypad;
    LoadDefinition(Path);
    EXPECT_TRUE(SameDefinition(*Keypad, saved));
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(DefinitionFileTest, FullDefinitionRoundTripsAndTheWindowIsRefreshed)
{
    BuildFullDefinition(*Keypad);
    Keypad->SetCurrentKey(9);
    Keypad->SetCurrentLevel(1);
    SaveDefinition(Path);
    EXPECT_EQ(Keypad->CurrentKey(), 9);
    EXPECT_EQ(Keypad->CurrentLevel(), 1);
    Keypad->SetCurrentKey(0);
    Keypad->SetCurrentLevel(0);
    Keypad->SetModelNumber("Keysmith591");
    const TKeypadClass saved = *Keypad;

    TKeypadClass other;
    Keypad = &other;
    other.SetViewAsHex(true);
    other.SetCurrentKey(4);
    Window.Log.clear();
    LoadDefinition(Path);
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_TRUE(SameDefinition(other, saved));
    EXPECT_EQ(other.Keys()[3].Levels[0].Name.size(), 40u);

    std::vector<std::string> expected{"caption Keysmith591 - def.ckd"};
    for (int i = 0; i < KeyCount; ++i)
        expected.push_back("glyph " + std::to_string(i) + " key " + std::to_string(23 - i) + " type " +
                           std::to_string((23 - i) % 3));
    expected.insert(expected.end(), {"tab 0", "press SpeedButton1", "grid " + std::to_string(saved.CodeCount()),
                                     "unmodified", "file " + Path});
    EXPECT_EQ(Window.Log, expected);
    Keypad = Model.get();
}

TEST_F(DefinitionFileTest, CodeStringReading)
{
    struct TCase {
        const char* Text;
        std::vector<int32_t> Codes;
        bool Message;
    };
    const TCase cases[] = {
        {"f014", {105}, false},             // break + LCtrlD comes back as LCtrlU
        {"f012f059f011", {106, 107, 108}, false},
        {"e0f014", {109}, false},           // ext, break, LCtrlD: RCtrlU
        {"e014", {87}, false},              // ext + LCtrlD: RCtrlD
        {"e05a", {86}, false},              // ext + Enter: keypad Enter
        {"e076", {CodeExt, 1}, false},
        {"1c001c", {30, 30}, false},        // "00" adds nothing
        {" 1 c\te2", {30}, true},           // a tab is no blank
        {"1c e2 01 0 a", {30, Delay(10)}, false},
        {"e20101e2010fe20110e2017d", {Delay(1), Delay(15), Delay(16), Delay(125)}, false},
        {"e20100", {Delay(0)}, false},
        {"e2019f", {Delay(159)}, false},
        {"e204e205e206", {CodeLedOff, CodeLedOn, CodeLedFlash}, false},
        {"1C1c", {}, true},                 // upper case is no token
        {"1cE0", {30}, true},
        {"1cF0", {30}, true},
        {"e203", {}, true},
        {"1ce1", {30}, true},               // the start of Pause only
        {"e2010", {}, true},                // delay cut short
        {"e201", {}, true},
        {"e201a01c", {}, true},             // hex high digit
        {"e2010A1c", {}, true},             // upper-case low digit
        {"e2010g", {}, true},
        {"1czz1c", {30}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        Keypad->Create();
        Dialogs.Messages.clear();
        ParseCodeString(c.Text);
        EXPECT_EQ(MacroCodes(*Keypad), c.Codes);
        ASSERT_EQ(Dialogs.Messages.size(), c.Message ? 1u : 0u);
        if (c.Message) {
            EXPECT_EQ(Dialogs.Messages[0].Text, Unrecognized);
            EXPECT_EQ(Dialogs.Messages[0].Caption, "Error");
            EXPECT_EQ(Dialogs.Messages[0].Icon, TMsgIcon::Stop);
            EXPECT_EQ(Dialogs.Messages[0].ButtonCaptions(), std::vector<std::string>{"OK"});
        }
    }
}

TEST_F(DefinitionFileTest, ReadBackAgainstCapacity)
{
    // Ext, v, ext, * (kp) fit in 4 bytes, but read back as one PrintScr of 10: refused.
    std::string fill;
    for (int i = 0; i < 211; ++i) fill += "76";
    WriteDefinition("[KEY0]\nLevel_1_Codes=" + fill + "e02ae07c\n"
                    "[KEY1]\nLevel_1_Codes=" + fill + "e02ae07c1c\n"
                    "[KEY2]\nLevel_1_Codes=" + fill.substr(0, 2 * 150) + "\nLevel_2_Codes=1c\n"
                    "[KEY3]\nLevel_1_Codes=" + fill.substr(0, 2 * 111) + "\nLevel_2_Codes=" + fill.substr(0, 2 * 112) + "\n");
    LoadDefinition(Path);
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(Codes(0, 0).size(), 211u);
    EXPECT_EQ(Codes(0, 0).back(), 1);
    // After the refused PrintScr a later, smaller code still fits.
    EXPECT_EQ(Codes(1, 0).size(), 212u);
    EXPECT_EQ(Codes(1, 0).back(), 30);
    // A long level 1 comes back whole; its level 2 gets nothing.
    EXPECT_EQ(Codes(2, 0).size(), 150u);
    EXPECT_TRUE(Codes(2, 1).empty());
    EXPECT_EQ(Codes(3, 1).size(), 111u);
}

TEST_F(DefinitionFileTest, EachBadStringGivesItsOwnMessageAndTheLoadGoesOn)
{
    WriteDefinition("[KEY0]\nLevel_1_Codes=1cXX1c\nLevel_2_Codes=1c\n[KEY1]\nLevel_1_Codes=e2\nLevel_1_Name=n\n[KEY2]\nKeyType=1\n");
    LoadDefinition(Path);
    EXPECT_EQ(Dialogs.Texts(), (std::vector<std::string>{Unrecognized, Unrecognized}));
    EXPECT_EQ(Codes(0, 0), std::vector<int32_t>{30});
    EXPECT_EQ(Codes(0, 1), std::vector<int32_t>{30});
    EXPECT_EQ(Keypad->Keys()[1].Levels[0].Name, "n");
    EXPECT_EQ(Keypad->Keys()[2].KeyType, 1);
    EXPECT_EQ(Window.Log.back(), "file " + Path);
}

TEST_F(DefinitionFileTest, DelayOfZeroIsLostOnTheNextSave)
{
    WriteDefinition("[KEY0]\nLevel_1_Codes=1ce201001c\n");
    LoadDefinition(Path);
    EXPECT_EQ(Codes(0, 0), (std::vector<int32_t>{30, Delay(0), 30}));
    SaveDefinition(Path);
    EXPECT_EQ(TIniFile(Path).ReadString("KEY0", "Level_1_Codes", ""), "1c1c");
}

TEST_F(DefinitionFileTest, ParametersDefaultsAndByteClamps)
{
    WriteFileText(Path, "[KEY0]\nKeyType=1\n");
    LoadDefinition(Path);
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(Keypad->RepeatDelay(), 4);
    EXPECT_EQ(Keypad->RepeatRate(), 25);
    EXPECT_TRUE(Keypad->HostCanModifyAR());
    EXPECT_EQ(Keypad->KeyRollOver(), 2);
    EXPECT_EQ(Keypad->LEDFunction(), 1);
    EXPECT_EQ(Keypad->CharacterPacing(), 2);
    EXPECT_EQ(Keypad->DownloadDelay(), 0);
    EXPECT_EQ(Keypad->Keys()[0].KeyType, 1);

    const std::pair<const char*, int> rollOver[] = {{"0", 1}, {"1", 1}, {"3", 3}, {"4", 3}, {"256", 1}, {"260", 3}, {"-1", 3}, {"0x2", 2}, {"x", 2}};
    for (const auto& [value, expected] : rollOver) {
        WriteDefinition("", std::string("Key_Roll_Over=") + value + "\nDownload_Delay=260\n");
        LoadDefinition(Path);
        EXPECT_EQ(Keypad->KeyRollOver(), expected) << value;
        EXPECT_EQ(Keypad->DownloadDelay(), 4);
    }

    WriteDefinition("[KEY4]\nKeyType=130\nL1_MacroMode=1000\n");
    LoadDefinition(Path);
    Keypad->SetCurrentKey(4);
    EXPECT_EQ(Keypad->GetKeyType(), 130);
    EXPECT_EQ(Keypad->GetMacroMode(), 1000);
    SaveDefinition(Path);
    EXPECT_EQ(TIniFile(Path).ReadInteger("KEY4", "KeyType", -1), 2);
}

TEST_F(DefinitionFileTest, AnotherModelLeavesEverythingAsItWas)
{
    for (const char* model : {"Model_Number=keysmith591\n", "Model_Number=\n", "Model_Number=Keysmith590\n"}) {
        SCOPED_TRACE(model);
        BuildFullDefinition(*Keypad);
        Keypad->SetCurrentKey(6);
        Keypad->SetCurrentLevel(1);
        Keypad->SetViewAsHex(true);
        Keypad->SetModelNumber("Keysmith591");
        const TKeypadClass before = *Keypad;
        WriteDefinition("Repeat_Delay=99\nKey_Roll_Over=0\n[KEY6]\nLevel_2_Codes=1c\n", model);
        Dialogs.Messages.clear();
        Window.Log.clear();
        Dialogs.OnMessage = [&](const TMessageRequest&) { EXPECT_TRUE(SameDefinition(*Keypad, before)); };
        LoadDefinition(Path);
        Dialogs.OnMessage = nullptr;
        EXPECT_TRUE(SameDefinition(*Keypad, before));
        EXPECT_EQ(Dialogs.Texts(), std::vector<std::string>{NotOurs});
        EXPECT_EQ(Dialogs.Messages[0].Caption, "Error");
        EXPECT_TRUE(Window.Log.empty());
    }
}

TEST_F(DefinitionFileTest, MissingFileChangesNothing)
{
    ASSERT_TRUE(Append(*Keypad, {30}));
    const TKeypadClass before = *Keypad;
    LoadDefinition(Dir.File("none.ckd"));
    LoadDefinition(Dir.Path()); // a folder is no file
    EXPECT_TRUE(SameDefinition(*Keypad, before));
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_TRUE(Window.Log.empty());
}

TEST_F(DefinitionFileTest, OldMacLineEndsAndAByteOrderMarkLoadLikeAnyFile)
{
    BuildFullDefinition(*Keypad);
    Keypad->SetModelNumber("Keysmith591");
    SaveDefinition(Path);
    const TKeypadClass saved = *Keypad;
    const std::string text = ReadFileText(Path);
    std::string mac = text;
    for (char& c : mac)
        if (c == '\n') c = '\r';
    for (const std::string& variant : {mac, "\xEF\xBB\xBF" + text}) {
        WriteFileText(Path, variant);
        Keypad->Create();
        LoadDefinition(Path);
        EXPECT_TRUE(SameDefinition(*Keypad, saved));
        // A save in place keeps the file's own form.
        SaveDefinition(Path);
        EXPECT_EQ(ReadFileText(Path), variant);
    }
}

TEST_F(DefinitionFileTest, AFileRenamedAwayAndBackLoadsWholeOrChangesNothing)
{
    BuildFullDefinition(*Keypad);
    Keypad->SetModelNumber("Keysmith591");
    SaveDefinition(Path);
    const TKeypadClass full = *Keypad;
    {
        TRenamingRace race(Path);
        for (int i = 0; i < 300 && !HasFailure(); ++i) {
            LoadDefinition(Path);
            EXPECT_TRUE(SameDefinition(*Keypad, full)) << "run " << i;
        }
    }
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(DefinitionFileTest, WhatCannotBeReadWholeIsNeitherLoadedNorSavedOver)
{
    ASSERT_TRUE(Append(*Keypad, {30}));
    const TKeypadClass before = *Keypad;
    std::string huge = "[GLOBAL_PARAMETERS]\n[KEY0]\nLevel_1_Codes=1c\n";
    huge.resize((16 << 20) + 1, '\n');
    const std::string big = Dir.File("big.ckd");
    WriteFileText(big, huge);
    const std::string fifo = Dir.File("pipe.ckd");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    for (const std::string& path : {big, fifo}) {
        ASSERT_TRUE(EndsWithin(30, [&] {
            LoadDefinition(path);
            try {
                SaveDefinition(path);
                ::_exit(2);
            } catch (const EIniFileException& e) {
                if (e.Message() != "Unable to write to " + path) ::_exit(3);
            }
        })) << path;
        LoadDefinition(path);
        EXPECT_TRUE(SameDefinition(*Keypad, before)) << path;
        EXPECT_TRUE(Window.Log.empty()) << path;
    }
    EXPECT_EQ(ReadFileText(big), huge);
}

TEST_F(DefinitionFileTest, WhichSectionsAreKeys)
{
    WriteDefinition("[Notes]\nLevel_1_Codes=zz\n"
                    "[key5]\nLevel_1_Codes=16\n"
                    "[abc7]\nLevel_1_Codes=1e\n"
                    "[KEY05]\nLevel_1_Codes=26\n"
                    "[xyz5]\nLevel_1_Codes=25\n"       // key 5 again: passed over
                    "[KEY24]\nLevel_1_Codes=zz\n"
                    "[KEY-1]\nLevel_1_Codes=zz\n"
                    "[KEY]\nLevel_1_Codes=zz\n"
                    "[KEY1x]\nLevel_1_Codes=zz\n"
                    "[KEY99999999999999999999]\nLevel_1_Codes=zz\n"
                    "[global_parameters]\nLevel_1_Codes=zz\n"
                    "[KEY23]\nLevel_2_Codes=2e\n");
    LoadDefinition(Path);
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(Codes(5, 0), std::vector<int32_t>{2});
    EXPECT_EQ(Codes(7, 0), std::vector<int32_t>{3});
    EXPECT_EQ(Codes(23, 1), std::vector<int32_t>{6});
    EXPECT_EQ(Codes(0, 0), std::vector<int32_t>{});
    EXPECT_EQ(Window.Log.back(), "file " + Path); // the load ran to its end
}

TEST_F(DefinitionFileTest, SavingOverAFileKeepsWhatItDoesNotKnow)
{
    WriteFileText(Path, "; kept comment\n[Notes]\nWho=me\n[KEY3]\nComment=hello\nLevel_1_Codes=1c\n"
                        "[GLOBAL_PARAMETERS]\nVendor=x\nModel_Number=Keysmith591\n");
    LoadQuietly(Path);
    Keypad->SetCurrentKey(3);
    ASSERT_TRUE(Append(*Keypad, {48}));
    SaveDefinition(Path);

    const std::string text = ReadFileText(Path);
    EXPECT_EQ(text.rfind("; kept comment\n[Notes]\nWho=me\n[KEY3]\nComment=hello\nLevel_1_Codes=1c32\n", 0), 0u);
    EXPECT_NE(text.find("[GLOBAL_PARAMETERS]\nVendor=x\nModel_Number=Keysmith591\n"), std::string::npos);
    TIniFile ini(Path);
    EXPECT_EQ(ini.ReadString("Notes", "Who", ""), "me");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.size(), 26u);
    LoadQuietly(Path);
    EXPECT_EQ(Codes(3, 0), (std::vector<int32_t>{30, 48}));
}

TEST_F(DefinitionFileTest, RefusedSaveRaisesAndLeavesFileCaptionAndFlag)
{
    WriteFileText(Path, "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n");
    Keypad->SetCurrentKey(8);
    Keypad->SetCurrentLevel(1);
    {
        TRefusingFileSystem refuse;
        try {
            SaveDefinition(Path);
            FAIL() << "no error raised";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + Path);
        }
        Application.Title = "Keysmith";
        RunGuarded([&] { SaveDefinition(Path); });
    }
    EXPECT_EQ(ReadFileText(Path), "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n");
    EXPECT_TRUE(Window.Log.empty());
    EXPECT_EQ(Keypad->CurrentKey(), 8);
    EXPECT_EQ(Keypad->CurrentLevel(), 1);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Keysmith");
    EXPECT_EQ(Dialogs.Messages[0].Text, "Unable to write to " + Path);
    EXPECT_EQ(Dialogs.Messages[0].Icon, TMsgIcon::Stop);
}

TEST_F(DefinitionFileTest, PlainNamesLiveInTheWindowsFolder)
{
    SetWindowsDirectory(Dir.Path());
    ASSERT_TRUE(Append(*Keypad, {30}));
    SaveDefinition("untitled.ckd");
    EXPECT_TRUE(FileExists(Dir.File("untitled.ckd")));
    Keypad->Create();
    LoadDefinition("untitled.ckd");
    SetWindowsDirectory("");
    EXPECT_EQ(Codes(0, 0), std::vector<int32_t>{30});
    EXPECT_EQ(Window.Log.back(), "file untitled.ckd");
}

} // namespace
