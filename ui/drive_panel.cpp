#include "ui/drive_panel.h"

#include <memory>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "res/resource.h"
#include "settings/speed_entry.h"
#include "ui/drive_door.h"
#include "ui/drive_list.h"
#include "ui/drive_worker.h"
#include "ui/speed_memory.h"

namespace {

const int kMinRefreshSecs = 1;
const int kMaxRefreshSecs = 600;

// The current speed field of a drive that left a command unanswered, and of
// one that is gone.
const char kNoAnswer[] = "光驱没有响应";
const char kGone[] = "光驱已移除";

// The spin-down field's text: the time's name, or word that the drive has
// no time to report.
CString SpindownText(const CdDrive::Spindown& spindown)
{
    switch (spindown.source) {
    case CdDrive::Spindown::Inactivity:
        return spindownName(static_cast<unsigned>(spindown.value));
    case CdDrive::Spindown::Standby:
        return standbyText(spindown.value);
    case CdDrive::Spindown::NotReported:
        return CString("光驱不报告");
    case CdDrive::Spindown::Failed:
        break;
    }
    return CString();
}

// A failed read (-1) has every bit set, and must not show as locked.
int LockedFlag(int nLockByte)
{
    return nLockByte >= 0 && (nLockByte & 0x02) != 0 ? 1 : 0;
}

}  // namespace

DriveStatus ReadDriveStatus(CdDrive& drive)
{
    DriveStatus status;
    status.nSpeed = drive.getSpeed();
    status.nMaxSpeed = drive.getMaxSpeed();
    status.spindown = drive.getSpindown();
    status.nLock = drive.getLock();
    status.medium = drive.readMedium(true);
    status.bAnswering = drive.answering();
    return status;
}

CDrivePanel::CDrivePanel(CDialog& dlg, const DriveList& drives, SpeedMemory& speeds, DriveWorker& worker)
    : m_dlg(dlg), m_drives(drives), m_speeds(speeds), m_worker(worker)
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

void CDrivePanel::OnDrivesChanged()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive != nullptr && (pDrive != m_pShownDrive || pDrive->present() != m_bShownPresent))
        OnSelChangeDrive();
}

void CDrivePanel::ShowDriveLabels()
{
    int nSel = m_cbDrive.GetCurSel();
    m_cbDrive.ResetContent();
    for (int i = 0; i < m_drives.GetCount(); ++i)
        m_cbDrive.AddString(DriveList::Label(*m_drives.GetAt(i)));
    m_cbDrive.SetCurSel(nSel);
}

void CDrivePanel::ShowCapabilities(int nLock, const CdDrive::Spindown& spindown)
{
    // A lock byte that could not be read leaves the buttons usable: the
    // drive may well take the command.
    BOOL bLockable = nLock < 0 || (nLock & 0x01) != 0;
    m_dlg.GetDlgItem(IDC_LOCK)->EnableWindow(bLockable);
    m_dlg.GetDlgItem(IDC_UNLOCK)->EnableWindow(bLockable);
    m_chkLocked.EnableWindow(bLockable);
    // A standby timer holds whole minutes only; an inactivity timer every
    // time of the list.
    const bool bStandby = spindown.source == CdDrive::Spindown::Standby;
    if (spindown.source != CdDrive::Spindown::Failed && (bStandby != (m_spindownOffered == CdDrive::Spindown::Standby))) {
        m_spindownOffered = bStandby ? CdDrive::Spindown::Standby : CdDrive::Spindown::Inactivity;
        m_cbSpindown.ResetContent();
        for (unsigned char code = bStandby ? SPINDOWN_FIRST_MINUTES_CODE : 1; code <= 15; ++code)
            m_cbSpindown.AddString(spindownName(code));
    }
    // A vendor-specific timer has no name in the list to choose, and a
    // drive without a timer has nothing to set.
    m_cbSpindown.EnableWindow(spindown.source != CdDrive::Spindown::NotReported && SpindownText(spindown) != "VS");
}

CdDrive* CDrivePanel::GetSelectedDrive()
{
    if (m_cbDrive.m_hWnd == nullptr)
        return nullptr;
    return m_drives.GetAt(m_cbDrive.GetCurSel());
}

// The fields are set one by one, not by an exchange of all the dialog's
// values, which would overwrite an interval the user is typing.
void CDrivePanel::ShowStatus(const CdDrive* pDrive, const DriveStatus& status)
{
    if (pDrive == nullptr || pDrive != GetSelectedDrive())
        return;
    m_pShownDrive = pDrive;
    m_bShownPresent = pDrive->present();
    if (status.bAnswering && speedKind(status.medium) != m_shownMedium)
        FillSpeedList();
    const bool bAnswers = status.bAnswering && pDrive->present();
    m_strCurSpeed = bAnswers ? speedText(status.nSpeed, status.medium) : CString(pDrive->present() ? kNoAnswer : kGone);
    m_strMaxSpeed = bAnswers ? speedText(status.nMaxSpeed, status.medium) : CString();
    m_strSpindown = bAnswers ? SpindownText(status.spindown) : CString();
    m_bLocked = bAnswers ? LockedFlag(status.nLock) : 0;
    m_dlg.SetDlgItemText(IDC_CUR_SPEED, m_strCurSpeed);
    m_dlg.SetDlgItemText(IDC_MAX_SPEED, m_strMaxSpeed);
    m_dlg.SetDlgItemText(IDC_SPINDOWN_TIME, m_strSpindown);
    m_chkLocked.SetCheck(m_bLocked);
}

