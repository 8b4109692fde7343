// The banner's gradient: horizontal stripes of at most 256 colours from the
// bottom colour up to the top colour.
#include "menu/drawn_menu.h"

#include <cstdint>
#include <new>

namespace {

const int MAX_GRADIENT_COLOURS = 256;

// Component c of the colour i steps of n - 1 from bottom to top, rounded as
// MulDiv rounds (to nearest, halves away from zero).
int blend(int bottom, int top, int i, int n)
{
    return n > 1 ? bottom + ::MulDiv(top - bottom, i, n - 1) : bottom;
}

} // namespace

HBITMAP CDrawnMenu::MakeGradientBitmap(HDC hdc, COLORREF clrBottom, COLORREF clrTop, int cx, int cy,
                                       int nColours)
{
    if (cx <= 0 || cy <= 0)
        return nullptr;
    if (nColours > MAX_GRADIENT_COLOURS)
        nColours = MAX_GRADIENT_COLOURS;
    // Fewer than two colours (no caller asks for that): one stripe of clrBottom.
    if (nColours < 1)
        nColours = 1;

    // Palette as 32-bit DIB pixels, 0x00RRGGBB.
    uint32_t palette[MAX_GRADIENT_COLOURS];
    for (int i = 0; i < nColours; ++i) {
        const int r = blend(GetRValue(clrBottom), GetRValue(clrTop), i, nColours);
        const int g = blend(GetGValue(clrBottom), GetGValue(clrTop), i, nColours);
        const int b = blend(GetBValue(clrBottom), GetBValue(clrTop), i, nColours);
        palette[i] = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
    }

    const uint64_t count = static_cast<uint64_t>(cx) * static_cast<uint64_t>(cy);
    if (count > SIZE_MAX / sizeof(uint32_t))
        return nullptr;
    uint32_t* pixels = new (std::nothrow) uint32_t[static_cast<size_t>(count)];
    if (pixels == nullptr)
        return nullptr;

    BITMAPINFOHEADER bih;
    ZeroMemory(&bih, sizeof(bih));
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = cx;
    bih.biHeight = cy; // bottom-up: the first row in memory is the bottom row
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;

    for (int y = 0; y < cy; ++y) {
        int index = ::MulDiv(nColours, y, cy);
        if (index > nColours - 1)
            index = nColours - 1;
        uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(cx);
        for (int x = 0; x < cx; ++x)
            row[x] = palette[index];
    }

    HBITMAP hBitmap = ::CreateDIBitmap(hdc, &bih, CBM_INIT, pixels, reinterpret_cast<const BITMAPINFO*>(&bih),
                                       DIB_RGB_COLORS);
    delete[] pixels;
    return hBitmap;
}
