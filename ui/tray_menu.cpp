// The notification icon of the main dialog and its popup menu: building the
// drawn menu, the icon's mouse messages and the menu's commands.
#include <climits>
#include <cstdlib>

#include "drive/cd_drive.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include "ui/about_dialog.h"
#include "ui/main_dialog.h"

namespace {

const char kBannerTitle[] = "TRELVIK";
const int kBannerWidth = 24;
const COLORREF kTraySelection = RGB(102, 153, 255);

// The drive items have ids 32800..32829: a drive beyond the thirtieth would
// take the id of a speed item, so the menu lists no more.
const int kMaxMenuDrives = ID_TRAY_DRIVE_LAST - ID_TRAY_DRIVE_FIRST + 1;
const int kMaxMenuSpeeds = ID_TRAY_SPEED_LAST - ID_TRAY_SPEED_FIRST + 1;

// A copy of an icon resource at the system's standard icon size, owned by
// the caller (here: the menu entry); null when it is missing.
HICON LoadMenuIcon(UINT nId)
{
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId),
                                           IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                           ::GetSystemMetrics(SM_CYICON), 0));
}

// Appends a command entry; the entry and its icon are freed again when the
// menu refuses them.
void AppendCommand(CDrawnMenu* pMenu, UINT nId, const char* pszCaption, UINT nIconId)
{
    HICON hIcon = nIconId != 0 ? LoadMenuIcon(nIconId) : nullptr;
    CDrawnMenuCommandEntry* pEntry = new CDrawnMenuCommandEntry(nId, pszCaption, hIcon);
    if (!pMenu->AppendEntry(0, pEntry))
        delete pEntry;
}

// Appends pSub to pMenu under a labelled entry; on failure the sub-menu and
// the label stay ours and are freed here.
void AppendSubmenu(CDrawnMenu* pMenu, CDrawnMenu* pSub, UINT nId, const char* pszCaption,
                   UINT nIconId)
{
    CDrawnMenuCommandEntry* pLabel = new CDrawnMenuCommandEntry(nId, pszCaption, LoadMenuIcon(nIconId));
    if (!pMenu->AppendSubmenu(0, pSub, pLabel)) {
        delete pLabel;
        delete pSub;
    }
}

// The caption an item of hMenu (or of its sub-menus) with this id shows now:
// its drawn entry's caption while it is owner-drawn, else its own text.
// Empty when there is no such item.
CString CurrentItemText(HMENU hMenu, UINT nId)
{
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    if (!::GetMenuItemInfoA(hMenu, nId, FALSE, &mii))
        return CString();
    if ((mii.fType & MFT_OWNERDRAW) != 0) {
        const CDrawnMenuEntry* pEntry = reinterpret_cast<const CDrawnMenuEntry*>(mii.dwItemData);
        if (pEntry != nullptr && pEntry->m_dwSignature == DRAWN_MENU_ENTRY_SIGNATURE)
            return pEntry->m_strCaption;
        return CString();
    }
    char szText[512] = {};
    ::GetMenuStringA(hMenu, nId, szText, sizeof szText, MF_BYCOMMAND);
    return CString(szText);
}

// Item nIndex of a combo box, or the empty text with false when there is
// none.
bool ComboItemText(CComboBox& combo, int nIndex, CString& strText)
{
    strText.Empty();
    if (combo.m_hWnd == nullptr || nIndex < 0 || nIndex >= combo.GetCount())
        return false;
    combo.GetLBText(nIndex, strText);
    return true;
}

}  // namespace

