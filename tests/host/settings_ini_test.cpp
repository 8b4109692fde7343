// The INI document: values found as the profile functions find them, and
// changes that keep every byte they do not touch.
#include <gtest/gtest.h>

#include "settings/ini_document.h"

namespace {

TEST(IniDocument, FindsAsTheProfileFunctions)
{
    const struct {
        const char *text, *section, *key, *found;  // null: not found
    } rows[] = {
        {" [A] \r\n K =  1 \r\n", "a ", " k", "1"},
        {"[a]\r\nk = \"x y\" \r\n", "a", "k", "x y"},
        {"[a]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\nj=4\r\n", "a", "k", "1"},
        {"[a]\r\nk=1\r\n[a]\r\nj=4\r\n", "a", "j", nullptr},  // the first section only
        {"k=1\r\n[a]\r\n", "a", "k", nullptr},
        {"[a]\r\nk\r\n", "a", "k", nullptr},
        {"[a]\x81]\rk=1", "a", "k", "1"},  // a double-byte character's second byte is no ']'
        {"[a]\r\n\x81" "A=1\r\n", "a", "\x81" "a", nullptr},  // nor a letter
        {"[a]\rk=1\r[b]\rk=2", "b", "k", "2"},
        {"\xEF\xBB\xBF[a]\r\nk=v\r\n", "a", "k", "v"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::string value = "<none>";
        const bool found = IniDocument(rows[i].text).find(rows[i].section, rows[i].key, value);
        EXPECT_EQ(found ? value : "<none>", rows[i].found ? rows[i].found : "<none>") << "row " << i;
    }
}

TEST(IniDocument, SetChangesOnlyItsOwnLines)
{
    const struct {
        const char *before, *section, *key, *value, *after;  // null after: refused
    } rows[] = {
        {"", "1:0", "speedNames", "48", "[1:0]\r\nspeedNames=48\r\n"},
        {"; kept\n[System]\nRunMin=0\n\n[b]\n", "system", "runmin", "1", "; kept\n[System]\nRunMin=1\n\n[b]\n"},
        {"[a]\rk=1\r[b]\rk=2\r", "a", "new", "x", "[a]\rk=1\rnew=x\r[b]\rk=2\r"},
        {"[a]\r\nx=1\r\n\r\n; for b\r\n[b]\r\n", "a", "y", "2", "[a]\r\nx=1\r\ny=2\r\n\r\n; for b\r\n[b]\r\n"},
        {"[a]\r\nk=1\r\nK = 2\r\nj=0\r\nk=3\r\n[a]\r\nk=4\r\n", "a", "k", "9", "[a]\r\nk=9\r\nj=0\r\n[a]\r\nk=4\r\n"},
        {"[a]\r\n  Speed  = old \r\n", "a", "speed", "new", "[a]\r\n  Speed  =new\r\n"},
        {"[a]\nk=1", "b", "k", "", "[a]\nk=1\n[b]\nk=\n"},
        {"k=0\r\n[a]\r\n", " a ", " k ", "1", "k=0\r\n[a]\r\nk=1\r\n"},
        {"\xEF\xBB\xBF[a]\r\nk=v\r\n", "a", "k", "w", "\xEF\xBB\xBF[a]\r\nk=w\r\n"},
        {"[a]\r\n", "a", "k", "1\r\n[b]", nullptr},
        {"[a]\r\n", "a", "k=", "1", nullptr},
        {"[a]\r\n", "a", "[k]", "1", nullptr},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        IniDocument doc(rows[i].before);
        const bool set = doc.set(rows[i].section, rows[i].key, rows[i].value);
        EXPECT_EQ(set, rows[i].after != nullptr) << "row " << i;
        EXPECT_EQ(doc.bytes(), rows[i].after ? rows[i].after : rows[i].before) << "row " << i;
    }
}

TEST(IniDocument, SectionNamesAndAMegabyteOfJunk)
{
    EXPECT_EQ(IniDocument("[a]\r\n[b]\r\n[A]\r\n[]\r\nk=1\r\n").sectionNames(), (std::vector<std::string>{"a", "b"}));
    std::string junk;
    while (junk.size() < (1 << 20))
        junk += "\x81\xFF=[junk;#\r\r\n\x1a\n";
    IniDocument doc(junk);
    EXPECT_TRUE(doc.set("1:0", "kbSpeeds", "8448"));
    EXPECT_EQ(doc.bytes(), junk + "[1:0]\rkbSpeeds=8448\r");
}

}  // namespace
