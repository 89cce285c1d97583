#include "KeypadClass.h"

TKeypadClass* Keypad = nullptr;

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

bool IsKeyCode(int32_t c) { return c >= 0 && c < KeyTableRows; }

// The in-macro command range: the LED codes, the numbers beside them that the editor
// never makes, and the delay of zero, which only a file can bring. Each counts 2 bytes.
bool IsCommandCode(int32_t c) { return c >= CodeLedBase && c <= CodeDelayBase; }

bool IsDelay(int32_t c) { return c > CodeDelayBase && c <= CodeDelayBase + MaxDelayCount; }

// The code numbers a macro may hold; anything else is never stored.
bool IsValidCode(int32_t c)
{
    return IsKeyCode(c) || c == CodeBreak || c == CodeExt || IsCommandCode(c) || IsDelay(c);
}

// Keypad bytes of one code, as the byte string counts them.
int32_t CodeCost(int32_t c)
{
    if (IsDelay(c)) return 3;
    if (IsCommandCode(c)) return 2;
    if (c == CodeExt || c == CodeBreak) return 1;
    if (IsKeyCode(c)) return static_cast<int32_t>((KeyTable[c].HexText[0].size() + KeyTable[c].HexText[1].size()) / 2);
    return 0;
}

std::string LedText(int32_t c)
{
    switch (c) {
    case CodeLedOff: return "led_off";
    case CodeLedOn: return "led_on";
    case CodeLedFlash: return "ledflash";
    default: return "";
    }
}

int32_t CountCodes(const TMacroData& M)
{
    int32_t n = 0;
    while (n < MacroCodeSlots && M.Codes[n] != 0) ++n;
    return n;
}

int32_t CountBytes(const TMacroData& M)
{
    int32_t bytes = 0;
    for (int32_t c : M.Codes) {
        if (c == 0) break;
        bytes += CodeCost(c);
    }
    return bytes;
}

} // namespace

TKeypadClass::TKeypadClass()
{
    Create();
}

void TKeypadClass::Create()
{
    for (TKeyDataRec& key : FKeys) {
        key.KeyType = KeyTypeNormal;
        for (TMacroData& level : key.Levels) {
            level.Codes.fill(0);
            level.AutoRepeat = false;
            level.MacroMode = MacroModeAutoSense;
            level.Name.clear();
        }
    }
    FCurrentKey = 0;
    FCurrentLevel = 0;
    FRepeatDelay = 25;
    FRepeatRate = 4;
    FHostCanModifyAR = true;
    FKeyRollOver = 2;
    FLEDFunction = LedFunctionLevelIndicator;
    FCharacterPacing = 2;
    FDownloadDelay = 0;
    FViewAsHex = false;
}

void TKeypadClass::SetCurrentKey(uint8_t Key)
{
    if (Key < KeyCount) FCurrentKey = Key;
}

void TKeypadClass::SetCurrentLevel(uint8_t Level)
{
    if (Level < LevelCount) FCurrentLevel = Level;
}

uint8_t TKeypadClass::GetKeyType() const { return FKeys[FCurrentKey].KeyType; }
void TKeypadClass::SetKeyType(uint8_t Value) { FKeys[FCurrentKey].KeyType = Value; }

bool TKeypadClass::LevelTwoUsed(uint8_t Key) const
{
    return Key < KeyCount && FKeys[Key].Levels[1].Codes[0] != 0;
}

uint8_t TKeypadClass::BytesUsedOnLevel(uint8_t Level) const
{
    if (Level >= LevelCount) return 0;
    return static_cast<uint8_t>(CountBytes(FKeys[FCurrentKey].Levels[Level]));
}

int32_t TKeypadClass::CodeCount() const { return CountCodes(Macro()); }

int32_t TKeypadClass::LastCode() const
{
    const int32_t n = CodeCount();
    return n == 0 ? 0 : Macro().Codes[n - 1];
}

uint8_t TKeypadClass::ModifierState(uint8_t n) const
{
    struct TModifier {
        int32_t Down, Up;
        uint8_t Bit;
    };
    static constexpr TModifier Modifiers[] = {
        {42, 106, 0x01}, {54, 107, 0x02}, {29, 105, 0x04}, {87, 109, 0x08},
        {56, 108, 0x10}, {90, 110, 0x20}, {101, 111, 0x40}, {102, 112, 0x80},
    };
    uint8_t state = 0;
    for (int i = 0; i < n; ++i) {
        const int32_t c = Macro().Codes[i];
        for (const TModifier& m : Modifiers) {
            if (c == m.Down) state |= m.Bit;
            if (c == m.Up) state &= static_cast<uint8_t>(~m.Bit);
        }
    }
    return state;
}

