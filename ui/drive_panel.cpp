#include "ui/drive_panel.h"

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include "ui/drive_door.h"
#include "ui/drive_list.h"
#include "ui/speed_memory.h"

namespace {

const int kMinRefreshSecs = 1;
const int kMaxRefreshSecs = 600;

// The spin-down field's text: the timer's name, or word that the drive has
// no timer to report.
CString SpindownText(int nCode)
{
    if (nCode == CdDrive::SPINDOWN_NOT_REPORTED)
        return CString("光驱不报告");
    return spindownName(static_cast<unsigned>(nCode));
}

// A failed read (-1) has every bit set, and must not show as locked.
int LockedFlag(int nLockByte)
{
    return nLockByte >= 0 && (nLockByte & 0x02) != 0 ? 1 : 0;
}

}  // namespace

CDrivePanel::CDrivePanel(CDialog& dlg, const DriveList& drives, SpeedMemory& speeds)
    : m_dlg(dlg), m_drives(drives), m_speeds(speeds)
{
}

void CDrivePanel::Exchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_REFRESH_SPIN, m_spinInterval);
    DDX_Control(pDX, IDC_REFRESH_SECS, m_editInterval);
    DDX_Control(pDX, IDC_LOCKED, m_chkLocked);
    DDX_Control(pDX, IDC_SET_SPEED, m_cbSpeed);
    DDX_Control(pDX, IDC_SET_SPINDOWN, m_cbSpindown);
    DDX_Control(pDX, IDC_DRIVE_LIST, m_cbDrive);
    DDX_Text(pDX, IDC_CUR_SPEED, m_strCurSpeed);
    DDX_Check(pDX, IDC_LOCKED, m_bLocked);
    DDX_Text(pDX, IDC_MAX_SPEED, m_strMaxSpeed);
    DDX_Text(pDX, IDC_SPINDOWN_TIME, m_strSpindown);
    DDX_Check(pDX, IDC_AUTO_REFRESH, m_bAutoRefresh);
    DDX_Text(pDX, IDC_REFRESH_SECS, m_nRefreshSecs);
    DDV_MinMaxInt(pDX, m_nRefreshSecs, kMinRefreshSecs, kMaxRefreshSecs);
    // The up-down control's range is set at every exchange, also after a
    // failed one, so that it never steps outside the valid interval.
    m_spinInterval.SetRange(kMinRefreshSecs, kMaxRefreshSecs);
}

void CDrivePanel::Init()
{
    // The spin-down names are the template's initial items of its list.
    for (int i = 0; i < m_drives.GetCount(); ++i)
        m_cbDrive.AddString(DriveList::Label(*m_drives.GetAt(i)));
    m_cbDrive.SetCurSel(0);
    OnSelChangeDrive();
    Refresh();
}

void CDrivePanel::ShowDriveLabels()
{
    int nSel = m_cbDrive.GetCurSel();
    m_cbDrive.ResetContent();
    for (int i = 0; i < m_drives.GetCount(); ++i)
        m_cbDrive.AddString(DriveList::Label(*m_drives.GetAt(i)));
    m_cbDrive.SetCurSel(nSel);
}

void CDrivePanel::ShowCapabilities(CdDrive& drive)
{
    // A lock byte that could not be read leaves the buttons usable: the
    // drive may well take the command.
    int nLock = drive.getLock();
    BOOL bLockable = nLock < 0 || (nLock & 0x01) != 0;
    m_dlg.GetDlgItem(IDC_LOCK)->EnableWindow(bLockable);
    m_dlg.GetDlgItem(IDC_UNLOCK)->EnableWindow(bLockable);
    m_chkLocked.EnableWindow(bLockable);
    // A vendor-specific timer has no name in the list to choose, and a
    // drive without a timer has nothing to set.
    const int nSpindown = drive.getSpindown();
    m_cbSpindown.EnableWindow(nSpindown != CdDrive::SPINDOWN_NOT_REPORTED && SpindownText(nSpindown) != "VS");
}

