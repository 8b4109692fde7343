// CDrawnMenu: items drawn on memory device contexts and read back pixel by pixel, the
// items appending makes and what the menu releases, a real popup's banner column.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/record_sizes.h"
#include "menu/drawn_menu.h"
#include "tests/support/gdi_count.h"

namespace {

const COLORREF BACKGROUND = RGB(212, 208, 200), SELECTION = RGB(102, 153, 255), TEXT = RGB(0, 0, 128);
const COLORREF SELECTED_TEXT = RGB(255, 255, 0), GRAY_TEXT = RGB(128, 64, 0), RED = RGB(220, 20, 20);
const COLORREF SENTINEL = RGB(1, 2, 3), WHITE = RGB(255, 255, 255), BLACK = RGB(0, 0, 0);

// The 32-bit pixel of a device-independent bitmap, 0x00RRGGBB.
DWORD dibPixel(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }
// Calls f(x, y) for every pixel of rc.
template <class F> void eachPixel(const RECT& rc, F f)
{
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            f(x, y);
}

// A 32-bit bitmap in a memory device context, filled with one colour.
struct Canvas {
    Canvas(int width, int height, COLORREF fill) : dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bmi = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        old = SelectObject(dc, CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        std::fill_n(static_cast<DWORD*>(bits), width * height, dibPixel(fill));
    }
    ~Canvas() { DeleteObject(SelectObject(dc, old)); DeleteDC(dc); }
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    // The pixels of rc that have exactly clr.
    int count(const RECT& rc, COLORREF clr) const { int n = 0; eachPixel(rc, [&](int x, int y) { n += at(x, y) == clr; }); return n; }
    HDC dc;
    HGDIOBJ old;  // the bitmap the device context came with
};

// A size x size icon of colour clr, opaque everywhere.
HICON makeIcon(int size, COLORREF clr)
{
    const std::vector<BYTE> opaque((size + 15) / 16 * 2 * size, 0);  // mask rows are word-aligned
    const std::vector<DWORD> colour(size * size, dibPixel(clr));
    return CreateIcon(nullptr, size, size, 1, 32, opaque.data(), reinterpret_cast<const BYTE*>(colour.data()));
}

struct DrawnMenuTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(gdicount::install());
        m_menu.m_clrBackground = BACKGROUND;
        m_menu.m_clrSelection = SELECTION;
        m_menu.m_clrText = TEXT;
        m_menu.m_clrSelectedText = SELECTED_TEXT;
        m_menu.m_clrGrayText = GRAY_TEXT;
        // Without antialiasing, text pixels have exactly the colours drawn.
        ASSERT_EQ(m_menu.m_menuFont.GetLogFont(&m_font), static_cast<int>(sizeof(m_font)));
        m_font.lfQuality = NONANTIALIASED_QUALITY;
        ASSERT_TRUE(m_menu.m_menuFont.DeleteObject() && m_menu.m_menuFont.CreateFontIndirect(&m_font));
    }

    // One request, which must delete every GDI object it makes and leave the
    // device context with the objects it had.
    void draw(Canvas& canvas, const void* data, RECT rc, UINT state = 0)
    {
        const UINT kinds[] = {OBJ_FONT, OBJ_BRUSH, OBJ_PEN, OBJ_BITMAP};
        auto selected = [&] { std::vector<HGDIOBJ> v; for (UINT k : kinds) v.push_back(GetCurrentObject(canvas.dc, k)); return v; };
        const std::vector<HGDIOBJ> before = selected();
        const int live = gdicount::live();
        DRAWITEMSTRUCT dis = {ODT_MENU, 0, 0, ODA_DRAWENTIRE, state, nullptr, canvas.dc, rc, reinterpret_cast<ULONG_PTR>(data)};
        m_menu.DrawItem(&dis);
        EXPECT_EQ(gdicount::live(), live) << "objects left behind";
        EXPECT_EQ(selected(), before) << "font, brush, pen, bitmap selected";
    }

    CDrawnMenu m_menu;
    LOGFONTA m_font;
};

