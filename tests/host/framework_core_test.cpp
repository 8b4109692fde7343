// The portable core: the string operations the parsers rely on and list
// positions. (Run-time class checks are the menu tests', the trace sink
// every drive test's.)
#include <gtest/gtest.h>

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

// Indexes stop at the last element (FindIndex of the count gives null
// whether or not it is refused: no test can tell the two apart).
TEST(Lists, IndexesStopAtTheLastElement)
{
    CStringList l;
    EXPECT_EQ(l.FindIndex(0), nullptr);
    for (const char* s : {"48", "40", "8"})
        l.AddTail(s);
    EXPECT_EQ(l.GetAt(l.FindIndex(2)), "8");
    EXPECT_TRUE(l.FindIndex(3) == nullptr && l.FindIndex(-1) == nullptr);
    EXPECT_EQ(l.Find("40"), l.FindIndex(1));
    EXPECT_EQ(l.Find("7"), nullptr);
    l.RemoveAt(l.FindIndex(1));
    EXPECT_EQ(l.GetAt(l.FindIndex(1)), "8");
    l.RemoveAll();
    l.AddTail("1");
    EXPECT_EQ(l.GetCount(), 1);
    EXPECT_EQ(l.GetAt(l.GetHeadPosition()), "1") << "the list is whole again after emptying";
}

}  // namespace
