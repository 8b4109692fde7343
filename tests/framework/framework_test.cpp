// The framework's Win32 half through one test dialog: its message map (the first matching
// row wins, the class's rows before its base's), modal loops nested in a main window, and
// data exchange with its controls.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/afxwin.h"
#include "test_resource.h"
#include "tests/support/box_watch.h"

namespace {

constexpr UINT WM_TEST_RUN = WM_APP + 100;  // runs the dialog's onRun
CWinApp g_app;

struct CBaseDialog : CDialog {
    using CDialog::CDialog;
    std::string log;
    void OnBase() { log += "base-2001 "; }  // shadowed by the derived class's row
    void OnBaseRange(UINT nID) { log += "base-range-" + std::to_string(nID) + " "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseDialog, CDialog)
    ON_COMMAND(2001, &CBaseDialog::OnBase)
    ON_COMMAND_RANGE(2100, 2110, &CBaseDialog::OnBaseRange)
END_MESSAGE_MAP()

// onRun, when set, runs from a message posted by OnInitDialog, inside the modal loop.
struct CTestDialog : CBaseDialog {
    CTestDialog() : CBaseDialog(IDD_TEST_DIALOG) {}
    std::function<void(CTestDialog&)> onRun;
    std::function<void(CDataExchange*)> onExchange;
    BOOL OnInitDialog() override { CDialog::OnInitDialog(); if (onRun) PostMessage(WM_TEST_RUN); return TRUE; }
    void DoDataExchange(CDataExchange* pDX) override { if (onExchange) onExchange(pDX); }
    LRESULT OnRun(WPARAM, LPARAM) { onRun(*this); return 0; }
    void OnSelChange() { log += "selchange-2001 "; }
    void OnCommand2001() { log += "derived-2001 "; }
    void OnRange(UINT nID) { log += "range-" + std::to_string(nID) + " "; }
    void OnShadowed() { log += "shadowed "; }
    void OnDestroy() { CDialog::OnDestroy(); log += "destroy "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDialog, CBaseDialog)
    ON_CBN_SELCHANGE(2001, &CTestDialog::OnSelChange)
    ON_COMMAND(2001, &CTestDialog::OnCommand2001)
    ON_COMMAND_RANGE(2000, 2005, &CTestDialog::OnRange)
    ON_COMMAND(2003, &CTestDialog::OnShadowed)
    ON_MESSAGE(WM_TEST_RUN, &CTestDialog::OnRun)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

struct CRecordingMenu : CMenu { UINT drawn = 0; void DrawItem(LPDRAWITEMSTRUCT lpDIS) override { drawn = lpDIS->itemID; } };

// Commands (1: an accelerator's) and notifications from a control; then,
// without a WM_DRAWITEM row, an owner-drawn menu item goes to its CMenu and
// one of a menu nobody attached is left to the default processing.
TEST(MessageMap, FirstMatchingRowWinsAndMenuItemsGoToTheirMenu)
{
    const LPARAM control = 0x1234;  // stands for a control's window handle
    const struct { WPARAM wParam; LPARAM lParam; const char* expected; } rows[] = {
        {MAKEWPARAM(2001, 1), 0, "derived-2001 "}, {MAKEWPARAM(2001, BN_CLICKED), control, "derived-2001 "},
        {MAKEWPARAM(2001, CBN_SELCHANGE), control, "selchange-2001 "}, {MAKEWPARAM(2003, 0), 0, "range-2003 "},
        {MAKEWPARAM(2005, 0), 0, "range-2005 "}, {MAKEWPARAM(2110, 0), 0, "base-range-2110 "},
        {MAKEWPARAM(2006, 0), 0, ""}, {MAKEWPARAM(2004, EN_CHANGE), control, ""},
    };
    for (const auto& row : rows) {
        CTestDialog dlg;
        dlg.WindowProc(WM_COMMAND, row.wParam, row.lParam);
        EXPECT_EQ(dlg.log, row.expected) << std::hex << row.wParam;
    }
    CRecordingMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    HMENU hLoose = CreatePopupMenu();
    CTestDialog dlg;
    DRAWITEMSTRUCT dis = {ODT_MENU, 0, 32771, 0, 0, reinterpret_cast<HWND>(menu.m_hMenu), nullptr, {}, 0};
    EXPECT_EQ(dlg.WindowProc(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), TRUE);
    dis.itemID = 1;
    dis.hwndItem = reinterpret_cast<HWND>(hLoose);
    dlg.WindowProc(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(menu.drawn, 32771u);
    DestroyMenu(hLoose);
}

// A main window, a dialog it owns run from its loop, the outer one asked to end first: the
// inner loop still ends first, the owner is disabled meanwhile and enabled again (unless
// it was disabled beforehand), and each window is gone when its DoModal returns.
TEST(ModalDialog, NestedLoopsUnwindInOrderAndTheOwnerIsRestored)
{
    for (bool disabledBefore : {false, true}) {
        std::string log;
        CTestDialog outer;
        g_app.m_pMainWnd = &outer;  // the inner dialog has no parent: the main window owns it
        outer.onRun = [&](CTestDialog& o) {
            o.EnableWindow(!disabledBefore);
            CTestDialog inner;
            HWND hInner = nullptr;
            inner.onRun = [&](CTestDialog& d) {
                if (hInner != nullptr)
                    return d.EndDialog(2);
                hInner = d.m_hWnd;
                log += ::IsWindowEnabled(o.m_hWnd) ? "owner-enabled " : "owner-disabled ";
                log += GetWindow(d.m_hWnd, GW_OWNER) == o.m_hWnd ? "owned " : "unowned ";
                o.EndDialog(1);
                d.PostMessage(WM_TEST_RUN);  // the inner loop goes on
            };
            log += "inner-" + std::to_string(inner.DoModal()) + (IsWindow(hInner) ? " alive " : " gone ") + inner.log;
            log += ::IsWindowEnabled(o.m_hWnd) ? "enabled " : "disabled ";
        };
        EXPECT_EQ(outer.DoModal(), 1);
        EXPECT_EQ(outer.m_hWnd, nullptr);
        EXPECT_EQ(log + outer.log, std::string("owner-disabled owned inner-2 gone destroy ") +
                                       (disabledBefore ? "disabled " : "enabled ") + "destroy ");
        g_app.m_pMainWnd = nullptr;
    }
}

// What DDX_Text takes for an integer: decimal, blanks around, within int.
TEST(DataExchange, IntegerParsing)
{
    const struct { const char* text; bool ok; int value; } rows[] = {
        {" 12 ", true, 12}, {"-3", true, -3}, {"+7", true, 7}, {"\t42\t", true, 42}, {"007", true, 7},
        {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1}, {"12a", false, 0}, {"", false, 0},
        {"   ", false, 0}, {"99999999999", false, 0}, {"2147483648", false, 0}, {"-2147483649", false, 0},
        {"-", false, 0}, {"1 2", false, 0}, {"0x10", false, 0}, {"- 5", false, 0}, {nullptr, false, 0},
    };
    for (const auto& row : rows) {
        int value = 77;
        EXPECT_EQ(ParseDdxInt(row.text, value), row.ok) << (row.text ? row.text : "(null)");
        EXPECT_EQ(value, row.ok ? row.value : 77) << (row.text ? row.text : "(null)");
    }
}

// OK exchanges and validates: the values written at the start read back the same once a
// valid number is typed and Enter pressed in the edit. Until then every OK reports the
// first failure only, keeps the dialog open with the focus on the failing edit and its
// text selected, and changes nothing after it.
TEST(DataExchange, OkReadsBackAndTheFirstFailureKeepsTheDialogOpen)
{
    const struct {
        const char *typed, *message;
    } failures[] = {{"abc", "请键入一个整数。"}, {"700", "请输入一个介于 1 和 600 之间的整数。"}};
    BoxWatch boxes;
    CTestDialog dlg;
    int number = -42, check = 1;
    CString text = "中文 text";
    dlg.onExchange = [&](CDataExchange* pDX) {
        DDX_Text(pDX, IDC_NUMBER, number);
        DDV_MinMaxInt(pDX, number, 1, 600);
        DDX_Text(pDX, IDC_TEXT, text);
        DDX_Check(pDX, IDC_CHECK, check);
    };
    std::vector<std::string> problems;
    dlg.onRun = [&](CTestDialog& d) {
        HWND hEdit = GetDlgItem(d.m_hWnd, IDC_NUMBER);
        for (const auto& row : failures) {
            SetWindowTextA(hEdit, row.typed);
            text = "";
            check = 0;
            d.SendMessage(WM_COMMAND, IDOK);
            DWORD start = 0, end = 0;
            SendMessageA(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            if (!IsWindowVisible(d.m_hWnd) || GetFocus() != hEdit || start != 0 || end != strlen(row.typed) ||
                text.GetLength() != 0 || check != 0)
                problems.push_back(std::string(row.typed) + ": closed, not focused, not selected or exchanged on");
        }
        SetWindowTextA(hEdit, "600");
        PostMessageA(hEdit, WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_EQ(number, 600);
    EXPECT_STREQ(text, "中文 text");
    EXPECT_EQ(check, 1);
    std::vector<std::string> shown;
    for (const SeenBox& box : boxes.seen())
        shown.push_back(box.text);
    EXPECT_EQ(shown, (std::vector<std::string>{failures[0].message, failures[1].message})) << "one box for each failed OK";
}

}  // namespace
