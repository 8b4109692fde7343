// CDrawnMenu's drawing, read back pixel by pixel from memory device contexts;
// every request is also checked for the GDI objects it leaves behind. And the
// banner's gradient bitmap.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"
#include "tests/support/gdi_count.h"

namespace {

const COLORREF BACKGROUND = RGB(212, 208, 200);
const COLORREF SELECTION = RGB(102, 153, 255);
const COLORREF TEXT = RGB(0, 0, 128);
const COLORREF SELECTED_TEXT = RGB(255, 255, 0);
const COLORREF GRAY_TEXT = RGB(128, 64, 0);
const COLORREF RED = RGB(220, 20, 20);
const COLORREF SENTINEL = RGB(1, 2, 3);
const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);

class DrawnMenuDraw : public ::testing::Test {
protected:
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
        m_menu.m_menuFont.DeleteObject();
        ASSERT_TRUE(m_menu.m_menuFont.CreateFontIndirect(&m_font));
    }

    // One request, which must delete every GDI object it makes and leave the
    // device context with the objects it had.
    void draw(Canvas& canvas, const void* data, RECT rc, UINT state = 0, UINT ctlType = ODT_MENU)
    {
        const UINT kinds[] = {OBJ_FONT, OBJ_BRUSH, OBJ_PEN, OBJ_BITMAP};
        HGDIOBJ selected[4];
        for (int i = 0; i < 4; ++i)
            selected[i] = GetCurrentObject(canvas.dc(), kinds[i]);
        const int live = gdicount::live();
        const int failed = gdicount::failedDeletes();
        DRAWITEMSTRUCT dis = {ctlType, 0, 0, ODA_DRAWENTIRE, state, nullptr, canvas.dc(), rc,
                              reinterpret_cast<ULONG_PTR>(data)};
        m_menu.DrawItem(&dis);
        EXPECT_EQ(gdicount::live(), live) << "objects left behind";
        EXPECT_EQ(gdicount::failedDeletes(), failed) << "an object deleted while still selected";
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(GetCurrentObject(canvas.dc(), kinds[i]), selected[i]) << "object kind " << kinds[i];
    }

    CDrawnMenu m_menu;
    LOGFONTA m_font;
};

