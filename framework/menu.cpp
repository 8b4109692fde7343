// CMenu: permanent and temporary handle maps, and thin forwards to the
// menu functions of the system.
#include "framework/menu.h"

#include <map>

#include "framework/wnd.h"

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {

// Handle maps of the menu objects. The permanent map holds the objects the
// program owns (entered by Attach, removed by Detach and destruction); the
// temporary map holds wrappers made by FromHandle for handles nobody owns.
std::map<HMENU, CMenu*>& permanentMap()
{
    static std::map<HMENU, CMenu*> map;
    return map;
}

std::map<HMENU, CMenu*>& temporaryMap()
{
    static std::map<HMENU, CMenu*> map;
    return map;
}

} // namespace

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (m_hMenu != nullptr || hMenu == nullptr)
        return FALSE;
    auto& permanent = permanentMap();
    if (permanent.find(hMenu) != permanent.end())
        return FALSE;
    // A temporary wrapper of this handle may still be in use by whoever got
    // it; it stays until DeleteTempMap, and lookups find this object first.
    m_hMenu = hMenu;
    permanent[hMenu] = this;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    if (hMenu == nullptr)
        return nullptr;
    auto& permanent = permanentMap();
    auto it = permanent.find(hMenu);
    if (it != permanent.end() && it->second == this)
        permanent.erase(it);
    // A temporary wrapper stays in its map, handle-less, until DeleteTempMap.
    m_hMenu = nullptr;
    return hMenu;
}

BOOL CMenu::CreatePopupMenu()
{
    return Attach(::CreatePopupMenu());
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == nullptr)
        return FALSE;
    return ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu)
{
    if (hMenu == nullptr)
        return nullptr;
    auto& permanent = permanentMap();
    auto it = permanent.find(hMenu);
    return it != permanent.end() ? it->second : nullptr;
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    if (hMenu == nullptr)
        return nullptr;
    if (CMenu* pMenu = FromHandlePermanent(hMenu))
        return pMenu;
    auto& temporary = temporaryMap();
    auto it = temporary.find(hMenu);
    if (it != temporary.end()) {
        it->second->m_hMenu = hMenu; // in case someone detached it
        return it->second;
    }
    CMenu* pTemp = new CMenu;
    pTemp->m_hMenu = hMenu;
    temporary[hMenu] = pTemp;
    return pTemp;
}

void CMenu::DeleteTempMap()
{
    auto& temporary = temporaryMap();
    for (auto& entry : temporary) {
        // The handle belongs to someone else: forget it before deleting.
        entry.second->m_hMenu = nullptr;
        delete entry.second;
    }
    temporary.clear();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem)
{
    return ::ModifyMenuA(m_hMenu, nPosition, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->m_hWnd : nullptr, lpRect);
}

void CMenu::DrawItem(LPDRAWITEMSTRUCT)
{
}

void CMenu::MeasureItem(LPMEASUREITEMSTRUCT)
{
}