// A 140 x h entry: the h x h icon square, a 2-pixel gap, the caption, a
// 20-pixel margin at the right. Icons are stretched from 32 to 20 pixels
// and placed at (2, 2); the embossed one is 20 pixels.
TEST_F(DrawnMenuTest, Entries)
{
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), lo = GetSysColor(COLOR_BTNSHADOW);
    struct Sample { int x, y; COLORREF clr; };
    const std::vector<Sample> embossed = {{1, 1, BACKGROUND}, {2, 2, lo}, {21, 21, lo}, {22, 22, hi}, {3, 22, hi}, {22, 2, BACKGROUND}};
    // The icon's size (0: none), the left and top of the tick's 8 x 8 cell
    // (-1: none), and the colours of some pixels of the icon square.
    const struct Row { UINT state; int h, icon, tick; const char* caption; COLORREF bar, ink; std::vector<Sample> square; } rows[] = {
        {ODS_SELECTED, 24, 32, -1, "Settings", SELECTION, SELECTED_TEXT, {{0, 0, hi}, {23, 23, lo}, {1, 1, BACKGROUND}, {2, 2, RED}, {21, 21, RED}}},
        {0, 24, 32, -1, "Open\tCtrl+O", BACKGROUND, TEXT, {{0, 0, BACKGROUND}, {23, 23, BACKGROUND}, {2, 2, RED}, {21, 21, RED}, {22, 22, BACKGROUND}}},
        {ODS_CHECKED, 24, 0, 8, "\tCtrl+O", BACKGROUND, TEXT, {{0, 0, lo}, {23, 23, hi}, {1, 1, hi}}},
        {ODS_CHECKED, 30, 0, 11, "Settings", BACKGROUND, TEXT, {{0, 0, lo}, {29, 29, hi}, {1, 1, hi}}},
        {ODS_CHECKED | ODS_DEFAULT, 19, 0, 5, "Eject\tCtrl+E", BACKGROUND, TEXT, {{0, 0, lo}, {18, 18, hi}, {1, 1, hi}}},
        {ODS_CHECKED | ODS_SELECTED, 24, 0, 8, "Settings", SELECTION, SELECTED_TEXT, {{0, 0, lo}, {23, 23, hi}, {1, 1, BACKGROUND}}},
        {ODS_GRAYED, 24, 20, -1, "Settings", BACKGROUND, GRAY_TEXT, embossed},
        {ODS_GRAYED | ODS_SELECTED, 24, 20, -1, "Settings", SELECTION, GRAY_TEXT, embossed},
    };
    for (const Row& row : rows) {
        const int h = row.h;
        SCOPED_TRACE(testing::Message() << "state 0x" << std::hex << row.state << ", height " << std::dec << h);
        CDrawnMenuCommandEntry entry(1, row.caption, row.icon ? makeIcon(row.icon, RED) : nullptr);
        Canvas canvas(140, h, SENTINEL);
        // Colours an earlier caption left change nothing.
        SetTextColor(canvas.dc, WHITE);
        SetBkColor(canvas.dc, BLACK);
        draw(canvas, &entry, {0, 0, 140, h}, row.state);
        for (const Sample& s : row.square)
            EXPECT_EQ(canvas.at(s.x, s.y), s.clr) << "(" << s.x << "," << s.y << ") is 0x" << std::hex << canvas.at(s.x, s.y);
        // The tick: per k = 0..2 lines from (0, 3+k) to (2, 5+k) to (7, k), end points excluded.
        for (int k = 0; k < 3 && row.tick >= 0; ++k)
            for (int i = 0; i < 7; ++i)
                EXPECT_EQ(canvas.at(row.tick + i, row.tick + (i < 2 ? 3 + k + i : 7 + k - i)), BLACK) << "tick";
        EXPECT_EQ(canvas.count({0, 0, h, h}, BLACK), row.tick >= 0 ? 21 : 0);
        // Beside the square exactly what DrawText gives for the text left and right of
        // the tab, the default item's in bold; a grayed caption over a copy in the
        // selected-text colour one pixel right and down, the copy only off the bar.
        Canvas reference(140, h, row.bar);
        LOGFONTA lf = m_font;
        lf.lfWeight = row.state & ODS_DEFAULT ? FW_BOLD : lf.lfWeight;
        HGDIOBJ old = SelectObject(reference.dc, CreateFontIndirectA(&lf));
        SetBkMode(reference.dc, TRANSPARENT);
        const std::string text = row.caption, left = text.substr(0, text.find('\t'));
        const std::string right = text.substr(std::min(left.size() + 1, text.size()));
        auto label = [&](int shift, COLORREF ink) {
            RECT area = {h + 2 + shift, shift, 120 + shift, h + shift};
            SetTextColor(reference.dc, ink);
            DrawTextA(reference.dc, left.c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER);
            DrawTextA(reference.dc, right.c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
        };
        if (row.ink == GRAY_TEXT && row.bar == BACKGROUND)
            label(1, SELECTED_TEXT);
        label(0, row.ink);
        DeleteObject(SelectObject(reference.dc, old));
        EXPECT_GT(reference.count({h, 0, 140, h}, row.ink), 20) << "the caption is drawn";
        int differ = 0;
        eachPixel({h, 0, 140, h}, [&](int x, int y) { differ += canvas.at(x, y) != reference.at(x, y); });
        EXPECT_EQ(differ, 0) << "pixels beside the square differ from plain text";
    }
}

