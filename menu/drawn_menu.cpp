// CDrawnMenu: construction, appending items, measuring and releasing what
// the menu owns.
#include "menu/drawn_menu.h"

#include <algorithm>
#include <new>

#include "framework/dpi.h"
#include "framework/record_sizes.h"

IMPLEMENT_DYNAMIC(CDrawnMenu, CMenu)

namespace {

template <class T>
void addOnce(std::vector<T*>& list, T* p)
{
    if (std::find(list.begin(), list.end(), p) == list.end())
        list.push_back(p);
}

} // namespace

CDrawnMenu::CDrawnMenu() : m_nDpi(SystemDpi())
{
    CreateMenuFont();
    m_clrBackground = ::GetSysColor(COLOR_MENU);
    m_clrSelection = ::GetSysColor(COLOR_HIGHLIGHT);
    m_clrText = ::GetSysColor(COLOR_MENUTEXT);
    m_clrSelectedText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_clrGrayText = ::GetSysColor(COLOR_GRAYTEXT);
    m_clrBandBottom = RGB(0, 0, 192);
    m_clrBandTop = RGB(0, 0, 0);
    m_bColumnBreakPending = FALSE;
}

void CDrawnMenu::CreateMenuFont()
{
    LOGFONTA lf;
    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = kNonClientMetricsV1Size;
    // Without the metrics the menu still gets a readable font: the GUI font
    // every dialog uses.
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kNonClientMetricsV1Size, &ncm, 0))
        lf = ncm.lfMenuFont;
    else if (::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf) != sizeof(lf))
        return;
    // The system's fonts are those of the session's DPI.
    const int nSystemDpi = SystemDpi();
    lf.lfHeight = ::MulDiv(lf.lfHeight, m_nDpi, nSystemDpi);
    lf.lfWidth = ::MulDiv(lf.lfWidth, m_nDpi, nSystemDpi);
    m_menuFont.CreateFontIndirect(&lf);
}

void CDrawnMenu::SetDpi(int nDpi)
{
    nDpi = ClampDpi(nDpi);
    for (CDrawnMenu* pSub : m_ownedSubmenus)
        pSub->SetDpi(nDpi);
    if (nDpi == m_nDpi)
        return;
    m_nDpi = nDpi;
    m_menuFont.DeleteObject();
    CreateMenuFont();
}

int CDrawnMenu::Scale(int n) const
{
    return ScaleForDpi(n, m_nDpi);
}

int CDrawnMenu::IconPlace() const
{
    return Scale(DRAWN_MENU_DEFAULT_EXTENT);
}

CDrawnMenu::~CDrawnMenu()
{
    m_menuFont.DeleteObject();
    ReleaseEntries();
    // The CMenu part destroys the menu handle.
}

void CDrawnMenu::RememberEntry(CDrawnMenuEntry* pEntry)
{
    addOnce(m_ownedEntries, pEntry);
}

BOOL CDrawnMenu::AppendBanner(CDrawnMenuEntry* pEntry)
{
    if (pEntry == nullptr)
        return FALSE;
    m_bColumnBreakPending = TRUE;
    if (!AppendMenu(MF_OWNERDRAW | MF_SEPARATOR, pEntry->m_nCommandId, reinterpret_cast<LPCSTR>(pEntry)))
        return FALSE;
    RememberEntry(pEntry);
    return TRUE;
}

BOOL CDrawnMenu::AppendEntry(UINT nFlags, CDrawnMenuEntry* pEntry)
{
    if (pEntry == nullptr)
        return FALSE;
    UINT flags = nFlags | MF_OWNERDRAW;
    if (m_bColumnBreakPending)
        flags |= MF_MENUBREAK;
    m_bColumnBreakPending = FALSE;
    if (!AppendMenu(flags, pEntry->m_nCommandId, reinterpret_cast<LPCSTR>(pEntry)))
        return FALSE;
    RememberEntry(pEntry);
    return TRUE;
}

void CDrawnMenu::AppendDivider()
{
    m_bColumnBreakPending = FALSE;
    CDrawnMenuEntry* pEntry = new (std::nothrow) CDrawnMenuDividerEntry;
    // Without an entry the separator is still appended; measuring and drawing
    // ignore an item without data.
    if (!AppendMenu(MF_OWNERDRAW | MF_SEPARATOR, 0, reinterpret_cast<LPCSTR>(pEntry))) {
        delete pEntry;
        return;
    }
    if (pEntry != nullptr)
        RememberEntry(pEntry);
}

