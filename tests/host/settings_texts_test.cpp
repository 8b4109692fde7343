// The settings texts: the comma-separated lists, and the speed entries built from two lists
// and parsed back. Booleans are the fuzz target's and the store's to read.
#include <gtest/gtest.h>

#include <climits>

#include "settings/list_encoding.h"
#include "settings/speed_entry.h"

namespace {

// Decoding appends the non-empty pieces; encoding joins them again. Pieces
// hold no commas, so the joined text tells the whole list.
TEST(StringLists, DecodeDropsEmptyPiecesAndEncodeJoins)
{
    const std::pair<const char*, const char*> rows[] = {  // text, the list after "kept" joined again
        {"48,40,8", "kept,48,40,8"}, {"48,,40,", "kept,48,40"}, {",8", "kept,8"}, {"16, 8", "kept,16, 8"}, {"", "kept"},
        {",,,", "kept"}, {nullptr, "kept"}, {" ", "kept, "}, {"\xB0\xA1,\xB0\xA2", "kept,\xB0\xA1,\xB0\xA2"}};
    for (const auto& row : rows) {
        CStringList list;
        list.AddTail("kept");
        decodeStringList(row.first, list);
        EXPECT_EQ(encodeStringList(list).str(), row.second) << (row.first ? row.first : "(null)");
    }
}

// Pairs of the two lists, up to the shorter one; list box texts taken back from the options
// dialog: a name, "X (", digits up to "K". Empty speeds or commas are the fuzz target's.
TEST(SpeedEntry, PairsAndParsing)
{
    CStringList names, kbps;
    decodeStringList("48,40,8", names);
    decodeStringList("8448,7040", kbps);
    EXPECT_TRUE(speedEntryCount(&names, &kbps) == 2 && speedEntryCount(&kbps, &names) == 2 && speedEntryCount(&names, nullptr) == 0);
    EXPECT_EQ(speedEntryText(&names, &kbps, 1), "40X (7040KB/S)");
    EXPECT_TRUE(speedEntryText(&names, &kbps, 2) == "" && speedEntryText(&names, &kbps, -1) == "");
    CString name("junk"), kb("junk");
    EXPECT_TRUE(!getSpeedEntry(&names, &kbps, 2, name, kb) && name.IsEmpty() && kb.IsEmpty());
    EXPECT_TRUE(speedEntryToInt("7040") == 7040 && speedEntryToInt("99999999999") == INT_MAX);

    const std::pair<const char*, const char*> rows[] = {  // text, then name and speed ("": refused, both empty)
        {"8X (1408KB/S)", "8 1408"}, {"200X (35200KB/S)", "200 35200"}, {"8X (1411K", "8 1411"},
        {"\xB0\xA1X (1\xB0\xA1KB/S)", "\xB0\xA1 1\xB0\xA1"}, {nullptr, ""}, {"8X", ""}, {"8X(1408KB/S)", ""}, {"8X 1408KB/S", ""},
        {"8X (1408", ""}, {" 8X (1408KB/S)", ""}, {"8 (1408KB/S)", ""}, {"8,9X (1408KB/S)", ""},
        // "X" and "K" as the second byte of a double-byte character do not count.
        {"\x81X (1408KB/S)", ""}, {"8X (\x81K", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        name = kb = "junk";
        const bool parsed = parseSpeedEntry(rows[i].first, name, kb);
        EXPECT_EQ((parsed ? name + " " + kb : name + kb).str(), rows[i].second) << "row " << i;
    }
}

}  // namespace