// The banner item is 12 pixels wide and 0 high: the band, 3 pixels wider, spans the
// clip box with 256 stripes from (0, 0, 192) at the bottom to black at the top; the
// white title runs up from 4 pixels above its bottom (and nowhere else).
TEST_F(DrawnMenuTest, BannerFillsTheClipBox)
{
    const struct { int top, bottom; const char* title; } rows[] = {{0, 513, "TRELVIK"}, {100, 200, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "clip " << row.top << ".." << row.bottom);
        Canvas canvas(40, 520, SENTINEL);
        IntersectClipRect(canvas.dc, 0, row.top, 40, row.bottom);
        CDrawnMenuBannerEntry banner(row.title, 24);
        draw(canvas, &banner, {0, 0, 12, 0});
        int white = 0, wrong = 0;
        eachPixel({0, 0, 40, 520}, [&](int x, int y) {
            const bool inside = y >= row.top && y < row.bottom;
            if (*row.title && inside && x >= 2 && x < 22 && y >= row.bottom - 100 && y < row.bottom - 4)
                return void(white += canvas.at(x, y) == WHITE);  // the title's place; its edges are antialiased
            const int index = std::min(255, MulDiv(256, row.bottom - 1 - y, row.bottom - row.top));
            const COLORREF want = inside && x < 15 ? RGB(0, 0, 192 + MulDiv(-192, index, 255)) : SENTINEL;
            if (canvas.at(x, y) != want && ++wrong <= 3)
                ADD_FAILURE() << "(" << x << "," << y << ") is 0x" << std::hex << canvas.at(x, y) << ", not 0x" << want;
        });
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(white > 40, *row.title != 0) << white << " title pixels";
    }
}

// At another display scale each size follows from its 100% one: the menu font, the entry's
// square (its 20-pixel icon place and a 2-pixel margin), the tick (S(3) strokes of S(7)
// pixels in an S(8) cell, in the middle of the place) and the icon, drawn at its own size
// in the middle when smaller than its place. A scale that is not positive counts as 100%,
// one above 500% as 500%; the sub-menus follow their menu.
TEST_F(DrawnMenuTest, ScaledForTheDisplay)
{
    const struct { int asked, dpi, icon; } rows[] = {
        {96, 96, 20}, {144, 144, 24}, {144, 144, 40}, {192, 192, 40}, {0, 96, 16}, {-7, 96, 16}, {2000, 480, 40}};
    CDrawnMenu* sub = new CDrawnMenu;
    ASSERT_TRUE(m_menu.Attach(CreatePopupMenu()) && sub->Attach(CreatePopupMenu()));
    ASSERT_TRUE(m_menu.AppendSubmenu(0, sub, new CDrawnMenuCommandEntry(9, "S")));
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.asked << " DPI, icon " << row.icon);
        m_menu.SetDpi(row.asked);
        auto S = [&](int n) { return MulDiv(n, row.dpi, 96); };
        EXPECT_EQ(m_menu.GetDpi(), row.dpi);
        EXPECT_EQ(sub->GetDpi(), row.dpi);
        LOGFONTA lf;
        ASSERT_EQ(m_menu.m_menuFont.GetLogFont(&lf), static_cast<int>(sizeof(lf)));
        EXPECT_EQ(lf.lfHeight, MulDiv(m_font.lfHeight, row.dpi, 96));

        CDrawnMenuCommandEntry withIcon(1, "E", makeIcon(row.icon, RED), row.icon), plain(2, "E");
        MEASUREITEMSTRUCT mis = {ODT_MENU, 0, 1, 0, 0, reinterpret_cast<ULONG_PTR>(&withIcon)};
        m_menu.MeasureItem(&mis);
        const int h = static_cast<int>(mis.itemHeight), place = h - 2 * S(2);
        ASSERT_EQ(h, S(20) + 2 * S(2));
        Canvas icon(S(140), h, SENTINEL), tick(S(140), h, SENTINEL);
        draw(icon, &withIcon, {0, 0, S(140), h});
        draw(tick, &plain, {0, 0, S(140), h}, ODS_CHECKED);
        const int size = std::min(row.icon, place), at = S(2) + (place - size) / 2;
        EXPECT_EQ(icon.count({at, at, at + size, at + size}, RED), size * size);
        EXPECT_EQ(icon.count({0, 0, h, h}, RED), size * size) << "the icon outside its place";
        int black = 0;
        RECT box = {h, h, 0, 0};
        eachPixel({0, 0, h, h}, [&](int x, int y) {
            if (tick.at(x, y) != BLACK)
                return;
            ++black;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        });
        const int x0 = S(2) + (place - S(8)) / 2;
        EXPECT_EQ(black, S(3) * S(7));
        EXPECT_EQ(std::vector<LONG>({box.left, box.top, box.right, box.bottom}),
                  std::vector<LONG>({x0, x0 + 1, x0 + S(7), x0 + S(5) + S(3)}));
    }
}

