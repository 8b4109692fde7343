// The portable core: case-blind comparison of double-byte text, list
// positions and removal. The rest is tested through the code that uses it.
#include <gtest/gtest.h>

#include <string>

#include "framework/collections.h"

namespace {

TEST(CStringOps, CompareNoCaseFoldsAsciiButNotDoubleByteCharacters)
{
    EXPECT_TRUE(CString("TRUE").CompareNoCase("true") == 0 && CString("yes").CompareNoCase("yess") != 0);
    // A trail byte that happens to be an ASCII capital must not be folded.
    EXPECT_TRUE(CString("\x81" "A").CompareNoCase("\x81" "a") != 0 && CString("\x81" "A").CompareNoCase("\x81" "A") == 0);
    EXPECT_GT(CString("a").CompareNoCase(nullptr), 0);
}

std::string items(const CStringList& list)
{
    std::string text;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        text += list.GetNext(pos).str() + ";";
    return text;
}

// Indexes stop at the last element; removing at either end keeps the list
// whole for the elements added after it.
TEST(Lists, IndexesAndRemovalAtTheEnds)
{
    CStringList l;
    EXPECT_EQ(l.FindIndex(0), nullptr);
    for (const char* s : {"48", "40", "8", "4"})
        l.AddTail(s);
    EXPECT_EQ(l.GetAt(l.FindIndex(3)), "4");
    EXPECT_TRUE(l.FindIndex(4) == nullptr && l.FindIndex(-1) == nullptr);
    EXPECT_TRUE(l.Find("40") == l.FindIndex(1) && l.Find("7") == nullptr);
    l.RemoveAt(l.FindIndex(1));
    l.RemoveAt(l.FindIndex(2));
    l.AddTail("2");
    l.RemoveAt(l.GetHeadPosition());
    l.AddTail("1");
    EXPECT_TRUE(items(l) == "8;2;1;" && l.GetCount() == 3) << items(l) << " count " << l.GetCount();
    l.RemoveAll();
    l.AddTail("1");
    EXPECT_EQ(items(l), "1;") << "the list is whole again after emptying";
}

}  // namespace
