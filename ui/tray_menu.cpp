#include "ui/tray_menu.h"

#include "drive/cd_drive.h"
#include "framework/dpi.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include <memory>

#include "ui/drive_list.h"
#include "ui/drive_worker.h"
#include "ui/icons.h"
#include "ui/speed_memory.h"

namespace {

const char kBannerTitle[] = "TRELVIK";
const int kBannerWidth = 24;
const COLORREF kTraySelection = RGB(102, 153, 255);

// A drive beyond the thirtieth would take the id of a speed item, so the
// menu lists no more.
const int kMaxMenuDrives = ID_TRAY_DRIVE_LAST - ID_TRAY_DRIVE_FIRST + 1;
const int kMaxMenuSpeeds = ID_TRAY_SPEED_LAST - ID_TRAY_SPEED_FIRST + 1;

// A command entry with icon resource nIconId (0: none) fitted to pMenu's
// icon places; the entry owns the icon.
CDrawnMenuCommandEntry* NewEntry(const CDrawnMenu* pMenu, UINT nId, const char* pszCaption, UINT nIconId)
{
    const IconFit fit = FitIconToPlace(pMenu->IconPlace());
    HICON hIcon = nIconId != 0 ? LoadIconAtSize(nIconId, fit.nImage) : nullptr;
    return new CDrawnMenuCommandEntry(nId, pszCaption, hIcon, fit.nSize);
}

// Appends a command entry; the entry and its icon are freed again when the
// menu refuses them.
void AppendCommand(CDrawnMenu* pMenu, UINT nId, const char* pszCaption, UINT nIconId)
{
    CDrawnMenuCommandEntry* pEntry = NewEntry(pMenu, nId, pszCaption, nIconId);
    if (!pMenu->AppendEntry(0, pEntry))
        delete pEntry;
}

// Appends pSub to pMenu under a labelled entry; on failure the sub-menu and
// the label stay ours and are freed here.
void AppendSubmenu(CDrawnMenu* pMenu, CDrawnMenu* pSub, UINT nId, const char* pszCaption,
                   UINT nIconId)
{
    CDrawnMenuCommandEntry* pLabel = NewEntry(pMenu, nId, pszCaption, nIconId);
    if (!pMenu->AppendSubmenu(0, pSub, pLabel)) {
        delete pLabel;
        delete pSub;
    }
}

CDrawnMenu* NewSubmenu(int nDpi)
{
    CDrawnMenu* pMenu = new CDrawnMenu;
    pMenu->SetDpi(nDpi);
    pMenu->Attach(::CreatePopupMenu());
    return pMenu;
}

// The menu opens at the cursor: it is drawn for the display there.
int MenuDpi()
{
    POINT pt = {0, 0};
    ::GetCursorPos(&pt);
    return DpiAtPoint(pt);
}

// A drive's label as a menu item's text: the menu would take a "&" in the
// drive's name as the mark of an underlined letter; "&&" shows it as itself.
CString MenuLabel(const CdDrive& drive)
{
    CString strLabel = DriveList::Label(drive);
    CString strText;
    for (int i = 0; i < strLabel.GetLength(); ++i) {
        if (strLabel[i] == '&')
            strText += '&';
        strText += strLabel[i];
    }
    return strText;
}

}  // namespace

CTrayMenu::CTrayMenu(const DriveList& drives, SpeedMemory& speeds, DriveWorker& worker)
    : m_drives(drives), m_speeds(speeds), m_worker(worker)
{
}

CTrayMenu::~CTrayMenu()
{
    Destroy();
}

void CTrayMenu::Build()
{
    if (m_pMenu != nullptr)
        return;
    m_nDriveCmd = ID_TRAY_DRIVE_FIRST;
    m_bDriveChosen = false;
    m_nSpeedCmd = 0;
    Rebuild();
}

void CTrayMenu::FollowChosenSpeed()
{
    const CdDrive* pDrive = GetMenuDrive();
    if (pDrive == nullptr)
        return;
    const CdDrive::SpeedLists lists = pDrive->listsFor(speedKind(pDrive->medium()));
    CString strName, strKbps;
    if (m_nSpeedCmd != 0 &&
        getSpeedEntry(lists.names, lists.kbSpeeds, static_cast<int>(m_nSpeedCmd - ID_TRAY_SPEED_FIRST), strName,
                      strKbps) &&
        speedEntryToInt(strKbps) == pDrive->chosenKbps())
        return;
    int nChosen = findSpeedEntry(lists.names, lists.kbSpeeds, pDrive->chosenKbps());
    m_nSpeedCmd = nChosen >= 0 && nChosen < kMaxMenuSpeeds ? ID_TRAY_SPEED_FIRST + static_cast<UINT>(nChosen) : 0;
}

void CTrayMenu::Rebuild()
{
    Destroy();
    BuildItems();
    FollowChosenSpeed();
    // The plain, checked items of the choices made so far.
    const CdDrive* pDrive = GetMenuDrive();
    if (m_bDriveChosen && pDrive != nullptr)
        SetItem(m_nDriveCmd, true, MenuLabel(*pDrive));
    int nSpeed = static_cast<int>(m_nSpeedCmd - ID_TRAY_SPEED_FIRST);
    if (m_nSpeedCmd != 0 && pDrive != nullptr) {
        const CdDrive::SpeedLists lists = pDrive->listsFor(speedKind(pDrive->medium()));
        if (nSpeed < speedEntryCount(lists.names, lists.kbSpeeds)) {
            SetItem(m_nSpeedCmd, true, speedEntryText(lists.names, lists.kbSpeeds, nSpeed, lists.label));
            return;
        }
    }
    m_nSpeedCmd = 0;
}

