#include "ui/tray_menu.h"

#include "drive/cd_drive.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include "ui/drive_list.h"

namespace {

const char kBannerTitle[] = "TRELVIK";
const int kBannerWidth = 24;
const COLORREF kTraySelection = RGB(102, 153, 255);

// A drive beyond the thirtieth would take the id of a speed item, so the
// menu lists no more.
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

CDrawnMenu* NewSubmenu()
{
    CDrawnMenu* pMenu = new CDrawnMenu;
    pMenu->Attach(::CreatePopupMenu());
    return pMenu;
}

// The caption an item of hMenu (or of its sub-menus) with this id shows now:
// its drawn entry's caption while it is owner-drawn, else its own text.
CString CurrentItemText(HMENU hMenu, UINT nId)
{
    if (const CDrawnMenuEntry* pEntry = DrawnMenuEntryOf(hMenu, nId, FALSE))
        return pEntry->m_strCaption;
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

CTrayMenu::CTrayMenu(const DriveList& drives) : m_drives(drives) {}

CTrayMenu::~CTrayMenu()
{
    Destroy();
}

void CTrayMenu::Build()
{
    if (m_pMenu != nullptr)
        return;
    m_nDriveCmd = ID_TRAY_DRIVE_FIRST;
    m_nSpeedCmd = 0;

    CDrawnMenu* pMenu = NewSubmenu();
    m_pMenu = pMenu;
    pMenu->m_clrSelection = kTraySelection;

    CDrawnMenuBannerEntry* pBanner = new CDrawnMenuBannerEntry(kBannerTitle, kBannerWidth);
    if (!pMenu->AppendBanner(pBanner))
        delete pBanner;

    AppendCommand(pMenu, ID_TRAY_SHOWHIDE, "显示/隐藏(&D)", IDI_SHOWHIDE);
    AppendCommand(pMenu, ID_TRAY_OPTIONS, "参数设置(&P)", IDI_SETTINGS);
    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_EJECT, "弹出光驱(&E)", IDI_EJECT);
    AppendCommand(pMenu, ID_TRAY_CLOSE, "关闭光驱(&L)", IDI_CLOSE);

    CDrawnMenu* pDriveMenu = NewSubmenu();
    for (int i = 0; i < m_drives.GetCount() && i < kMaxMenuDrives; ++i)
        AppendCommand(pDriveMenu, ID_TRAY_DRIVE_FIRST + i, DriveList::Label(*m_drives.GetAt(i)), 0);
    AppendSubmenu(pMenu, pDriveMenu, ID_TRAY_SELECT_DRIVE, "选择光驱", IDI_DRIVES);

    // The speeds of the drive that is the menu drive now (the first one);
    // the sub-menu keeps them for the whole run.
    CDrawnMenu* pSpeedMenu = NewSubmenu();
    if (const CdDrive* pDrive = GetMenuDrive()) {
        int nSpeeds = speedEntryCount(pDrive->speedNames, pDrive->kbSpeeds);
        for (int i = 0; i < nSpeeds && i < kMaxMenuSpeeds; ++i)
            AppendCommand(pSpeedMenu, ID_TRAY_SPEED_FIRST + i,
                          speedEntryText(pDrive->speedNames, pDrive->kbSpeeds, i), 0);
    }
    AppendSubmenu(pMenu, pSpeedMenu, ID_TRAY_SET_SPEED, "设置速度", IDI_SPEED);

    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_ABOUT, "关于本程序(&A)", IDI_ABOUT);
    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_EXIT, "退出(&X)", IDI_EXIT);
}

void CTrayMenu::Track(CWnd* pOwner)
{
    if (m_pMenu == nullptr || m_pMenu->m_hMenu == nullptr)
        return;
    POINT pt = {0, 0};
    ::GetCursorPos(&pt);
    // A menu opened for a notification icon closes on a click elsewhere
    // only while its owner is the foreground window; the message posted
    // afterwards makes the next opening stay open as well.
    pOwner->SetForegroundWindow();
    m_pMenu->TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, pOwner);
    pOwner->PostMessage(WM_NULL);
}

void CTrayMenu::SetItem(UINT nID, bool bChecked, const CString& strText)
{
    m_pMenu->ModifyMenu(nID, MF_BYCOMMAND | MF_STRING | (bChecked ? MF_CHECKED : MF_UNCHECKED), nID, strText);
}

void CTrayMenu::OnDriveCommand(UINT nID)
{
    if (m_pMenu == nullptr || m_pMenu->m_hMenu == nullptr)
        return;
    // Only a drive the menu lists can become the menu drive.
    const CdDrive* pNew = m_drives.GetAt(static_cast<int>(nID - ID_TRAY_DRIVE_FIRST));
    if (pNew == nullptr || ::GetMenuState(m_pMenu->m_hMenu, nID, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return;
    const CdDrive* pOld = GetMenuDrive();
    SetItem(m_nDriveCmd, false,
            pOld != nullptr ? DriveList::Label(*pOld) : CurrentItemText(m_pMenu->m_hMenu, m_nDriveCmd));
    SetItem(nID, true, DriveList::Label(*pNew));
    m_nDriveCmd = nID;
}

void CTrayMenu::OnSpeedCommand(UINT nID, CComboBox& speedSelector)
{
    if (m_pMenu == nullptr || m_pMenu->m_hMenu == nullptr)
        return;
    HMENU hMenu = m_pMenu->m_hMenu;
    if (::GetMenuState(hMenu, nID, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return;
    // A speed item takes the text of the speed selector at its index; where
    // that list is shorter it keeps the caption it has.
    if (m_nSpeedCmd >= ID_TRAY_SPEED_FIRST && m_nSpeedCmd != nID) {
        CString strOld;
        if (!ComboItemText(speedSelector, static_cast<int>(m_nSpeedCmd - ID_TRAY_SPEED_FIRST), strOld))
            strOld = CurrentItemText(hMenu, m_nSpeedCmd);
        SetItem(m_nSpeedCmd, false, strOld);
    }
    CString strNew;
    if (!ComboItemText(speedSelector, static_cast<int>(nID - ID_TRAY_SPEED_FIRST), strNew))
        strNew = CurrentItemText(hMenu, nID);
    SetItem(nID, true, strNew);
    m_nSpeedCmd = nID;

    CdDrive* pDrive = GetMenuDrive();
    CString strName, strKbps;
    if (pDrive != nullptr &&
        getSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, static_cast<int>(nID - ID_TRAY_SPEED_FIRST),
                      strName, strKbps))
        pDrive->setSpeed(speedEntryToInt(strKbps));
}

void CTrayMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    if (m_pMenu != nullptr && lpMeasureItemStruct != nullptr)
        m_pMenu->MeasureItem(lpMeasureItemStruct);
}

CdDrive* CTrayMenu::GetMenuDrive() const
{
    return m_drives.GetAt(static_cast<int>(m_nDriveCmd - ID_TRAY_DRIVE_FIRST));
}

void CTrayMenu::Destroy()
{
    delete m_pMenu;
    m_pMenu = nullptr;
}
