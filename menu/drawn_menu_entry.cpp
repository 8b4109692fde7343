// Construction and destruction of the drawn menu's entry records.
#include "menu/drawn_menu_entry.h"

CDrawnMenuEntry::~CDrawnMenuEntry()
{
    if (m_hIcon != nullptr)
        ::DestroyIcon(m_hIcon);
}

CDrawnMenuCommandEntry::CDrawnMenuCommandEntry(UINT nCommandId, const char* pszCaption, HICON hIcon)
{
    m_nCommandId = nCommandId;
    m_strCaption = pszCaption;
    m_hIcon = hIcon;
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
