#include "ui/tray_icon.h"

#include "framework/record_sizes.h"
#include "ui/icons.h"

CTrayIcon::~CTrayIcon()
{
    if (m_nid.hIcon != nullptr)
        ::DestroyIcon(m_nid.hIcon);
}

void CTrayIcon::Init(HWND hWnd, UINT uId, UINT uCallbackMessage, UINT nIconId, const char* pszTip)
{
    if (m_nid.hIcon != nullptr)
        ::DestroyIcon(m_nid.hIcon);
    m_bAdded = false;
    m_nid = NOTIFYICONDATAA{};
    m_nid.cbSize = kNotifyIconDataV1Size;
    m_nid.hWnd = hWnd;
    m_nid.uID = uId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = uCallbackMessage;
    // The taskbar draws notification icons at the small icon size of the
    // session's scale; an image of that size is shown as it was drawn.
    m_nid.hIcon = LoadIconAtSize(nIconId, ::GetSystemMetrics(SM_CXSMICON));
    lstrcpynA(m_nid.szTip, pszTip, sizeof m_nid.szTip);
}

bool CTrayIcon::Add()
{
    if (!m_bAdded)
        m_bAdded = ::Shell_NotifyIconA(NIM_ADD, &m_nid) != FALSE;
    return m_bAdded;
}

void CTrayIcon::OnTaskbarCreated()
{
    if (m_bAdded)
        ::Shell_NotifyIconA(NIM_ADD, &m_nid);
}

void CTrayIcon::Remove()
{
    ::Shell_NotifyIconA(NIM_DELETE, &m_nid);
    m_bAdded = false;
}
