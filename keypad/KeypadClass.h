// The in-memory definition of one keypad: 24 keys of two macro levels each, the key
// types, the global parameters, and the editor's selection and grid view. Also the code
// numbers of a macro and the key table that gives every key code its scan-code bytes and
// its on-screen name.
//
// Every per-macro operation acts on the current macro: level CurrentLevel() of key
// CurrentKey(). The model shows no messages and raises no errors: a code that does not fit
// is refused by InsertCode returning false.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Code numbers. 1 to 158 are key codes, the row of KeyTable; 0 ends a macro.
constexpr int32_t CodeBreak = 4079;      // break (key-up) prefix F0
constexpr int32_t CodeExt = 4080;        // extended-key prefix E0
constexpr int32_t CodeLedBase = 4081;    // plus the keypad's LED command 4, 5 or 6
constexpr int32_t CodeLedOff = CodeLedBase + 4;
constexpr int32_t CodeLedOn = CodeLedBase + 5;
constexpr int32_t CodeLedFlash = CodeLedBase + 6;
constexpr int32_t CodeDelayBase = 4096;  // plus n: a pause of n * 4 ms
constexpr int32_t MaxDelayCount = 159;   // the largest n a definition file can carry
constexpr int32_t MaxEditorDelayCount = 125; // the largest n the editor's delay control makes

// Macro capacity in keypad bytes.
constexpr int32_t MacroByteLimit = 220;       // level 1 while level 2 of its key is empty
constexpr int32_t SharedLevelByteLimit = 111; // each level once level 2 holds a code

constexpr uint8_t KeyTypeNormal = 0;
constexpr uint8_t KeyTypeShiftLevel = 1;
constexpr uint8_t KeyTypeToggleLevel = 2;

constexpr int32_t MacroModeAutoSense = 0;
constexpr int32_t MacroModeSeparateUpCodes = 1;
constexpr int32_t MacroModeMacro = 2;
constexpr int32_t MacroModeLiteral = 3;

constexpr uint8_t LedFunctionNotUsed = 0;
constexpr uint8_t LedFunctionCapsLock = 1;
constexpr uint8_t LedFunctionNumLock = 2;
constexpr uint8_t LedFunctionLevelIndicator = 3;
constexpr uint8_t LedFunctionHostMacro = 4; // the only function under which LED codes act

constexpr int KeyCount = 24;
constexpr int LevelCount = 2;
constexpr int MacroCodeSlots = 256;
constexpr int KeyTableRows = 159;

// One key table row. HexText[0] is what the key's event sends (lowercase hex, two digits a
// byte) and is its code-string token; HexText[1] holds further bytes that only count toward
// a macro's size.
struct TRecXlate {
    std::string_view HexText[2];
    std::string_view KeyName;
};

// Row order is part of the file format: the file reader takes the first row whose
// HexText[0] begins the text it reads.
extern const TRecXlate KeyTable[KeyTableRows];

// One level of one key.
struct TMacroData {
    std::array<int32_t, MacroCodeSlots> Codes{}; // the macro, then 0 to the end
    bool AutoRepeat = false;
    int32_t MacroMode = MacroModeAutoSense;
    std::string Name; // the editor's field limits it to 32 characters; the model does not
};

// One key.
struct TKeyDataRec {
    std::array<TMacroData, LevelCount> Levels; // index 0 is level 1
    uint8_t KeyType = KeyTypeNormal;           // any value given is stored
};

class TKeypadClass {
public:
    TKeypadClass(); // runs Create()

    // Resets every key, the selection (key 0, level 0), the seven parameters and the view;
    // ModelNumber is left as it was. Run again on the live instance it clears it in place.
    void Create();

    // Selection. Values out of range (key 24 or more, level 2 or more) are ignored.
    uint8_t CurrentKey() const { return FCurrentKey; }
    uint8_t CurrentLevel() const { return FCurrentLevel; }
    void SetCurrentKey(uint8_t Key);
    void SetCurrentLevel(uint8_t Level);

