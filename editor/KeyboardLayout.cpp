#include "KeyboardLayout.h"

#include <cmath>

const std::array<int32_t, 128> CharKeyMap = [] {
    std::array<int32_t, 128> m{};
    m[9] = 15;
    m[13] = 28;
    m[27] = 1;
    m[32] = 57;
    const int32_t punct[] = {2, 40, 4, 5, 6, 8, 40, 10, 11, 9, 13, 51, 12, 52, 53}; // 33..47
    for (int i = 0; i < 15; ++i) m[33 + i] = punct[i];
    const int32_t digits[] = {11, 2, 3, 4, 5, 6, 7, 8, 9, 10}; // '0'..'9'
    for (int i = 0; i < 10; ++i) m[48 + i] = digits[i];
    const int32_t colon[] = {39, 39, 51, 13, 52, 53, 3}; // 58..64
    for (int i = 0; i < 7; ++i) m[58 + i] = colon[i];
    const int32_t letters[] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                               49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
    for (int i = 0; i < 26; ++i) {
        m[65 + i] = letters[i];
        m[97 + i] = letters[i];
    }
    const int32_t brackets[] = {26, 43, 27, 7, 12, 41}; // 91..96
    for (int i = 0; i < 6; ++i) m[91 + i] = brackets[i];
    const int32_t braces[] = {26, 43, 27, 41}; // 123..126
    for (int i = 0; i < 4; ++i) m[123 + i] = braces[i];
    return m;
}();

bool TypingReachesRow(int32_t Row)
{
    for (int32_t r : CharKeyMap)
        if (r != 0 && r == Row) return true;
    return false;
}

