// CDrawnMenu's model: measuring, the column break after the banner, and the
// items the append operations make.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "framework/record_sizes.h"
#include "menu/drawn_menu.h"

namespace {

// The caption's size in the bold menu font, as the screen measures it with
// the flags the menu uses. (Wine applies DT_VCENTER to the zero rectangle and
// reports about half the line height; that only shows when a caption is
// taller than m_nExtent + 4.)
SIZE boldTextSize(const char* text)
{
    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = kNonClientMetricsV1Size;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsV1Size, &ncm, 0));
    ncm.lfMenuFont.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectA(&ncm.lfMenuFont);
    HDC dc = GetWindowDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &rc, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

const UINT SENTINEL = 0xABCD;

MEASUREITEMSTRUCT measure(CDrawnMenu& menu, const void* data, UINT ctlType = ODT_MENU)
{
    MEASUREITEMSTRUCT mis;
    ZeroMemory(&mis, sizeof(mis));
    mis.CtlType = ctlType;
    mis.itemWidth = SENTINEL;
    mis.itemHeight = SENTINEL;
    mis.itemData = reinterpret_cast<ULONG_PTR>(data);
    menu.MeasureItem(&mis);
    return mis;
}

TEST(DrawnMenuMeasure, EntriesAreTextPlusMarginsAndAtLeastExtentPlusFourHigh)
{
    struct Row {
        const char* caption;
        int extent;
    };
    const Row rows[] = {
        {"显示/隐藏(&D)", 20},
        {"W", 20},
        {"A && B", 20},
        {"Tall entry", 40},
        {"Tiny extent", 0},
        {"", 20},
    };
    const int cxCheck = GetSystemMetrics(SM_CXMENUCHECK);
    CDrawnMenu menu;
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        const Row& row = rows[i];
        CDrawnMenuCommandEntry entry(1, row.caption);
        entry.m_nExtent = row.extent;
        SIZE text = boldTextSize(row.caption);
        MEASUREITEMSTRUCT mis = measure(menu, &entry);
        const int height = text.cy > row.extent + 4 ? text.cy : row.extent + 4;
        EXPECT_EQ(mis.itemHeight, static_cast<UINT>(height)) << "row " << i << " \"" << row.caption << "\"";
        EXPECT_EQ(mis.itemWidth, static_cast<UINT>(text.cx + 2 * row.extent + 12 + 1 - cxCheck))
            << "row " << i << " \"" << row.caption << "\" text " << text.cx << "x" << text.cy;
    }
    // The default extent gives the 24-pixel minimum height of the tray menu.
    CDrawnMenuCommandEntry small(1, "x");
    EXPECT_EQ(measure(menu, &small).itemHeight, 24u);
}

TEST(DrawnMenuMeasure, SingleAmpersandIsAPrefixAndAddsNoWidth)
{
    CDrawnMenu menu;
    CDrawnMenuCommandEntry plain(1, "Open");
    CDrawnMenuCommandEntry prefixed(1, "&Open");
    CDrawnMenuCommandEntry doubled(1, "&&Open");
    const UINT width = measure(menu, &plain).itemWidth;
    EXPECT_EQ(measure(menu, &prefixed).itemWidth, width);
    EXPECT_GT(measure(menu, &doubled).itemWidth, width);
}

TEST(DrawnMenuMeasure, TabCaptionIsMeasuredAsOneLineWithTheTextAfterTheTab)
{
    CDrawnMenu menu;
    CDrawnMenuCommandEntry name(1, "Open");
    CDrawnMenuCommandEntry tabbed(1, "Open\tCtrl+O");
    CDrawnMenuCommandEntry shortcut(1, "Ctrl+O");
    MEASUREITEMSTRUCT a = measure(menu, &name);
    MEASUREITEMSTRUCT b = measure(menu, &tabbed);
    MEASUREITEMSTRUCT c = measure(menu, &shortcut);
    const int margins = 2 * 20 + 12 + 1 - GetSystemMetrics(SM_CXMENUCHECK);
    EXPECT_GE(static_cast<int>(b.itemWidth) - margins,
              (static_cast<int>(a.itemWidth) - margins) + (static_cast<int>(c.itemWidth) - margins));
    EXPECT_EQ(b.itemHeight, a.itemHeight);
    EXPECT_EQ(static_cast<int>(b.itemHeight), boldTextSize("Open").cy > 24 ? boldTextSize("Open").cy : 24);
}