BOOL CDriveToolDlg::BuildTrayMenu()
{
    if (m_pTrayMenu != nullptr)
        return TRUE;  // built once for the whole run

    CDrawnMenu* pMenu = new CDrawnMenu;
    pMenu->Attach(::CreatePopupMenu());
    m_pTrayMenu = pMenu;
    pMenu->m_clrSelection = kTraySelection;

    CDrawnMenuBannerEntry* pBanner = new CDrawnMenuBannerEntry(kBannerTitle, kBannerWidth);
    if (!pMenu->AppendBanner(pBanner))
        delete pBanner;

    AppendCommand(pMenu, ID_TRAY_SHOWHIDE, "显示/隐藏(&D)", IDI_SHOWHIDE);
    AppendCommand(pMenu, ID_TRAY_OPTIONS, "参数设置(&P)", IDI_SETTINGS);
    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_EJECT, "弹出光驱(&E)", IDI_EJECT);
    AppendCommand(pMenu, ID_TRAY_CLOSE, "关闭光驱(&L)", IDI_CLOSE);

    CDrawnMenu* pDriveMenu = new CDrawnMenu;
    pDriveMenu->Attach(::CreatePopupMenu());
    int nDrives = m_cbDrive.m_hWnd != nullptr ? m_cbDrive.GetCount() : 0;
    if (nDrives > kMaxMenuDrives)
        nDrives = kMaxMenuDrives;
    for (int i = 0; i < nDrives; ++i) {
        CString strItem;
        m_cbDrive.GetLBText(i, strItem);
        AppendCommand(pDriveMenu, ID_TRAY_DRIVE_FIRST + i, strItem, 0);
    }
    AppendSubmenu(pMenu, pDriveMenu, ID_TRAY_SELECT_DRIVE, "选择光驱", IDI_DRIVES);

    // The speeds of the drive that is the menu drive now (the first one);
    // the sub-menu keeps them for the whole run.
    CDrawnMenu* pSpeedMenu = new CDrawnMenu;
    pSpeedMenu->Attach(::CreatePopupMenu());
    CdDrive* pDrive = GetMenuDrive();
    if (pDrive != nullptr) {
        int nSpeeds = speedEntryCount(pDrive->speedNames, pDrive->kbSpeeds);
        if (nSpeeds > kMaxMenuSpeeds)
            nSpeeds = kMaxMenuSpeeds;
        for (int i = 0; i < nSpeeds; ++i) {
            CString strCaption = speedEntryText(pDrive->speedNames, pDrive->kbSpeeds, i);
            AppendCommand(pSpeedMenu, ID_TRAY_SPEED_FIRST + i, strCaption, 0);
        }
    }
    AppendSubmenu(pMenu, pSpeedMenu, ID_TRAY_SET_SPEED, "设置速度", IDI_SPEED);

    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_ABOUT, "关于本程序(&A)", IDI_ABOUT);
    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_EXIT, "退出(&X)", IDI_EXIT);

    SetForegroundWindow();
    return TRUE;
}

void CDriveToolDlg::AddTrayIcon()
{
    ::Shell_NotifyIconA(NIM_ADD, &m_nid);
    m_bTrayIconAdded = true;
}