std::vector<const void*> g_released;

template <class Base> struct Counted : Base { using Base::Base; ~Counted() override { g_released.push_back(this); } };

// An owner-drawn item as a letter of the operations below.
char itemKind(const CDrawnMenuEntry& e, const MENUITEMINFOA& mii)
{
    if (e.m_bBanner)
        return 'B';
    if (e.m_bDivider)
        return 'D';
    if (mii.hSubMenu != nullptr)
        return 'S';
    return (~mii.fState & (MF_GRAYED | MF_CHECKED)) == 0 ? 'G' : 'E';
}

// Menus built from operations: B banner, E entry, G entry appended grayed and checked,
// D divider, S sub-menu holding one entry, M that entry replaced through the top menu
// (as the tray menu marks the chosen drive), read back as each owner-drawn item's entry
// kind, '|' before one that starts a column, then whether a break is pending. Deleting
// the top menu releases every entry, sub-menu, icon and menu handle once.
TEST_F(DrawnMenuTest, AppendedItemsAndWhatTheMenuReleases)
{
    const struct { const char *ops, *items; bool pending; } rows[] = {
        {"BEE", "B|EE", false}, {"BDE", "BDE", false}, {"B", "B", true}, {"BSE", "B|SE", false}, {"EBE", "EB|E", false},
        {"BBE", "BB|E", false}, {"BDSB", "BDSB", true}, {"BG", "B|G", false}, {"BEDSMSD", "B|EDSSD", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ops);
        g_released.clear();
        std::vector<const void*> owned;  // with the icons and menu handles made
        std::vector<HICON> icons;
        std::vector<HMENU> handles;
        auto own = [&](auto* p) { owned.push_back(p); return p; };
        auto entry = [&](UINT id) { return own(new Counted<CDrawnMenuCommandEntry>(id, "E", icons.emplace_back(makeIcon(16, RED)))); };
        auto menu = [&] { auto* m = own(new Counted<CDrawnMenu>); m->Attach(handles.emplace_back(CreatePopupMenu())); return m; };
        CDrawnMenu* top = menu();
        UINT id = 100, subEntry = 0;
        for (const char* op = row.ops; *op; ++op, ++id) {
            CDrawnMenu* sub = *op == 'S' ? menu() : nullptr;
            switch (*op) {
            case 'B': EXPECT_TRUE(top->AppendBanner(own(new Counted<CDrawnMenuBannerEntry>("T", 24)))); break;
            case 'D': top->AppendDivider(); break;
            case 'S': EXPECT_TRUE(sub->AppendEntry(0, entry(subEntry = id + 1000)) && top->AppendSubmenu(0, sub, entry(id))); break;
            case 'M': EXPECT_TRUE(top->ModifyMenu(subEntry, MF_BYCOMMAND | MF_CHECKED, subEntry, "[1] E:\\ drive")); break;
            default: EXPECT_TRUE(top->AppendEntry(*op == 'G' ? MF_GRAYED | MF_CHECKED : 0, entry(id)));
            }
        }
        std::string got;
        for (int i = 0; i < ::GetMenuItemCount(top->m_hMenu); ++i) {
            MENUITEMINFOA mii = {};
            mii.cbSize = kMenuItemInfoV1Size;
            mii.fMask = MIIM_TYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_STATE;
            ASSERT_TRUE(GetMenuItemInfoA(*top, i, TRUE, &mii));
            const CDrawnMenuEntry* e = DrawnMenuEntryFromData(mii.dwItemData);
            ASSERT_TRUE(e != nullptr && (mii.fType & MFT_OWNERDRAW)) << "item " << i;
            EXPECT_EQ((mii.fType & MFT_SEPARATOR) != 0, e->m_bBanner || e->m_bDivider) << "item " << i;
            got += std::string(mii.fType & MFT_MENUBREAK ? "|" : "") + itemKind(*e, mii);
        }
        EXPECT_EQ(got, row.items);
        EXPECT_EQ(top->m_bColumnBreakPending != FALSE, row.pending);
        delete top;
        for (const void* p : owned)
            EXPECT_EQ(std::count(g_released.begin(), g_released.end(), p), 1) << "object " << p;
        for (HICON icon : icons)
            EXPECT_FALSE(DestroyIcon(icon)) << "icon " << icon << " still alive";
        for (HMENU h : handles)
            EXPECT_TRUE(!IsMenu(h) && CMenu::FromHandlePermanent(h) == nullptr) << h;
    }
}

