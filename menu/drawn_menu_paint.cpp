// CDrawnMenu: drawing of the banner, the entries and the dividers. Every GDI
// object is made for the one request that needs it and deleted before the
// paint operation returns; whatever is selected into a device context is
// deselected again.
#include "menu/drawn_menu.h"

#include <algorithm>

namespace {

// Destination = ((destination XOR pattern) AND source) XOR pattern: keeps the
// destination where the source is white and paints the brush where it is black.
const DWORD ROP_PATTERN_WHERE_BLACK = 0x00B8074A;

const COLORREF WHITE = RGB(255, 255, 255);
const COLORREF BLACK = RGB(0, 0, 0);

int width(const RECT& rc)
{
    return rc.right - rc.left;
}

int height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

// Position of the banner item directly before the item that carries pEntry,
// or -1 when that item does not follow a banner.
int bannerPositionBefore(HMENU hMenu, const CDrawnMenuEntry* pEntry)
{
    const int n = hMenu != nullptr ? ::GetMenuItemCount(hMenu) : -1;
    const CDrawnMenuEntry* pPrevious = nullptr;
    for (int pos = 0; pos < n; ++pos) {
        const CDrawnMenuEntry* pAt = DrawnMenuEntryOf(hMenu, static_cast<UINT>(pos), TRUE);
        if (pAt == pEntry)
            return pPrevious != nullptr && pPrevious->m_bBanner ? pos - 1 : -1;
        pPrevious = pAt;
    }
    return -1;
}

// The banner of item rectangle rcItem spans the height of the clipping box,
// that is, whatever part of the menu is being repainted: its own item is
// 0 pixels high.
void paintBannerOverClipBox(CDrawnMenu& menu, CDC* pDC, const RECT& rcItem, const CString& strTitle)
{
    RECT clip;
    pDC->GetClipBox(&clip);
    RECT band = {rcItem.left, clip.top, rcItem.right, clip.bottom};
    menu.PaintBanner(pDC, band, strTitle);
}

// Where an icon drawn at nSize pixels goes in area: 0 or a size larger than
// the area fills it; a smaller one is drawn in the middle at its size (the
// entry's owner chose it so that the image is not blurred).
RECT iconPlace(const RECT& area, int nSize)
{
    const int w = nSize > 0 ? std::min(nSize, width(area)) : width(area);
    const int h = nSize > 0 ? std::min(nSize, height(area)) : height(area);
    const int x = area.left + (width(area) - w) / 2;
    const int y = area.top + (height(area) - h) / 2;
    return {x, y, x + w, y + h};
}

} // namespace

void CDrawnMenu::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (lpDIS == nullptr || lpDIS->CtlType != ODT_MENU || lpDIS->itemData == 0)
        return;
    // Only records of ours are drawn: an item with foreign data is left to
    // whoever put it there.
    const CDrawnMenuEntry* pEntry = DrawnMenuEntryFromData(lpDIS->itemData);
    if (pEntry == nullptr)
        return;

    CDC dc;
    if (!dc.Attach(lpDIS->hDC))
        return;
    CDC* pDC = &dc;
    const RECT r = lpDIS->rcItem;

    if (pEntry->m_bBanner) {
        paintBannerOverClipBox(*this, pDC, r, pEntry->m_strCaption);
        dc.Detach();
        return;
    }

    // Some systems never ask for an item whose rectangle is empty, and the
    // banner's is. The item after the banner is drawn in full in every
    // repaint of the menu, so that request paints the banner first, at the
    // place the menu window gives the banner item. Where the banner had a
    // request of its own, the same pixels are painted once more.
    if (lpDIS->itemAction & ODA_DRAWENTIRE) {
        const int nBanner = bannerPositionBefore(m_hMenu, pEntry);
        HWND hMenuWnd = nBanner >= 0 ? ::WindowFromDC(lpDIS->hDC) : nullptr;
        RECT rcBanner;
        if (hMenuWnd != nullptr && ::GetMenuItemRect(hMenuWnd, m_hMenu, static_cast<UINT>(nBanner), &rcBanner)) {
            ::MapWindowPoints(nullptr, hMenuWnd, reinterpret_cast<POINT*>(&rcBanner), 2);
            paintBannerOverClipBox(*this, pDC, rcBanner, DrawnMenuEntryOf(m_hMenu, static_cast<UINT>(nBanner), TRUE)->m_strCaption);
        }
    }

    if (pEntry->m_bDivider) {
        PaintBackground(pDC, r, FALSE);
        RECT line = {r.left, r.top + (height(r) >> 1), r.right, r.bottom};
        pDC->DrawEdge(&line, EDGE_ETCHED, BF_TOP);
    } else {
        const BOOL bSelected = (lpDIS->itemState & ODS_SELECTED) != 0;
        const BOOL bGrayed = (lpDIS->itemState & ODS_GRAYED) != 0;
        const BOOL bChecked = (lpDIS->itemState & ODS_CHECKED) != 0;
        const BOOL bDefault = (lpDIS->itemState & ODS_DEFAULT) != 0;
        const int h = height(r);
        const int margin = Scale(2);
        const RECT square = {r.left, r.top, r.left + h, r.bottom};
        const RECT iconArea = {square.left + margin, square.top + margin, square.right - margin,
                               square.bottom - margin};
        const RECT captionArea = {r.left + h + margin, r.top, r.right - Scale(pEntry->m_nExtent), r.bottom};

        PaintBackground(pDC, r, bSelected);
        if (pEntry->m_hIcon != nullptr || bChecked)
            PaintIconFrame(pDC, square, bSelected, bGrayed, bChecked);
        if (pEntry->m_hIcon != nullptr)
            PaintIcon(pDC, iconPlace(iconArea, pEntry->m_nIconSize), pEntry->m_hIcon, bGrayed);
        else if (bChecked)
            PaintCheck(pDC, iconArea);
        PaintCaption(pDC, captionArea, pEntry->m_strCaption, bSelected, bGrayed, bDefault);
    }
    dc.Detach();
}

