// The records a CDrawnMenu keeps as the item data of its owner-drawn items:
// one per entry, banner, divider and sub-menu label.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

// Marks item data as a CDrawnMenuEntry; the menu measures and releases only
// records that carry it.
const DWORD DRAWN_MENU_ENTRY_SIGNATURE = 0x0505A0A0;

// Default nominal size of an entry in pixels: minimum height less 4, and the
// margin that the caption keeps from the item's right edge.
const int DRAWN_MENU_DEFAULT_EXTENT = 20;

class CDrawnMenuEntry {
public:
    CDrawnMenuEntry() = default;
    CDrawnMenuEntry(const CDrawnMenuEntry&) = delete;
    CDrawnMenuEntry& operator=(const CDrawnMenuEntry&) = delete;
    // The entry owns its icon and destroys it here.
    virtual ~CDrawnMenuEntry();

    DWORD m_dwSignature = DRAWN_MENU_ENTRY_SIGNATURE;
    UINT m_nCommandId = 0;
    bool m_bDivider = false;
    bool m_bBanner = false;
    CString m_strCaption;
    HICON m_hIcon = nullptr;
    // The side of the square the icon is drawn in, 0 for the whole place.
    // An icon size larger than the place is held to the place; a smaller one
    // is drawn in the middle of it.
    int m_nIconSize = 0;
    // The entry's nominal size at 100% display scale; the menu scales it.
    int m_nExtent = DRAWN_MENU_DEFAULT_EXTENT;
};

// An ordinary command, or the label of a sub-menu item. hIcon may be null;
// the entry takes ownership of it. nIconSize is the side it is drawn at,
// its image's or a whole multiple of it; 0 fills the icon's place.
class CDrawnMenuCommandEntry : public CDrawnMenuEntry {
public:
    CDrawnMenuCommandEntry(UINT nCommandId, const char* pszCaption, HICON hIcon = nullptr, int nIconSize = 0);
};

// The side banner: pszTitle is written bottom to top over a band nWidth
// pixels wide.
class CDrawnMenuBannerEntry : public CDrawnMenuEntry {
public:
    CDrawnMenuBannerEntry(const char* pszTitle, int nWidth);
};

// An etched divider line; CDrawnMenu::AppendDivider makes these itself.
class CDrawnMenuDividerEntry : public CDrawnMenuEntry {
public:
    CDrawnMenuDividerEntry();
};

// The entry that an item's data points to, or null when the data does not
// carry the entry signature.
CDrawnMenuEntry* DrawnMenuEntryFromData(ULONG_PTR itemData);
// The entry behind an owner-drawn item of hMenu, found by position or by
// command (searching the sub-menus too), or null.
CDrawnMenuEntry* DrawnMenuEntryOf(HMENU hMenu, UINT nItem, BOOL bByPosition);
