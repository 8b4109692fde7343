// SettingsStore against real profile files in a temporary folder of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = m_dir.file("cdrom.ini");
        m_store.setFileName(m_file.c_str());
    }

    void writeFile(const std::string& bytes)
    {
        FILE* f = std::fopen(m_file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    std::string readFile()
    {
        std::string bytes;
        if (FILE* f = std::fopen(m_file.c_str(), "rb")) {
            for (int c; (c = std::fgetc(f)) != EOF;)
                bytes += static_cast<char>(c);
            std::fclose(f);
        }
        return bytes;
    }

    std::string listText(const CString& section, const CString& key)
    {
        CStringList* list = m_store.getStringList(section, key, "");
        std::string text = std::to_string(list->GetCount()) + ":" + encodeStringList(*list).str();
        delete list;
        return text;
    }

    TempFolder m_dir{"kesvora-settings"};
    std::string m_file;
    SettingsStore m_store;
};

std::string numbers(size_t bytes)  // "1234,1234,..." cut to the given length
{
    std::string s;
    while (s.size() < bytes)
        s += "1234,";
    s.resize(bytes);
    return s;
}

TEST_F(SettingsStoreTest, LongValuesAreReadWhole)
{
    const size_t sizes[] = {510, 511, 512, 513, 600, 1023, 1024, 1025, 5000};
    for (size_t size : sizes) {
        std::string value = numbers(size);
        if (value.back() == ',')
            value.back() = '9';
        writeFile("[1:0]\r\nspeedNames=" + value + "\r\nnext=x\r\n");
        EXPECT_EQ(m_store.getStringValue("1:0", "speedNames", "").str(), value) << size;
        size_t items = (size + 4) / 5;
        EXPECT_EQ(listText("1:0", "speedNames"), std::to_string(items) + ":" + value) << size;
        m_file += "x";  // a new file for each row
        m_store.setFileName(m_file.c_str());
    }
    // 300 double-byte characters: the read is not cut where they stop fitting.
    std::string gbk;
    for (int i = 0; i < 300; ++i)
        gbk += "\xB0\xA1";
    writeFile("[s]\r\nk=" + gbk + "\r\n");
    EXPECT_EQ(m_store.getStringValue("s", "k", "").str(), gbk);
}

TEST_F(SettingsStoreTest, GetStringCopiesWholeCharactersAndStopsAtOutLen)
{
    ASSERT_EQ(GetACP(), 936u) << "this test needs code page 936 (under Wine: LC_ALL=zh_CN.UTF-8)";
    const std::string plain = numbers(100), straddle = std::string(63, 'a') + "\xB0\xA1" + std::string(35, 'b'),
                      fits = std::string(62, 'a') + "\xB0\xA1" + std::string(36, 'b');
    struct Row {
        std::string value;
        unsigned outLen;
        int expected;
        std::string copied;
    } rows[] = {
        {plain, 64, 64, plain.substr(0, 64)}, {straddle, 64, 64, std::string(63, 'a')},
        {fits, 64, 64, fits.substr(0, 64)},   {"abc", 64, 3, "abc"},
        {"abc", 3, 3, "abc"},                 {"abc", 0, 0, ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        writeFile("[s]\r\nk=" + r.value + "\r\n");
        char buffer[80];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(m_store.getString("s", "k", buffer, r.outLen, nullptr), r.expected) << "row " << i;
        EXPECT_EQ(std::string(buffer, r.copied.size()), r.copied) << "row " << i;
        for (size_t j = r.copied.size(); j < r.outLen; ++j)
            EXPECT_EQ(buffer[j], 0) << "row " << i << " byte " << j;
        EXPECT_EQ(buffer[r.outLen], 0x55) << "row " << i << ": wrote past outLen";
        EXPECT_EQ(m_store.getString("s", "k", nullptr, 4, nullptr), static_cast<int>(r.value.size())) << "row " << i;
        m_file += "x";
        m_store.setFileName(m_file.c_str());
    }
}

TEST_F(SettingsStoreTest, WritesReachTheFileAsText)
{
    EXPECT_TRUE(m_store.writeInt("System", "Hex", 255, 16));
    EXPECT_TRUE(m_store.writeBool("System", "RunMin", 5));
    EXPECT_TRUE(m_store.writeBool("System", "RunSetSpeed", 0));
    EXPECT_TRUE(m_store.writeString("System", "Null", nullptr));
    CStringList empty, speeds;
    speeds.AddTail("48");
    speeds.AddTail("40");
    m_store.writeStringList("1:0", "speedNames", empty);
    m_store.writeStringList("1:0", "kbSpeeds", speeds);
    const std::string file = readFile();
    for (const char* line : {"[System]\r\nHex=FF\r\nRunMin=1\r\nRunSetSpeed=0\r\nNull=\r\n",
                             "[1:0]\r\nspeedNames=\r\nkbSpeeds=48,40\r\n"})
        EXPECT_NE(file.find(line), std::string::npos) << line << " in:\n" << file;
}

TEST_F(SettingsStoreTest, MissingOrNullNamesGiveDefaultsAndWriteNothing)
{
    char buffer[9] = {};
    EXPECT_EQ(m_store.getStringValue("1:0", "speedNames", "dflt"), "dflt");
    EXPECT_EQ(m_store.getString("System", "RunMin", buffer, 8, "xyz"), 3);
    EXPECT_STREQ(buffer, "xyz");
    EXPECT_EQ(m_store.getBool("System", "RunMin", -7), -7);
    EXPECT_EQ(listText("1:0", "kbSpeeds"), "0:");
    writeFile("[System]\r\nRunMin=1\r\n[1:0]\r\nspeedNames=8\r\n");
    EXPECT_EQ(m_store.getBool("System", "Other", 7), 7);
    EXPECT_EQ(m_store.getBool("Nowhere", "RunMin", 2), 2);
    EXPECT_EQ(m_store.getStringValue(nullptr, "RunMin", "d"), "d");
    EXPECT_EQ(m_store.getStringValue("System", nullptr, nullptr), "");
    EXPECT_EQ(m_store.getBool(nullptr, nullptr, 3), 3);
    const std::string before = readFile();
    EXPECT_FALSE(m_store.writeString(nullptr, "RunMin", "0"));
    EXPECT_FALSE(m_store.writeString("System", nullptr, "0"));
    EXPECT_FALSE(m_store.writeBool(nullptr, "RunMin", 0));
    EXPECT_EQ(readFile(), before);
}

TEST_F(SettingsStoreTest, FileNameCopiesAndNullEmptiesIt)
{
    std::string name = m_store.getFileName();
    m_store.setFileName(m_store.getFileName());  // its own name
    EXPECT_EQ(std::string(m_store.getFileName()), name);
    m_store.setFileName(nullptr);
    ASSERT_NE(m_store.getFileName(), nullptr);
    EXPECT_STREQ(m_store.getFileName(), "");
    EXPECT_FALSE(m_store.writeBool("System", "RunMin", 1));  // not into win.ini either
    EXPECT_EQ(m_store.getBool("System", "RunMin", 4), 4);
    SettingsStore fresh;
    fresh.setFileName(nullptr);
    EXPECT_EQ(fresh.getFileName(), nullptr);
    EXPECT_FALSE(fresh.writeString("System", "RunMin", "1"));
}

TEST_F(SettingsStoreTest, RelativePathIsTheCurrentFolder)
{
    char old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryA(m_dir.path().c_str()));
    m_store.setFileName(".\\cdrom.ini");
    EXPECT_TRUE(m_store.writeBool("System", "RunMin", 1));
    EXPECT_EQ(m_store.getBool("System", "RunMin", 0), 1);
    SetCurrentDirectoryA(old);
    EXPECT_EQ(readFile(), "[System]\r\nRunMin=1\r\n");
}

TEST_F(SettingsStoreTest, HandEditedFile)
{
    writeFile("[1:0]\r\nspeedNames =  48 , 40,,8 \r\nkbSpeeds=,8448,,7040,\r\n[System]\r\n"
              "a=Yes\r\nb=on\r\nc=\r\nd=  \r\ne= 12 \r\n");
    EXPECT_EQ(listText("1:0", "speedNames"), "3:48 , 40,8");
    EXPECT_EQ(listText("1:0", "kbSpeeds"), "2:8448,7040");
    const int expected[] = {1, 0, 9, 9, 1};
    for (int i = 0; i < 5; ++i) {
        char key[2] = {static_cast<char>('a' + i), 0};
        EXPECT_EQ(m_store.getBool("System", key, 9), expected[i]) << key;
    }
}

// A file another program holds open, or one marked read-only: every write
// reports false and leaves the file as it was.
TEST_F(SettingsStoreTest, FileThatCannotBeWritten)
{
    const std::string content = "[System]\r\nRunMin=0\r\n";
    for (bool locked : {true, false}) {
        writeFile(content);
        HANDLE h = INVALID_HANDLE_VALUE;
        if (locked) {
            h = CreateFileA(m_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
        } else {
            ASSERT_TRUE(SetFileAttributesA(m_file.c_str(), FILE_ATTRIBUTE_READONLY));
            HANDLE w = CreateFileA(m_file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (w != INVALID_HANDLE_VALUE) {
                CloseHandle(w);
                GTEST_SKIP() << "this system lets a read-only file be written (Wine run as root)";
            }
        }
        EXPECT_FALSE(m_store.writeBool("System", "RunMin", 1)) << locked;
        EXPECT_FALSE(m_store.writeString("System", "Other", "x")) << locked;
        CStringList list;
        list.AddTail("8");
        m_store.writeStringList("1:0", "speedNames", list);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        EXPECT_EQ(readFile(), content) << locked;
    }
}

}  // namespace
