// Construction and destruction of the drawn menu's entry records.
#include "menu/drawn_menu_entry.h"

#include "framework/record_sizes.h"

CDrawnMenuEntry::~CDrawnMenuEntry()
{
    if (m_hIcon != nullptr)
        ::DestroyIcon(m_hIcon);
}

CDrawnMenuCommandEntry::CDrawnMenuCommandEntry(UINT nCommandId, const char* pszCaption, HICON hIcon, int nIconSize)
{
    m_nCommandId = nCommandId;
    m_strCaption = pszCaption;
    m_hIcon = hIcon;
    m_nIconSize = hIcon != nullptr ? nIconSize : 0;
}

CDrawnMenuBannerEntry::CDrawnMenuBannerEntry(const char* pszTitle, int nWidth)
{
    m_bBanner = true;
    m_strCaption = pszTitle;
    m_nExtent = nWidth;
}

CDrawnMenuDividerEntry::CDrawnMenuDividerEntry()
{
    m_bDivider = true;
}

CDrawnMenuEntry* DrawnMenuEntryFromData(ULONG_PTR itemData)
{
    CDrawnMenuEntry* pEntry = reinterpret_cast<CDrawnMenuEntry*>(itemData);
    if (pEntry == nullptr || pEntry->m_dwSignature != DRAWN_MENU_ENTRY_SIGNATURE)
        return nullptr;
    return pEntry;
}

CDrawnMenuEntry* DrawnMenuEntryOf(HMENU hMenu, UINT nItem, BOOL bByPosition)
{
    MENUITEMINFOA mii;
    ZeroMemory(&mii, sizeof(mii));
    mii.cbSize = kMenuItemInfoV1Size;
    mii.fMask = MIIM_TYPE | MIIM_DATA;
    if (!::GetMenuItemInfoA(hMenu, nItem, bByPosition, &mii) || !(mii.fType & MFT_OWNERDRAW))
        return nullptr;
    return DrawnMenuEntryFromData(mii.dwItemData);
}
