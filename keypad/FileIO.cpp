#include "FileIO.h"

#include "Dialogs.h"
#include "Files.h"
#include "IniFiles.h"
#include "KeypadClass.h"
#include "SysUtils.h"

#include <array>
#include <string_view>
#include <vector>

namespace {

TMainWindowOps* MainWindow = nullptr;

const std::string GlobalSection = "GLOBAL_PARAMETERS";
const std::string ModelName = "Keysmith591";
const char* const UnrecognizedValueText = "Error reading definition file.  There was an unrecognized value.";
const char* const WrongModelText = "Not a Keysmith591 file!";
// A definition is a few kilobytes; a larger file is no definition and is not held in memory.
constexpr size_t MaxDefinitionFileSize = 16 * 1024 * 1024;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1; // upper case is no token text
}

// Key table rows by the first byte of their text, each list in row order. Every row's
// text is at least one byte, so the first row that begins a text is the first row of its
// list that does: the same answer as a walk over all rows, without the walk.
const std::array<std::vector<uint8_t>, 256>& RowsByFirstByte()
{
    static const auto index = [] {
        std::array<std::vector<uint8_t>, 256> rows;
        for (int r = 0; r < KeyTableRows; ++r) {
            const std::string_view t = KeyTable[r].HexText[0];
            rows[HexValue(t[0]) * 16 + HexValue(t[1])].push_back(static_cast<uint8_t>(r));
        }
        return rows;
    }();
    return index;
}

// The first key table row whose text begins Text, or -1.
int MatchKeyRow(std::string_view Text)
{
    if (Text.size() < 2) return -1;
    const int hi = HexValue(Text[0]), lo = HexValue(Text[1]);
    if (hi < 0 || lo < 0) return -1;
    for (uint8_t r : RowsByFirstByte()[hi * 16 + lo])
        if (Text.starts_with(KeyTable[r].HexText[0])) return r;
    return -1;
}

// A key section is one whose name, from its fourth character on, is a decimal number from
// 0 to 23; the first three characters are not examined. -1 for any other name.
int KeyIndexOfSection(const std::string& Name)
{
    if (Name.size() < 4) return -1;
    int value = 0;
    for (size_t i = 3; i < Name.size(); ++i) {
        const char c = Name[i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value >= KeyCount) return -1;
    }
    return value;
}

std::string LevelKey(int Level, const char* Pattern)
{
    // Pattern holds one '#' for the level's number, 1 or 2.
    std::string s = Pattern;
    s[s.find('#')] = static_cast<char>('1' + Level);
    return s;
}

// Clears the definition and reads the file into it; false, with the model half read, for a
// file of another model.
bool ReadDefinition(const TIniFile& ini)
{
    Keypad->Create();
    auto byte = [](int32_t Value) { return static_cast<uint8_t>(Value & 0xFF); };
    Keypad->SetRepeatDelay(byte(ini.ReadInteger(GlobalSection, "Repeat_Delay", 4)));
    Keypad->SetRepeatRate(byte(ini.ReadInteger(GlobalSection, "Repeat_Rate", 25)));
    Keypad->SetHostCanModifyAR(ini.ReadBool(GlobalSection, "Host_Can_Modify_AR", true));
    Keypad->SetKeyRollOver(byte(ini.ReadInteger(GlobalSection, "Key_Roll_Over", 2)));
    Keypad->SetLEDFunction(byte(ini.ReadInteger(GlobalSection, "LED_Function", 1)));
    Keypad->SetCharacterPacing(byte(ini.ReadInteger(GlobalSection, "Character_Pacing", 2)));
    Keypad->SetDownloadDelay(byte(ini.ReadInteger(GlobalSection, "Download_Delay", 0)));
    Keypad->SetModelNumber(ini.ReadString(GlobalSection, "Model_Number", ModelName));
    if (Keypad->KeyRollOver() > 3) Keypad->SetKeyRollOver(3);
    if (Keypad->KeyRollOver() == 0) Keypad->SetKeyRollOver(1);
    if (Keypad->ModelNumber() != ModelName) return false;

    std::vector<std::string> sections;
    ini.ReadSections(sections);
    std::array<bool, KeyCount> read{};
    for (const std::string& section : sections) {
        const int k = KeyIndexOfSection(section);
        // A later section naming the same key would mix a second macro into the first.
        if (k < 0 || read[k]) continue;
        read[k] = true;
        Keypad->SetCurrentKey(static_cast<uint8_t>(k));
        Keypad->SetKeyType(byte(ini.ReadInteger(section, "KeyType", 0)));
        // Level 1 first: it may then fill the whole key while level 2 is still empty.
        for (int l = 0; l < LevelCount; ++l) {
            Keypad->SetCurrentLevel(static_cast<uint8_t>(l));
            Keypad->SetAutoRepeat(ini.ReadBool(section, LevelKey(l, "L#_AutoRepeat"), false));
            Keypad->SetMacroMode(ini.ReadInteger(section, LevelKey(l, "L#_MacroMode"), 0));
            ParseCodeString(ini.ReadString(section, LevelKey(l, "LEVEL_#_CODES"), ""));
            Keypad->SetName(ini.ReadString(section, LevelKey(l, "Level_#_Name"), ""));
        }
    }
    return true;
}

