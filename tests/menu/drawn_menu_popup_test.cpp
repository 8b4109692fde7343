// A CDrawnMenu with a banner opened as a real popup menu in this process:
// the banner column of the menu window must show the band and the title
// even where the system sends no draw request for the 0-pixel-high banner
// item.
#include <gtest/gtest.h>
#include <windows.h>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"
#include "tests/support/gdi_count.h"

namespace {

const COLORREF WHITE = RGB(255, 255, 255);
const UINT_PTR SAFETY_TIMER = 7;

struct Sample {
    bool taken = false;
    COLORREF top = 0;     // band, just below the first entry's top
    COLORREF bottom = 0;  // band, bottom row of the last entry
    int whitePixels = 0;  // title, in the banner column
    int bannerWidth = 0;
};

CDrawnMenu* g_menu = nullptr;
Sample g_sample;

RECT clientRectOfItem(HWND hMenuWnd, HMENU hMenu, int pos)
{
    RECT rc = {};
    GetMenuItemRect(hMenuWnd, hMenu, pos, &rc);
    MapWindowPoints(nullptr, hMenuWnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// Reads the open menu window back once it is idle, then closes the menu.
void sampleAndClose(HWND hMenuWnd)
{
    if (g_sample.taken)
        return;
    g_sample.taken = true;
    UpdateWindow(hMenuWnd);
    HMENU hMenu = g_menu->m_hMenu;
    const RECT banner = clientRectOfItem(hMenuWnd, hMenu, 0);
    const RECT first = clientRectOfItem(hMenuWnd, hMenu, 1);
    const RECT last = clientRectOfItem(hMenuWnd, hMenu, GetMenuItemCount(hMenu) - 1);
    g_sample.bannerWidth = banner.right - banner.left;
    HDC dc = GetDC(hMenuWnd);
    const int x = banner.left + 1;
    g_sample.top = GetPixel(dc, x, first.top + 1);
    g_sample.bottom = GetPixel(dc, x, last.bottom - 1);
    for (int y = first.top; y < last.bottom; ++y)
        for (int xx = banner.left; xx < banner.right; ++xx)
            g_sample.whitePixels += GetPixel(dc, xx, y) == WHITE;
    ReleaseDC(hMenuWnd, dc);
    EndMenu();
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
        if (wParam == MSGF_MENU && lParam != 0)
            sampleAndClose(reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        // The menu never became idle: close it so that the test ends.
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
        SetTimer(owner, SAFETY_TIMER, 5000, nullptr);
        TrackPopupMenu(menu.m_hMenu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, 100, 100, 0, owner, nullptr);
        KillTimer(owner, SAFETY_TIMER);
        EXPECT_EQ(gdicount::live(), liveBefore) << "drawing the open menu left GDI objects behind";
        g_menu = nullptr;
    }
    DestroyWindow(owner);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);

    ASSERT_TRUE(g_sample.taken) << "the menu never became idle";
    EXPECT_GT(g_sample.bannerWidth, 0);
    // Dark blue at the bottom, near black at the top, white title in between.
    EXPECT_EQ(g_sample.bottom, RGB(0, 0, 192)) << describe(g_sample.bottom);
    const COLORREF top = g_sample.top;
    EXPECT_TRUE(GetRValue(top) == 0 && GetGValue(top) == 0 && GetBValue(top) < 32) << describe(top);
    EXPECT_GT(g_sample.whitePixels, 40);
}

} // namespace