// A 140 x h entry: the h x h icon square, a 2-pixel gap, the caption, a
// 20-pixel margin at the right.
TEST_F(DrawnMenuDraw, Entries)
{
    enum Square { ICON, RAISED_ICON, SUNKEN_TICK, EMBOSSED };
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF lo = GetSysColor(COLOR_BTNSHADOW);
    struct Row {
        UINT state;
        int h;
        Square square;
        COLORREF fill; // of the square
        int tick;      // left and top of the tick's 8 x 8 cell
        COLORREF bar, ink, absent;
        bool light; // a light copy of the caption one pixel right and down
    } const rows[] = {
        {ODS_SELECTED, 24, RAISED_ICON, BACKGROUND, 0, SELECTION, SELECTED_TEXT, TEXT, false},
        {0, 24, ICON, BACKGROUND, 0, BACKGROUND, TEXT, SELECTED_TEXT, false},
        {ODS_CHECKED, 24, SUNKEN_TICK, hi, 8, BACKGROUND, TEXT, SELECTED_TEXT, false},
        {ODS_CHECKED, 25, SUNKEN_TICK, hi, 8, BACKGROUND, TEXT, SELECTED_TEXT, false},
        {ODS_CHECKED, 30, SUNKEN_TICK, hi, 11, BACKGROUND, TEXT, SELECTED_TEXT, false},
        {ODS_CHECKED, 19, SUNKEN_TICK, hi, 5, BACKGROUND, TEXT, SELECTED_TEXT, false},
        {ODS_CHECKED | ODS_SELECTED, 24, SUNKEN_TICK, BACKGROUND, 8, SELECTION, SELECTED_TEXT, TEXT, false},
        {ODS_GRAYED, 24, EMBOSSED, BACKGROUND, 0, BACKGROUND, GRAY_TEXT, TEXT, true},
        {ODS_GRAYED | ODS_SELECTED, 24, EMBOSSED, BACKGROUND, 0, SELECTION, GRAY_TEXT, SELECTED_TEXT, false},
    };
    const int createdAtStart = gdicount::created();
    for (size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
        const Row& row = rows[r];
        const int h = row.h;
        // Icons are stretched from 32 to 20 pixels; the embossed one is 20
        // pixels, opaque in (5..14, 5..14) only.
        HICON icon = row.square == SUNKEN_TICK ? nullptr
                     : row.square == EMBOSSED  ? makeIcon(20, RED, 5)
                                               : makeIcon(32, RED);
        CDrawnMenuCommandEntry entry(1, "Settings", icon);
        Canvas canvas(140, h, SENTINEL);
        // Colours an earlier caption left in the device context change nothing.
        SetTextColor(canvas.dc(), WHITE);
        SetBkColor(canvas.dc(), BLACK);
        draw(canvas, &entry, {0, 0, 140, h}, row.state);

        std::vector<COLORREF> want(static_cast<size_t>(h * h), row.fill);
        auto put = [&](int x, int y, COLORREF c) { want[static_cast<size_t>(y * h + x)] = c; };
        const bool raised = row.square == RAISED_ICON;
        for (int i = 0; i < h && (raised || row.square == SUNKEN_TICK); ++i)
            put(i, 0, raised ? hi : lo), put(0, i, raised ? hi : lo); // lit top and left ...
        for (int i = 0; i < h && (raised || row.square == SUNKEN_TICK); ++i)
            put(i, h - 1, raised ? lo : hi), put(h - 1, i, raised ? lo : hi); // ... then the far corners' sides
        for (int y = 2; y < h - 2 && row.square <= RAISED_ICON; ++y)
            for (int x = 2; x < h - 2; ++x)
                put(x, y, RED);
        // The tick: per k = 0..2 lines from (0, 3+k) to (2, 5+k) to (7, k), end points excluded.
        for (int k = 0; k < 3 && row.square == SUNKEN_TICK; ++k)
            for (int i = 0; i < 7; ++i)
                put(row.tick + i, row.tick + (i < 2 ? 3 + k + i : 7 + k - i), BLACK);
        // Embossed: the shape in shadow colour over its highlight copy one pixel right and down.
        for (int pass = 0; pass < 2 && row.square == EMBOSSED; ++pass)
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x)
                    put(8 - pass + x, 8 - pass + y, pass ? lo : hi);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < h; ++x)
                if (canvas.at(x, y) != want[y * h + x] && ++wrong <= 3)
                    ADD_FAILURE() << "row " << r << ": square pixel (" << x << "," << y << ") is "
                                  << describe(canvas.at(x, y)) << ", expected " << describe(want[y * h + x]);
        EXPECT_EQ(wrong, 0) << "row " << r;

        EXPECT_EQ(canvas.count({h, 0, h + 2, h}, row.bar), 2 * h) << "row " << r << ": gap beside the square";
        EXPECT_EQ(canvas.count({120, 0, 140, h}, row.bar), 20 * h) << "row " << r << ": right margin";
        const RECT caption = {h + 2, 0, 120, h};
        EXPECT_GT(canvas.count(caption, row.ink), 20) << "row " << r << ": " << describe(row.ink);
        EXPECT_EQ(canvas.count(caption, row.absent), 0) << "row " << r << ": " << describe(row.absent);
        int light = 0;
        for (int y = 1; y < h && row.light; ++y)
            for (int x = caption.left; x < caption.right; ++x)
                if (canvas.at(x, y) == SELECTED_TEXT) {
                    ++light;
                    EXPECT_EQ(canvas.at(x - 1, y - 1), GRAY_TEXT) << "row " << r << ": light pixel " << x << "," << y;
                }
        EXPECT_EQ(light > 5, row.light) << "row " << r << ": " << light << " light pixels";
    }
    EXPECT_GT(gdicount::created(), createdAtStart) << "the counter sees the objects made";
}

