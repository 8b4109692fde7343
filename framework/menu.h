// CMenu: a thin wrapper of a menu handle. Attach enters the object in the
// permanent handle map, so that owner-drawn requests for the menu's items
// can be routed to it; FromHandle also gives temporary wrappers.
#pragma once

#include <windows.h>

#include "framework/object.h"

class CWnd;

class CMenu : public CObject {
    DECLARE_DYNAMIC(CMenu)
public:
    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    // Destroys the attached menu handle, if any.
    ~CMenu() override;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }

    // Binds hMenu to this object in the permanent map; false when this
    // object already has a handle or hMenu is null or already bound.
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();

    // The permanent object bound to hMenu, or null.
    static CMenu* FromHandlePermanent(HMENU hMenu);
    // The permanent object, else a temporary wrapper that the framework
    // deletes at idle time (DeleteTempMap); null for a null handle.
    static CMenu* FromHandle(HMENU hMenu);
    static void DeleteTempMap();

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

    // Owner-drawn items: the framework calls these for items of a menu
    // bound in the permanent map. The base class draws and measures nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);
};
