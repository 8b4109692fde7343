// A CDrawnMenu with a banner opened as a real popup menu in this process:
// the banner column of the menu window must show the band and the title
// even where the system sends no draw request for the 0-pixel-high banner
// item (Wine sends none).
#include <gtest/gtest.h>
#include <windows.h>

#include "menu/drawn_menu.h"
#include "tests/support/gdi_count.h"

namespace {

CDrawnMenu* g_menu = nullptr;
COLORREF g_top = 0, g_bottom = 0;  // the band below the first entry's top, at the last entry's bottom
int g_white = -1;                  // title pixels in the banner column; -1 until the menu was idle

// Owner of the menu; reads the open menu's window back once it is idle, then
// closes it (also when it never becomes idle: the timer).
LRESULT CALLBACK ownerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_MEASUREITEM || msg == WM_DRAWITEM) {
        msg == WM_DRAWITEM ? g_menu->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam))
                           : g_menu->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        return TRUE;
    }
    if (msg == WM_ENTERIDLE && wParam == MSGF_MENU && lParam != 0 && g_white < 0) {
        HWND hMenuWnd = reinterpret_cast<HWND>(lParam);
        UpdateWindow(hMenuWnd);
        RECT rc[3] = {};
        const UINT items[3] = {0, 1, static_cast<UINT>(GetMenuItemCount(g_menu->m_hMenu) - 1)};
        for (int i = 0; i < 3; ++i) {
            GetMenuItemRect(hMenuWnd, g_menu->m_hMenu, items[i], &rc[i]);
            MapWindowPoints(nullptr, hMenuWnd, reinterpret_cast<POINT*>(&rc[i]), 2);
        }
        HDC dc = GetDC(hMenuWnd);
        g_top = GetPixel(dc, rc[0].left + 1, rc[1].top + 1);
        g_bottom = GetPixel(dc, rc[0].left + 1, rc[2].bottom - 1);
        g_white = 0;
        for (int y = rc[1].top; y < rc[2].bottom; ++y)
            for (int x = rc[0].left; x < rc[0].right; ++x)
                g_white += GetPixel(dc, x, y) == RGB(255, 255, 255);
        ReleaseDC(hMenuWnd, dc);
        EndMenu();
    } else if (msg == WM_TIMER) {
        EndMenu();
    }
    return msg == WM_ENTERIDLE || msg == WM_TIMER ? 0 : DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST(DrawnMenuPopup, BannerColumnShowsTheBandAndTheTitle)
{
    ASSERT_TRUE(gdicount::install());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ownerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DrawnMenuPopupOwner";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND owner = CreateWindowA(wc.lpszClassName, "owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    SetForegroundWindow(owner);
    {
        CDrawnMenu menu;
        ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
        g_menu = &menu;
        ASSERT_TRUE(menu.AppendBanner(new CDrawnMenuBannerEntry("TRELVIK", 24)));
        for (UINT id = 1; id <= 6; ++id)
            ASSERT_TRUE(menu.AppendEntry(0, new CDrawnMenuCommandEntry(id, "Item")));
        const int liveBefore = gdicount::live();
        SetTimer(owner, 1, 5000, nullptr);
        TrackPopupMenu(menu.m_hMenu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, 100, 100, 0, owner, nullptr);
        KillTimer(owner, 1);
        EXPECT_EQ(gdicount::live(), liveBefore) << "drawing the open menu left GDI objects behind";
    }
    DestroyWindow(owner);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
    ASSERT_GE(g_white, 0) << "the menu never became idle";
    // Dark blue at the bottom, near black at the top, white title in between.
    EXPECT_EQ(g_bottom, RGB(0, 0, 192)) << std::hex << g_bottom;
    EXPECT_TRUE(GetRValue(g_top) == 0 && GetGValue(g_top) == 0 && GetBValue(g_top) < 32) << std::hex << g_top;
    EXPECT_GT(g_white, 40);
}

}  // namespace
