// The portable core: the string operations the parsers rely on and list
// positions. (Run-time class checks are the menu tests', the trace sink
// every drive test's.)
#include <gtest/gtest.h>

#include <string>

#include "framework/collections.h"

namespace {

TEST(CStringOps, SlicingClampsAndFindStopsAtTheEnd)
{
    CString s("8X (1408KB/S)"), list("a,b,,c");
    EXPECT_EQ(s.Left(2), "8X");
    EXPECT_EQ(s.Mid(4, 4), "1408");
    EXPECT_TRUE(s.Left(-3) == "" && s.Left(100) == s && s.Mid(100) == "");
    EXPECT_EQ(s.Mid(-5, 2), "8X");
    EXPECT_EQ(s.GetAt(100), '\0');
    EXPECT_EQ(list.Find(','), 1);
    EXPECT_EQ(list.Find(',', 2), 3);
    EXPECT_EQ(list.Find(',', 6), -1);
    EXPECT_EQ(list.Find(",,"), 3);
    EXPECT_EQ(CString().Find('a'), -1);
    EXPECT_EQ(CString(nullptr), "");
    CString t;  // longer than any fixed buffer
    t.Format("[%s]", static_cast<const char*>(CString(std::string(700, 'x').c_str())));
    EXPECT_EQ(t.GetLength(), 702);
}

TEST(CStringOps, CompareNoCaseFoldsAsciiButNotDoubleByteCharacters)
{
    EXPECT_EQ(CString("TRUE").CompareNoCase("true"), 0);
    EXPECT_NE(CString("yes").CompareNoCase("yess"), 0);
    // A trail byte that happens to be an ASCII capital must not be folded.
    EXPECT_NE(CString("\x81" "A").CompareNoCase("\x81" "a"), 0);
    EXPECT_EQ(CString("\x81" "A").CompareNoCase("\x81" "A"), 0);
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
    EXPECT_EQ(l.Find("40"), l.FindIndex(1));
    EXPECT_EQ(l.Find("7"), nullptr);
    l.RemoveAt(l.FindIndex(1));
    l.RemoveAt(l.FindIndex(2));
    l.AddTail("2");
    l.RemoveAt(l.GetHeadPosition());
    l.AddTail("1");
    EXPECT_EQ(items(l), "8;2;1;");
    EXPECT_EQ(l.GetCount(), 3);
    l.RemoveAll();
    l.AddTail("1");
    EXPECT_EQ(items(l), "1;") << "the list is whole again after emptying";
}

}  // namespace