void CTrayMenu::BuildItems()
{
    const int nDpi = MenuDpi();
    CDrawnMenu* pMenu = NewSubmenu(nDpi);
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

    CDrawnMenu* pDriveMenu = NewSubmenu(nDpi);
    for (int i = 0; i < m_drives.GetCount() && i < kMaxMenuDrives; ++i)
        AppendCommand(pDriveMenu, ID_TRAY_DRIVE_FIRST + i, MenuLabel(*m_drives.GetAt(i)), 0);
    AppendSubmenu(pMenu, pDriveMenu, ID_TRAY_SELECT_DRIVE, "选择光驱", IDI_DRIVES);

    // The speeds of the menu drive, as its lists are now.
    CDrawnMenu* pSpeedMenu = NewSubmenu(nDpi);
    if (const CdDrive* pDrive = GetMenuDrive()) {
        const CdDrive::SpeedLists lists = pDrive->listsFor(speedKind(pDrive->medium()));
        int nSpeeds = speedEntryCount(lists.names, lists.kbSpeeds);
        for (int i = 0; i < nSpeeds && i < kMaxMenuSpeeds; ++i)
            AppendCommand(pSpeedMenu, ID_TRAY_SPEED_FIRST + i,
                          speedEntryText(lists.names, lists.kbSpeeds, i, lists.label), 0);
    }
    AppendSubmenu(pMenu, pSpeedMenu, ID_TRAY_SET_SPEED, "设置速度", IDI_SPEED);

    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_ABOUT, "关于本程序(&A)", IDI_ABOUT);
    pMenu->AppendDivider();
    AppendCommand(pMenu, ID_TRAY_EXIT, "退出(&X)", IDI_EXIT);
}

void CTrayMenu::Track(CWnd* pOwner)
{
    if (m_pMenu == nullptr)
        return;
    // The options dialog may have changed the menu drive's speeds.
    Rebuild();
    if (m_pMenu->m_hMenu == nullptr)
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
    // The speed sub-menu now lists the new drive's speeds; a speed checked
    // in the old drive's list says nothing about them.
    if (nID != m_nDriveCmd)
        m_nSpeedCmd = 0;
    m_nDriveCmd = nID;
    m_bDriveChosen = true;
    Rebuild();
}

void CTrayMenu::OnSpeedCommand(UINT nID)
{
    if (m_pMenu == nullptr || m_pMenu->m_hMenu == nullptr)
        return;
    if (::GetMenuState(m_pMenu->m_hMenu, nID, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return;
    CdDrive* pDrive = GetMenuDrive();
    if (pDrive == nullptr)
        return;
    // The items list the speeds for the disc the drive held when the menu was made.
    const MediumKind kind = speedKind(pDrive->medium());
    const CdDrive::SpeedLists lists = pDrive->listsFor(kind);
    CString strName, strKbps;
    if (!getSpeedEntry(lists.names, lists.kbSpeeds, static_cast<int>(nID - ID_TRAY_SPEED_FIRST), strName, strKbps))
        return;
    CheckSpeed(*pDrive, nID);
    // The item checked stays, unless the drive refused its speed: then the
    // item of the speed it runs at (if its list has one) is.
    m_speeds.Choose(*pDrive, kind, speedEntryToInt(strKbps), m_worker, SpeedMemory::ReadBack::WhenRefused,
                    [this, pDrive, kind](CommandOutcome outcome, int nNow) {
                        if (outcome != CommandOutcome::Refused || pDrive != GetMenuDrive() || m_pMenu == nullptr)
                            return;
                        const CdDrive::SpeedLists lists = pDrive->listsFor(kind);
                        const int nEntry = findSpeedEntry(lists.names, lists.kbSpeeds, nNow);
                        CheckSpeed(*pDrive, nEntry >= 0 && nEntry < kMaxMenuSpeeds
                                                ? ID_TRAY_SPEED_FIRST + static_cast<UINT>(nEntry)
                                                : 0);
                    });
}

void CTrayMenu::CheckSpeed(const CdDrive& drive, UINT nChecked)
{
    // Items show the menu drive's own entries, the checked one marked.
    const CdDrive::SpeedLists lists = drive.listsFor(speedKind(drive.medium()));
    auto text = [&](UINT nID) {
        return speedEntryText(lists.names, lists.kbSpeeds, static_cast<int>(nID - ID_TRAY_SPEED_FIRST), lists.label);
    };
    if (m_nSpeedCmd >= ID_TRAY_SPEED_FIRST && m_nSpeedCmd != nChecked)
        SetItem(m_nSpeedCmd, false, text(m_nSpeedCmd));
    if (nChecked != 0)
        SetItem(nChecked, true, text(nChecked));
    m_nSpeedCmd = nChecked;
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
