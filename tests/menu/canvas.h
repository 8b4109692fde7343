// Test helpers for the drawn menu: a memory device context over a 32-bit
// top-down DIB section whose pixels can be read back, icons made in memory,
// and a BMP writer for looking at what was drawn.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The pixel at (x, y) as a COLORREF.
    COLORREF at(int x, int y) const;
    void fill(COLORREF clr);
    // Pixels of the rectangle that have exactly clr.
    int count(const RECT& rc, COLORREF clr) const;
    // Pixels of the rectangle that differ from clr.
    int countOther(const RECT& rc, COLORREF clr) const;
    // Bounding box of the pixels of rc that differ from background; empty
    // (all zero) when there are none.
    RECT inkBox(const RECT& rc, COLORREF background) const;
    bool saveBmp(const std::string& path) const;

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    uint32_t* m_bits = nullptr;
    int m_width;
    int m_height;
};

// An icon of size x size pixels: paint(x, y, &clr) returns false where the
// icon is transparent and sets clr where it is opaque.
HICON makeIcon(int size, const std::function<bool(int, int, COLORREF*)>& paint);
// A fully opaque icon of one colour.
HICON makeSolidIcon(int size, COLORREF clr);
// True while hIcon is a live icon handle.
bool iconAlive(HICON hIcon);

std::string describe(COLORREF clr);