using B = TKeyBlock;
const std::array<TKeyPlace, OnScreenKeyCount> OnScreenKeys = {{
    // line 1
    {"spdBtnF13Plus", 134, 1, B::Main, 0, 1, 1, "F13\n+"},
    {"spdBtnF14Plus", 135, 1, B::Main, 1, 1, 1, "F14\n+"},
    {"spdBtnF15Plus", 136, 1, B::Main, 2, 1, 1, "F15\n+"},
    {"spdBtnF16", 137, 1, B::Main, 3, 1, 1, "F16"},
    {"spdBtnF17", 138, 1, B::Main, 4, 1, 1, "F17"},
    {"spdBtnF18", 139, 1, B::Main, 5, 1, 1, "F18"},
    {"spdBtnF19", 140, 1, B::Main, 6, 1, 1, "F19"},
    {"spdBtnF20", 141, 1, B::Main, 7, 1, 1, "F20"},
    {"spdBtnF21", 142, 1, B::Main, 8, 1, 1, "F21"},
    {"spdBtnF22", 143, 1, B::Main, 9, 1, 1, "F22"},
    {"spdBtnF23", 144, 1, B::Main, 10, 1, 1, "F23"},
    {"spdBtnF24", 145, 1, B::Main, 11, 1, 1, "F24"},
    {"spdBtnPower", 146, 1, B::Main, 12.5, 2.5, 1, ""},
    // line 2
    {"spdBtnEsc", 1, 2, B::Main, 0, 1, 1, "Esc"},
    {"spdBtnF1", 59, 2, B::Main, 2, 1, 1, "F1"},
    {"spdBtnF2", 60, 2, B::Main, 3, 1, 1, "F2"},
    {"spdBtnF3", 61, 2, B::Main, 4, 1, 1, "F3"},
    {"spdBtnF4", 62, 2, B::Main, 5, 1, 1, "F4"},
    {"spdBtnF5", 63, 2, B::Main, 6.5, 1, 1, "F5"},
    {"spdBtnF6", 64, 2, B::Main, 7.5, 1, 1, "F6"},
    {"spdBtnF7", 65, 2, B::Main, 8.5, 1, 1, "F7"},
    {"spdBtnF8", 66, 2, B::Main, 9.5, 1, 1, "F8"},
    {"spdBtnF9", 67, 2, B::Main, 11, 1, 1, "F9"},
    {"spdBtnF10", 68, 2, B::Main, 12, 1, 1, "F10"},
    {"spdBtnF11", 84, 2, B::Main, 13, 1, 1, "F11"},
    {"spdBtnF12", 85, 2, B::Main, 14, 1, 1, "F12"},
    {"spdBtnPrintScr", 89, 2, B::Cursor, 0, 1, 1, "Prt\nSc"},
    {"spdBtnScrlLck", 70, 2, B::Cursor, 1, 1, 1, "Scr\nLk"},
    {"spdBtnPause", 104, 2, B::Cursor, 2, 1, 1, "Brk"},
    {"SpeedButton105", DelayKeyTag, 1.5, B::Numeric, 0.2, 1, 1, "Dly"},
    // line 3
    {"spdBtnGrave", 41, 3, B::Main, 0, 1, 1, "`"},
    {"spdBtn1", 2, 3, B::Main, 1, 1, 1, "1"},
    {"spdBtn2", 3, 3, B::Main, 2, 1, 1, "2"},
    {"spdBtn3", 4, 3, B::Main, 3, 1, 1, "3"},
    {"spdBtn4", 5, 3, B::Main, 4, 1, 1, "4"},
    {"spdBtn5", 6, 3, B::Main, 5, 1, 1, "5"},
    {"spdBtn6", 7, 3, B::Main, 6, 1, 1, "6"},
    {"spdBtn7", 8, 3, B::Main, 7, 1, 1, "7"},
    {"spdBtn8", 9, 3, B::Main, 8, 1, 1, "8"},
    {"spdBtn9", 10, 3, B::Main, 9, 1, 1, "9"},
    {"spdBtn0", 11, 3, B::Main, 10, 1, 1, "0"},
    {"spdBtnMinus", 12, 3, B::Main, 11, 1, 1, "-"},
    {"spdBtnEquals", 13, 3, B::Main, 12, 1, 1, "="},
    {"spdBtnBSpace", 14, 3, B::Main, 13, 2, 1, "BSpace"},
    {"spdBtnIns", 99, 3, B::Cursor, 0, 1, 1, "Ins"},
    {"spdBtnHome", 91, 3, B::Cursor, 1, 1, 1, "Hm"},
    {"spdBtnPgUp", 93, 3, B::Cursor, 2, 1, 1, "Pg\nUp"},
    {"spdBtnNumLck", 69, 3, B::Numeric, 0, 1, 1, "Nm\nLk"},
    {"spdBtnKpSlash", 88, 3, B::Numeric, 1, 1, 1, "/"},
    {"spdBtnKpStar", 55, 3, B::Numeric, 2, 1, 1, "*"},
    {"spdBtnKpMinus", 74, 3, B::Numeric, 3, 1, 1, "-"},
    // line 4
    {"spdBtnTab", 15, 4, B::Main, 0, 1.5, 1, "Tab"},
    {"spdBtnQ", 16, 4, B::Main, 1.5, 1, 1, "Q"},
    {"spdBtnW", 17, 4, B::Main, 2.5, 1, 1, "W"},
    {"spdBtnE", 18, 4, B::Main, 3.5, 1, 1, "E"},
    {"spdBtnR", 19, 4, B::Main, 4.5, 1, 1, "R"},
    {"spdBtnT", 20, 4, B::Main, 5.5, 1, 1, "T"},
    {"spdBtnY", 21, 4, B::Main, 6.5, 1, 1, "Y"},
    {"spdBtnU", 22, 4, B::Main, 7.5, 1, 1, "U"},
    {"spdBtnI", 23, 4, B::Main, 8.5, 1, 1, "I"},
    {"spdBtnO", 24, 4, B::Main, 9.5, 1, 1, "O"},
    {"spdBtnP", 25, 4, B::Main, 10.5, 1, 1, "P"},
    {"spdBtnLBracket", 26, 4, B::Main, 11.5, 1, 1, "["},
    {"spdBtnRBracket", 27, 4, B::Main, 12.5, 1, 1, "]"},
    {"spdBtnBackslash", 43, 4, B::Main, 13.5, 1.5, 1, "\\"},
    {"spdBtnDel", 100, 4, B::Cursor, 0, 1, 1, "Del"},
    {"spdBtnEnd", 96, 4, B::Cursor, 1, 1, 1, "End"},
    {"spdBtnPgDn", 98, 4, B::Cursor, 2, 1, 1, "Pg\nDn"},
    {"spdBtnKp7", 71, 4, B::Numeric, 0, 1, 1, "7"},
    {"spdBtnKp8", 72, 4, B::Numeric, 1, 1, 1, "8"},
    {"spdBtnKp9", 73, 4, B::Numeric, 2, 1, 1, "9"},
    {"spdBtnKpPlus", 78, 4, B::Numeric, 3, 1, 2, "+"},
    // line 5
    {"spdBtnCapsLck", 58, 5, B::Main, 0, 1.75, 1, "Caps"},
    {"spdBtnA", 30, 5, B::Main, 1.75, 1, 1, "A"},
    {"spdBtnS", 31, 5, B::Main, 2.75, 1, 1, "S"},
    {"spdBtnD", 32, 5, B::Main, 3.75, 1, 1, "D"},
    {"spdBtnF", 33, 5, B::Main, 4.75, 1, 1, "F"},
    {"spdBtnG", 34, 5, B::Main, 5.75, 1, 1, "G"},
    {"spdBtnH", 35, 5, B::Main, 6.75, 1, 1, "H"},
    {"spdBtnJ", 36, 5, B::Main, 7.75, 1, 1, "J"},
    {"spdBtnK", 37, 5, B::Main, 8.75, 1, 1, "K"},
    {"spdBtnL", 38, 5, B::Main, 9.75, 1, 1, "L"},
    {"spdBtnSemicolon", 39, 5, B::Main, 10.75, 1, 1, ";"},
    {"spdBtnApostrophe", 40, 5, B::Main, 11.75, 1, 1, "'"},
    {"spdBtnEnter", 28, 5, B::Main, 12.75, 2.25, 1, "Enter"},
    {"spdBtnKp4", 75, 5, B::Numeric, 0, 1, 1, "4"},
    {"spdBtnKp5", 76, 5, B::Numeric, 1, 1, 1, "5"},
    {"spdBtnKp6", 77, 5, B::Numeric, 2, 1, 1, "6"},
    // line 6
    {"spdBtnZ", 44, 6, B::Main, 2.25, 1, 1, "Z"},
    {"spdBtnX", 45, 6, B::Main, 3.25, 1, 1, "X"},
    {"spdBtnC", 46, 6, B::Main, 4.25, 1, 1, "C"},
    {"spdBtnV", 47, 6, B::Main, 5.25, 1, 1, "V"},
    {"spdBtnB", 48, 6, B::Main, 6.25, 1, 1, "B"},
    {"spdBtnN", 49, 6, B::Main, 7.25, 1, 1, "N"},
    {"spdBtnM", 50, 6, B::Main, 8.25, 1, 1, "M"},
    {"spdBtnComma", 51, 6, B::Main, 9.25, 1, 1, ","},
    {"spdBtnPeriod", 52, 6, B::Main, 10.25, 1, 1, "."},
    {"spdBtnSlash", 53, 6, B::Main, 11.25, 1, 1, "/"},
    {"spdBtnUp", 92, 6, B::Cursor, 1, 1, 1, "Up"},
    {"spdBtnKp1", 79, 6, B::Numeric, 0, 1, 1, "1"},
    {"spdBtnKp2", 80, 6, B::Numeric, 1, 1, 1, "2"},
    {"spdBtnKp3", 81, 6, B::Numeric, 2, 1, 1, "3"},
    {"spdBtnKpEnter", 86, 6, B::Numeric, 3, 1, 2, "Ent"},
    // line 7
    {"spdBtnSpace", 57, 7, B::Main, 4, 5.5, 1, "Space"},
    {"sbtnApp", 103, 7, B::Main, 12, 1.25, 1, "App"},
    {"spdBtnLeft", 94, 7, B::Cursor, 0, 1, 1, "Left"},
    {"spdBtnDown", 97, 7, B::Cursor, 1, 1, 1, "Dn"},
    {"spdBtnRight", 95, 7, B::Cursor, 2, 1, 1, "Rt"},
    {"spdBtnKp0", 82, 7, B::Numeric, 0, 2, 1, "0"},
    {"spdBtnKpPeriod", 83, 7, B::Numeric, 2, 1, 1, "."},
}};

