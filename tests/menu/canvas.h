// Test helpers for the drawn menu: a memory device context over a 32-bit DIB
// section whose pixels can be read back, and icons made in memory.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

inline void fillRect(HDC dc, RECT rc, COLORREF clr)
{
    HBRUSH brush = CreateSolidBrush(clr);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : m_dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bmi = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        fillRect(m_dc, {0, 0, width, height}, fill);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    HDC dc() const { return m_dc; }
    COLORREF at(int x, int y) const { return GetPixel(m_dc, x, y); }
    int count(const RECT& rc, COLORREF clr) const  // pixels of rc that have exactly clr
    {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                n += at(x, y) == clr;
        return n;
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

// A size x size icon of colour clr, transparent in a frame inset pixels wide.
inline HICON makeIcon(int size, COLORREF clr, int inset = 0)
{
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, colour);
    const RECT all = {0, 0, size, size};
    const RECT shape = {inset, inset, size - inset, size - inset};
    fillRect(dc, all, RGB(0, 0, 0)); // the colour image is black where transparent
    fillRect(dc, shape, clr);
    SelectObject(dc, mask);
    fillRect(dc, all, RGB(255, 255, 255)); // the mask is white where transparent
    fillRect(dc, shape, RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    ICONINFO ii = {TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

inline std::string describe(COLORREF clr)
{
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%u,%u,%u)", GetRValue(clr), GetGValue(clr), GetBValue(clr));
    return text;
}
