#include "DefinitionReader.h"

#include "Files.h"
#include "IniFiles.h"
#include "SysUtils.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace loader {

TDownloadHeader DownloadHeader = DownloadHeaderTemplate;
TDownloadKeyRecord KeyRecords[KeyCount];
int32_t DownloadDelay = 0;
int32_t ProgressTotal = 250;

namespace {

struct TModifierSequence {
    const char* Codes;
    Byte Bytes[2];
    int Count; // bytes stored
};

// Searched in this order. A modifier pressed and released alone travels as its make code,
// which the keypad sends with separate up codes.
constexpr TModifierSequence ModifierSequences[12] = {
    {"12f012", {0x12}, 1},           {"14f014", {0x14}, 1},           {"e01fe0f01f", {0xE0, 0x1F}, 2},
    {"11f011", {0x11}, 1},           {"e011e0f011", {0xE0, 0x11}, 2}, {"e027e0f027", {0xE0, 0x27}, 2},
    {"e014e0f014", {0xE0, 0x14}, 2}, {"59f059", {0x59}, 1},           {"e011", {0xE0, 0x11}, 2},
    {"e014", {0xE0, 0x14}, 2},       {"e01f", {0xE0, 0x1F}, 2},       {"e027", {0xE0, 0x27}, 2},
};

// A definition is a few kilobytes; a larger file is no definition and is not held in memory.
constexpr size_t MaxDefinitionFileSize = 16 * 1024 * 1024;

// No level can use more characters than this; a zero byte ends the string as it always did.
constexpr size_t ExaminedCharacters = 1023;

std::string WorkingCopy(const std::string& S)
{
    std::string w = S.substr(0, ExaminedCharacters);
    return w.substr(0, std::strlen(w.c_str()));
}

Byte ModeFlags(int32_t Mode)
{
    switch (Mode) {
    case 1: return lfSeparateUpCodes;
    case 3: return lfLiteral;
    default: return 0x00;
    }
}

void ParseCodes(Byte* Area, Byte& Count, int Capacity, const std::string& S)
{
    for (int n = 0; n < Capacity; ++n) {
        if (size_t(2 * n + 1) >= S.size()) {
            if (n > 0) Count = static_cast<Byte>(n + 1);
            return;
        }
        Byte b = HexPairToCode(S[2 * n], S[2 * n + 1]);
        if (b == 0x00) return;
        Area[n] = b;
        ++ProgressTotal;
    }
}

int Digit(char X)
{
    int x = static_cast<signed char>(X);
    return x > '9' ? x - 0x57 : x - 0x30;
}

// A level's codes, converted as its macro mode asks; afterwards a single stored code byte
// marks the level for separate up codes.
void ConvertLevel(int Level, TDownloadKeyRecord& R, int32_t Mode, const std::string& Codes, bool Level2Empty)
{
    Byte& flags = Level == 1 ? R.Level1Flags : R.Level2Flags;
    const Byte* area = Level == 1 ? R.Level1Codes : R.Level2Codes;
    if (Codes.empty()) return;
    flags |= lfHasCodes;
    if (Mode != 0 || !MatchModifierSequence(Level, R, Codes)) {
        if (Level == 1)
            ParseLevel1Codes(R, Codes, Level2Empty);
        else
            ParseLevel2Codes(R, Codes);
    }
    if (area[0] != 0x00 && area[1] == 0x00) flags |= lfSeparateUpCodes;
}

void AddLevel(std::vector<Byte>& Out, Byte Count, const Byte* Area)
{
    Out.push_back(Count);
    Out.insert(Out.end(), Area, Area + Count);
}

} // namespace

Byte HexPairToCode(char Hi, char Lo)
{
    Byte v = static_cast<Byte>(Digit(Hi) * 16 + Digit(Lo));
    if (v == 0xF0) v = StreamBreakCode;
    if (v > HighestCodeByte) v = 0x00;
    return v;
}

bool MatchModifierSequence(int Level, TDownloadKeyRecord& R, const std::string& Codes)
{
    for (const TModifierSequence& row : ModifierSequences) {
        if (Codes != row.Codes) continue;
        Byte* area = Level == 1 ? R.Level1Codes : R.Level2Codes;
        std::memcpy(area, row.Bytes, row.Count);
        Byte count = static_cast<Byte>(row.Count + 1);
        (Level == 1 ? R.Level1Flags : R.Level2Flags) |= lfSeparateUpCodes;
        (Level == 1 ? R.Level1Count : R.Level2Count) = count;
        ProgressTotal += count;
        return true;
    }
    return false;
}

void ParseLevel1Codes(TDownloadKeyRecord& R, const std::string& Codes, bool Level2Empty)
{
    ParseCodes(R.Level1Codes, R.Level1Count, Level2Empty ? Level1AreaSize : Level2AreaSize, Codes);
}

