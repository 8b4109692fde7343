// CDrawnMenu: a popup menu that draws all its items itself: an optional
// gradient banner down the left edge with a vertical title, entries with an
// icon square and a caption, and etched dividers.
//
// Use: new CDrawnMenu, Attach(CreatePopupMenu()), append the banner first and
// then the entries, dividers and sub-menus in display order. The menu owns
// every entry and every CDrawnMenu sub-menu appended to it and deletes them
// when it is destroyed. WM_MEASUREITEM requests must be handed to
// MeasureItem of any CDrawnMenu; WM_DRAWITEM reaches DrawItem through the
// framework's permanent menu map.
//
// Sizes are nominal pixels at 100% display scale (96 DPI) and drawn scaled
// to the menu's DPI: the session's at first, another one after SetDpi.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/cstring.h"
#include "framework/gdi.h"
#include "framework/menu.h"
#include "menu/drawn_menu_entry.h"

class CDrawnMenu : public CMenu {
    DECLARE_DYNAMIC(CDrawnMenu)
public:
    // Reads the system menu font and colours once, for the session's DPI;
    // makes no menu handle.
    CDrawnMenu();
    // Releases every entry, icon and CDrawnMenu sub-menu the menu owns, then
    // destroys the menu handle.
    ~CDrawnMenu() override;

    // Appends the side banner; the next entry or sub-menu starts a new
    // column. False (the entry stays the caller's) when pEntry is null or the
    // system refuses the item.
    BOOL AppendBanner(CDrawnMenuEntry* pEntry);
    // Appends an owner-drawn entry with nFlags added to its menu flags. False
    // (the entry stays the caller's) when pEntry is null or the system refuses.
    BOOL AppendEntry(UINT nFlags, CDrawnMenuEntry* pEntry);
    // Appends an etched divider; cancels a column break still pending.
    void AppendDivider();
    // Appends pSubMenu as a popup item labelled by pLabel. The parent takes
    // ownership of pSubMenu only when it is a CDrawnMenu bound in the
    // permanent map. False (nothing taken over) when an argument is null or
    // the system refuses the item.
    BOOL AppendSubmenu(UINT nFlags, CMenu* pSubMenu, CDrawnMenuEntry* pLabel);

    // Draws for nDpi (clamped to the range drawn for) from now on: the menu
    // font and every size follow it, in the CDrawnMenu sub-menus appended
    // so far too. Call it before the menu opens: an open menu keeps the
    // item sizes it was measured with, and its items are drawn at the DPI
    // they were measured for.
    void SetDpi(int nDpi);
    int GetDpi() const { return m_nDpi; }
    // n nominal pixels at the menu's DPI.
    int Scale(int n) const;
    // The side of the square place an entry's icon is drawn in at the
    // menu's DPI, for an entry of the default extent.
    int IconPlace() const;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;

    virtual void PaintBackground(CDC* pDC, RECT rc, BOOL bSelected);
    virtual void PaintIconFrame(CDC* pDC, RECT rc, BOOL bSelected, BOOL bGrayed, BOOL bChecked);
    virtual void PaintIcon(CDC* pDC, RECT rc, HICON hIcon, BOOL bGrayed);
    virtual void PaintBanner(CDC* pDC, RECT rc, const CString& strTitle);
    virtual void PaintCaption(CDC* pDC, RECT rc, const CString& strText, BOOL bSelected,
                              BOOL bGrayed, BOOL bDefault);
    virtual void PaintCheck(CDC* pDC, RECT rc);
    virtual void PaintLabel(CDC* pDC, RECT rc, const CString& strText, COLORREF clrText);

    // Fills rc with clr through a solid brush and PATCOPY.
    void FillSolid(CDC* pDC, RECT rc, COLORREF clr);
    // Draws hIcon embossed into rc: its shape in the button highlight colour
    // one (scaled) pixel right and down, and in the button shadow colour on top.
    void PaintDisabledIcon(CDC* pDC, HICON hIcon, RECT rc) const;
    // A cx x cy bitmap compatible with hdc, filled in horizontal stripes from
    // clrBottom (bottom row) towards clrTop with at most 256 colours; the
    // caller deletes it. Null when the sizes are not positive, the pixel
    // memory cannot be had or GDI refuses.
    static HBITMAP MakeGradientBitmap(HDC hdc, COLORREF clrBottom, COLORREF clrTop, int cx, int cy,
                                      int nColours);

    CFont m_menuFont;
    COLORREF m_clrBackground;
    COLORREF m_clrSelection;
    COLORREF m_clrText;
    COLORREF m_clrSelectedText;
    COLORREF m_clrGrayText;
    COLORREF m_clrBandBottom;
    COLORREF m_clrBandTop;
    BOOL m_bColumnBreakPending;

protected:
    // A bold copy of the menu font into *pFont; false when it cannot be made.
    BOOL CreateBoldMenuFont(CFont* pFont) const;

private:
    // Makes m_menuFont: the system menu font, scaled from the session's DPI
    // to the menu's.
    void CreateMenuFont();

    void ReleaseEntries();
    void RememberEntry(CDrawnMenuEntry* pEntry);

    // Everything appended through this object, kept apart from the items:
    // an item replaced by ModifyMenu no longer carries its entry (and a
    // replaced popup item no longer names its sub-menu), yet both are still
    // ours to delete.
    std::vector<CDrawnMenuEntry*> m_ownedEntries;
    std::vector<CDrawnMenu*> m_ownedSubmenus;
    int m_nDpi;
};
