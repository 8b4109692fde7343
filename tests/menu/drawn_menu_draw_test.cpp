// CDrawnMenu's drawing, read back pixel by pixel from memory device contexts.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"
#include "tests/support/gdi_count.h"

namespace {

const COLORREF BACKGROUND = RGB(212, 208, 200);
const COLORREF SELECTION = RGB(102, 153, 255);
const COLORREF TEXT = RGB(0, 0, 128);
const COLORREF SELECTED_TEXT = RGB(255, 255, 0);
const COLORREF GRAY_TEXT = RGB(128, 64, 0);
const COLORREF ICON_RED = RGB(220, 20, 20);
const COLORREF SENTINEL = RGB(1, 2, 3);

COLORREF highlight()
{
    return GetSysColor(COLOR_BTNHIGHLIGHT);
}

COLORREF shadow()
{
    return GetSysColor(COLOR_BTNSHADOW);
}

class DrawnMenuDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_menu.m_clrBackground = BACKGROUND;
        m_menu.m_clrSelection = SELECTION;
        m_menu.m_clrText = TEXT;
        m_menu.m_clrSelectedText = SELECTED_TEXT;
        m_menu.m_clrGrayText = GRAY_TEXT;
        // The system's menu font without antialiasing, so that text pixels
        // have exactly the colours drawn.
        LOGFONTA lf;
        ASSERT_EQ(m_menu.m_menuFont.GetLogFont(&lf), static_cast<int>(sizeof(lf)));
        lf.lfQuality = NONANTIALIASED_QUALITY;
        m_menu.m_menuFont.DeleteObject();
        ASSERT_TRUE(m_menu.m_menuFont.CreateFontIndirect(&lf));
    }

    void draw(Canvas& canvas, const CDrawnMenuEntry* entry, RECT rc, UINT state = 0, UINT ctlType = ODT_MENU)
    {
        DRAWITEMSTRUCT dis;
        ZeroMemory(&dis, sizeof(dis));
        dis.CtlType = ctlType;
        dis.itemState = state;
        dis.hDC = canvas.dc();
        dis.rcItem = rc;
        dis.itemData = reinterpret_cast<ULONG_PTR>(entry);
        m_menu.DrawItem(&dis);
    }

    CDrawnMenu m_menu;
};

// Expected pixels of a square: every pixel not listed has `fill`.
struct Picture {
    COLORREF fill;
    std::set<std::pair<int, int>> points[3];
    COLORREF colours[3];
};