TEST(DrawnMenuMeasure, BannerAndDivider)
{
    const int cxCheck = GetSystemMetrics(SM_CXMENUCHECK);
    const int cyCheck = GetSystemMetrics(SM_CYMENUCHECK);
    CDrawnMenu menu;
    for (int width : {24, 12, 40}) {
        CDrawnMenuBannerEntry banner("TRELVIK", width);
        MEASUREITEMSTRUCT mis = measure(menu, &banner);
        EXPECT_EQ(mis.itemWidth, static_cast<UINT>(width + 1 - cxCheck)) << "banner width " << width;
        EXPECT_EQ(mis.itemHeight, 0u) << "banner width " << width;
    }
    CDrawnMenuDividerEntry divider;
    MEASUREITEMSTRUCT mis = measure(menu, &divider);
    EXPECT_EQ(mis.itemHeight, static_cast<UINT>(cyCheck >> 1));
    EXPECT_EQ(mis.itemWidth, static_cast<UINT>(1 - cxCheck));
}

TEST(DrawnMenuMeasure, LeavesOtherRequestsAlone)
{
    CDrawnMenu menu;
    CDrawnMenuCommandEntry entry(1, "Open");
    CDrawnMenuCommandEntry unsigned_(1, "Open");
    unsigned_.m_dwSignature = 0;
    struct {
        const char* what;
        const void* data;
        UINT ctlType;
    } const rows[] = {
        {"list box", &entry, ODT_LISTBOX},
        {"button", &entry, ODT_BUTTON},
        {"no data", nullptr, ODT_MENU},
        {"no signature", &unsigned_, ODT_MENU},
    };
    for (const auto& row : rows) {
        MEASUREITEMSTRUCT mis = measure(menu, row.data, row.ctlType);
        EXPECT_EQ(mis.itemWidth, SENTINEL) << row.what;
        EXPECT_EQ(mis.itemHeight, SENTINEL) << row.what;
    }
}

MENUITEMINFOA itemInfo(HMENU menu, UINT pos)
{
    MENUITEMINFOA mii;
    ZeroMemory(&mii, sizeof(mii));
    mii.cbSize = kMenuItemInfoV1Size;
    mii.fMask = MIIM_TYPE | MIIM_DATA | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
    EXPECT_TRUE(GetMenuItemInfoA(menu, pos, TRUE, &mii)) << "position " << pos;
    return mii;
}

// Menus built from a sequence of operations: B banner, E entry, D divider,
// S sub-menu. Expected: one character per item, '|' where the item starts a
// new column, '.' where it does not; then whether a break is still pending.
TEST(DrawnMenuAppend, ColumnBreakFollowsTheBanner)
{
    struct Row {
        const char* ops;
        const char* breaks;
        bool pending;
    };
    const Row rows[] = {
        {"BEE", ".|.", false}, {"BDE", "...", false}, {"B", ".", true},   {"BS", ".|", false},
        {"BSE", ".|.", false}, {"EBE", "..|", false}, {"BBE", "..|", false}, {"BDSB", "....", true},
        {"E", ".", false},
    };
    for (size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
        const Row& row = rows[r];
        CDrawnMenu menu;
        ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
        for (const char* op = row.ops; *op; ++op) {
            switch (*op) {
            case 'B':
                EXPECT_TRUE(menu.AppendBanner(new CDrawnMenuBannerEntry("T", 24)));
                break;
            case 'E':
                EXPECT_TRUE(menu.AppendEntry(0, new CDrawnMenuCommandEntry(100, "E")));
                break;
            case 'D':
                menu.AppendDivider();
                break;
            case 'S': {
                CDrawnMenu* sub = new CDrawnMenu;
                sub->Attach(CreatePopupMenu());
                EXPECT_TRUE(menu.AppendSubmenu(0, sub, new CDrawnMenuCommandEntry(200, "S")));
                break;
            }
            }
        }
        std::string got;
        for (UINT i = 0; i < menu.GetMenuItemCount(); ++i)
            got += (itemInfo(menu, i).fType & MFT_MENUBREAK) ? '|' : '.';
        EXPECT_EQ(got, row.breaks) << "row " << r << " " << row.ops;
        EXPECT_EQ(menu.m_bColumnBreakPending != FALSE, row.pending) << "row " << r << " " << row.ops;
    }
}