LRESULT CDriveToolDlg::OnTrayNotify(WPARAM /*wParam*/, LPARAM lParam)
{
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
        ShowWindow(SW_SHOWNORMAL);
        SetForegroundWindow();
        break;
    case WM_RBUTTONDOWN: {
        if (m_pTrayMenu == nullptr || m_pTrayMenu->m_hMenu == nullptr)
            break;
        POINT pt = {0, 0};
        ::GetCursorPos(&pt);
        CWnd* pOwner = AfxGetMainWnd();
        if (pOwner == nullptr || pOwner->m_hWnd == nullptr)
            pOwner = this;
        // A menu opened for a notification icon closes on a click elsewhere
        // only while its owner is the foreground window; the message posted
        // afterwards makes the next opening stay open as well.
        pOwner->SetForegroundWindow();
        m_pTrayMenu->TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, pOwner);
        pOwner->PostMessage(WM_NULL);
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT CDriveToolDlg::OnTaskbarCreated(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    // A new taskbar knows nothing of the icon added to the old one; without
    // it a hidden window could not be reached any more.
    if (m_bTrayIconAdded)
        ::Shell_NotifyIconA(NIM_ADD, &m_nid);
    return 0;
}

void CDriveToolDlg::OnShowHide()
{
    if (IsIconic()) {
        ShowWindow(SW_SHOWNORMAL);
    } else {
        // The window leaves the taskbar: the icon must be there to bring it
        // back.
        if (!m_bTrayIconAdded)
            AddTrayIcon();
        ShowWindow(SW_MINIMIZE);
        ShowWindow(SW_HIDE);
    }
}

void CDriveToolDlg::OnExit()
{
    EndDialog(0);
}

void CDriveToolDlg::OnMenuEject()
{
    CdDrive* pDrive = GetMenuDrive();
    if (pDrive != nullptr)
        SetDriveDoor(true, pDrive->letter);
}

void CDriveToolDlg::OnMenuClose()
{
    CdDrive* pDrive = GetMenuDrive();
    if (pDrive != nullptr)
        SetDriveDoor(false, pDrive->letter);
}

void CDriveToolDlg::OnTrayAbout()
{
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CDriveToolDlg::OnTrayMenuCommand(UINT nID)
{
    if (m_pTrayMenu == nullptr || m_pTrayMenu->m_hMenu == nullptr)
        return;
    if (nID < ID_TRAY_DRIVE_FIRST || nID > ID_TRAY_SPEED_LAST)
        return;
    HMENU hMenu = m_pTrayMenu->m_hMenu;

    if (nID <= ID_TRAY_DRIVE_LAST) {
        // Only a drive the menu lists can become the menu drive.
        CString strNew;
        if (!ComboItemText(m_cbDrive, static_cast<int>(nID - ID_TRAY_DRIVE_FIRST), strNew) ||
            ::GetMenuState(hMenu, nID, MF_BYCOMMAND) == static_cast<UINT>(-1))
            return;
        CString strOld;
        if (!ComboItemText(m_cbDrive, static_cast<int>(m_nMenuDriveCmd - ID_TRAY_DRIVE_FIRST), strOld))
            strOld = CurrentItemText(hMenu, m_nMenuDriveCmd);
        m_pTrayMenu->ModifyMenu(m_nMenuDriveCmd, MF_BYCOMMAND | MF_STRING | MF_UNCHECKED,
                                m_nMenuDriveCmd, strOld);
        m_pTrayMenu->ModifyMenu(nID, MF_BYCOMMAND | MF_STRING | MF_CHECKED, nID, strNew);
        m_nMenuDriveCmd = nID;
        return;
    }

    if (nID < ID_TRAY_SPEED_FIRST)
        return;
    // A speed item takes the text of the panel's speed list at its index;
    // where that list is shorter it keeps the caption it has.
    if (::GetMenuState(hMenu, nID, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return;
    if (m_nMenuSpeedCmd >= ID_TRAY_SPEED_FIRST && m_nMenuSpeedCmd != nID) {
        CString strOld;
        if (!ComboItemText(m_cbSpeed, static_cast<int>(m_nMenuSpeedCmd - ID_TRAY_SPEED_FIRST), strOld))
            strOld = CurrentItemText(hMenu, m_nMenuSpeedCmd);
        m_pTrayMenu->ModifyMenu(m_nMenuSpeedCmd, MF_BYCOMMAND | MF_STRING | MF_UNCHECKED,
                                m_nMenuSpeedCmd, strOld);
    }
    CString strNew;
    if (!ComboItemText(m_cbSpeed, static_cast<int>(nID - ID_TRAY_SPEED_FIRST), strNew))
        strNew = CurrentItemText(hMenu, nID);
    m_pTrayMenu->ModifyMenu(nID, MF_BYCOMMAND | MF_STRING | MF_CHECKED, nID, strNew);
    m_nMenuSpeedCmd = nID;

    CdDrive* pDrive = GetMenuDrive();
    CString strName, strKbps;
    if (pDrive != nullptr &&
        getSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, static_cast<int>(nID - ID_TRAY_SPEED_FIRST),
                      strName, strKbps))
        pDrive->setSpeed(speedEntryToInt(strKbps));
}

void CDriveToolDlg::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    if (m_pTrayMenu != nullptr && lpMeasureItemStruct != nullptr)
        m_pTrayMenu->MeasureItem(lpMeasureItemStruct);
    CDialog::OnMeasureItem(nIDCtl, lpMeasureItemStruct);
}

CdDrive* CDriveToolDlg::GetMenuDrive()
{
    if (m_pDrives == nullptr || m_nMenuDriveCmd < ID_TRAY_DRIVE_FIRST ||
        m_nMenuDriveCmd > ID_TRAY_DRIVE_LAST)
        return nullptr;
    POSITION pos = m_pDrives->FindIndex(static_cast<int>(m_nMenuDriveCmd - ID_TRAY_DRIVE_FIRST));
    return pos != nullptr ? static_cast<CdDrive*>(m_pDrives->GetAt(pos)) : nullptr;
}