void expectSquare(const Canvas& canvas, RECT square, const Picture& picture, const std::string& what)
{
    int wrong = 0;
    for (int y = square.top; y < square.bottom; ++y) {
        for (int x = square.left; x < square.right; ++x) {
            COLORREF want = picture.fill;
            for (int i = 0; i < 3; ++i)
                if (picture.points[i].count({x, y}))
                    want = picture.colours[i];
            COLORREF got = canvas.at(x, y);
            if (got != want && ++wrong <= 5)
                ADD_FAILURE() << what << ": pixel (" << x << "," << y << ") is " << describe(got) << ", expected "
                              << describe(want);
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}

// The one-pixel frame of a square, lit at the top and left, dark at the
// bottom and right (or the other way round for a sunken frame).
void addFrame(Picture& picture, int lit, int dark, RECT sq)
{
    for (int x = sq.left; x < sq.right; ++x) {
        picture.points[lit].insert({x, sq.top});
        picture.points[dark].insert({x, sq.bottom - 1});
    }
    for (int y = sq.top; y < sq.bottom; ++y) {
        picture.points[lit].insert({sq.left, y});
        picture.points[dark].insert({sq.right - 1, y});
    }
    // The lit lines stop short of the far corners, which belong to the dark ones.
    picture.points[lit].erase({sq.right - 1, sq.top});
    picture.points[lit].erase({sq.left, sq.bottom - 1});
}

TEST_F(DrawnMenuDraw, SelectedEntryWithIcon)
{
    Canvas canvas(120, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "Settings", makeSolidIcon(32, ICON_RED));
    draw(canvas, &entry, {0, 0, 120, 24}, ODS_SELECTED);

    // Menu-coloured square with a raised edge, the icon stretched to 20 x 20
    // inside it, two pixels from every side.
    Picture square{BACKGROUND, {}, {highlight(), shadow(), ICON_RED}};
    addFrame(square, 0, 1, {0, 0, 24, 24});
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 22; ++x)
            square.points[2].insert({x, y});
    expectSquare(canvas, {0, 0, 24, 24}, square, "icon square");

    // Selection bar beside the square and right of the caption area.
    EXPECT_EQ(canvas.count({24, 0, 26, 24}, SELECTION), 2 * 24);
    EXPECT_EQ(canvas.count({100, 0, 120, 24}, SELECTION), 20 * 24);
    // Caption in the selected-text colour on the bar, nothing in the normal colour.
    const RECT caption = {26, 0, 100, 24};
    EXPECT_GT(canvas.count(caption, SELECTED_TEXT), 20);
    EXPECT_EQ(canvas.count(caption, TEXT), 0);
}

TEST_F(DrawnMenuDraw, UnselectedEntryWithIconHasNoEdge)
{
    Canvas canvas(120, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "Settings", makeSolidIcon(20, ICON_RED));
    draw(canvas, &entry, {0, 0, 120, 24});
    Picture square{BACKGROUND, {}, {ICON_RED, ICON_RED, ICON_RED}};
    for (int y = 2; y < 22; ++y)
        for (int x = 2; x < 22; ++x)
            square.points[0].insert({x, y});
    expectSquare(canvas, {0, 0, 24, 24}, square, "icon square");
    EXPECT_EQ(canvas.count({100, 0, 120, 24}, BACKGROUND), 20 * 24);
    EXPECT_GT(canvas.count({26, 0, 100, 24}, TEXT), 20);
}

// The tick: for k = 0..2 a line from (x0, y0+3+k) to (x0+2, y0+5+k) and on to
// (x0+7, y0+k), each line without its end point.
void addTick(Picture& picture, int index, int x0, int y0)
{
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 2; ++i)
            picture.points[index].insert({x0 + i, y0 + 3 + k + i});
        for (int i = 0; i < 5; ++i)
            picture.points[index].insert({x0 + 2 + i, y0 + 5 + k - i});
    }
}

TEST_F(DrawnMenuDraw, CheckedEntryWithoutIconShowsASunkenSquareAndATick)
{
    struct Row {
        int height;
        UINT state;
        int x0; // top-left of the tick's 8 x 8 cell
    };
    const Row rows[] = {
        {24, ODS_CHECKED, 8},
        {25, ODS_CHECKED, 8},
        {30, ODS_CHECKED, 11},
        {19, ODS_CHECKED, 5},
        {24, ODS_CHECKED | ODS_SELECTED, 8},
    };
    for (size_t r = 0; r < sizeof(rows) / sizeof(rows[0]); ++r) {
        const Row& row = rows[r];
        const int h = row.height;
        const bool selected = (row.state & ODS_SELECTED) != 0;
        Canvas canvas(140, h, SENTINEL);
        CDrawnMenuCommandEntry entry(1, "Drive");
        draw(canvas, &entry, {0, 0, 140, h}, row.state);

        // Checked and not selected: button-highlight fill; on the bar the
        // square keeps the menu colour. Sunken either way.
        Picture square{selected ? BACKGROUND : highlight(), {}, {shadow(), highlight(), RGB(0, 0, 0)}};
        addFrame(square, 0, 1, {0, 0, h, h});
        addTick(square, 2, row.x0, row.x0);
        expectSquare(canvas, {0, 0, h, h}, square, "row " + std::to_string(r) + " height " + std::to_string(h));
        EXPECT_EQ(canvas.count({h, 0, h + 2, h}, selected ? SELECTION : BACKGROUND), 2 * h) << "row " << r;
    }
}

// An icon 20 pixels square, opaque in (5..14, 5..14) only, so that it is not
// stretched and its shape is known.
HICON makeInsetIcon()
{
    return makeIcon(20, [](int x, int y, COLORREF* clr) {
        *clr = ICON_RED;
        return x >= 5 && x < 15 && y >= 5 && y < 15;
    });
}

// The embossed shape drawn into the area at (2, 2): shadow on the shape,
// highlight where the shape moved one pixel right and down shows from under it.
Picture embossedInset(COLORREF fill)
{
    Picture picture{fill, {}, {shadow(), highlight(), highlight()}};
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            picture.points[1].insert({2 + 5 + 1 + x, 2 + 5 + 1 + y});
            picture.points[0].insert({2 + 5 + x, 2 + 5 + y});
        }
    }
    for (const auto& p : picture.points[0])
        picture.points[1].erase(p);
    return picture;
}

