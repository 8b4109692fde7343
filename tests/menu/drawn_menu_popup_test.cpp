// A CDrawnMenu with a banner opened as a real popup menu in this process:
// the banner column of the menu window must show the band and the title
// even where the system sends no draw request for the 0-pixel-high banner
// item (Wine sends none).
#include <gtest/gtest.h>
#include <windows.h>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"
#include "tests/support/gdi_count.h"

namespace {

CDrawnMenu* g_menu = nullptr;
bool g_sampled = false;
COLORREF g_top = 0;    // band, just below the first entry's top
COLORREF g_bottom = 0; // band, bottom row of the last entry
int g_white = 0;       // title pixels in the banner column

// Item pos of the menu in client coordinates of the menu window.
RECT itemRect(HWND hMenuWnd, int pos)
{
    RECT rc = {};
    GetMenuItemRect(hMenuWnd, g_menu->m_hMenu, pos, &rc);
    MapWindowPoints(nullptr, hMenuWnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

LRESULT CALLBACK ownerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MEASUREITEM:
        g_menu->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_DRAWITEM:
        g_menu->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    case WM_ENTERIDLE:
        // The open menu is idle: read its window back once, then close it.
        if (wParam == MSGF_MENU && lParam != 0 && !g_sampled) {
            HWND hMenuWnd = reinterpret_cast<HWND>(lParam);
            g_sampled = true;
            UpdateWindow(hMenuWnd);
            const RECT banner = itemRect(hMenuWnd, 0);
            const RECT first = itemRect(hMenuWnd, 1);
            const RECT last = itemRect(hMenuWnd, GetMenuItemCount(g_menu->m_hMenu) - 1);
            HDC dc = GetDC(hMenuWnd);
            g_top = GetPixel(dc, banner.left + 1, first.top + 1);
            g_bottom = GetPixel(dc, banner.left + 1, last.bottom - 1);
            for (int y = first.top; y < last.bottom; ++y)
                for (int x = banner.left; x < banner.right; ++x)
                    g_white += GetPixel(dc, x, y) == RGB(255, 255, 255);
            ReleaseDC(hMenuWnd, dc);
            EndMenu();
        }
        return 0;
    case WM_TIMER: // the menu never became idle: close it so that the test ends
        EndMenu();
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST(DrawnMenuPopup, BannerColumnShowsTheBandAndTheTitle)
{
    ASSERT_TRUE(gdicount::install());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ownerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DrawnMenuPopupOwner";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND owner = CreateWindowA(wc.lpszClassName, "owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
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
        g_menu = nullptr;
    }
    DestroyWindow(owner);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);

    ASSERT_TRUE(g_sampled) << "the menu never became idle";
    // Dark blue at the bottom, near black at the top, white title in between.
    EXPECT_EQ(g_bottom, RGB(0, 0, 192)) << describe(g_bottom);
    EXPECT_TRUE(GetRValue(g_top) == 0 && GetGValue(g_top) == 0 && GetBValue(g_top) < 32) << describe(g_top);
    EXPECT_GT(g_white, 40);
}

} // namespace
