#include "tests/menu/canvas.h"

#include <cstdio>
#include <vector>

Canvas::Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
{
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height; // top-down: row 0 is the top
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<uint32_t*>(bits);
    m_dc = CreateCompatibleDC(nullptr);
    m_oldBitmap = SelectObject(m_dc, m_bitmap);
    this->fill(fill);
}

Canvas::~Canvas()
{
    SelectObject(m_dc, m_oldBitmap);
    DeleteDC(m_dc);
    DeleteObject(m_bitmap);
}

COLORREF Canvas::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return CLR_INVALID;
    GdiFlush();
    uint32_t p = m_bits[y * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void Canvas::fill(COLORREF clr)
{
    GdiFlush();
    uint32_t p = (GetRValue(clr) << 16) | (GetGValue(clr) << 8) | GetBValue(clr);
    for (int i = 0; i < m_width * m_height; ++i)
        m_bits[i] = p;
}

int Canvas::count(const RECT& rc, COLORREF clr) const
{
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            n += at(x, y) == clr;
    return n;
}

int Canvas::countOther(const RECT& rc, COLORREF clr) const
{
    return (rc.right - rc.left) * (rc.bottom - rc.top) - count(rc, clr);
}

RECT Canvas::inkBox(const RECT& rc, COLORREF background) const
{
    RECT box = {0, 0, 0, 0};
    bool any = false;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            if (at(x, y) == background)
                continue;
            if (!any) {
                box = {x, y, x + 1, y + 1};
                any = true;
            }
            box.left = x < box.left ? x : box.left;
            box.top = y < box.top ? y : box.top;
            box.right = x + 1 > box.right ? x + 1 : box.right;
            box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
        }
    }
    return box;
}

bool Canvas::saveBmp(const std::string& path) const
{
    GdiFlush();
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    ZeroMemory(&fh, sizeof(fh));
    ZeroMemory(&ih, sizeof(ih));
    const DWORD pixelBytes = static_cast<DWORD>(m_width * m_height * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + pixelBytes;
    ih.biSize = sizeof(ih);
    ih.biWidth = m_width;
    ih.biHeight = -m_height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(&fh, sizeof(fh), 1, f) == 1 && std::fwrite(&ih, sizeof(ih), 1, f) == 1 &&
              std::fwrite(m_bits, pixelBytes, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

HICON makeIcon(int size, const std::function<bool(int, int, COLORREF*)>& paint)
{
    // Colour image: a 24-bit DIB section, black where transparent (the XOR
    // image of an icon). Mask: one bit per pixel, 1 where transparent.
    BITMAPINFO bmi;
    ZeroMemory(&bmi, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = size;
    bmi.bmiHeader.biHeight = -size;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const int colourStride = (size * 3 + 3) & ~3;
    const int maskStride = ((size + 15) / 16) * 2; // CreateBitmap rows are WORD-aligned
    std::vector<unsigned char> mask(static_cast<size_t>(maskStride * size), 0);
    unsigned char* c = static_cast<unsigned char*>(bits);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            COLORREF clr = 0;
            unsigned char* p = c + y * colourStride + x * 3;
            if (paint(x, y, &clr)) {
                p[0] = GetBValue(clr);
                p[1] = GetGValue(clr);
                p[2] = GetRValue(clr);
            } else {
                p[0] = p[1] = p[2] = 0;
                mask[static_cast<size_t>(y * maskStride + x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
    }
    HBITMAP monochrome = CreateBitmap(size, size, 1, 1, mask.data());
    ICONINFO ii;
    ZeroMemory(&ii, sizeof(ii));
    ii.fIcon = TRUE;
    ii.hbmMask = monochrome;
    ii.hbmColor = colour;
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(colour);
    DeleteObject(monochrome);
    return icon;
}

HICON makeSolidIcon(int size, COLORREF clr)
{
    return makeIcon(size, [clr](int, int, COLORREF* out) {
        *out = clr;
        return true;
    });
}

bool iconAlive(HICON hIcon)
{
    ICONINFO ii;
    if (!GetIconInfo(hIcon, &ii))
        return false;
    if (ii.hbmColor != nullptr)
        DeleteObject(ii.hbmColor);
    if (ii.hbmMask != nullptr)
        DeleteObject(ii.hbmMask);
    return true;
}

std::string describe(COLORREF clr)
{
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%u,%u,%u)", GetRValue(clr), GetGValue(clr), GetBValue(clr));
    return text;
}