TEST(DrawnMenuAppend, PendingBreakAppliesWhenTheNextEntryComesLater)
{
    CDrawnMenu menu;
    ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
    ASSERT_TRUE(menu.AppendBanner(new CDrawnMenuBannerEntry("T", 24)));
    // Something appended behind the menu's back does not consume the break.
    ASSERT_TRUE(AppendMenuA(menu, MF_STRING, 5, "plain"));
    EXPECT_TRUE(menu.m_bColumnBreakPending);
    ASSERT_TRUE(menu.AppendEntry(0, new CDrawnMenuCommandEntry(6, "later")));
    EXPECT_FALSE(itemInfo(menu, 1).fType & MFT_MENUBREAK);
    EXPECT_TRUE(itemInfo(menu, 2).fType & MFT_MENUBREAK);
}

TEST(DrawnMenuAppend, ItemsCarryTheirEntries)
{
    CDrawnMenu menu;
    ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
    CDrawnMenuEntry* banner = new CDrawnMenuBannerEntry("TRELVIK", 24);
    CDrawnMenuEntry* entry = new CDrawnMenuCommandEntry(32771, "Show");
    CDrawnMenuEntry* flagged = new CDrawnMenuCommandEntry(32772, "Gray");
    CDrawnMenuEntry* label = new CDrawnMenuCommandEntry(32775, "Drives");
    CDrawnMenu* sub = new CDrawnMenu;
    ASSERT_TRUE(sub->Attach(CreatePopupMenu()));
    ASSERT_TRUE(menu.AppendBanner(banner));
    ASSERT_TRUE(menu.AppendEntry(0, entry));
    ASSERT_TRUE(menu.AppendEntry(MF_GRAYED | MF_CHECKED, flagged));
    menu.AppendDivider();
    ASSERT_TRUE(menu.AppendSubmenu(0, sub, label));
    ASSERT_EQ(menu.GetMenuItemCount(), 5u);

    MENUITEMINFOA mii = itemInfo(menu, 0);
    EXPECT_EQ(mii.fType, static_cast<UINT>(MFT_OWNERDRAW | MFT_SEPARATOR));
    EXPECT_EQ(mii.dwItemData, reinterpret_cast<ULONG_PTR>(banner));

    mii = itemInfo(menu, 1);
    EXPECT_EQ(mii.fType, static_cast<UINT>(MFT_OWNERDRAW | MFT_MENUBREAK));
    EXPECT_EQ(mii.wID, 32771u);
    EXPECT_EQ(mii.dwItemData, reinterpret_cast<ULONG_PTR>(entry));

    mii = itemInfo(menu, 2);
    EXPECT_EQ(mii.fType, static_cast<UINT>(MFT_OWNERDRAW));
    EXPECT_EQ(mii.wID, 32772u);
    EXPECT_TRUE(mii.fState & MFS_GRAYED);
    EXPECT_TRUE(mii.fState & MFS_CHECKED);

    mii = itemInfo(menu, 3);
    EXPECT_EQ(mii.fType, static_cast<UINT>(MFT_OWNERDRAW | MFT_SEPARATOR));
    ASSERT_NE(mii.dwItemData, 0u);
    const CDrawnMenuEntry* divider = reinterpret_cast<const CDrawnMenuEntry*>(mii.dwItemData);
    EXPECT_TRUE(divider->m_bDivider);
    EXPECT_EQ(divider->m_dwSignature, 0x0505A0A0u);

    mii = itemInfo(menu, 4);
    EXPECT_EQ(mii.fType, static_cast<UINT>(MFT_OWNERDRAW));
    EXPECT_EQ(mii.hSubMenu, sub->m_hMenu);
    EXPECT_EQ(mii.dwItemData, reinterpret_cast<ULONG_PTR>(label));
    EXPECT_EQ(CMenu::FromHandlePermanent(GetSubMenu(menu, 4)), sub);
}

} // namespace
