// The on-screen PC keyboard of the main window: which key table row each key inserts, its
// key-cap legend and where it stands, and the US-layout map from typed characters to rows.
#pragma once
#include <array>
#include <cstdint>

// Key-table row of the US-layout key that produces each character 0..127, shifted or not;
// 0 for none. Upper- and lower-case letters share a row: the case comes from Shift codes.
extern const std::array<int32_t, 128> CharKeyMap;
// Whether typing reaches the row through CharKeyMap (such keys are drawn green).
bool TypingReachesRow(int32_t Row);

// The delay key's Tag: row 111 is reached only through the LWin toggle, so the number is
// free to mean "a delay of the slider's length".
constexpr int DelayKeyTag = 111;

// Where a key stands. The keyboard is three blocks side by side (main, cursor, numeric);
// X and W count key widths inside the block, Line 1 is the top line, H counts lines.
enum class TKeyBlock { Main, Cursor, Numeric };
struct TKeyPlace {
    const char* Name;    // the button's component name
    int Tag;             // key table row it inserts (DelayKeyTag for the delay key)
    double Line;
    TKeyBlock Block;
    double X;
    double W;
    double H;
    // Drawn on the key cap in one or, split at "\n", two lines: a name too long for its cap
    // at the legends' size is broken or shortened.
    const char* Legend;
};

constexpr int OnScreenKeyCount = 110;
extern const std::array<TKeyPlace, OnScreenKeyCount> OnScreenKeys;

// The cap of btnInsertMediaKey, which opens the insert menu.
constexpr const char* MediaKeyLegend = "Media...";

// The eight modifier toggles: Tag is the down row, UpRow the row a release inserts, Bit the
// toggle's bit of the model's modifier state.
struct TTogglePlace {
    const char* Name;
    int Tag;
    int UpRow;
    int Bit;
    double Line;
    double X;
    double W;
    const char* Legend;
};
constexpr int ModifierToggleCount = 8;
extern const std::array<TTogglePlace, ModifierToggleCount> ModifierToggles;
// The up row that matches a down row (29 -> 105, ... 102 -> 112); 0 for any other row.
int32_t UpRowOf(int32_t DownRow);

// Pixel geometry of the keyboard inside the window.
constexpr int KeyUnit = 25;      // one key width, gap included
constexpr int LinePitch = 26;
constexpr int KeyboardTop = 288; // top of line 1
constexpr int MainBlockLeft = 12;
constexpr int CursorBlockLeft = MainBlockLeft + 15 * KeyUnit + 8;
constexpr int NumericBlockLeft = CursorBlockLeft + 3 * KeyUnit + 8;
struct TPixelRect {
    int Left, Top, Width, Height;
};
TPixelRect KeyRect(TKeyBlock Block, double Line, double X, double W, double H);
