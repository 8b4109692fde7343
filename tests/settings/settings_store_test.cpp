// SettingsStore against real profile files in a temporary folder of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    // Each write goes to a new file, so that no cached profile is read back.
    void writeFile(const std::string& bytes)
    {
        const std::string file = m_dir.file(("cdrom" + std::to_string(++m_n) + ".ini").c_str());
        m_store.setFileName(file.c_str());
        ASSERT_TRUE(writeWholeFile(file, bytes));
    }
    std::string listText(const char* key)  // "count:items"
    {
        const std::unique_ptr<CStringList> list(m_store.getStringList("1:0", key, ""));
        return std::to_string(list->GetCount()) + ":" + encodeStringList(*list).str();
    }

    TempFolder m_dir{"kesvora-settings"};
    int m_n = 0;
    SettingsStore m_store;
};

// Values around the sizes the store reads in (512 bytes, then 512 more).
TEST_F(SettingsStoreTest, LongValuesAreReadWhole)
{
    for (size_t size : {510, 511, 512, 513, 1023, 1024, 1025, 5000}) {
        std::string value;
        for (size_t i = 0; i + 1 < size; ++i)
            value += "1234,"[i % 5];
        writeFile("[1:0]\r\nspeedNames=" + value + "9\r\nnext=x\r\n");
        EXPECT_EQ(listText("speedNames"), std::to_string((size + 4) / 5) + ":" + value + "9") << size;
    }
}

// A double-byte character that does not fit whole is left out; the rest is zeros.
TEST_F(SettingsStoreTest, GetStringCopiesWholeCharactersUpToOutLen)
{
    ASSERT_EQ(GetACP(), 936u) << "this test needs code page 936 (under Wine: LC_ALL=zh_CN.UTF-8)";
    const std::string straddle = std::string(63, 'a') + "\xB0\xA1", fits = std::string(62, 'a') + "\xB0\xA1" + "b";
    const struct {
        std::string value, copied;
        unsigned outLen;
    } rows[] = {
        {straddle, std::string(63, 'a'), 64}, {fits, fits.substr(0, 64), 64}, {"abc", "abc", 64}, {"abc", "", 0}};
    for (const auto& row : rows) {
        writeFile("[s]\r\nk=" + row.value + "\r\n");
        char buffer[80];  // 0x55 marks the bytes left alone
        std::memset(buffer, 0x55, sizeof buffer);
        m_store.getString("s", "k", buffer, row.outLen, nullptr);
        EXPECT_EQ(std::string(buffer, row.outLen + 1), row.copied + std::string(row.outLen - row.copied.size(), '\0') + "\x55");
    }
}

// What the program writes (flags as 0 or 1, speed lists) reaches the file as
// text; the relative name is the current folder, as the program names its file.
TEST_F(SettingsStoreTest, WritesReachTheFileInTheCurrentFolder)
{
    char old[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryA(MAX_PATH, old));
    ASSERT_TRUE(SetCurrentDirectoryA(m_dir.path().c_str()));
    m_store.setFileName(".\\cdrom.ini");
    CStringList empty, speeds;
    speeds.AddTail("48");
    speeds.AddTail("40");
    EXPECT_TRUE(m_store.writeBool("System", "RunMin", 5) && m_store.writeBool("System", "RunSetSpeed", 0));
    m_store.writeStringList("1:0", "speedNames", empty);
    m_store.writeStringList("1:0", "kbSpeeds", speeds);
    SetCurrentDirectoryA(old);
    EXPECT_EQ(readWholeFile(m_dir.file("cdrom.ini")),
              "[System]\r\nRunMin=1\r\nRunSetSpeed=0\r\n[1:0]\r\nspeedNames=\r\nkbSpeeds=48,40\r\n");
}

// A file edited by hand: blanks around values, empty list pieces, words;
// missing or blank values give the defaults.
TEST_F(SettingsStoreTest, HandEditedFileAndDefaults)
{
    writeFile("[1:0]\r\nspeedNames =  48 , 40,,8 \r\nkbSpeeds=,8448,,7040,\r\n[System]\r\n"
              "a=Yes\r\nb=on\r\nc=\r\nd=  \r\ne= 12 \r\n");
    EXPECT_EQ(listText("speedNames"), "3:48 , 40,8");
    EXPECT_EQ(listText("kbSpeeds"), "2:8448,7040");
    EXPECT_EQ(listText("missing"), "0:");
    for (const char* key : {"a1", "b0", "c9", "d9", "e1", "f9"})  // key, then the value read
        EXPECT_EQ(m_store.getBool("System", std::string(key, 1).c_str(), 9), key[1] - '0') << key;
    EXPECT_EQ(m_store.getBool("Nowhere", "a", -7), -7);
}

}  // namespace
