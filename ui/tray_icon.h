// The program's icon in the notification area. It is added at the first
// minimise (or hide) and stays until the end; a new taskbar gets it again.
#pragma once

#include "framework/afxwin.h"

class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Fills the icon record: the icon sends uCallbackMessage to hWnd and
    // shows icon resource nIconId at the size the shell draws it at.
    void Init(HWND hWnd, UINT uId, UINT uCallbackMessage, UINT nIconId, const char* pszTip);
    // Adds the icon unless it is there already; true when it is there. The
    // shell may refuse while it is busy (at logon): a later call tries again.
    bool Add();
    // Adds the icon again when it was there before the taskbar restarted:
    // a new taskbar knows nothing of the icons of the old one.
    void OnTaskbarCreated();
    // Removes the icon.
    void Remove();

private:
    NOTIFYICONDATAA m_nid = {};
    bool m_bAdded = false;
};
