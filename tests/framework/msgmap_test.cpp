// Message maps: the first matching row wins, the class's own rows before its
// base's, commands and notifications told apart by their code, and the
// default route of owner-drawn menu items to their CMenu object.
#include <gtest/gtest.h>

#include <string>

#include "framework/afxwin.h"

namespace {

UINT g_registeredMessage = 0;
const LPARAM kControl = 0x1234; // stands for a control's window handle

class CMapBase : public CWnd {
public:
    std::string m_log;

protected:
    void OnBaseCommand() { m_log += "base-2001 "; }
    void OnBaseOnly() { m_log += "base-2050 "; }
    void OnBaseRange(UINT nID) { m_log += "base-range-" + std::to_string(nID) + " "; }
    LRESULT OnBaseMessage(WPARAM, LPARAM) { m_log += "base-msg "; return 1; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMapBase, CWnd)
    ON_COMMAND(2001, &CMapBase::OnBaseCommand)
    ON_COMMAND(2050, &CMapBase::OnBaseOnly)
    ON_COMMAND_RANGE(2100, 2110, &CMapBase::OnBaseRange)
    ON_MESSAGE(WM_APP + 1, &CMapBase::OnBaseMessage)
END_MESSAGE_MAP()

class CMapDerived : public CMapBase {
protected:
    void OnDerivedCommand() { m_log += "derived-2001 "; }
    void OnRange(UINT nID) { m_log += "range-" + std::to_string(nID) + " "; }
    void OnShadowed() { m_log += "shadowed "; }
    void OnSelChange() { m_log += "selchange-2001 "; }
    void OnClicked() { m_log += "clicked-2200 "; }
    LRESULT OnRegistered(WPARAM wParam, LPARAM lParam)
    {
        m_log += "registered-" + std::to_string(wParam) + "-" + std::to_string(lParam) + " ";
        return 7;
    }
    void OnTimer(UINT_PTR nIDEvent) { m_log += "timer-" + std::to_string(nIDEvent) + " "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMapDerived, CMapBase)
    ON_CBN_SELCHANGE(2001, &CMapDerived::OnSelChange)
    ON_COMMAND(2001, &CMapDerived::OnDerivedCommand)
    ON_COMMAND_RANGE(2000, 2005, &CMapDerived::OnRange)
    ON_COMMAND(2003, &CMapDerived::OnShadowed)
    ON_BN_CLICKED(2200, &CMapDerived::OnClicked)
    ON_REGISTERED_MESSAGE(g_registeredMessage, &CMapDerived::OnRegistered)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(MessageMap, FirstMatchingRowWinsDerivedBeforeBase)
{
    struct Row {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* expected;
    };
    const Row rows[] = {
        /* 0 */ {WM_COMMAND, MAKEWPARAM(2001, 0), 0, "derived-2001 "},
        /* 1 */ {WM_COMMAND, MAKEWPARAM(2001, 1), 0, "derived-2001 "}, // accelerator
        /* 2 */ {WM_COMMAND, MAKEWPARAM(2001, BN_CLICKED), kControl, "derived-2001 "},
        /* 3 */ {WM_COMMAND, MAKEWPARAM(2001, CBN_SELCHANGE), kControl, "selchange-2001 "},
        /* 4 */ {WM_COMMAND, MAKEWPARAM(2003, 0), 0, "range-2003 "},
        /* 5 */ {WM_COMMAND, MAKEWPARAM(2005, 0), 0, "range-2005 "},
        /* 6 */ {WM_COMMAND, MAKEWPARAM(2050, 0), 0, "base-2050 "},
        /* 7 */ {WM_COMMAND, MAKEWPARAM(2107, 0), 0, "base-range-2107 "},
        /* 8 */ {WM_COMMAND, MAKEWPARAM(2006, 0), 0, ""},
        /* 9 */ {WM_COMMAND, MAKEWPARAM(2004, EN_CHANGE), kControl, ""},
        /* 10 */ {WM_COMMAND, MAKEWPARAM(2200, BN_CLICKED), kControl, "clicked-2200 "},
        /* 11 */ {WM_APP + 1, 0, 0, "base-msg "},
        /* 12 */ {WM_TIMER, 9, 0, "timer-9 "},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        CMapDerived wnd;
        wnd.WindowProc(rows[i].message, rows[i].wParam, rows[i].lParam);
        EXPECT_EQ(wnd.m_log, rows[i].expected) << "row " << i;
    }
}

TEST(MessageMap, RegisteredMessageIsReadWhenDispatching)
{
    CMapDerived wnd;
    g_registeredMessage = 0;
    wnd.WindowProc(WM_APP + 7, 1, 2);
    EXPECT_EQ(wnd.m_log, "") << "registered message not yet known";

    g_registeredMessage = RegisterWindowMessageA("KesvoraFrameworkTest");
    ASSERT_NE(g_registeredMessage, 0u);
    EXPECT_EQ(wnd.WindowProc(g_registeredMessage, 3, 4), 7);
    EXPECT_EQ(wnd.m_log, "registered-3-4 ");
    g_registeredMessage = 0;
}

class CRecordingMenu : public CMenu {
public:
    int m_nDrawn = 0;
    UINT m_lastItem = 0;
    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override
    {
        ++m_nDrawn;
        m_lastItem = lpDIS->itemID;
    }
};

DRAWITEMSTRUCT MenuItem(HMENU hMenu, UINT itemID)
{
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_MENU;
    dis.itemID = itemID;
    dis.hwndItem = reinterpret_cast<HWND>(hMenu);
    return dis;
}

TEST(MessageMap, OwnerDrawnMenuItemsReachTheAttachedMenu)
{
    CRecordingMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());

    // No WM_DRAWITEM row: the default route.
    CMapDerived plain;
    DRAWITEMSTRUCT dis = MenuItem(menu.m_hMenu, 32771);
    EXPECT_EQ(plain.WindowProc(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(menu.m_nDrawn, 1);
    EXPECT_EQ(menu.m_lastItem, 32771u);

    // A menu nobody attached is left to the default processing.
    HMENU hLoose = CreatePopupMenu();
    dis = MenuItem(hLoose, 1);
    plain.WindowProc(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis));
    EXPECT_EQ(menu.m_nDrawn, 1);
    DestroyMenu(hLoose);
}

} // namespace