void CDrawnMenu::PaintBackground(CDC* pDC, RECT rc, BOOL bSelected)
{
    FillSolid(pDC, rc, bSelected ? m_clrSelection : m_clrBackground);
}

void CDrawnMenu::FillSolid(CDC* pDC, RECT rc, COLORREF clr)
{
    CBrush brush;
    brush.CreateSolidBrush(clr);
    HBRUSH hOld = pDC->SelectObject(&brush);
    pDC->PatBlt(rc.left, rc.top, width(rc), height(rc), PATCOPY);
    pDC->SelectObject(hOld);
}

void CDrawnMenu::PaintIconFrame(CDC* pDC, RECT rc, BOOL bSelected, BOOL bGrayed, BOOL bChecked)
{
    // A checked entry looks like a pressed button, an entry under the cursor
    // like a raised one; on the selection bar the square keeps the menu colour.
    FillSolid(pDC, rc, bChecked && !bSelected ? ::GetSysColor(COLOR_BTNHIGHLIGHT) : m_clrBackground);
    if (!bGrayed && (bSelected || bChecked))
        pDC->DrawEdge(&rc, bChecked ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

void CDrawnMenu::PaintIcon(CDC* pDC, RECT rc, HICON hIcon, BOOL bGrayed)
{
    if (bGrayed)
        PaintDisabledIcon(pDC, hIcon, rc);
    else
        pDC->DrawIconEx(rc.left, rc.top, hIcon, width(rc), height(rc), 0, nullptr, DI_NORMAL);
}

void CDrawnMenu::PaintDisabledIcon(CDC* pDC, HICON hIcon, RECT rc) const
{
    const int w = width(rc);
    const int h = height(rc);

    // The icon's shape as a monochrome mask: black wherever the icon is not white.
    CDC memDC;
    memDC.CreateCompatibleDC(pDC);
    CBitmap mask;
    mask.CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP hOldBitmap = memDC.SelectObject(&mask);
    memDC.PatBlt(0, 0, w, h, WHITENESS);
    memDC.DrawIconEx(0, 0, hIcon, w, h, 0, nullptr, DI_NORMAL);

    // Copying from a monochrome bitmap maps its white to the background colour
    // and its black to the text colour: both are set so that the mask stays
    // black and white whatever an earlier caption left in the device context.
    COLORREF clrOldBk = pDC->SetBkColor(WHITE);
    COLORREF clrOldText = pDC->SetTextColor(BLACK);

    CBrush highlight;
    highlight.CreateSolidBrush(::GetSysColor(COLOR_BTNHIGHLIGHT));
    HBRUSH hOldBrush = pDC->SelectObject(&highlight);
    const int shift = Scale(1);
    pDC->BitBlt(rc.left + shift, rc.top + shift, w, h, &memDC, 0, 0, ROP_PATTERN_WHERE_BLACK);

    CBrush shadow;
    shadow.CreateSolidBrush(::GetSysColor(COLOR_BTNSHADOW));
    pDC->SelectObject(&shadow);
    pDC->BitBlt(rc.left, rc.top, w, h, &memDC, 0, 0, ROP_PATTERN_WHERE_BLACK);

    pDC->SelectObject(hOldBrush);
    pDC->SetTextColor(clrOldText);
    pDC->SetBkColor(clrOldBk);
    memDC.SelectObject(hOldBitmap);
    // mask, the brushes and memDC are deleted by their destructors.
}

void CDrawnMenu::PaintCheck(CDC* pDC, RECT rc)
{
    // A tick in an 8 x 8 cell at 100%: three strokes, one pixel apart, from
    // the left down to the foot and up to the top right; more and longer
    // strokes at a larger scale.
    const int cell = Scale(8);
    const int x0 = rc.left + (width(rc) - cell) / 2;
    const int y0 = rc.top + (height(rc) - cell) / 2;
    const int strokes = Scale(3);
    const int footX = x0 + Scale(2);
    const int footY = y0 + Scale(5);
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, BLACK);
    HPEN hOld = pDC->SelectObject(&pen);
    for (int k = 0; k < strokes; ++k) {
        pDC->MoveTo(x0, y0 + Scale(3) + k);
        pDC->LineTo(footX, footY + k);
        pDC->LineTo(x0 + Scale(7), y0 + k);
    }
    pDC->SelectObject(hOld);
}

void CDrawnMenu::PaintCaption(CDC* pDC, RECT rc, const CString& strText, BOOL bSelected,
                              BOOL bGrayed, BOOL bDefault)
{
    CFont bold;
    HFONT hOld;
    if (bDefault && CreateBoldMenuFont(&bold))
        hOld = pDC->SelectObject(&bold);
    else
        hOld = pDC->SelectObject(&m_menuFont);
    pDC->SetBkMode(TRANSPARENT);

    if (bGrayed) {
        if (!bSelected) {
            const int shift = Scale(1);
            RECT shifted = {rc.left + shift, rc.top + shift, rc.right + shift, rc.bottom + shift};
            PaintLabel(pDC, shifted, strText, m_clrSelectedText);
        }
        PaintLabel(pDC, rc, strText, m_clrGrayText);
    } else {
        PaintLabel(pDC, rc, strText, bSelected ? m_clrSelectedText : m_clrText);
    }
    pDC->SelectObject(hOld);
}

void CDrawnMenu::PaintLabel(CDC* pDC, RECT rc, const CString& strText, COLORREF clrText)
{
    // "Name\tShortcut": the name at the left, the shortcut right-aligned. A
    // caption that starts with a tab has only a right part.
    const int nTab = strText.Find('\t');
    pDC->SetTextColor(clrText);
    if (nTab < 0) {
        pDC->DrawText(strText, &rc, DT_SINGLELINE | DT_VCENTER);
        return;
    }
    if (nTab > 0)
        pDC->DrawText(strText.Left(nTab), &rc, DT_SINGLELINE | DT_VCENTER);
    pDC->DrawText(strText.Mid(nTab + 1), &rc, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

void CDrawnMenu::PaintBanner(CDC* pDC, RECT rc, const CString& strTitle)
{
    // The band is three pixels wider than the banner item.
    const int w = width(rc) + Scale(3);
    const int h = height(rc);

    HBITMAP hGradient = MakeGradientBitmap(pDC->m_hDC, m_clrBandBottom, m_clrBandTop, w, h, 256);
    if (hGradient != nullptr) {
        CBitmap gradient;
        gradient.Attach(hGradient);
        CDC memDC;
        memDC.CreateCompatibleDC(pDC);
        HBITMAP hOld = memDC.SelectObject(&gradient);
        pDC->BitBlt(rc.left, rc.top, w, h, &memDC, 0, 0, SRCCOPY);
        memDC.SelectObject(hOld);
    }

    // The title runs from bottom to top.
    CFont font;
    font.CreateFont(Scale(16), 0, 900, 900, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
    HFONT hOldFont = pDC->SelectObject(&font);
    COLORREF clrOld = pDC->SetTextColor(WHITE);
    pDC->SetBkMode(TRANSPARENT);
    pDC->TextOut(rc.left + Scale(2), rc.bottom - Scale(4), strTitle);
    pDC->SetTextColor(clrOld);
    pDC->SelectObject(hOldFont);
}