// Every key's section. The window goes on showing the selected macro, also when this fails
// part way (out of memory): the selection it edits is back then too.
void WriteKeys(TIniFile& ini)
{
    struct TSelectionKept {
        uint8_t Key = Keypad->CurrentKey(), Level = Keypad->CurrentLevel();
        ~TSelectionKept()
        {
            Keypad->SetCurrentKey(Key);
            Keypad->SetCurrentLevel(Level);
        }
    } kept;
    for (int k = 0; k < KeyCount; ++k) {
        Keypad->SetCurrentKey(static_cast<uint8_t>(k));
        const std::string section = "KEY" + std::to_string(k);
        ini.WriteInteger(section, "KeyType", Keypad->GetKeyType() & 0x7F);
        for (int l = 0; l < LevelCount; ++l) {
            Keypad->SetCurrentLevel(static_cast<uint8_t>(l));
            ini.WriteString(section, LevelKey(l, "Level_#_Name"), Keypad->GetName());
            ini.WriteInteger(section, LevelKey(l, "L#_MacroMode"), Keypad->GetMacroMode());
            ini.WriteBool(section, LevelKey(l, "L#_AutoRepeat"), Keypad->GetAutoRepeat());
            ini.WriteString(section, LevelKey(l, "Level_#_Codes"), Keypad->GetCodeString());
        }
    }
}

} // namespace

void SetMainWindowOps(TMainWindowOps* Ops)
{
    MainWindow = Ops;
}

void ParseCodeString(const std::string& Text)
{
    if (!Keypad) return;
    std::string text;
    text.reserve(Text.size());
    for (char c : Text)
        if (c != ' ') text += c;

    int32_t pos = 0;
    // A refused code is dropped; the position stays and the next token is tried.
    auto insert = [&pos](int32_t Code) { (void)Keypad->InsertCode(pos, Code); };

    std::string_view rest = text;
    while (!rest.empty()) {
        if (rest.starts_with("e204") || rest.starts_with("e205") || rest.starts_with("e206")) {
            insert(CodeLedBase + (rest[3] - '0'));
            rest.remove_prefix(4);
            continue;
        }
        if (rest.starts_with("e201")) {
            // Two digits, high first: a decimal high digit and a lowercase hex low digit.
            // Anything else, or the end of the text, is as unreadable as any other text.
            const int hi = rest.size() >= 6 ? HexValue(rest[4]) : -1;
            const int lo = rest.size() >= 6 ? HexValue(rest[5]) : -1;
            if (hi < 0 || hi > 9 || lo < 0) break;
            insert(CodeDelayBase + hi * 16 + lo);
            rest.remove_prefix(6);
            continue;
        }
        if (const int row = MatchKeyRow(rest); row >= 0) {
            insert(row);
            rest.remove_prefix(KeyTable[row].HexText[0].size());
            continue;
        }
        if (rest.starts_with("f0") || rest.starts_with("e0")) {
            insert(rest[0] == 'f' ? CodeBreak : CodeExt);
            rest.remove_prefix(2);
            continue;
        }
        break;
    }
    if (!rest.empty()) MessageDlg(UnrecognizedValueText, TMsgDlgType::mtError);
}

void SaveDefinition(const std::string& Path)
{
    if (!Keypad) return;
    TIniFile ini(Path, MaxDefinitionFileSize);
    ini.WriteString(GlobalSection, "Model_Number", ModelName);
    ini.WriteInteger(GlobalSection, "Repeat_Delay", Keypad->RepeatDelay());
    ini.WriteInteger(GlobalSection, "Repeat_Rate", Keypad->RepeatRate());
    ini.WriteBool(GlobalSection, "Host_Can_Modify_AR", Keypad->HostCanModifyAR());
    ini.WriteInteger(GlobalSection, "Key_Roll_Over", Keypad->KeyRollOver());
    ini.WriteInteger(GlobalSection, "LED_Function", Keypad->LEDFunction());
    ini.WriteInteger(GlobalSection, "Character_Pacing", Keypad->CharacterPacing());
    ini.WriteInteger(GlobalSection, "Download_Delay", Keypad->DownloadDelay());

    WriteKeys(ini);

    // Throws when the file cannot be written; the definition then still counts as unsaved.
    ini.UpdateFile();

    if (MainWindow) {
        MainWindow->SetCaption("Keysmith591 - " + ExtractFileName(Path));
        MainWindow->SetModified(false);
    }
}

void LoadDefinition(const std::string& Path)
{
    if (!Keypad) return;
    // The one read decides: a file that is gone, or cannot be read whole, at that moment
    // changes nothing, as a missing file does.
    const TIniFile ini(Path, MaxDefinitionFileSize);
    if (ini.ReadResult() != TFileSystem::TReadResult::Read) return;

    // A file of another model, or a load that cannot finish, must leave the definition as
    // the window shows it.
    const TKeypadClass before = *Keypad;
    try {
        if (!ReadDefinition(ini)) {
            *Keypad = before;
            MessageDlg(WrongModelText, TMsgDlgType::mtError);
            return;
        }
    } catch (...) {
        *Keypad = before;
        throw;
    }

    if (MainWindow) {
        MainWindow->SetCaption("Keysmith591 - " + ExtractFileName(Path));
        for (int i = 0; i < MainWindow->KeypadButtonCount(); ++i) {
            const int tag = MainWindow->KeypadButtonTag(i);
            if (tag >= 0 && tag < KeyCount) Keypad->SetCurrentKey(static_cast<uint8_t>(tag));
            MainWindow->UpdateKeyGlyph(i);
        }
        MainWindow->SetLevelTab(0);
        MainWindow->PressSpeedButton1();
    }
    Keypad->SetCurrentKey(0);
    Keypad->SetCurrentLevel(0);
    if (MainWindow) {
        MainWindow->RefreshGrid(Keypad->CodeCount());
        MainWindow->SetModified(false);
        MainWindow->SetSaveDialogFileName(Path);
    }
}
