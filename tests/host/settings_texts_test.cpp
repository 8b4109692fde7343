// The settings texts: booleans and integers in the file, the comma-separated
// lists, and the speed entries built from two lists and parsed back.
#include <gtest/gtest.h>

#include <climits>

#include "settings/list_encoding.h"
#include "settings/speed_entry.h"
#include "settings/value_text.h"

namespace {

// Texts of numbers and words are the fuzz target's to compare with the C
// library; here what it cannot give.
TEST(ValueText, NullTextAndTheSmallestInt)
{
    EXPECT_EQ(parseBool(nullptr, INT_MIN), INT_MIN);
    char buffer[65];
    formatInt(INT_MIN, buffer, 10);
    EXPECT_STREQ(buffer, "-2147483648");
}

// Decoding appends the non-empty pieces; encoding joins them again. Pieces
// hold no commas, so the count and the joined text tell the whole list.
TEST(StringLists, DecodeDropsEmptyPiecesAndEncodeJoins)
{
    const struct {
        const char* text;
        int count;  // after the item that was there
        const char* joined;
    } rows[] = {
        {"48,40,8", 3, "kept,48,40,8"}, {"48,,40,", 2, "kept,48,40"}, {",8", 1, "kept,8"}, {"16, 8", 2, "kept,16, 8"},
        {"", 0, "kept"}, {",,,", 0, "kept"}, {nullptr, 0, "kept"}, {" ", 1, "kept, "},
        {"\xB0\xA1,\xB0\xA2", 2, "kept,\xB0\xA1,\xB0\xA2"},
    };
    for (const auto& row : rows) {
        CStringList list;
        list.AddTail("kept");
        decodeStringList(row.text, list);
        EXPECT_EQ(list.GetCount(), 1 + row.count) << row.joined;
        EXPECT_EQ(encodeStringList(list).str(), row.joined);
    }
}

// Pairs of the two lists, up to the shorter one; list box texts taken back
// from the options dialog: a name, "X (", digits up to "K". Refusing an
// empty speed or one with a comma is the fuzz target's to check.
TEST(SpeedEntry, PairsAndParsing)
{
    CStringList names, kbps;
    decodeStringList("48,40,8", names), decodeStringList("8448,7040", kbps);
    EXPECT_TRUE(speedEntryCount(&names, &kbps) == 2 && speedEntryCount(&kbps, &names) == 2 && speedEntryCount(&names, nullptr) == 0);
    EXPECT_EQ(speedEntryText(&names, &kbps, 1), "40X (7040KB/S)");
    EXPECT_TRUE(speedEntryText(&names, &kbps, 2) == "" && speedEntryText(&names, &kbps, -1) == "");
    CString name("junk"), kb("junk");
    EXPECT_FALSE(getSpeedEntry(&names, &kbps, 2, name, kb));
    EXPECT_TRUE(name.IsEmpty() && kb.IsEmpty());
    EXPECT_TRUE(speedEntryToInt("7040") == 7040 && speedEntryToInt("99999999999") == INT_MAX);

    const struct {
        const char* text;
        const char* name;  // null: refused
        const char* kbps;
    } rows[] = {
        {"8X (1408KB/S)", "8", "1408"}, {"200X (35200KB/S)", "200", "35200"}, {"8X (1411K", "8", "1411"},
        {"\xB0\xA1X (1\xB0\xA1KB/S)", "\xB0\xA1", "1\xB0\xA1"}, {nullptr, nullptr, nullptr}, {"8X", nullptr, nullptr},
        {"8X(1408KB/S)", nullptr, nullptr}, {"8X 1408KB/S", nullptr, nullptr}, {"8X (1408", nullptr, nullptr},
        {" 8X (1408KB/S)", nullptr, nullptr}, {"8 (1408KB/S)", nullptr, nullptr}, {"8,9X (1408KB/S)", nullptr, nullptr},
        // "X" and "K" as the second byte of a double-byte character do not count.
        {"\x81X (1408KB/S)", nullptr, nullptr}, {"8X (\x81K", nullptr, nullptr},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        name = kb = "junk";
        EXPECT_EQ(parseSpeedEntry(rows[i].text, name, kb), rows[i].name != nullptr) << "row " << i;
        EXPECT_EQ(name, rows[i].name ? rows[i].name : "") << "row " << i;
        EXPECT_EQ(kb, rows[i].kbps ? rows[i].kbps : "") << "row " << i;
    }
}

}  // namespace
