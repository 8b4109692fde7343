// The comma-separated list values and the speed entries built from two lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/list_encoding.h"
#include "settings/speed_entry.h"

namespace {

std::vector<std::string> items(const CStringList& list)
{
    std::vector<std::string> v;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        v.push_back(list.GetNext(pos).str());
    return v;
}

CStringList* makeList(const std::vector<std::string>& v)
{
    CStringList* list = new CStringList(10);
    for (const std::string& s : v)
        list->AddTail(s.c_str());
    return list;
}

TEST(StringListDecoding, Table)
{
    struct Row {
        const char* text;
        std::vector<std::string> expected;
    } rows[] = {
        {"48,40,8", {"48", "40", "8"}}, {"48,,40,", {"48", "40"}}, {",8", {"8"}},
        {"16, 8", {"16", " 8"}}, {"", {}}, {",,,", {}}, {nullptr, {}}, {" ", {" "}},
        {"\xB0\xA1,\xB0\xA2", {"\xB0\xA1", "\xB0\xA2"}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CStringList list;
        list.AddTail("kept");
        decodeStringList(rows[i].text, list);
        std::vector<std::string> expected = rows[i].expected;
        expected.insert(expected.begin(), "kept");  // decoding appends
        EXPECT_EQ(items(list), expected) << "row " << i;
    }
}

TEST(StringListEncoding, KeepsOrderAndEmptyListIsEmptyText)
{
    CStringList empty;
    EXPECT_EQ(encodeStringList(empty), "");
    CStringList* many = makeList({"48", "8", "40", "8"});
    EXPECT_EQ(encodeStringList(*many), "48,8,40,8");
    delete many;
}

TEST(SpeedEntry, PairsStopAtTheShorterList)
{
    CStringList* names = makeList({"48", "40", "8"});
    CStringList* kbps = makeList({"8448", "7040"});
    EXPECT_EQ(speedEntryCount(names, kbps), 2);
    EXPECT_EQ(speedEntryCount(kbps, names), 2);
    EXPECT_EQ(speedEntryCount(names, nullptr), 0);
    EXPECT_EQ(speedEntryCount(nullptr, nullptr), 0);
    EXPECT_EQ(speedEntryText(names, kbps, 1), "40X (7040KB/S)");
    EXPECT_EQ(speedEntryText(names, kbps, 2), "");
    EXPECT_EQ(speedEntryText(names, kbps, -1), "");
    CString name("junk"), kb("junk");
    EXPECT_FALSE(getSpeedEntry(names, kbps, 2, name, kb));
    EXPECT_TRUE(name.IsEmpty() && kb.IsEmpty());
    EXPECT_TRUE(getSpeedEntry(names, kbps, 0, name, kb));
    EXPECT_EQ(name, "48");
    EXPECT_EQ(kb, "8448");
    EXPECT_EQ(formatSpeedEntry(nullptr, nullptr), "X (KB/S)");
    delete names;
    delete kbps;
}

TEST(SpeedEntry, ParseTable)
{
    struct Row {
        const char* text;
        const char* name;  // null: rejected
        const char* kbps;
    } rows[] = {
        {"8X (1408KB/S)", "8", "1408"}, {"200X (35200KB/S)", "200", "35200"}, {"8X (1411K", "8", "1411"},
        {"\xB0\xA1X (1\xB0\xA1KB/S)", "\xB0\xA1", "1\xB0\xA1"},
        {"", nullptr, nullptr}, {nullptr, nullptr, nullptr}, {"8X", nullptr, nullptr},
        {"8X(1408KB/S)", nullptr, nullptr}, {"8X 1408KB/S", nullptr, nullptr}, {"8X (1408", nullptr, nullptr},
        {"8X (KB/S)", nullptr, nullptr}, {"X (1408KB/S)", nullptr, nullptr}, {" 8X (1408KB/S)", nullptr, nullptr},
        {"8 (1408KB/S)", nullptr, nullptr}, {"8,9X (1408KB/S)", nullptr, nullptr}, {"8X (1,4KB/S)", nullptr, nullptr},
        {"8X (", nullptr, nullptr}, {"8X ", nullptr, nullptr},
        // "X" and "K" as the second byte of a double-byte character do not count.
        {"\x81X (1408KB/S)", nullptr, nullptr}, {"8X (\x81K", nullptr, nullptr},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        CString name("junk"), kbps("junk");
        bool ok = parseSpeedEntry(r.text, name, kbps);
        EXPECT_EQ(ok, r.name != nullptr) << "row " << i;
        EXPECT_EQ(name, r.name ? r.name : "") << "row " << i;
        EXPECT_EQ(kbps, r.kbps ? r.kbps : "") << "row " << i;
    }
}

}  // namespace