const std::array<TTogglePlace, ModifierToggleCount> ModifierToggles = {{
    {"sbtnLShift", 42, 106, 0, 6, 0, 2.25, "Shift"},
    {"sbtnRShift", 54, 107, 1, 6, 12.25, 2.75, "Shift"},
    {"sbtnLCtrl", 29, 105, 2, 7, 0, 1.5, "Ctrl"},
    {"sbtnRCtrl", 87, 109, 3, 7, 13.25, 1.75, "Ctrl"},
    {"sbtnLAlt", 56, 108, 4, 7, 2.75, 1.25, "Alt"},
    {"sbtnRAlt", 90, 110, 5, 7, 9.5, 1.25, "Alt"},
    {"sbtnLWin", 101, 111, 6, 7, 1.5, 1.25, "Win"},
    {"sbtnRWin", 102, 112, 7, 7, 10.75, 1.25, "Win"},
}};

int32_t UpRowOf(int32_t DownRow)
{
    for (const TTogglePlace& t : ModifierToggles)
        if (t.Tag == DownRow) return t.UpRow;
    return 0;
}

TPixelRect KeyRect(TKeyBlock Block, double Line, double X, double W, double H)
{
    const int left = Block == TKeyBlock::Main ? MainBlockLeft : Block == TKeyBlock::Cursor ? CursorBlockLeft : NumericBlockLeft;
    const int x = left + static_cast<int>(std::lround(X * KeyUnit));
    const int y = KeyboardTop + static_cast<int>(std::lround((Line - 1) * LinePitch));
    return {x, y, static_cast<int>(std::lround(W * KeyUnit)) - 1, static_cast<int>(std::lround(H * LinePitch)) - 2};
}
