// MakeGradientBitmap: the rows of the bitmap it makes, read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"

namespace {

// The bitmap's pixels as COLORREFs, row 0 at the bottom.
std::vector<std::vector<COLORREF>> readRows(HDC dc, HBITMAP bitmap, int cx, int cy)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = cy; // bottom-up, as the bitmap was described
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(cx) * cy);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, cy, pixels.data(), &bmi, DIB_RGB_COLORS), cy);
    std::vector<std::vector<COLORREF>> rows(cy, std::vector<COLORREF>(cx));
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            DWORD p = pixels[static_cast<size_t>(y) * cx + x];
            rows[y][x] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        }
    return rows;
}

COLORREF grey(int v)
{
    return RGB(v, v, v);
}

TEST(MakeGradientBitmap, RowsRoundAsWritten)
{
    // Small gradients whose rows can be worked out by hand: the row index
    // rounds n*y/cy to nearest (halves up), each colour component rounds
    // halves away from zero, the top index is clamped to n - 1.
    const COLORREF a = RGB(255, 0, 100);
    const COLORREF b = RGB(0, 255, 100);
    struct Row {
        COLORREF bottom, top;
        int cx, cy, n;
        std::vector<COLORREF> rows; // from the bottom
    } const table[] = {
        {grey(8), grey(10), 3, 10, 5, {grey(8), grey(9), grey(9), grey(9), grey(9), grey(10), grey(10), grey(10), grey(10), grey(10)}},
        {grey(10), grey(8), 3, 10, 5, {grey(10), grey(9), grey(9), grey(9), grey(9), grey(8), grey(8), grey(8), grey(8), grey(8)}},
        {a, b, 2, 4, 2, {a, b, b, b}},
        {b, a, 5, 1, 256, {b}},
        // Rows 1 and 2 of 3 take palette entries 85 and 171: 192 - 64 and 192 - 129.
        {RGB(0, 0, 192), RGB(0, 0, 0), 1, 3, 256, {RGB(0, 0, 192), RGB(0, 0, 128), RGB(0, 0, 63)}},
    };
    Canvas canvas(4, 4);
    for (size_t r = 0; r < sizeof(table) / sizeof(table[0]); ++r) {
        const Row& row = table[r];
        HBITMAP bitmap = CDrawnMenu::MakeGradientBitmap(canvas.dc(), row.bottom, row.top, row.cx, row.cy, row.n);
        ASSERT_NE(bitmap, nullptr) << "row " << r;
        auto pixels = readRows(canvas.dc(), bitmap, row.cx, row.cy);
        for (int y = 0; y < row.cy; ++y)
            for (int x = 0; x < row.cx; ++x)
                EXPECT_EQ(pixels[y][x], row.rows[y]) << "table row " << r << ", bitmap row " << y << " column " << x
                                                     << ": " << describe(pixels[y][x]) << " expected "
                                                     << describe(row.rows[y]);
        DeleteObject(bitmap);
    }
}

TEST(MakeGradientBitmap, TallBandsUseAtMost256ColoursAndClampTheTopRows)
{
    Canvas canvas(4, 4);
    for (int cy : {600, 1000, 513}) {
        HBITMAP bitmap = CDrawnMenu::MakeGradientBitmap(canvas.dc(), RGB(0, 0, 192), RGB(0, 0, 0), 2, cy, 256);
        ASSERT_NE(bitmap, nullptr);
        auto rows = readRows(canvas.dc(), bitmap, 2, cy);
        DeleteObject(bitmap);
        EXPECT_EQ(rows[0][0], RGB(0, 0, 192)) << cy;
        // Rows whose rounded index reaches 256 take the last colour, clrTop.
        int clamped = 0;
        for (int y = 0; y < cy; ++y)
            if (MulDiv(256, y, cy) >= 256) {
                ++clamped;
                EXPECT_EQ(rows[y][0], RGB(0, 0, 0)) << "height " << cy << " row " << y;
            }
        EXPECT_GE(clamped, 1) << cy;
        // Horizontal stripes that never get lighter towards the top, with at
        // most 256 distinct colours.
        int distinct = 1;
        for (int y = 1; y < cy; ++y) {
            EXPECT_EQ(rows[y][0], rows[y][1]) << "row " << y;
            EXPECT_LE(GetBValue(rows[y][0]), GetBValue(rows[y - 1][0])) << "row " << y;
            distinct += rows[y][0] != rows[y - 1][0];
        }
        EXPECT_LE(distinct, 256) << cy;
        EXPECT_GE(distinct, 190) << cy;
    }
}

TEST(MakeGradientBitmap, MoreThan256ColoursAreLimitedTo256)
{
    Canvas canvas(4, 4);
    HBITMAP limited = CDrawnMenu::MakeGradientBitmap(canvas.dc(), RGB(0, 0, 192), RGB(250, 0, 0), 1, 700, 256);
    HBITMAP asked = CDrawnMenu::MakeGradientBitmap(canvas.dc(), RGB(0, 0, 192), RGB(250, 0, 0), 1, 700, 1000);
    ASSERT_NE(limited, nullptr);
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(readRows(canvas.dc(), limited, 1, 700), readRows(canvas.dc(), asked, 1, 700));
    DeleteObject(limited);
    DeleteObject(asked);
}

TEST(MakeGradientBitmap, EmptySizesMakeNoBitmap)
{
    Canvas canvas(4, 4);
    const int sizes[][2] = {{0, 10}, {10, 0}, {-1, 10}, {10, -5}};
    for (const auto& s : sizes)
        EXPECT_EQ(CDrawnMenu::MakeGradientBitmap(canvas.dc(), 0, 0, s[0], s[1], 256), nullptr) << s[0] << "x" << s[1];
}

} // namespace