// Captions look exactly like DrawText's left- and right-aligned text in the
// caption area, which ends 20 pixels before the item's right edge; the
// default item's in the bold menu font.
TEST_F(DrawnMenuDraw, CaptionsMatchPlainText)
{
    struct Row {
        const char* caption;
        UINT state;
        const char* left;
        const char* right;
    } const rows[] = {
        {"Open\tCtrl+O", 0, "Open", "Ctrl+O"},
        {"\tCtrl+O", 0, "", "Ctrl+O"},
        {"Eject\tCtrl+E", ODS_DEFAULT, "Eject", "Ctrl+E"},
    };
    for (size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
        Canvas canvas(200, 24, SENTINEL);
        CDrawnMenuCommandEntry entry(1, rows[r].caption);
        draw(canvas, &entry, {0, 0, 200, 24}, rows[r].state);

        Canvas reference(200, 24, BACKGROUND);
        LOGFONTA lf = m_font;
        lf.lfWeight = rows[r].state & ODS_DEFAULT ? FW_BOLD : lf.lfWeight;
        HGDIOBJ old = SelectObject(reference.dc(), CreateFontIndirectA(&lf));
        SetBkMode(reference.dc(), TRANSPARENT);
        SetTextColor(reference.dc(), TEXT);
        RECT area = {26, 0, 180, 24};
        DrawTextA(reference.dc(), rows[r].left, -1, &area, DT_SINGLELINE | DT_VCENTER);
        DrawTextA(reference.dc(), rows[r].right, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
        DeleteObject(SelectObject(reference.dc(), old));
        int differ = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 24; x < 200; ++x)
                differ += canvas.at(x, y) != reference.at(x, y);
        EXPECT_EQ(differ, 0) << "row " << r << " \"" << rows[r].caption << "\"";
    }
}

TEST_F(DrawnMenuDraw, DividerIsAnEtchedLineAtHalfHeight)
{
    for (int h : {6, 7, 10, 2}) {
        Canvas canvas(120, h, SENTINEL);
        CDrawnMenuDividerEntry divider;
        draw(canvas, &divider, {0, 0, 120, h});
        for (int y = 0; y < h; ++y) {
            const COLORREF want = y == h / 2       ? GetSysColor(COLOR_BTNSHADOW)
                                  : y == h / 2 + 1 ? GetSysColor(COLOR_BTNHIGHLIGHT)
                                                   : BACKGROUND;
            EXPECT_EQ(canvas.count({0, y, 120, y + 1}, want), 120)
                << "height " << h << " row " << y << ": " << describe(canvas.at(60, y)) << " expected " << describe(want);
        }
    }
}

// The banner item is 12 pixels wide and 0 high: the band, 3 pixels wider,
// spans the clip box with 256 stripes from (0, 0, 192) at the bottom to
// black at the top; the white title runs up from 4 pixels above its bottom
// (and nowhere else).
TEST_F(DrawnMenuDraw, BannerFillsTheClipBox)
{
    struct Row {
        int top, bottom;
        const char* title;
    } const rows[] = {{0, 513, "TRELVIK"}, {100, 200, ""}};
    for (const Row& row : rows) {
        Canvas canvas(40, 520, SENTINEL);
        HRGN clip = CreateRectRgn(0, row.top, 40, row.bottom);
        SelectClipRgn(canvas.dc(), clip);
        DeleteObject(clip);
        CDrawnMenuBannerEntry banner(row.title, 24);
        draw(canvas, &banner, {0, 0, 12, 0});
        SelectClipRgn(canvas.dc(), nullptr);
        int white = 0;
        int wrong = 0;
        for (int y = 0; y < 520; ++y) {
            for (int x = 0; x < 40; ++x) {
                const COLORREF got = canvas.at(x, y);
                const bool inside = y >= row.top && y < row.bottom;
                if (*row.title && inside && x >= 2 && x < 22 && y >= row.bottom - 100 && y < row.bottom - 4) {
                    white += got == WHITE; // the title's place; its edges are antialiased
                    continue;
                }
                const int index = std::min(255, MulDiv(256, row.bottom - 1 - y, row.bottom - row.top));
                const COLORREF want = inside && x < 15 ? RGB(0, 0, 192 + MulDiv(-192, index, 255)) : SENTINEL;
                if (got != want && ++wrong <= 3)
                    ADD_FAILURE() << "clip " << row.top << ".." << row.bottom << ": (" << x << "," << y << ") is "
                                  << describe(got) << ", expected " << describe(want);
            }
        }
        EXPECT_EQ(wrong, 0) << "clip " << row.top << ".." << row.bottom;
        EXPECT_EQ(white > 40, *row.title != 0) << white << " title pixels";
    }
}