CdDrive* CDrivePanel::GetSelectedDrive()
{
    if (m_cbDrive.m_hWnd == nullptr)
        return nullptr;
    return m_drives.GetAt(m_cbDrive.GetCurSel());
}

void CDrivePanel::Refresh()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    m_strCurSpeed = speedText(pDrive->getSpeed());
    m_strMaxSpeed = speedText(pDrive->getMaxSpeed());
    m_strSpindown = SpindownText(pDrive->getSpindown());
    m_bLocked = LockedFlag(pDrive->getLock());
    m_dlg.UpdateData(FALSE);
}

// Only whole pairs are shown when a hand-edited file gave lists of unequal
// length.
void CDrivePanel::FillSpeedList()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    m_cbSpeed.ResetContent();
    int nCount = speedEntryCount(pDrive->speedNames, pDrive->kbSpeeds);
    for (int i = 0; i < nCount; ++i)
        m_cbSpeed.AddString(speedEntryText(pDrive->speedNames, pDrive->kbSpeeds, i));
    int nChosen = findSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, pDrive->chosenKbps);
    if (nChosen >= 0)
        m_cbSpeed.SetCurSel(nChosen);
}

void CDrivePanel::OnSelChangeDrive()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    Refresh();
    FillSpeedList();
    ShowCapabilities(*pDrive);
}

void CDrivePanel::OnSelChangeSpeed()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    int nSel = m_cbSpeed.GetCurSel();
    CString strName, strKbps;
    if (nSel < 0 || !getSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, nSel, strName, strKbps))
        return;

    CommandOutcome outcome = m_speeds.Choose(*pDrive, speedEntryToInt(strKbps));
    const int nNow = pDrive->getSpeed();
    m_strCurSpeed = speedText(nNow);
    // A speed the drive refused is not the one it runs at: the selector
    // shows the entry of the speed it does run at, if the list has one.
    if (outcome == CommandOutcome::Refused)
        m_cbSpeed.SetCurSel(findSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, nNow));
    m_dlg.UpdateData(FALSE);
}

void CDrivePanel::OnSelChangeSpindown()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    int nSel = m_cbSpindown.GetCurSel();
    if (nSel < 0)
        return;
    CString strName;
    m_cbSpindown.GetLBText(nSel, strName);
    pDrive->setSpindown(spindownCode(strName));
    m_strSpindown = SpindownText(pDrive->getSpindown());
    m_dlg.UpdateData(FALSE);
}

void CDrivePanel::OnEject()
{
    if (CdDrive* pDrive = GetSelectedDrive())
        SetDriveDoor(true, pDrive->letter);
}

void CDrivePanel::OnCloseDoor()
{
    if (CdDrive* pDrive = GetSelectedDrive())
        SetDriveDoor(false, pDrive->letter);
}

void CDrivePanel::SetLock(BYTE prevent)
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    pDrive->setLock(prevent);
    m_bLocked = LockedFlag(pDrive->getLock());
    m_dlg.UpdateData(FALSE);
}

void CDrivePanel::OnLock()
{
    SetLock(1);
}

void CDrivePanel::OnUnlock()
{
    SetLock(0);
}

void CDrivePanel::OnAutoRefresh()
{
    if (!m_dlg.UpdateData(TRUE)) {
        // The interval did not validate (the framework has said so): no
        // timer runs with it, and the check box shows the refresh off.
        m_dlg.KillTimer(REFRESH_TIMER_ID);
        m_bAutoRefresh = 0;
        m_dlg.GetDlgItem(IDC_AUTO_REFRESH)->SendMessage(BM_SETCHECK, BST_UNCHECKED, 0);
        m_editInterval.EnableWindow(TRUE);
        return;
    }

    if (m_bAutoRefresh) {
        m_editInterval.EnableWindow(FALSE);
        m_dlg.SetTimer(REFRESH_TIMER_ID, static_cast<UINT>(m_nRefreshSecs) * 1000, nullptr);
    } else {
        m_editInterval.EnableWindow(TRUE);
        m_dlg.KillTimer(REFRESH_TIMER_ID);
    }
}
