// The portable core: string operations the program's parsing relies on,
// list positions, run-time class checks and the trace sink.
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
    EXPECT_TRUE(d.IsKindOf(RUNTIME_CLASS(Base)));
    EXPECT_TRUE(d.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(b.IsKindOf(RUNTIME_CLASS(Derived)));
    EXPECT_FALSE(b.IsKindOf(nullptr));
    EXPECT_STREQ(d.GetRuntimeClass()->m_lpszClassName, "Derived");
}

TEST(CStringOps, SlicingClampsOutOfRangeArguments)
{
    CString s("8X (1408KB/S)");
    EXPECT_EQ(s.Left(2), "8X");
    EXPECT_EQ(s.Mid(4, 4), "1408");
    EXPECT_EQ(s.Left(-3), "");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Mid(100), "");
    EXPECT_EQ(s.Mid(-5, 2), "8X");
    EXPECT_EQ(s.GetAt(100), '\0');
}

TEST(CStringOps, Find)
{
    CString s("a,b,,c");
    EXPECT_EQ(s.Find(','), 1);
    EXPECT_EQ(s.Find(',', 2), 3);
    EXPECT_EQ(s.Find(',', 6), -1);
    EXPECT_EQ(s.Find(",,"), 3);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(CString().Find('a'), -1);
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

TEST(CStringOps, FormatLongOutputAndBuffers)
{
    CString big(static_cast<char>('x'), 700);
    CString t;
    t.Format("[%s]", static_cast<const char*>(big));
    EXPECT_EQ(t.GetLength(), 702);
    CString s;
    char* p = s.GetBuffer(10);
    p[0] = 'h';
    p[1] = 'i';
    p[2] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_EQ(CString(nullptr), "");
}

TEST(Lists, PositionsIndexesAndRemoval)
{
    CStringList l;
    EXPECT_EQ(l.GetHeadPosition(), nullptr);
    EXPECT_EQ(l.FindIndex(0), nullptr);
    l.AddTail("48");
    l.AddTail("40");
    l.AddTail("8");
    EXPECT_EQ(l.GetAt(l.FindIndex(2)), "8");
    EXPECT_EQ(l.FindIndex(3), nullptr);
    EXPECT_EQ(l.FindIndex(-1), nullptr);
    EXPECT_EQ(l.Find("40"), l.FindIndex(1));
    EXPECT_EQ(l.Find("7"), nullptr);

    l.RemoveAt(l.FindIndex(1));
    CString seen;
    for (POSITION pos = l.GetHeadPosition(); pos != nullptr;)
        seen += l.GetNext(pos) + ",";
    EXPECT_EQ(seen, "48,8,");
    l.RemoveAt(l.FindIndex(1));
    l.RemoveAt(l.FindIndex(0));
    EXPECT_TRUE(l.IsEmpty());
    l.AddTail("1");
    EXPECT_EQ(l.GetAt(l.GetHeadPosition()), "1") << "the list is whole again after emptying";

    Base a, b;
    CObList objects(10);
    objects.AddTail(&b);
    objects.AddTail(&a);
    EXPECT_EQ(objects.Find(&a), objects.FindIndex(1));
    EXPECT_EQ(objects.Find(&a, objects.FindIndex(1)), nullptr);
    objects.RemoveAll();  // the objects are not its to delete
    EXPECT_EQ(objects.GetCount(), 0);
}

std::string g_traced;
void captureTrace(const char* line) { g_traced += line; }

TEST(TraceSink, FormatsOnlyWhenASinkIsInstalled)
{
    TraceSink old = SetTraceSink(captureTrace);
    Trace("Found %d Host Adapter(s)", 2);
    SetTraceSink(nullptr);
    Trace("dropped %d", 1);
    SetTraceSink(old);
    EXPECT_EQ(g_traced, "Found 2 Host Adapter(s)");
}

}  // namespace