TEST_F(DrawnMenuDraw, LeavesRequestsThatAreNotItsOwnAlone)
{
    CDrawnMenuCommandEntry entry(1, "Open");
    CDrawnMenuCommandEntry foreign(1, "Open");
    foreign.m_dwSignature = 0;
    struct Row {
        const char* what;
        const void* data;
        UINT ctlType;
    } const rows[] = {
        {"list box", &entry, ODT_LISTBOX}, {"no data", nullptr, ODT_MENU}, {"no signature", &foreign, ODT_MENU}};
    for (const Row& row : rows) {
        MEASUREITEMSTRUCT mis = {row.ctlType, 0, 0, 7, 7, reinterpret_cast<ULONG_PTR>(row.data)};
        m_menu.MeasureItem(&mis);
        EXPECT_TRUE(mis.itemWidth == 7 && mis.itemHeight == 7) << row.what;
        Canvas canvas(120, 24, SENTINEL);
        draw(canvas, row.data, {0, 0, 120, 24}, 0, row.ctlType);
        EXPECT_EQ(canvas.count({0, 0, 120, 24}, SENTINEL), 120 * 24) << row.what;
    }
}

COLORREF grey(int v)
{
    return RGB(v, v, v);
}

// Gradients small enough to work out by hand: the row index rounds n*y/cy to
// nearest (halves up) and is clamped to n - 1, colour components round halves
// away from zero, more than 256 colours count as 256. Rows from the bottom.
TEST(MakeGradientBitmap, Rows)
{
    const COLORREF a = RGB(255, 0, 100);
    const COLORREF b = RGB(0, 255, 100);
    const COLORREF blue = RGB(0, 0, 192);
    struct Row {
        COLORREF bottom, top;
        int cx, cy, n;
        std::vector<COLORREF> rows; // none: no bitmap
    } const table[] = {
        {grey(8), grey(10), 3, 10, 5, {grey(8), grey(9), grey(9), grey(9), grey(9), grey(10), grey(10), grey(10), grey(10), grey(10)}},
        {grey(10), grey(8), 3, 10, 5, {grey(10), grey(9), grey(9), grey(9), grey(9), grey(8), grey(8), grey(8), grey(8), grey(8)}},
        {a, b, 2, 4, 2, {a, b, b, b}},
        // Rows 1 and 2 of 3 take palette entries 85 and 171: 192 - 64 and 192 - 129.
        {blue, 0, 1, 3, 256, {blue, RGB(0, 0, 128), RGB(0, 0, 63)}},
        {blue, 0, 1, 3, 1000, {blue, RGB(0, 0, 128), RGB(0, 0, 63)}},
        {0, 0, 0, 10, 256, {}}, {0, 0, 10, 0, 256, {}},
    };
    Canvas canvas(4, 4, 0);
    for (size_t r = 0; r < sizeof(table) / sizeof(table[0]); ++r) {
        const Row& row = table[r];
        HBITMAP bitmap = CDrawnMenu::MakeGradientBitmap(canvas.dc(), row.bottom, row.top, row.cx, row.cy, row.n);
        ASSERT_EQ(bitmap != nullptr, !row.rows.empty()) << "row " << r;
        if (bitmap == nullptr)
            continue;
        HDC dc = CreateCompatibleDC(canvas.dc());
        HGDIOBJ old = SelectObject(dc, bitmap);
        for (int y = 0; y < row.cy; ++y)
            for (int x = 0; x < row.cx; ++x)
                EXPECT_EQ(GetPixel(dc, x, row.cy - 1 - y), row.rows[y])
                    << "table row " << r << ", bitmap row " << y << " from the bottom, column " << x << ": "
                    << describe(GetPixel(dc, x, row.cy - 1 - y)) << " expected " << describe(row.rows[y]);
        DeleteObject(SelectObject(dc, old));
        DeleteDC(dc);
    }
}

} // namespace
