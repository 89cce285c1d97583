#include "KeypadClass.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

int RowBytes(int r)
{
    return static_cast<int>((KeyTable[r].HexText[0].size() + KeyTable[r].HexText[1].size()) / 2);
}

// The file reader relies on these: lowercase hex of whole bytes, no row's text the start of
// another's, nothing the loader would refuse.
TEST(KeyTable, TextsAreLowercaseBytesThatNoOtherRowBegins)
{
    std::set<std::string_view> seen;
    for (int r = 0; r < KeyTableRows; ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        for (std::string_view t : KeyTable[r].HexText) {
            EXPECT_EQ(t.size() % 2, 0u);
            for (size_t i = 0; i < t.size(); i += 2) {
                const int byte = std::stoi(std::string(t.substr(i, 2)), nullptr, 16);
                for (char c : t.substr(i, 2)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
                if (r != 0) {
                    EXPECT_NE(byte, 0);
                }
                EXPECT_TRUE(byte <= 0xE4 || byte == 0xF0);
            }
        }
        const std::string_view own = KeyTable[r].HexText[0];
        ASSERT_GE(own.size(), 2u);
        EXPECT_TRUE(seen.insert(own).second);
        for (int o = 0; o < KeyTableRows; ++o)
            if (o != r) {
                EXPECT_FALSE(KeyTable[o].HexText[0].starts_with(own)) << "row " << o;
            }
        EXPECT_FALSE(own.starts_with("e2") || own == "f0" || own == "e0");
        if (r != 0 && r != 89) {
            EXPECT_TRUE(KeyTable[r].HexText[1].empty());
        }
    }
}

TEST(KeyTable, RowsAsTheyStand)
{
    struct TRow {
        int Row;
        const char *Hex, *Extra, *Name;
    };
    const TRow rows[] = {
        {0, "00", "00", ""},           {1, "76", "", "Esc"},         {29, "14", "", "LCtrlD"},
        {40, "52", "", "'"},           {41, "0e", "", "`"},          {43, "5d", "", "\\"},
        {55, "7c", "", "* (kp)"},      {65, "83", "", "F7"},         {86, "e05a", "", "Entr(kp)"},
        {89, "e02ae07c", "e0f07ce0f012", "PrintScr"},                {104, "e11477e1f014f077", "", "Pause"},
        {105, "f014", "", "LCtrlU"},   {112, "e0f027", "", "RWinU"}, {126, "e038", "", "Web <-"},
        {131, "2f", "", "F13  -"},     {136, "18", "", "F15  +"},    {146, "e037", "", "Power"},
        {157, "0f", "", "= (kp)"},     {158, "e01a", "", "Eject*"},
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE("row " + std::to_string(r.Row));
        EXPECT_EQ(KeyTable[r.Row].HexText[0], r.Hex);
        EXPECT_EQ(KeyTable[r.Row].HexText[1], r.Extra);
        EXPECT_EQ(KeyTable[r.Row].KeyName, r.Name);
    }
}

// Guards every text of every row at once: a changed, moved or lost row changes the sum.
TEST(KeyTable, WholeTableFingerprint)
{
    uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](std::string_view s) {
        for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
        h = (h ^ '|') * 0x100000001b3ull;
    };
    int bytes = 0, one = 0, two = 0;
    for (int r = 0; r < KeyTableRows; ++r) {
        mix(KeyTable[r].HexText[0]);
        mix(KeyTable[r].HexText[1]);
        mix(KeyTable[r].KeyName);
        if (r == 0) continue;
        bytes += RowBytes(r);
        one += RowBytes(r) == 1;
        two += RowBytes(r) == 2;
    }
    EXPECT_EQ(h, 0xf1e36f48a2882d95ull);
    EXPECT_EQ(bytes, 223);
    EXPECT_EQ(one, 111);
    EXPECT_EQ(two, 41);
    EXPECT_EQ(RowBytes(89), 10);
    EXPECT_EQ(RowBytes(104), 8);
}

} // namespace
