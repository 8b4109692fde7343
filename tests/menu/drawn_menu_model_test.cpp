// CDrawnMenu's model: measuring, the items the append operations make with
// the column break after the banner, and releasing what the menu owns.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/record_sizes.h"
#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"

namespace {

// Entries: the bold caption as the screen measures it plus twice the extent
// plus 12, at least extent + 4 high; the banner: its width, 0 high; dividers:
// half a check mark high. The system adds the check-mark width less one.
TEST(DrawnMenu, MeasuresItems)
{
    const struct {
        char kind;  // E entry, B banner, D divider
        const char* caption;
        int extent;
    } rows[] = {{'E', "显示/隐藏(&D)", 20}, {'E', "A && B", 20}, {'E', "Open\tCtrl+O", 20}, {'E', "Tall entry", 40},
                {'E', "Tiny extent", 0},   {'E', "", 20},      {'B', "TRELVIK", 24},     {'D', "", 20}};
    NONCLIENTMETRICSA ncm = {};
    ncm.cbSize = kNonClientMetricsV1Size;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsV1Size, &ncm, 0));
    ncm.lfMenuFont.lfWeight = FW_BOLD;
    HDC dc = GetWindowDC(nullptr);
    HGDIOBJ old = SelectObject(dc, CreateFontIndirectA(&ncm.lfMenuFont));
    CDrawnMenu menu;
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        const auto& row = rows[i];
        CDrawnMenuEntry* entry = row.kind == 'B'   ? new CDrawnMenuBannerEntry(row.caption, row.extent)
                                 : row.kind == 'D' ? static_cast<CDrawnMenuEntry*>(new CDrawnMenuDividerEntry)
                                                   : new CDrawnMenuCommandEntry(1, row.caption);
        entry->m_nExtent = row.extent;
        RECT text = {0, 0, 0, 0};
        DrawTextA(dc, row.caption, -1, &text, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
        const int width = row.kind == 'E' ? text.right + 2 * row.extent + 12 : row.kind == 'B' ? row.extent : 0;
        const int height = row.kind == 'E'   ? std::max<int>(text.bottom, row.extent + 4)
                           : row.kind == 'D' ? GetSystemMetrics(SM_CYMENUCHECK) / 2
                                             : 0;
        MEASUREITEMSTRUCT mis = {ODT_MENU, 0, 0, 7, 7, reinterpret_cast<ULONG_PTR>(entry)};
        menu.MeasureItem(&mis);
        EXPECT_EQ(static_cast<int>(mis.itemWidth), width + 1 - GetSystemMetrics(SM_CXMENUCHECK)) << "row " << i;
        EXPECT_EQ(static_cast<int>(mis.itemHeight), height) << "row " << i;
        delete entry;
    }
    DeleteObject(SelectObject(dc, old));
    ReleaseDC(nullptr, dc);
}

// Menus built from operations: B banner, E entry, G entry appended grayed and
// checked, D divider, S sub-menu. Read back as the kind of entry each item
// carries, '|' before an item that starts a new column, '?' for an item of
// the wrong type or without its entry; then whether a break is pending.
TEST(DrawnMenu, AppendsItemsAndBreaksTheColumnAfterTheBanner)
{
    const struct {
        const char *ops, *items;
        bool pending;
    } rows[] = {{"BEE", "B|EE", false}, {"BDE", "BDE", false},  {"B", "B", true},       {"BSE", "B|SE", false},
                {"EBE", "EB|E", false}, {"BBE", "BB|E", false}, {"BDSB", "BDSB", true}, {"BG", "B|G", false}};
    for (size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
        CDrawnMenu menu;
        ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
        for (const char* op = rows[r].ops; *op; ++op) {
            if (*op == 'B') {
                EXPECT_TRUE(menu.AppendBanner(new CDrawnMenuBannerEntry("T", 24)));
            } else if (*op == 'D') {
                menu.AppendDivider();
            } else if (*op == 'S') {
                CDrawnMenu* sub = new CDrawnMenu;
                sub->Attach(CreatePopupMenu());
                EXPECT_TRUE(menu.AppendSubmenu(0, sub, new CDrawnMenuCommandEntry(200, "S")));
            } else {
                EXPECT_TRUE(menu.AppendEntry(*op == 'G' ? MF_GRAYED | MF_CHECKED : 0, new CDrawnMenuCommandEntry(1, "E")));
            }
        }
        std::string got;
        for (UINT i = 0; i < static_cast<UINT>(::GetMenuItemCount(menu.m_hMenu)); ++i) {
            MENUITEMINFOA mii = {};
            mii.cbSize = kMenuItemInfoV1Size;
            mii.fMask = MIIM_TYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_STATE;
            ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &mii));
            const CDrawnMenuEntry* entry = DrawnMenuEntryFromData(mii.dwItemData);
            const bool separator = (mii.fType & ~MFT_MENUBREAK) == (MFT_OWNERDRAW | MFT_SEPARATOR);
            got += (mii.fType & MFT_MENUBREAK) ? "|" : "";
            got += entry == nullptr || !(mii.fType & MFT_OWNERDRAW) || separator != (entry->m_bBanner || entry->m_bDivider) ? '?'
                   : entry->m_bBanner                                       ? 'B'
                   : entry->m_bDivider                                      ? 'D'
                   : mii.hSubMenu != nullptr                                ? 'S'
                   : (mii.fState & MF_GRAYED) && (mii.fState & MF_CHECKED) ? 'G'
                                                                            : 'E';
        }
        EXPECT_EQ(got, rows[r].items) << "row " << r << " " << rows[r].ops;
        EXPECT_EQ(menu.m_bColumnBreakPending != FALSE, rows[r].pending) << "row " << r << " " << rows[r].ops;
    }
}