// The open popup menu, read back once it is idle: the band's colour at the last entry's
// bottom and the white title pixels in the banner column (-1 until then). Wine sends no
// draw request for the 0-pixel high banner item, so the menu paints the column itself.
struct { CDrawnMenu* menu; COLORREF bottom; int white; } g_popup;

LRESULT CALLBACK popupOwnerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_MEASUREITEM) {
        g_popup.menu->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        return TRUE;
    }
    if (msg == WM_DRAWITEM) {
        g_popup.menu->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    }
    if (msg == WM_ENTERIDLE && wParam == MSGF_MENU && lParam != 0 && g_popup.white < 0) {
        HWND hMenuWnd = reinterpret_cast<HWND>(lParam);
        UpdateWindow(hMenuWnd);
        RECT banner, last;
        GetMenuItemRect(hMenuWnd, *g_popup.menu, 0, &banner);
        GetMenuItemRect(hMenuWnd, *g_popup.menu, GetMenuItemCount(*g_popup.menu) - 1, &last);
        POINT corner = {banner.left, last.bottom};  // the column's bottom left
        ScreenToClient(hMenuWnd, &corner);
        HDC dc = GetDC(hMenuWnd);
        g_popup.bottom = GetPixel(dc, corner.x + 1, corner.y - 1);
        g_popup.white = 0;
        eachPixel({corner.x, 0, corner.x + banner.right - banner.left, corner.y},
                  [&](int x, int y) { g_popup.white += GetPixel(dc, x, y) == WHITE; });
        ReleaseDC(hMenuWnd, dc);
    }
    if (msg == WM_TIMER || (msg == WM_ENTERIDLE && g_popup.white >= 0))
        EndMenu();  // the timer: also when the menu never becomes idle
    return msg == WM_ENTERIDLE || msg == WM_TIMER ? 0 : DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST_F(DrawnMenuTest, PopupBannerColumnShowsTheBandAndTheTitle)
{
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    SetWindowLongPtrA(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(popupOwnerProc));
    SetForegroundWindow(owner);
    g_popup = {&m_menu, 0, -1};
    ASSERT_TRUE(m_menu.Attach(CreatePopupMenu()) && m_menu.AppendBanner(new CDrawnMenuBannerEntry("TRELVIK", 24)));
    for (UINT id = 1; id <= 6; ++id)
        ASSERT_TRUE(m_menu.AppendEntry(0, new CDrawnMenuCommandEntry(id, "Item")));
    SetTimer(owner, 1, 5000, nullptr);
    TrackPopupMenu(m_menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, 100, 100, 0, owner, nullptr);
    DestroyWindow(owner);
    ASSERT_GE(g_popup.white, 0) << "the menu never became idle";
    EXPECT_EQ(g_popup.bottom, RGB(0, 0, 192)) << std::hex << g_popup.bottom;
    EXPECT_GT(g_popup.white, 40) << "title pixels";
}

}  // namespace