void CDrivePanel::ShowCurrentSpeed(const CdDrive& drive, int nKbps)
{
    if (&drive != GetSelectedDrive())
        return;
    m_strCurSpeed = drive.answering() ? speedText(nKbps, drive.medium()) : CString(kNoAnswer);
    m_dlg.SetDlgItemText(IDC_CUR_SPEED, m_strCurSpeed);
}

void CDrivePanel::Refresh(bool bTimer)
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    // A drive that does not answer is asked again by the slow probe.
    if (bTimer && (!pDrive->answering() || m_worker.RefreshPending()))
        return;
    auto status = std::make_shared<DriveStatus>();
    m_worker.Post([pDrive, status] { *status = ReadDriveStatus(*pDrive); },
                  [this, pDrive, status] { ShowStatus(pDrive, *status); }, DriveWorker::Refresh);
}

// Only whole pairs are shown when a hand-edited file gave lists of unequal
// length.
void CDrivePanel::FillSpeedList()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    m_shownMedium = speedKind(pDrive->medium());
    const CdDrive::SpeedLists lists = pDrive->listsFor(m_shownMedium);
    m_cbSpeed.ResetContent();
    int nCount = speedEntryCount(lists.names, lists.kbSpeeds);
    for (int i = 0; i < nCount; ++i)
        m_cbSpeed.AddString(speedEntryText(lists.names, lists.kbSpeeds, i, lists.label));
    int nChosen = findSpeedEntry(lists.names, lists.kbSpeeds, pDrive->chosenKbps(m_shownMedium));
    if (nChosen >= 0)
        m_cbSpeed.SetCurSel(nChosen);
}

void CDrivePanel::OnSelChangeDrive()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    FillSpeedList();
    struct Reading {
        DriveStatus status;
        int nLock = -1;
        CdDrive::Spindown spindown;
    };
    auto reading = std::make_shared<Reading>();
    m_worker.Post(
        [pDrive, reading] {
            reading->status = ReadDriveStatus(*pDrive);
            reading->nLock = pDrive->getLock();
            reading->spindown = pDrive->getSpindown();
        },
        [this, pDrive, reading] {
            if (pDrive != GetSelectedDrive())
                return;
            ShowStatus(pDrive, reading->status);
            ShowCapabilities(reading->nLock, reading->spindown);
        });
}

void CDrivePanel::OnSelChangeSpeed()
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    int nSel = m_cbSpeed.GetCurSel();
    const MediumKind kind = m_shownMedium;
    const CdDrive::SpeedLists lists = pDrive->listsFor(kind);
    CString strName, strKbps;
    if (nSel < 0 || !getSpeedEntry(lists.names, lists.kbSpeeds, nSel, strName, strKbps))
        return;

    m_speeds.Choose(*pDrive, kind, speedEntryToInt(strKbps), m_worker, SpeedMemory::ReadBack::Always,
                    [this, pDrive, kind](CommandOutcome outcome, int nNow) {
                        ShowCurrentSpeed(*pDrive, nNow);
                        if (pDrive != GetSelectedDrive())
                            return;
                        // The drive holds another kind of disc now: its speeds are shown.
                        if (speedKind(pDrive->medium()) != m_shownMedium)
                            FillSpeedList();
                        // A speed the drive refused is not the one it runs at: the
                        // selector shows the entry of the speed it does run at, if
                        // the list has one.
                        else if (outcome == CommandOutcome::Refused)
                            m_cbSpeed.SetCurSel(findSpeedEntry(pDrive->listsFor(kind).names,
                                                               pDrive->listsFor(kind).kbSpeeds, nNow));
                    });
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
    const BYTE code = spindownCode(strName);
    auto spindown = std::make_shared<CdDrive::Spindown>();
    m_worker.Post(
        [pDrive, code, spindown] {
            pDrive->setSpindown(code);
            *spindown = pDrive->getSpindown();
        },
        [this, pDrive, spindown] {
            if (pDrive != GetSelectedDrive())
                return;
            m_strSpindown = pDrive->answering() ? SpindownText(*spindown) : CString();
            m_dlg.SetDlgItemText(IDC_SPINDOWN_TIME, m_strSpindown);
        });
}

void CDrivePanel::MoveDoor(bool bOpen)
{
    if (CdDrive* pDrive = GetSelectedDrive())
        m_worker.Post([pDrive, bOpen] { SetDriveDoor(bOpen, pDrive->letter()); });
}

void CDrivePanel::OnEject()
{
    MoveDoor(true);
}

void CDrivePanel::OnCloseDoor()
{
    MoveDoor(false);
}

void CDrivePanel::SetLock(BYTE prevent)
{
    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive == nullptr)
        return;
    auto lock = std::make_shared<int>(-1);
    m_worker.Post(
        [pDrive, prevent, lock] {
            pDrive->setLock(prevent);
            *lock = pDrive->getLock();
        },
        [this, pDrive, lock] {
            if (pDrive != GetSelectedDrive())
                return;
            m_bLocked = LockedFlag(*lock);
            m_chkLocked.SetCheck(m_bLocked);
        });
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