BOOL CDrawnMenu::AppendSubmenu(UINT nFlags, CMenu* pSubMenu, CDrawnMenuEntry* pLabel)
{
    if (pSubMenu == nullptr || pLabel == nullptr || pSubMenu == this)
        return FALSE;
    UINT flags = nFlags | MF_OWNERDRAW | MF_POPUP;
    if (m_bColumnBreakPending)
        flags |= MF_MENUBREAK;
    m_bColumnBreakPending = FALSE;
    if (!AppendMenu(flags, reinterpret_cast<UINT_PTR>(pSubMenu->m_hMenu), reinterpret_cast<LPCSTR>(pLabel)))
        return FALSE;
    RememberEntry(pLabel);
    if (pSubMenu->IsKindOf(RUNTIME_CLASS(CDrawnMenu)) && FromHandlePermanent(pSubMenu->m_hMenu) == pSubMenu)
        addOnce(m_ownedSubmenus, static_cast<CDrawnMenu*>(pSubMenu));
    return TRUE;
}

BOOL CDrawnMenu::CreateBoldMenuFont(CFont* pFont) const
{
    LOGFONTA lf;
    if (m_menuFont.GetLogFont(&lf) != sizeof(lf) &&
        ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf) != sizeof(lf))
        return FALSE;
    lf.lfWeight = FW_BOLD;
    return pFont->CreateFontIndirect(&lf);
}

void CDrawnMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMIS)
{
    if (lpMIS == nullptr || lpMIS->CtlType != ODT_MENU)
        return;
    const CDrawnMenuEntry* pEntry = DrawnMenuEntryFromData(lpMIS->itemData);
    if (pEntry == nullptr)
        return;

    int width = 0;
    int height = 0;
    if (pEntry->m_bBanner) {
        width = Scale(pEntry->m_nExtent);
    } else if (pEntry->m_bDivider) {
        height = SystemMetricForDpi(SM_CYMENUCHECK, m_nDpi) >> 1;
    } else {
        // Measured bold whether or not the entry is drawn as the default item,
        // so that it is wide enough either way.
        CFont bold;
        CreateBoldMenuFont(&bold);
        RECT rc = {0, 0, 0, 0};
        HDC hScreen = ::GetWindowDC(nullptr);
        if (hScreen != nullptr) {
            CDC dc;
            dc.Attach(hScreen);
            HGDIOBJ hOldFont = bold.m_hObject ? dc.SelectObject(&bold) : nullptr;
            dc.DrawText(pEntry->m_strCaption, &rc, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
            if (hOldFont != nullptr)
                dc.SelectObject(hOldFont);
            dc.Detach();
            ::ReleaseDC(nullptr, hScreen);
        }
        // The square at the left holds the icon's place with a margin all round.
        const int nExtent = Scale(pEntry->m_nExtent);
        height = std::max<int>(rc.bottom - rc.top, nExtent + 2 * Scale(2));
        width = (rc.right - rc.left) + 2 * nExtent + Scale(12);
    }
    // The system adds the width of a check mark to every owner-drawn item.
    lpMIS->itemWidth = static_cast<UINT>(width + 1 - SystemMetricForDpi(SM_CXMENUCHECK, m_nDpi));
    lpMIS->itemHeight = static_cast<UINT>(height);
}

// Deletes every entry and CDrawnMenu sub-menu the menu holds, each exactly
// once: those its items still name (owner-drawn items whose data carries the
// entry signature, popup items whose menu is a CDrawnMenu in the permanent
// map) and those appended through this object whose items were replaced
// since. The items stay in the menu; the handle is destroyed afterwards.
void CDrawnMenu::ReleaseEntries()
{
    std::vector<CDrawnMenuEntry*> entries;
    std::vector<CDrawnMenu*> submenus;

    int n = m_hMenu != nullptr ? ::GetMenuItemCount(m_hMenu) : -1;
    for (int pos = 0; pos < n; ++pos) {
        if (CDrawnMenuEntry* pEntry = DrawnMenuEntryOf(m_hMenu, static_cast<UINT>(pos), TRUE))
            addOnce(entries, pEntry);
        CMenu* pSub = FromHandlePermanent(::GetSubMenu(m_hMenu, pos));
        if (pSub != nullptr && pSub != this && pSub->IsKindOf(RUNTIME_CLASS(CDrawnMenu)))
            addOnce(submenus, static_cast<CDrawnMenu*>(pSub));
    }
    for (CDrawnMenuEntry* pEntry : m_ownedEntries)
        addOnce(entries, pEntry);
    for (CDrawnMenu* pSub : m_ownedSubmenus)
        addOnce(submenus, pSub);
    m_ownedEntries.clear();
    m_ownedSubmenus.clear();

    for (CDrawnMenuEntry* pEntry : entries)
        delete pEntry;
    for (CDrawnMenu* pSub : submenus)
        delete pSub;
}
