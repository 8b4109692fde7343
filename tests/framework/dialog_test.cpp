// CDialog's modal loop: how a dialog ends, when its window is destroyed,
// nested loops, the owner's state, idle processing, and the keys and the
// close box reaching OnOK and OnCancel.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { theTestApp().m_idleCounts.clear(); }
    void TearDown() override { theTestApp().m_pMainWnd = nullptr; }
    std::string m_log;
};

TEST_F(DialogTest, EndDialogEndsOnlyTheLoopAndTheWindowGoesAfterIt)
{
    CTestDialog early(&m_log, "early");
    early.m_onInit = [](CTestDialog& d) { d.EndDialog(7); };
    EXPECT_EQ(early.DoModal(), 7);
    EXPECT_FALSE(IsWindow(early.m_hWndSeen));
    EXPECT_EQ(early.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(early.m_hWndSeen), nullptr);

    CTestDialog timed(&m_log, "timed");
    timed.m_onInit = [](CTestDialog& d) { d.SetTimer(1, 10, nullptr); };
    timed.m_onTimer = [](CTestDialog& d, UINT_PTR nID) {
        d.KillTimer(nID);
        d.EndDialog(5);
        d.Log(IsWindow(d.m_hWnd) ? "ended-alive" : "ended-gone");
    };
    EXPECT_EQ(timed.DoModal(), 5);
    EXPECT_EQ(m_log, "early-init early-destroy timed-init timed-ended-alive timed-destroy ");
}

// The template's initial combo-box items are in the control when the
// derived class's OnInitDialog runs, bytes as stored; the records the
// resource marks as unknown or unterminated are left out.
TEST_F(DialogTest, TemplateListItemsAreAddedBeforeOnInitDialog)
{
    CTestDialog dlg(&m_log, "d");
    std::vector<std::string> items;
    dlg.m_onInit = [&items](CTestDialog& d) {
        HWND hCombo = GetDlgItem(d.m_hWnd, IDC_COMBO);
        int n = static_cast<int>(SendMessageA(hCombo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char text[32] = "";
            SendMessageA(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(text);
        }
        d.EndDialog(0);
    };
    dlg.DoModal();
    EXPECT_EQ(items, (std::vector<std::string>{"off", "30 \xC3\xEB", "1m"}));
}

TEST_F(DialogTest, NestedLoopsUnwindInOrderAndTheOwnerIsDisabledMeanwhile)
{
    CTestDialog outer(&m_log, "outer");
    theTestApp().m_pMainWnd = &outer; // the inner dialog has no parent: the main window owns it
    outer.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
    outer.m_onRun = [this](CTestDialog& o) {
        CTestDialog inner(&m_log, "inner");
        inner.m_onInit = [&o](CTestDialog& d) {
            d.Log(::IsWindowEnabled(o.m_hWnd) ? "owner-enabled" : "owner-disabled");
            d.Log(GetWindow(d.m_hWnd, GW_OWNER) == o.m_hWnd ? "owned" : "unowned");
            d.SetTimer(1, 10, nullptr);
        };
        inner.m_onTimer = [&o](CTestDialog& d, UINT_PTR nID) {
            d.KillTimer(nID);
            // Ending the outer dialog first must not end the inner loop.
            o.EndDialog(1);
            d.PostMessage(WM_TEST_RUN);
        };
        inner.m_onRun = [](CTestDialog& d) { d.EndDialog(2); };
        INT_PTR nInner = inner.DoModal();
        o.Log("inner-returned-" + std::to_string(nInner));
        o.Log(::IsWindowEnabled(o.m_hWnd) ? "enabled" : "disabled");
        o.Log(IsWindow(o.m_hWnd) ? "alive" : "gone");
    };
    EXPECT_EQ(outer.DoModal(), 1);
    EXPECT_EQ(m_log,
        "outer-init inner-init inner-owner-disabled inner-owned inner-destroy "
        "outer-inner-returned-2 outer-enabled outer-alive outer-destroy ");
}

TEST_F(DialogTest, AnOwnerDisabledBeforehandStaysDisabled)
{
    CTestDialog outer(&m_log, "outer");
    outer.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
    outer.m_onRun = [this](CTestDialog& o) {
        o.EnableWindow(FALSE);
        CTestDialog inner(&m_log, "inner", &o);
        inner.m_onInit = [](CTestDialog& d) { d.EndDialog(3); };
        inner.DoModal();
        o.Log(::IsWindowEnabled(o.m_hWnd) ? "enabled" : "disabled");
        o.EndDialog(0);
    };
    outer.DoModal();
    EXPECT_EQ(m_log, "outer-init inner-init inner-destroy outer-disabled outer-destroy ");
}

TEST_F(DialogTest, IdleProcessingRunsWhileTheQueueIsEmpty)
{
    CTestDialog dlg(&m_log, "d");
    dlg.m_onInit = [](CTestDialog& d) { d.SetTimer(1, 100, nullptr); };
    dlg.m_onTimer = [](CTestDialog& d, UINT_PTR) { d.EndDialog(0); };
    dlg.DoModal();
    // Passes 0, 1, 2 in a row (the test application asks for more until 2),
    // and never a pass 3.
    const auto& counts = theTestApp().m_idleCounts;
    ASSERT_GE(counts.size(), 3u);
    EXPECT_EQ(std::vector<LONG>(counts.begin(), counts.begin() + 3), (std::vector<LONG>{0, 1, 2}));
    for (LONG n : counts)
        EXPECT_LE(n, 2);
}

TEST(Idle, DeletesTheTemporaryWrappers)
{
    HWND hWnd = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    HMENU hMenu = CreatePopupMenu();
    CWinApp& app = theTestApp();
    app.CWinApp::OnIdle(0);

    long before = LiveHeapBlocks();
    CWnd* pTemp = CWnd::FromHandle(hWnd);
    EXPECT_EQ(CWnd::FromHandle(hWnd), pTemp) << "one wrapper per handle until idle time";
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    CMenu::FromHandle(hMenu);
    EXPECT_GT(LiveHeapBlocks(), before);
    EXPECT_FALSE(app.CWinApp::OnIdle(0));
    EXPECT_EQ(LiveHeapBlocks(), before);

    EXPECT_TRUE(IsWindow(hWnd)) << "the wrapper did not own the window";
    EXPECT_TRUE(IsMenu(hMenu));
    DestroyMenu(hMenu);
    DestroyWindow(hWnd);
}

TEST_F(DialogTest, KeysAndTheCloseBoxReachOnOKAndOnCancel)
{
    struct Row {
        const char* how;
        UINT message;
        WPARAM wParam;
        bool toEdit;
        INT_PTR expected;
    };
    const Row rows[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN, true, IDOK},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, true, IDCANCEL},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, false, IDCANCEL},
        {"OK button", WM_COMMAND, IDOK, false, IDOK},
    };
    for (const Row& row : rows) {
        CTestDialog dlg(&m_log, "d");
        dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
        dlg.m_onRun = [&row](CTestDialog& d) {
            HWND hEdit = GetDlgItem(d.m_hWnd, IDC_NUMBER);
            ::SetFocus(hEdit);
            PostMessageA(row.toEdit ? hEdit : d.m_hWnd, row.message, row.wParam, 0);
        };
        EXPECT_EQ(dlg.DoModal(), row.expected) << row.how;
    }
}

} // namespace
