// Draws a whole sample menu, as the tray menu looks, into a memory device
// context and saves it as menu-preview.bmp in the working directory (the
// build tree's bin/), for a person to look at.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <vector>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"

namespace {

// A round icon: a disc of one colour with a darker ring, transparent outside.
HICON makeDiscIcon(COLORREF inner, COLORREF ring)
{
    return makeIcon(32, [inner, ring](int x, int y, COLORREF* clr) {
        const double d = std::hypot(x - 15.5, y - 15.5);
        if (d > 15.5)
            return false;
        *clr = d > 12.5 ? ring : inner;
        return true;
    });
}

TEST(DrawnMenuPreview, SavesASampleMenu)
{
    CDrawnMenu menu;
    menu.m_clrSelection = RGB(102, 153, 255);
    struct Item {
        CDrawnMenuEntry* entry;
        UINT state;
    };
    CDrawnMenuBannerEntry banner("TRELVIK", 24);
    CDrawnMenuCommandEntry show(32771, "显示/隐藏(&D)", makeDiscIcon(RGB(40, 170, 60), RGB(200, 30, 30)));
    CDrawnMenuCommandEntry options(32777, "参数设置(&P)", makeDiscIcon(RGB(60, 90, 220), RGB(200, 200, 210)));
    CDrawnMenuDividerEntry divider1;
    CDrawnMenuCommandEntry eject(32773, "弹出光驱(&E)\tCtrl+E", makeDiscIcon(RGB(250, 150, 20), RGB(140, 140, 140)));
    CDrawnMenuCommandEntry close(32774, "关闭光驱(&L)", makeDiscIcon(RGB(250, 150, 20), RGB(140, 140, 140)));
    CDrawnMenuCommandEntry speed(32830, "8X (1411KB/S)");
    CDrawnMenuDividerEntry divider2;
    CDrawnMenuCommandEntry about(101, "关于本程序(&A)", makeDiscIcon(RGB(230, 230, 240), RGB(60, 60, 160)));
    CDrawnMenuCommandEntry exit(32778, "退出(&X)", makeDiscIcon(RGB(250, 220, 0), RGB(20, 20, 20)));
    const Item items[] = {
        {&show, 0},
        {&options, ODS_SELECTED},
        {&divider1, 0},
        {&eject, 0},
        {&close, ODS_GRAYED},
        {&speed, ODS_CHECKED},
        {&divider2, 0},
        {&about, ODS_DEFAULT},
        {&exit, ODS_CHECKED | ODS_SELECTED},
    };

    // Lay the items out as the system does: it adds SM_CXMENUCHECK - 1 to the
    // width of an owner-drawn item, and the banner column comes first.
    const int cxExtra = GetSystemMetrics(SM_CXMENUCHECK) - 1;
    auto measure = [&menu](CDrawnMenuEntry* e) {
        MEASUREITEMSTRUCT mis;
        ZeroMemory(&mis, sizeof(mis));
        mis.CtlType = ODT_MENU;
        mis.itemData = reinterpret_cast<ULONG_PTR>(e);
        menu.MeasureItem(&mis);
        return mis;
    };
    const int bannerWidth = static_cast<int>(measure(&banner).itemWidth) + cxExtra;
    int width = 0;
    int height = 0;
    std::vector<int> heights;
    for (const Item& item : items) {
        MEASUREITEMSTRUCT mis = measure(item.entry);
        width = std::max(width, static_cast<int>(mis.itemWidth) + cxExtra);
        heights.push_back(static_cast<int>(mis.itemHeight));
        height += heights.back();
    }
    const int left = bannerWidth + 3;
    Canvas canvas(left + width + 2, height + 2, GetSysColor(COLOR_MENU));
    HRGN clip = CreateRectRgn(0, 1, canvas.width(), height + 1);
    SelectClipRgn(canvas.dc(), clip);
    DeleteObject(clip);

    auto draw = [&](CDrawnMenuEntry* e, UINT state, RECT rc) {
        DRAWITEMSTRUCT dis;
        ZeroMemory(&dis, sizeof(dis));
        dis.CtlType = ODT_MENU;
        dis.itemState = state;
        dis.hDC = canvas.dc();
        dis.rcItem = rc;
        dis.itemData = reinterpret_cast<ULONG_PTR>(e);
        menu.DrawItem(&dis);
    };
    draw(&banner, 0, {1, 1, 1 + bannerWidth, 1});
    int y = 1;
    for (size_t i = 0; i < sizeof(items) / sizeof(items[0]); ++i) {
        draw(items[i].entry, items[i].state, {left, y, left + width, y + heights[i]});
        y += heights[i];
    }
    SelectClipRgn(canvas.dc(), nullptr);
    EXPECT_TRUE(canvas.saveBmp("menu-preview.bmp"));
    EXPECT_EQ(canvas.at(1, height), RGB(0, 0, 192)) << "band's bottom row";
}

} // namespace
