#include "KeypadClass.h"
#include "KeypadTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t Delay(int32_t n) { return CodeDelayBase + n; }
constexpr int32_t LShiftD = 42, LShiftU = 106, KeyA = 30, LCtrlD = 29, RAltD = 90, PrintScr = 89, Esc = 1;

// Fills the selected macro with one-byte codes up to Bytes.
void FillBytes(TKeypadClass& K, int Bytes)
{
    for (int i = 0; i < Bytes; ++i) ASSERT_TRUE(Append(K, {Esc}));
}

struct TStringCase {
    const char* Name;
    std::vector<int32_t> Codes;
    const char* CodeString;
    int Bytes;
};

class CodeStrings : public ::testing::TestWithParam<TStringCase> {};

TEST_P(CodeStrings, WrittenAndCounted)
{
    const TStringCase& c = GetParam();
    TKeypadClass k;
    for (int32_t code : c.Codes) {
        int32_t pos = k.CodeCount();
        ASSERT_TRUE(k.InsertCode(pos, code)) << code;
    }
    EXPECT_EQ(k.GetCodeString(), c.CodeString);
    EXPECT_EQ(k.BytesUsed(), c.Bytes);
    EXPECT_EQ(static_cast<int>(k.GetByteString().size()), 2 * c.Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Macros, CodeStrings,
    ::testing::Values(TStringCase{"Empty", {}, "", 0},
                      TStringCase{"ShiftedA", {LShiftD, KeyA, LShiftU}, "121cf012", 4},
                      TStringCase{"PrintScrWritesFourCountsTen", {PrintScr}, "e02ae07c", 10},
                      TStringCase{"Pause", {104}, "e11477e1f014f077", 8},
                      TStringCase{"RWinU", {112}, "e0f027", 3},
                      TStringCase{"Delay1", {Delay(1)}, "e20101", 3},
                      TStringCase{"Delay10LowerCase", {Delay(10)}, "e2010a", 3},
                      TStringCase{"Delay15", {Delay(15)}, "e2010f", 3},
                      TStringCase{"Delay16", {Delay(16)}, "e20110", 3},
                      TStringCase{"Delay125", {Delay(125)}, "e2017d", 3},
                      TStringCase{"Delay159", {Delay(159)}, "e2019f", 3},
                      TStringCase{"EightDelays", std::vector<int32_t>(8, Delay(1)), "e20101e20101e20101e20101e20101e20101e20101e20101", 24},
                      TStringCase{"BreakThenLCtrlDLooksLikeLCtrlU", {CodeBreak, LCtrlD}, "f014", 2},
                      TStringCase{"ExtThenLCtrlDLooksLikeRCtrlD", {CodeExt, LCtrlD}, "e014", 2},
                      TStringCase{"LedCodes", {CodeLedOff, CodeLedOn, CodeLedFlash}, "e204e205e206", 6},
                      TStringCase{"DelayOfZeroHasNoToken", {KeyA, Delay(0), KeyA}, "1c1c", 4},
                      TStringCase{"UnusedCommandCodes", {CodeLedBase, 4084, 4088, 4095}, "", 8}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TTextCase {
    int32_t Code;
    const char *Text, *Hex;
};

TEST(CodeText, BothViews)
{
    const TTextCase cases[] = {
        {0, "", " "},
        {Esc, "Esc", "76"},
        {86, "Entr(kp)", "e05a"},
        {CodeBreak, "BREAK", "F0"},
        {CodeExt, "EXT", "E0"},
        {CodeLedOff, "led_off", "led_off"},
        {CodeLedOn, "led_on", "led_on"},
        {CodeLedFlash, "ledflash", "ledflash"},
        {CodeLedBase, "", ""},
        {4090, "", ""},
        {Delay(0), "0ms", "0ms"},
        {Delay(1), "4ms", "4ms"},
        {Delay(15), "60ms", "60ms"},
        {Delay(16), "64ms", "64ms"},
        {Delay(50), "200ms", "200ms"},
        {Delay(125), "500ms", "500ms"},
    };
    for (const TTextCase& c : cases) {
        SCOPED_TRACE(c.Code);
        TKeypadClass k;
        ASSERT_TRUE(Append(k, {c.Code}));
        EXPECT_EQ(k.CodeText(0), c.Text);
        k.SetViewAsHex(true);
        EXPECT_EQ(k.CodeText(0), c.Hex);
    }
}

TEST(CodeText, PastTheEndIsTheBlankRow)
{
    TKeypadClass k;
    ASSERT_TRUE(Append(k, {KeyA}));
    for (int32_t index : {1, 219, 255, 256, -1, 100000}) {
        k.SetViewAsHex(false);
        EXPECT_EQ(k.CodeText(index), "") << index;
        k.SetViewAsHex(true);
        EXPECT_EQ(k.CodeText(index), " ") << index;
    }
}

TEST(Capacity, LevelOneAloneTakes220Bytes)
{
    TKeypadClass k;
    FillBytes(k, 220);
    int32_t pos = 0;
    EXPECT_FALSE(k.InsertCode(pos, Esc));
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(k.CodeCount(), 220);

    TKeypadClass d;
    FillBytes(d, 218);
    EXPECT_FALSE(Append(d, {Delay(1)}));
    ASSERT_TRUE(d.DeleteCode(0));
    EXPECT_TRUE(Append(d, {Delay(1)}));
    EXPECT_EQ(d.BytesUsed(), 220);
}

TEST(Capacity, PrintScrCountsTen)
{
    TKeypadClass k;
    FillBytes(k, 211);
    EXPECT_FALSE(Append(k, {PrintScr}));
    ASSERT_TRUE(k.DeleteCode(0));
    EXPECT_TRUE(Append(k, {PrintScr}));
    EXPECT_EQ(k.BytesUsed(), 220);
}

TEST(Capacity, UsedLevelTwoHoldsLevelOneTo111UntilEmptiedAgain)
{
    TKeypadClass k;
    k.SetCurrentLevel(1);
    ASSERT_TRUE(Append(k, {KeyA}));
    k.SetCurrentLevel(0);
    FillBytes(k, 111);
    EXPECT_FALSE(Append(k, {Esc}));
    k.SetCurrentLevel(1);
    ASSERT_TRUE(k.DeleteCode(0));
    k.SetCurrentLevel(0);
    FillBytes(k, 109);
    EXPECT_EQ(k.BytesUsed(), 220);
}

TEST(Capacity, LevelTwoAgainstLevelOne)
{
    // Level 1 above 111 bytes: level 2 takes nothing, not even one byte.
    TKeypadClass full;
    FillBytes(full, 112);
    full.SetCurrentLevel(1);
    int32_t pos = 0;
    EXPECT_FALSE(full.InsertCode(pos, Esc));
    EXPECT_EQ(full.CodeCount(), 0);

    // Exactly 111 in level 1: level 2 takes 111 and no more.
    TKeypadClass shared;
    FillBytes(shared, 111);
    shared.SetCurrentLevel(1);
    FillBytes(shared, 111);
    EXPECT_FALSE(Append(shared, {Esc}));
    EXPECT_EQ(shared.BytesUsedOnLevel(0), 111);
    EXPECT_EQ(shared.BytesUsedOnLevel(1), 111);
    EXPECT_EQ(shared.CurrentLevel(), 1);
}

TEST(Capacity, NumbersThatAreNoCodeAreRefused)
{
    TKeypadClass k;
    for (int32_t bad : {-1, KeyTableRows, 4078, Delay(MaxDelayCount + 1), INT32_MAX}) {
        int32_t pos = 0;
        EXPECT_FALSE(k.InsertCode(pos, bad)) << bad;
        EXPECT_EQ(pos, 0);
    }
    EXPECT_EQ(k.CodeCount(), 0);
}

TEST(InsertDelete, Positions)
{
    TKeypadClass k;
    ASSERT_TRUE(Append(k, {1, 2, 3}));
    int32_t pos = 50;
    ASSERT_TRUE(k.InsertCode(pos, 4));
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(MacroCodes(k), (std::vector<int32_t>{1, 2, 3, 4}));

    TKeypadClass front;
    ASSERT_TRUE(Append(front, {KeyA, 48}));
    pos = 0;
    ASSERT_TRUE(front.InsertCode(pos, 45));
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(MacroCodes(front), (std::vector<int32_t>{45, KeyA, 48}));

    ASSERT_TRUE(front.DeleteCode(0));
    EXPECT_EQ(MacroCodes(front), (std::vector<int32_t>{KeyA, 48}));
    EXPECT_FALSE(front.DeleteCode(2));
    EXPECT_TRUE(front.DeleteCode(1));
    EXPECT_EQ(front.LastCode(), KeyA);
    const auto& codes = front.Keys()[0].Levels[0].Codes;
    for (size_t i = 1; i < codes.size(); ++i) EXPECT_EQ(codes[i], 0) << i;
}

TEST(InsertDelete, TheTerminatorNeverSplitsAMacro)
{
    TKeypadClass k;
    ASSERT_TRUE(Append(k, {1, 2}));
    int32_t pos = 0;
    EXPECT_TRUE(k.InsertCode(pos, 0));
    EXPECT_EQ(MacroCodes(k), (std::vector<int32_t>{1, 2}));
    pos = 2;
    EXPECT_TRUE(k.InsertCode(pos, 0));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(k.CodeCount(), 2);
}

TEST(ModifierState, DownAndUpRows)
{
    TKeypadClass k;
    ASSERT_TRUE(Append(k, {LShiftD, KeyA, LShiftU}));
    EXPECT_EQ(k.ModifierState(0), 0);
    EXPECT_EQ(k.ModifierState(1), 0x01);
    EXPECT_EQ(k.ModifierState(2), 0x01);
    EXPECT_EQ(k.ModifierState(3), 0);
    EXPECT_EQ(k.ModifierState(255), 0);

    TKeypadClass two;
    ASSERT_TRUE(Append(two, {LCtrlD, RAltD}));
    EXPECT_EQ(two.ModifierState(2), 0x24);

    const int32_t pairs[8][2] = {{42, 106}, {54, 107}, {29, 105}, {87, 109}, {56, 108}, {90, 110}, {101, 111}, {102, 112}};
    for (int bit = 0; bit < 8; ++bit) {
        TKeypadClass m;
        ASSERT_TRUE(Append(m, {CodeBreak, pairs[bit][0], pairs[bit][1]}));
        EXPECT_EQ(m.ModifierState(2), 1 << bit) << "a break prefix does not release";
        EXPECT_EQ(m.ModifierState(3), 0);
    }
}

TEST(Selection, OutOfRangeIsIgnoredAndQueriesKeepIt)
{
    TKeypadClass k;
    k.SetCurrentKey(5);
    k.SetCurrentLevel(1);
    ASSERT_TRUE(Append(k, {KeyA}));
    k.SetCurrentKey(24);
    k.SetCurrentLevel(2);
    EXPECT_EQ(k.CurrentKey(), 5);
    EXPECT_EQ(k.CurrentLevel(), 1);
    k.SetCurrentKey(0);
    EXPECT_TRUE(k.LevelTwoUsed(5));
    EXPECT_FALSE(k.LevelTwoUsed(0));
    EXPECT_FALSE(k.LevelTwoUsed(200));
    EXPECT_EQ(k.LastCode(), 0);
}

TEST(Create, ClearsInPlaceButKeepsTheModelNumber)
{
    TKeypadClass k;
    const TKeypadClass fresh;
    k.SetModelNumber("Keysmith591");
    k.SetCurrentKey(7);
    k.SetKeyType(KeyTypeToggleLevel);
    k.SetCurrentLevel(1);
    ASSERT_TRUE(Append(k, {KeyA, Delay(3)}));
    k.SetAutoRepeat(true);
    k.SetMacroMode(MacroModeLiteral);
    EXPECT_TRUE(k.SetName("name"));
    k.SetRepeatDelay(1);
    k.SetRepeatRate(1);
    k.SetHostCanModifyAR(false);
    k.SetKeyRollOver(9);
    k.SetLEDFunction(LedFunctionHostMacro);
    k.SetCharacterPacing(9);
    k.SetDownloadDelay(9);
    k.SetViewAsHex(true);

    k.Create();
    EXPECT_EQ(k.ModelNumber(), "Keysmith591");
    k.SetModelNumber("");
    EXPECT_TRUE(SameDefinition(k, fresh));
    EXPECT_EQ(fresh.RepeatDelay(), 25);
    EXPECT_EQ(fresh.RepeatRate(), 4);
    EXPECT_TRUE(fresh.HostCanModifyAR());
    EXPECT_EQ(fresh.KeyRollOver(), 2);
    EXPECT_EQ(fresh.LEDFunction(), LedFunctionLevelIndicator);
    EXPECT_EQ(fresh.CharacterPacing(), 2);
    EXPECT_EQ(fresh.DownloadDelay(), 0);
    EXPECT_FALSE(fresh.ViewAsHex());
}

} // namespace