void ParseLevel2Codes(TDownloadKeyRecord& R, const std::string& Codes)
{
    ParseCodes(R.Level2Codes, R.Level2Count, Level2AreaSize, Codes);
}

namespace {

void Convert(const TIniFile& ini)
{
    const std::string g = "GLOBAL_PARAMETERS";
    DownloadHeader = DownloadHeaderTemplate;
    DownloadHeader[HeaderCharacterPacing] = static_cast<Byte>(ini.ReadInteger(g, "Character_Pacing", 4));
    DownloadHeader[HeaderKeyRollOver] = static_cast<Byte>(ini.ReadInteger(g, "Key_Roll_Over", 2));
    DownloadHeader[HeaderLEDFunction] = static_cast<Byte>(ini.ReadInteger(g, "LED_Function", 1));
    DownloadDelay = ini.ReadInteger(g, "Download_Delay", 0);
    if (DownloadHeader[HeaderKeyRollOver] > 2) DownloadHeader[HeaderKeyRollOver] = 2;

    ProgressTotal = 250;
    for (int i = 0; i < KeyCount; ++i) {
        TDownloadKeyRecord& r = KeyRecords[i];
        std::memset(&r, 0, sizeof r);
        r.CommandIntroducer = CommandIntroducer;
        r.kcKeyRecord = kcKeyRecord;
        r.KeyIndex = r.KeyIndex2 = static_cast<Byte>(i);
    }
    for (int i = 0; i < KeyCount; ++i) {
        TDownloadKeyRecord& r = KeyRecords[i];
        const std::string s = "KEY" + IntToStr(i);
        const int32_t mode1 = ini.ReadInteger(s, "L1_MacroMode", 0);
        const int32_t mode2 = ini.ReadInteger(s, "L2_MacroMode", 0);
        r.Level1Flags = ModeFlags(mode1);
        r.Level2Flags = ModeFlags(mode2);
        if (ini.ReadInteger(s, "L1_AutoRepeat", 0) != 0) r.Level1Flags |= lfAutoRepeat;
        if (ini.ReadInteger(s, "L2_AutoRepeat", 0) != 0) r.Level2Flags |= lfAutoRepeat;
        const int32_t keyType = ini.ReadInteger(s, "KeyType", 0);
        const int slot = keyType == 2 ? HeaderToggleKeys : keyType == 1 ? HeaderShiftKeys : -1;
        if (slot >= 0) {
            if (DownloadHeader[slot] == NoSpecialKey)
                DownloadHeader[slot] = static_cast<Byte>(i);
            else if (DownloadHeader[slot + 1] == NoSpecialKey)
                DownloadHeader[slot + 1] = static_cast<Byte>(i);
        }
        const std::string level2 = WorkingCopy(ini.ReadString(s, "Level_2_Codes", ""));
        const std::string level1 = WorkingCopy(ini.ReadString(s, "Level_1_Codes", ""));
        ConvertLevel(1, r, mode1, level1, level2.empty());
        ConvertLevel(2, r, mode2, level2, true);
    }
}

} // namespace

int32_t ReadKeypadFile(const std::string& Path)
{
    // Anything but a definition read whole at this moment would download as an empty one and
    // erase the keypad: a file gone between a look and a read, unreadable, too large for a
    // definition, or without a single section (a program, random bytes, an empty file).
    const TIniFile ini(Path, MaxDefinitionFileSize);
    if (ini.ReadResult() != TFileSystem::TReadResult::Read || !ini.HasSections()) return 1;
    const TDownloadHeader header = DownloadHeader;
    const int32_t delay = DownloadDelay, total = ProgressTotal;
    TDownloadKeyRecord records[KeyCount];
    std::copy(std::begin(KeyRecords), std::end(KeyRecords), records);
    try {
        Convert(ini);
    } catch (const std::bad_alloc&) {
        DownloadHeader = header;
        DownloadDelay = delay;
        ProgressTotal = total;
        std::copy(std::begin(records), std::end(records), KeyRecords);
        return 1;
    }
    return 0;
}

std::vector<Byte> DownloadStream()
{
    std::vector<Byte> out(DownloadHeader.begin(), DownloadHeader.end());
    for (const TDownloadKeyRecord& r : KeyRecords) {
        out.insert(out.end(), {r.CommandIntroducer, r.kcKeyRecord, r.KeyIndex, r.Level2Flags, r.Level1Flags, r.KeyIndex2});
        AddLevel(out, r.Level1Count, r.Level1Codes);
        AddLevel(out, r.Level2Count, r.Level2Codes);
    }
    out.push_back(DownloadEnd);
    return out;
}

} // namespace loader