TEST_F(DrawnMenuDraw, GrayedEntryIsEmbossedWithoutEdge)
{
    Canvas canvas(120, 24, SENTINEL);
    // What an earlier caption leaves in the menu's device context must not
    // change the emboss.
    SetTextColor(canvas.dc(), RGB(255, 255, 255));
    SetBkColor(canvas.dc(), RGB(0, 0, 0));
    CDrawnMenuCommandEntry entry(1, "Eject", makeInsetIcon());
    draw(canvas, &entry, {0, 0, 120, 24}, ODS_GRAYED);

    expectSquare(canvas, {0, 0, 24, 24}, embossedInset(BACKGROUND), "grayed icon square");

    // Highlight-text copy one pixel right and down, gray text on top.
    const RECT caption = {26, 0, 101, 25};
    RECT gray = {0, 0, 0, 0};
    RECT light = {0, 0, 0, 0};
    int nGray = 0;
    int nLight = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = caption.left; x < 100; ++x) {
            COLORREF c = canvas.at(x, y);
            if (c == GRAY_TEXT) {
                ++nGray;
                gray = nGray == 1 ? RECT{x, y, x + 1, y + 1} : RECT{std::min<LONG>(gray.left, x), std::min<LONG>(gray.top, y), std::max<LONG>(gray.right, x + 1), std::max<LONG>(gray.bottom, y + 1)};
            } else if (c == SELECTED_TEXT) {
                ++nLight;
                light = nLight == 1 ? RECT{x, y, x + 1, y + 1} : RECT{std::min<LONG>(light.left, x), std::min<LONG>(light.top, y), std::max<LONG>(light.right, x + 1), std::max<LONG>(light.bottom, y + 1)};
                // Every light pixel is the copy of an ink pixel up and to the left.
                EXPECT_NE(canvas.at(x - 1, y - 1), BACKGROUND) << "light pixel at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(nGray, 20);
    EXPECT_GT(nLight, 5);
    EXPECT_EQ(light.right, gray.right + 1);
    EXPECT_EQ(light.bottom, gray.bottom + 1);
    EXPECT_EQ(canvas.count({26, 0, 120, 24}, TEXT), 0);
}

TEST_F(DrawnMenuDraw, GrayedSelectedEntryShowsOnlyTheGrayCaptionOnTheBar)
{
    Canvas canvas(120, 24, SENTINEL);
    SetTextColor(canvas.dc(), SELECTED_TEXT);
    CDrawnMenuCommandEntry entry(1, "Eject", makeInsetIcon());
    draw(canvas, &entry, {0, 0, 120, 24}, ODS_GRAYED | ODS_SELECTED);

    expectSquare(canvas, {0, 0, 24, 24}, embossedInset(BACKGROUND), "grayed selected icon square");
    EXPECT_EQ(canvas.count({100, 0, 120, 24}, SELECTION), 20 * 24);
    EXPECT_GT(canvas.count({26, 0, 100, 24}, GRAY_TEXT), 20);
    EXPECT_EQ(canvas.count({26, 0, 120, 24}, SELECTED_TEXT), 0);
}

TEST_F(DrawnMenuDraw, DefaultCaptionIsBoldInTheSamePlace)
{
    Canvas normal(160, 24, SENTINEL);
    Canvas bold(160, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "Show window");
    draw(normal, &entry, {0, 0, 160, 24});
    draw(bold, &entry, {0, 0, 160, 24}, ODS_DEFAULT);
    const RECT caption = {26, 0, 140, 24};
    const int inkNormal = normal.countOther(caption, BACKGROUND);
    const int inkBold = bold.countOther(caption, BACKGROUND);
    EXPECT_GT(inkBold, inkNormal + inkNormal / 5) << "bold " << inkBold << ", normal " << inkNormal;
    RECT a = normal.inkBox(caption, BACKGROUND);
    RECT b = bold.inkBox(caption, BACKGROUND);
    EXPECT_NEAR(a.left, b.left, 1);
    EXPECT_NEAR(a.top + a.bottom, b.top + b.bottom, 2) << "centred alike";
    EXPECT_GT(b.right, a.right) << "bold is wider";
    EXPECT_GT(bold.count(caption, TEXT), normal.count(caption, TEXT));
}

// The caption area of a 200-pixel item ends 20 pixels before its right edge;
// the parts of "name\tshortcut" look exactly as left- and right-aligned text
// in that area.
TEST_F(DrawnMenuDraw, TabCaptionRightAlignsTheShortcut)
{
    Canvas canvas(200, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "Open\tCtrl+O");
    draw(canvas, &entry, {0, 0, 200, 24});

    Canvas reference(200, 24, BACKGROUND);
    HGDIOBJ old = SelectObject(reference.dc(), m_menu.m_menuFont.m_hObject);
    SetBkMode(reference.dc(), TRANSPARENT);
    SetTextColor(reference.dc(), TEXT);
    RECT area = {26, 0, 180, 24};
    DrawTextA(reference.dc(), "Open", -1, &area, DT_SINGLELINE | DT_VCENTER);
    DrawTextA(reference.dc(), "Ctrl+O", -1, &area, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    SelectObject(reference.dc(), old);

    int differ = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 24; x < 200; ++x)
            differ += canvas.at(x, y) != reference.at(x, y);
    EXPECT_EQ(differ, 0);
    RECT shortcut = canvas.inkBox({100, 0, 200, 24}, BACKGROUND);
    EXPECT_LE(shortcut.right, 180);
    EXPECT_GE(shortcut.right, 176);
    EXPECT_EQ(canvas.count({180, 0, 200, 24}, BACKGROUND), 20 * 24);
}

TEST_F(DrawnMenuDraw, CaptionStartingWithATabStillShowsItsShortcut)
{
    Canvas canvas(200, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "\tCtrl+O");
    draw(canvas, &entry, {0, 0, 200, 24});
    EXPECT_EQ(canvas.countOther({26, 0, 120, 24}, BACKGROUND), 0);
    RECT ink = canvas.inkBox({120, 0, 200, 24}, BACKGROUND);
    EXPECT_GE(ink.right, 176);
    EXPECT_LE(ink.right, 180);
}

TEST_F(DrawnMenuDraw, DividerIsAnEtchedLineAtHalfHeight)
{
    for (int h : {6, 7, 10, 2}) {
        Canvas canvas(120, h, SENTINEL);
        CDrawnMenuDividerEntry divider;
        draw(canvas, &divider, {0, 0, 120, h});
        const int line = h >> 1;
        for (int y = 0; y < h; ++y) {
            COLORREF want = y == line ? shadow() : y == line + 1 ? highlight() : BACKGROUND;
            EXPECT_EQ(canvas.count({0, y, 120, y + 1}, want), 120)
                << "height " << h << " row " << y << ": " << describe(canvas.at(60, y)) << " expected " << describe(want);
        }
    }
}

// Row y counted from the top of a band h rows high, with 256 colours from
// (0, 0, 192) at the bottom to black at the top.
COLORREF bandRow(int y, int h)
{
    const int fromBottom = h - 1 - y;
    int index = MulDiv(256, fromBottom, h);
    if (index > 255)
        index = 255;
    return RGB(0, 0, 192 + MulDiv(-192, index, 255));
}

TEST_F(DrawnMenuDraw, BannerFillsTheClipBoxWithTheGradientAndTheTitle)
{
    Canvas canvas(40, 300, SENTINEL);
    CDrawnMenuBannerEntry banner("TRELVIK", 24);
    // The banner item is 12 pixels wide and 0 high; the band is 3 pixels wider.
    draw(canvas, &banner, {0, 0, 12, 0});
    for (int y = 0; y < 300; ++y) {
        for (int x : {0, 1}) {
            ASSERT_EQ(canvas.at(x, y), bandRow(y, 300)) << "column " << x << " row " << y;
        }
    }
    EXPECT_EQ(canvas.at(0, 299), RGB(0, 0, 192));
    EXPECT_EQ(canvas.at(14, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.count({22, 0, 40, 300}, SENTINEL), 18 * 300) << "band and title stay left";
    EXPECT_EQ(canvas.count({15, 0, 40, 200}, SENTINEL), 25 * 200);
    // The white title runs up from four pixels above the bottom.
    const int white = canvas.count({2, 200, 22, 296}, RGB(255, 255, 255));
    EXPECT_GT(white, 40);
    EXPECT_EQ(canvas.count({0, 0, 40, 200}, RGB(255, 255, 255)), 0);
    EXPECT_EQ(canvas.count({0, 296, 40, 300}, RGB(255, 255, 255)), 0);
}

TEST_F(DrawnMenuDraw, BannerDrawnForAPartialRepaintSpansOnlyTheClipBox)
{
    Canvas canvas(40, 300, SENTINEL);
    HRGN clip = CreateRectRgn(0, 100, 40, 200);
    SelectClipRgn(canvas.dc(), clip);
    DeleteObject(clip);
    CDrawnMenuBannerEntry banner("", 24);
    draw(canvas, &banner, {0, 0, 12, 0});
    SelectClipRgn(canvas.dc(), nullptr);
    EXPECT_EQ(canvas.count({0, 0, 40, 100}, SENTINEL), 40 * 100);
    EXPECT_EQ(canvas.count({0, 200, 40, 300}, SENTINEL), 40 * 100);
    EXPECT_EQ(canvas.count({15, 100, 40, 200}, SENTINEL), 25 * 100);
    for (int y = 100; y < 200; ++y)
        ASSERT_EQ(canvas.count({0, y, 15, y + 1}, bandRow(y - 100, 100)), 15) << "row " << y;
    EXPECT_EQ(canvas.at(7, 199), RGB(0, 0, 192));
}

TEST_F(DrawnMenuDraw, IgnoresRequestsThatAreNotItsOwn)
{
    Canvas canvas(120, 24, SENTINEL);
    CDrawnMenuCommandEntry entry(1, "Open");
    CDrawnMenuCommandEntry foreign(1, "Open");
    foreign.m_dwSignature = 0;
    draw(canvas, &entry, {0, 0, 120, 24}, 0, ODT_LISTBOX);
    draw(canvas, nullptr, {0, 0, 120, 24});
    draw(canvas, &foreign, {0, 0, 120, 24});
    EXPECT_EQ(canvas.count({0, 0, 120, 24}, SENTINEL), 120 * 24);
}

// Each kind of request makes its GDI objects and deletes them again, and
// leaves the device context with the objects it had.
TEST_F(DrawnMenuDraw, DrawingLeavesNoObjectsBehind)
{
    ASSERT_TRUE(gdicount::install());
    CDrawnMenuCommandEntry plain(1, "Options");
    CDrawnMenuCommandEntry withIcon(2, "Eject\tCtrl+E", makeSolidIcon(32, ICON_RED));
    CDrawnMenuBannerEntry banner("TRELVIK", 24);
    CDrawnMenuDividerEntry divider;
    struct Row {
        const char* what;
        const CDrawnMenuEntry* entry;
        UINT state;
        RECT rc;
    } const rows[] = {
        {"plain", &plain, 0, {0, 0, 120, 24}},
        {"selected icon", &withIcon, ODS_SELECTED, {0, 0, 120, 24}},
        {"grayed icon", &withIcon, ODS_GRAYED, {0, 0, 120, 24}},
        {"checked default", &plain, ODS_CHECKED | ODS_DEFAULT, {0, 0, 120, 24}},
        {"grayed selected default", &plain, ODS_GRAYED | ODS_SELECTED | ODS_DEFAULT, {0, 0, 120, 24}},
        {"banner", &banner, 0, {0, 0, 12, 0}},
        {"divider", &divider, 0, {0, 0, 120, 6}},
    };
    Canvas canvas(120, 200, SENTINEL);
    const int failedBefore = gdicount::failedDeletes();
    for (const Row& row : rows) {
        HGDIOBJ font = GetCurrentObject(canvas.dc(), OBJ_FONT);
        HGDIOBJ brush = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
        HGDIOBJ pen = GetCurrentObject(canvas.dc(), OBJ_PEN);
        HGDIOBJ bitmap = GetCurrentObject(canvas.dc(), OBJ_BITMAP);
        const int live = gdicount::live();
        const int created = gdicount::created();
        for (int i = 0; i < 50; ++i)
            draw(canvas, row.entry, row.rc, row.state);
        EXPECT_GT(gdicount::created(), created) << row.what << ": the counter sees the objects made";
        EXPECT_EQ(gdicount::live(), live) << row.what;
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), font) << row.what;
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brush) << row.what;
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen) << row.what;
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BITMAP), bitmap) << row.what;
    }
    EXPECT_EQ(gdicount::failedDeletes(), failedBefore) << "an object was deleted while still selected";
}

} // namespace