std::vector<const void*> g_released;

int timesReleased(const void* p)
{
    return static_cast<int>(std::count(g_released.begin(), g_released.end(), p));
}

bool iconAlive(HICON hIcon)
{
    ICONINFO ii;
    if (!GetIconInfo(hIcon, &ii))
        return false;
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    return true;
}

template <class Base>
class Counted : public Base {
public:
    using Base::Base;
    ~Counted() override { g_released.push_back(this); }
};
using Entry = Counted<CDrawnMenuCommandEntry>;
using Menu = Counted<CDrawnMenu>;

// A tray-like menu: banner, entries (one appended twice), dividers, CDrawnMenu
// sub-menus, items replaced since (by command, through the top level, and a
// popup item by position) or removed, and what is not its own: a plain string
// item, an owner-drawn item with foreign data, a plain CMenu sub-menu and a
// raw popup handle.
TEST(DrawnMenu, ReleasesWhatItOwnsOnceAndNothingElse)
{
    g_released.clear();
    std::vector<const void*> owned;
    std::vector<HICON> icons;
    auto entry = [&](UINT id) {
        icons.push_back(makeIcon(16, RGB(200, 30, 30)));
        owned.push_back(new Entry(id, "entry", icons.back()));
        return static_cast<Entry*>(const_cast<void*>(owned.back()));
    };
    auto menu = [&] {
        Menu* m = new Menu;
        m->Attach(CreatePopupMenu());
        owned.push_back(m);
        return m;
    };
    Menu *top = menu(), *drives = menu(), *speeds = menu(), *removed = menu();
    auto* banner = new Counted<CDrawnMenuBannerEntry>("TRELVIK", 24);
    owned.push_back(banner);
    struct {
        DWORD signature = 0x12345678;
        int value = 42;
    } foreign;
    auto* plainSub = new Counted<CMenu>;
    ASSERT_TRUE(plainSub->CreatePopupMenu());

    ASSERT_TRUE(top->AppendBanner(banner));
    ASSERT_TRUE(top->AppendEntry(0, entry(32771)));
    Entry* twice = entry(32772);
    ASSERT_TRUE(top->AppendEntry(0, twice) && top->AppendEntry(0, twice));
    top->AppendDivider();
    ASSERT_TRUE(drives->AppendEntry(0, entry(32800)) && drives->AppendEntry(0, entry(32801)));
    ASSERT_TRUE(top->AppendSubmenu(0, drives, entry(32775)));
    ASSERT_TRUE(speeds->AppendEntry(0, entry(32830)));
    speeds->AppendDivider();
    ASSERT_TRUE(top->AppendSubmenu(0, speeds, entry(32776)));
    ASSERT_TRUE(removed->AppendEntry(0, entry(32840)) && top->AppendSubmenu(0, removed, entry(32777)));
    ASSERT_TRUE(AppendMenuA(top->m_hMenu, MF_STRING, 2, "plain item"));
    ASSERT_TRUE(AppendMenuA(top->m_hMenu, MF_OWNERDRAW, 3, reinterpret_cast<LPCSTR>(&foreign)));
    ASSERT_TRUE(top->AppendSubmenu(0, plainSub, entry(4)));
    ASSERT_TRUE(top->AppendSubmenu(0, CMenu::FromHandle(CreatePopupMenu()), entry(5)));
    // As the tray menu marks a chosen drive: by command, through the top level.
    ASSERT_TRUE(top->ModifyMenu(32801, MF_BYCOMMAND | MF_CHECKED, 32801, "[1] E:\\ drive"));
    ASSERT_TRUE(top->ModifyMenu(32771, MF_BYCOMMAND | MF_STRING, 32771, "plain"));
    // Windows destroys a replaced popup's handle, Wine keeps it as the item's
    // sub-menu; a removed one no item names.
    ASSERT_TRUE(top->ModifyMenu(6, MF_BYPOSITION | MF_STRING, 999, "no longer a popup"));
    ASSERT_TRUE(RemoveMenu(top->m_hMenu, 7, MF_BYPOSITION));
    const HMENU handles[] = {top->m_hMenu, drives->m_hMenu, speeds->m_hMenu, removed->m_hMenu};

    delete top;

    for (size_t i = 0; i < owned.size(); ++i)
        EXPECT_EQ(timesReleased(owned[i]), 1) << "object " << i << " of " << owned.size();
    for (size_t i = 0; i < icons.size(); ++i)
        EXPECT_FALSE(iconAlive(icons[i])) << "icon " << i;
    for (HMENU h : handles)
        EXPECT_TRUE(!IsMenu(h) && CMenu::FromHandlePermanent(h) == nullptr) << h;
    EXPECT_EQ(foreign.value, 42);
    EXPECT_EQ(timesReleased(plainSub), 0) << "a plain CMenu sub-menu is not the parent's";
    CMenu::DeleteTempMap();
    delete plainSub;

    // Whatever a menu refuses stays the caller's (here on the stack: taking
    // it over would crash).
    g_released.clear();
    Entry refused(7, "e", makeIcon(16, 0));
    Menu refusedSub;
    refusedSub.Attach(CreatePopupMenu());
    {
        CDrawnMenu unattached;
        EXPECT_FALSE(unattached.AppendEntry(0, &refused) || unattached.AppendBanner(&refused) ||
                     unattached.AppendSubmenu(0, &refusedSub, &refused) || unattached.AppendSubmenu(0, nullptr, &refused));
        unattached.AppendDivider();  // nothing to append to: its own entry goes at once
    }
    EXPECT_TRUE(g_released.empty()) << g_released.size() << " released";
    EXPECT_TRUE(iconAlive(refused.m_hIcon));
}

}  // namespace
