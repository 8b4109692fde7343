// The drive panel of the main dialog: the status display and its refresh,
// the speed and spin-down lists, the tray buttons and the refresh timer.
#include <climits>
#include <cstdlib>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include "ui/drive_door.h"
#include "ui/main_dialog.h"
#include "ui/options_dialog.h"

DoorSystemCalls g_doorSystemCalls = {::mciSendCommandA};

namespace {

// "8X (1411KB/S)" for 1411 KB/s.
CString SpeedText(int kbps)
{
    CString str;
    str.Format("%dX (%dKB/S)", kbpsToX(static_cast<uint32_t>(kbps)), kbps);
    return str;
}

int LockedFlag(int nLockByte)
{
    return (nLockByte & 0x02) != 0 ? 1 : 0;
}

}  // namespace

void CDriveToolDlg::RefreshStatus()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;

    CString strText = SpeedText(pDrive->getSpeed());
    if (strText != m_strCurSpeed)
        m_strCurSpeed = strText;
    strText = SpeedText(pDrive->getMaxSpeed());
    if (strText != m_strMaxSpeed)
        m_strMaxSpeed = strText;
    strText = spindownName(pDrive->getSpindown());
    if (strText != m_strSpindown)
        m_strSpindown = strText;
    m_bLocked = LockedFlag(pDrive->getLock());
    UpdateData(FALSE);
}

// Puts the panel drive's speed entries into the speed list, none selected.
// Only whole pairs are shown when a hand-edited file gave lists of unequal
// length.
void CDriveToolDlg::FillSpeedList()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    m_cbSpeed.ResetContent();
    int nCount = speedEntryCount(pDrive->speedNames, pDrive->kbSpeeds);
    for (int i = 0; i < nCount; ++i)
        m_cbSpeed.AddString(speedEntryText(pDrive->speedNames, pDrive->kbSpeeds, i));
}

void CDriveToolDlg::OnSelChangeDrive()
{
    if (GetSelectedDrive() == nullptr)
        return;
    RefreshStatus();
    FillSpeedList();
}

void CDriveToolDlg::OnSelChangeSpeed()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    int nSel = m_cbSpeed.GetCurSel();
    CString strName, strKbps;
    if (nSel < 0 || !getSpeedEntry(pDrive->speedNames, pDrive->kbSpeeds, nSel, strName, strKbps))
        return;

    pDrive->setSpeed(speedEntryToInt(strKbps));
    m_strCurSpeed = SpeedText(pDrive->getSpeed());
    UpdateData(FALSE);
}

void CDriveToolDlg::OnSelChangeSpindown()
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
    m_strSpindown = spindownName(pDrive->getSpindown());
    UpdateData(FALSE);
}

void CDriveToolDlg::OnEject()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive != nullptr)
        SetDriveDoor(true, pDrive->letter);
}

void CDriveToolDlg::OnCloseDoor()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive != nullptr)
        SetDriveDoor(false, pDrive->letter);
}

void CDriveToolDlg::OnLock()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    pDrive->setLock(1);
    m_bLocked = LockedFlag(pDrive->getLock());
    UpdateData(FALSE);
}

void CDriveToolDlg::OnUnlock()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    pDrive->setLock(0);
    m_bLocked = LockedFlag(pDrive->getLock());
    UpdateData(FALSE);
}

void CDriveToolDlg::OnAutoRefresh()
{
    if (!UpdateData(TRUE)) {
        // The interval did not validate (the framework has said so): no
        // timer runs with it, and the check box shows the refresh off.
        KillTimer(REFRESH_TIMER_ID);
        m_bAutoRefresh = 0;
        GetDlgItem(IDC_AUTO_REFRESH)->SendMessage(BM_SETCHECK, BST_UNCHECKED, 0);
        m_editInterval.EnableWindow(TRUE);
        return;
    }

    if (m_bAutoRefresh) {
        m_editInterval.EnableWindow(FALSE);
        SetTimer(REFRESH_TIMER_ID, static_cast<UINT>(m_nRefreshSecs) * 1000, nullptr);
    } else {
        m_editInterval.EnableWindow(TRUE);
        KillTimer(REFRESH_TIMER_ID);
    }
}

void CDriveToolDlg::OnTimer(UINT_PTR nIDEvent)
{
    RefreshStatus();
    CDialog::OnTimer(nIDEvent);
}

void CDriveToolDlg::OnOptions()
{
    COptionsDlg dlg;
    dlg.DoModal();
}

DWORD SetDriveDoor(bool bOpen, char letter)
{
    if (letter < 'A' || letter > 'Z')
        return MCIERR_INVALID_DEVICE_NAME;

    char szElement[] = "?:";
    szElement[0] = letter;

    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
    open.lpstrElementName = szElement;
    MCIERROR err = g_doorSystemCalls.sendCommand(
        0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE,
        reinterpret_cast<DWORD_PTR>(&open));
    if (err != 0)
        return err;

    g_doorSystemCalls.sendCommand(open.wDeviceID, MCI_SET, bOpen ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED, 0);
    return g_doorSystemCalls.sendCommand(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
}
