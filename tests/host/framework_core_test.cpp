// The portable core: the string operations the parsers rely on, list
// positions, run-time class checks and the trace sink.
#include <gtest/gtest.h>

#include "framework/collections.h"
#include "framework/trace.h"

namespace {

struct Base : CObject {
    DECLARE_DYNAMIC(Base)
};
IMPLEMENT_DYNAMIC(Base, CObject)
struct Derived : Base {
    DECLARE_DYNAMIC(Derived)
};
IMPLEMENT_DYNAMIC(Derived, Base)

TEST(RuntimeClass, KindFollowsTheBaseChainOnly)
{
    Derived d;
    Base b;
    EXPECT_TRUE(d.IsKindOf(RUNTIME_CLASS(Base)) && d.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(b.IsKindOf(RUNTIME_CLASS(Derived)) || b.IsKindOf(nullptr));
}

TEST(CStringOps, SlicingClampsAndFindStopsAtTheEnd)
{
    CString s("8X (1408KB/S)");
    EXPECT_EQ(s.Left(2), "8X");
    EXPECT_EQ(s.Mid(4, 4), "1408");
    EXPECT_EQ(s.Left(-3), "");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Mid(100), "");
    EXPECT_EQ(s.Mid(-5, 2), "8X");
    EXPECT_EQ(s.GetAt(100), '\0');
    CString list("a,b,,c");
    EXPECT_EQ(list.Find(','), 1);
    EXPECT_EQ(list.Find(',', 2), 3);
    EXPECT_EQ(list.Find(',', 6), -1);
    EXPECT_EQ(list.Find(",,"), 3);
    EXPECT_EQ(CString().Find('a'), -1);
    EXPECT_EQ(CString(nullptr), "");
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

// Longer than any fixed buffer; the edit-control reads go through GetBuffer.
TEST(CStringOps, FormatLongOutputAndBuffers)
{
    CString t;
    t.Format("[%s]", static_cast<const char*>(CString(std::string(700, 'x').c_str())));
    EXPECT_EQ(t.GetLength(), 702);
    CString s;
    char* p = s.GetBuffer(10);
    p[0] = 'h', p[1] = 'i', p[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s, "hi");
}

TEST(Lists, IndexesStopAtTheLastElement)
{
    CStringList l;
    EXPECT_EQ(l.FindIndex(0), nullptr);
    l.AddTail("48");
    l.AddTail("40");
    l.AddTail("8");
    EXPECT_EQ(l.GetAt(l.FindIndex(2)), "8");
    EXPECT_EQ(l.FindIndex(3), nullptr);
    EXPECT_EQ(l.FindIndex(-1), nullptr);
    EXPECT_EQ(l.Find("40"), l.FindIndex(1));
    EXPECT_EQ(l.Find("7"), nullptr);
    l.RemoveAll();
    l.AddTail("1");
    EXPECT_EQ(l.GetCount(), 1);
    EXPECT_EQ(l.GetAt(l.GetHeadPosition()), "1") << "the list is whole again after emptying";
}

std::string g_traced;

TEST(TraceSink, FormatsOnlyWhenASinkIsInstalled)
{
    TraceSink old = SetTraceSink([](const char* line) { g_traced += line; });
    Trace("Found %d Host Adapter(s)", 2);
    SetTraceSink(nullptr);
    Trace("dropped %d", 1);
    SetTraceSink(old);
    EXPECT_EQ(g_traced, "Found 2 Host Adapter(s)");
}

}  // namespace