int32_t TKeypadClass::BytesUsed() const { return CountBytes(Macro()); }

bool TKeypadClass::InsertCode(int32_t& Pos, int32_t Code)
{
    // A stray number would index past the key table and could never be written back.
    if (!IsValidCode(Code)) return false;

    const int32_t used = BytesUsed();
    int32_t limit = MacroByteLimit;
    if (FCurrentLevel == 1 || LevelTwoUsed(FCurrentKey)) limit = SharedLevelByteLimit;
    if (FCurrentLevel == 1 && BytesUsedOnLevel(0) >= SharedLevelByteLimit + 1) return false;
    if (used + CodeCost(Code) > limit) return false;

    TMacroData& m = Macro();
    const int32_t count = CountCodes(m);
    if (count >= MacroCodeSlots - 1) return false; // the terminator must stay inside the array
    int32_t at = Pos < 0 ? 0 : Pos;
    if (at > count) at = count;
    // The terminator inside a macro would cut it short, so 0 only ever lands on the end.
    if (Code != 0) {
        for (int32_t i = count; i > at; --i) m.Codes[i] = m.Codes[i - 1];
        m.Codes[at] = Code;
    }
    Pos = at + 1;
    return true;
}

bool TKeypadClass::DeleteCode(uint8_t Index)
{
    TMacroData& m = Macro();
    const int32_t count = CountCodes(m);
    if (Index >= count) return false;
    for (int32_t i = Index; i < count; ++i) m.Codes[i] = m.Codes[i + 1];
    m.Codes[count] = 0;
    return true;
}

bool TKeypadClass::GetAutoRepeat() const { return Macro().AutoRepeat; }
void TKeypadClass::SetAutoRepeat(bool Value) { Macro().AutoRepeat = Value; }
int32_t TKeypadClass::GetMacroMode() const { return Macro().MacroMode; }
void TKeypadClass::SetMacroMode(int32_t Value) { Macro().MacroMode = Value; }
std::string TKeypadClass::GetName() const { return Macro().Name; }

bool TKeypadClass::SetName(const std::string& Value)
{
    Macro().Name = Value;
    return true;
}

std::string TKeypadClass::CodeText(int32_t Index) const
{
    const int32_t c = (Index >= 0 && Index < MacroCodeSlots) ? Macro().Codes[Index] : 0;
    if (IsKeyCode(c)) {
        if (FViewAsHex) {
            const std::string_view hex = KeyTable[c].HexText[0];
            return hex == "00" ? std::string(" ") : std::string(hex);
        }
        return std::string(KeyTable[c].KeyName);
    }
    if (c == CodeExt) return FViewAsHex ? "E0" : "EXT";
    if (c == CodeBreak) return FViewAsHex ? "F0" : "BREAK";
    if (c >= CodeLedBase && c < CodeDelayBase) return LedText(c);
    if (c >= CodeDelayBase) return std::to_string((c - CodeDelayBase) * 4) + "ms";
    return "";
}

std::string TKeypadClass::GetCodeString() const
{
    std::string s;
    for (int32_t c : Macro().Codes) {
        if (c == 0) break;
        if (c == CodeBreak) {
            s += "f0";
        } else if (c == CodeExt) {
            s += "e0";
        } else if (IsKeyCode(c)) {
            s += KeyTable[c].HexText[0];
        } else if (c == CodeLedOff) {
            s += "e204";
        } else if (c == CodeLedOn) {
            s += "e205";
        } else if (c == CodeLedFlash) {
            s += "e206";
        } else if (IsDelay(c)) {
            // Always two digits, lowercase: "e2010a", "e2017d".
            const int32_t n = c - CodeDelayBase;
            s += "e201";
            s += HexDigits[(n >> 4) & 0xF];
            s += HexDigits[n & 0xF];
        }
        // The delay of zero and the unused command codes have no token.
    }
    return s;
}

std::string TKeypadClass::GetByteString() const
{
    std::string s;
    for (int32_t c : Macro().Codes) {
        if (c == 0) break;
        if (IsDelay(c)) {
            const int32_t n = c - CodeDelayBase;
            s += "e201";
            s += HexDigits[(n >> 4) & 0xF];
            s += HexDigits[n & 0xF];
        } else if (IsCommandCode(c)) {
            s += "e20";
            s += HexDigits[(c - CodeLedBase) & 0xF];
        } else if (c == CodeBreak) {
            s += "f0";
        } else if (c == CodeExt) {
            s += "e0";
        } else if (IsKeyCode(c)) {
            s += KeyTable[c].HexText[0];
            s += KeyTable[c].HexText[1];
        }
    }
    return s;
}
