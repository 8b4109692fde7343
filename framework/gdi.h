// CDC and the GDI objects: thin wrappers of a device context handle and of
// fonts, brushes, pens and bitmaps. A GDI object wrapper owns its handle and
// deletes it on destruction; a CDC only borrows its handle (Attach/Detach)
// unless it made it itself with CreateCompatibleDC.
#pragma once

#include <windows.h>

#include "framework/cstring.h"
#include "framework/object.h"

class CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    // Deletes the object held, if any.
    ~CGdiObject() override;

    HGDIOBJ m_hObject = nullptr;

    // Takes ownership of hObject; false when this wrapper already holds one.
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    // Deletes the object held; false when there is none or GDI refuses.
    BOOL DeleteObject();
};

class CFont : public CGdiObject {
    DECLARE_DYNAMIC(CFont)
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                    BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet,
                    BYTE nOutPrecision, BYTE nClipPrecision, BYTE nQuality,
                    BYTE nPitchAndFamily, LPCSTR lpszFacename);
    // Fills *pLogFont; 0 when no font is held.
    int GetLogFont(LOGFONTA* pLogFont) const;
};

class CBrush : public CGdiObject {
    DECLARE_DYNAMIC(CBrush)
public:
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    BOOL CreateSolidBrush(COLORREF crColor);
};

class CPen : public CGdiObject {
    DECLARE_DYNAMIC(CPen)
public:
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
};

class CBitmap : public CGdiObject {
    DECLARE_DYNAMIC(CBitmap)
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits);
};

class CDC : public CObject {
    DECLARE_DYNAMIC(CDC)
public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    // Deletes a device context made by CreateCompatibleDC; an attached one
    // belongs to someone else and is left alone.
    ~CDC() override;

    HDC m_hDC = nullptr;
    operator HDC() const { return m_hDC; }

    // Borrows hDC; false when this object already holds one or hDC is null.
    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL CreateCompatibleDC(CDC* pDC);

    // Each returns the object that was selected before.
    HGDIOBJ SelectObject(HGDIOBJ hObject);
    HFONT SelectObject(CFont* pFont);
    HBRUSH SelectObject(CBrush* pBrush);
    HPEN SelectObject(CPen* pPen);
    HBITMAP SelectObject(CBitmap* pBitmap);

    COLORREF SetTextColor(COLORREF crColor);
    COLORREF SetBkColor(COLORREF crColor);
    int SetBkMode(int nBkMode);

    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
    BOOL TextOut(int x, int y, const CString& str);

    BOOL MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop);
    BOOL DrawEdge(LPRECT lpRect, UINT nEdge, UINT nFlags);
    BOOL DrawIconEx(int x, int y, HICON hIcon, int cx, int cy, UINT istepIfAniCur,
                    HBRUSH hbrFlickerFreeDraw, UINT diFlags);
    int GetClipBox(LPRECT lpRect) const;

private:
    bool m_bOwned = false;
};
