#include "ui/tray_icon.h"

#include "framework/record_sizes.h"

void CTrayIcon::Init(HWND hWnd, UINT uId, UINT uCallbackMessage, HICON hIcon, const char* pszTip)
{
    m_bAdded = false;
    m_nid = NOTIFYICONDATAA{};
    m_nid.cbSize = kNotifyIconDataV1Size;
    m_nid.hWnd = hWnd;
    m_nid.uID = uId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = uCallbackMessage;
    m_nid.hIcon = hIcon;
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