    // The current key.
    uint8_t GetKeyType() const;
    void SetKeyType(uint8_t Value);
    // Whether level 2 of the given key (any key) holds at least one code.
    bool LevelTwoUsed(uint8_t Key) const;
    // BytesUsed of the current key's given level (0 or 1; other values give 0).
    uint8_t BytesUsedOnLevel(uint8_t Level) const;

    // The current macro.
    int32_t CodeCount() const;  // codes before the terminator, 0 to 220
    int32_t LastCode() const;   // 0 for an empty macro
    // Modifier keys down after the first n codes: bit 0 LShift, 1 RShift, 2 LCtrl,
    // 3 RCtrl, 4 LAlt, 5 RAlt, 6 LWin, 7 RWin.
    uint8_t ModifierState(uint8_t n) const;
    int32_t BytesUsed() const;  // keypad bytes the macro occupies
    // Inserts Code at Pos (appended when Pos lies past the end) and leaves Pos just after
    // it; false, with nothing changed, when it does not fit the capacity rules or is no
    // valid code number.
    bool InsertCode(int32_t& Pos, int32_t Code);
    // Removes the code at Index; false when Index is at or after the end of the macro.
    bool DeleteCode(uint8_t Index);
    bool GetAutoRepeat() const;
    void SetAutoRepeat(bool Value);
    int32_t GetMacroMode() const;
    void SetMacroMode(int32_t Value);
    std::string GetName() const;
    bool SetName(const std::string& Value); // always true

    // The grid text of the code at Index (0-based; at or past the end the blank row's) in
    // the view ViewAsHex() selects.
    std::string CodeText(int32_t Index) const;
    // The macro as the definition file stores it: lowercase tokens run together.
    std::string GetCodeString() const;
    // A hex text whose length / 2 is the macro's size in keypad bytes.
    std::string GetByteString() const;

    // Parameters: stored as given, no range check.
    uint8_t RepeatDelay() const { return FRepeatDelay; }
    uint8_t RepeatRate() const { return FRepeatRate; }
    bool HostCanModifyAR() const { return FHostCanModifyAR; }
    uint8_t KeyRollOver() const { return FKeyRollOver; }
    uint8_t LEDFunction() const { return FLEDFunction; }
    uint8_t CharacterPacing() const { return FCharacterPacing; }
    const std::string& ModelNumber() const { return FModelNumber; }
    uint8_t DownloadDelay() const { return FDownloadDelay; }
    bool ViewAsHex() const { return FViewAsHex; }
    void SetRepeatDelay(uint8_t Value) { FRepeatDelay = Value; }
    void SetRepeatRate(uint8_t Value) { FRepeatRate = Value; }
    void SetHostCanModifyAR(bool Value) { FHostCanModifyAR = Value; }
    void SetKeyRollOver(uint8_t Value) { FKeyRollOver = Value; }
    void SetLEDFunction(uint8_t Value) { FLEDFunction = Value; }
    void SetCharacterPacing(uint8_t Value) { FCharacterPacing = Value; }
    void SetDownloadDelay(uint8_t Value) { FDownloadDelay = Value; }
    void SetModelNumber(const std::string& Value) { FModelNumber = Value; }
    void SetViewAsHex(bool Value) { FViewAsHex = Value; }

    // Read access to the whole definition.
    const std::array<TKeyDataRec, KeyCount>& Keys() const { return FKeys; }

private:
    TMacroData& Macro() { return FKeys[FCurrentKey].Levels[FCurrentLevel]; }
    const TMacroData& Macro() const { return FKeys[FCurrentKey].Levels[FCurrentLevel]; }

    std::array<TKeyDataRec, KeyCount> FKeys;
    uint8_t FCurrentKey = 0;
    uint8_t FCurrentLevel = 0;
    uint8_t FRepeatDelay = 25;
    uint8_t FRepeatRate = 4;
    bool FHostCanModifyAR = true;
    uint8_t FKeyRollOver = 2;
    uint8_t FLEDFunction = LedFunctionLevelIndicator;
    uint8_t FCharacterPacing = 2;
    std::string FModelNumber;
    uint8_t FDownloadDelay = 0;
    bool FViewAsHex = false;
};

// The editor's one definition. The main window creates it (and owns it) at start; the file
// routines and every other unit work on it.
extern TKeypadClass* Keypad;
