// The drive panel of the main dialog: the drive list, the status display
// and its refresh timer, the speed and spin-down selectors, the tray and
// lock buttons. Its controls are the dialog's; the dialog hands it their
// exchange and its panel messages. Every command goes to the drive worker;
// what the drive answers is shown when it arrives, if the drive is still
// the one selected.
#pragma once

#include "drive/cd_drive.h"
#include "framework/afxwin.h"

class DriveList;
class DriveWorker;
class SpeedMemory;

// What a refresh reads from a drive.
struct DriveStatus {
    int nSpeed = 0;
    int nMaxSpeed = 0;
    CdDrive::Spindown spindown;
    int nLock = -1;
    MediumKind medium = MediumKind::Cd;
    bool bAnswering = true;
};

class CDrivePanel {
public:
    CDrivePanel(CDialog& dlg, const DriveList& drives, SpeedMemory& speeds, DriveWorker& worker);
    CDrivePanel(const CDrivePanel&) = delete;
    CDrivePanel& operator=(const CDrivePanel&) = delete;

    void Exchange(CDataExchange* pDX);
    // Lists the drives, selects the first one and shows it. The lock
    // controls and the spin-down selector follow the selected drive.
    void Init();

    // The panel drive: the drive list's selection, or null.
    CdDrive* GetSelectedDrive();
    // The speed selector, whose items the options dialog rebuilds.
    CComboBox& SpeedSelector() { return m_cbSpeed; }

    // Reads the panel drive's status and shows it. The timer's refresh
    // (bTimer) passes over a drive that does not answer, and is not queued
    // again while one is still waiting to start.
    void Refresh(bool bTimer = false);
    // Shows the drives' labels again (their letters may have changed),
    // keeping the selection.
    void ShowDriveLabels();
    // Drives came, went or came back: the panel drive is shown again when
    // it is one of them.
    void OnDrivesChanged();
    void OnSelChangeDrive();
    void OnSelChangeSpeed();
    void OnSelChangeSpindown();
    void OnEject();
    void OnCloseDoor();
    void OnLock();
    void OnUnlock();
    void OnAutoRefresh();

private:
    // Puts the panel drive's speed entries for the disc it holds into the
    // speed selector, the one of the speed in force selected.
    void FillSpeedList();
    // Shows a status read from pDrive, while it is the panel drive.
    void ShowStatus(const CdDrive* pDrive, const DriveStatus& status);
    void ShowCurrentSpeed(const CdDrive& drive, int nKbps);
    // Enables the lock controls and the spin-down selector as far as the
    // drive supports them (from its lock byte and spin-down time), and
    // offers the spin-down times its page can hold.
    void ShowCapabilities(int nLock, const CdDrive::Spindown& spindown);
    // Sends the lock command and shows the state read back.
    void SetLock(BYTE prevent);
    // Opens or closes the panel drive's tray.
    void MoveDoor(bool bOpen);

    CDialog& m_dlg;
    const DriveList& m_drives;
    SpeedMemory& m_speeds;
    DriveWorker& m_worker;
    CSpinButtonCtrl m_spinInterval;
    CEdit m_editInterval;
    CButton m_chkLocked;
    CComboBox m_cbSpeed;
    CComboBox m_cbSpindown;
    CComboBox m_cbDrive;
    CString m_strCurSpeed;
    int m_bLocked = 0;
    CString m_strMaxSpeed;
    CString m_strSpindown;
    // The panel drive and whether it was present when last shown.
    const CdDrive* m_pShownDrive = nullptr;
    bool m_bShownPresent = true;
    // The kind of disc the speed selector lists the speeds of.
    MediumKind m_shownMedium = MediumKind::Cd;
    // The spin-down page the selector's times are for.
    CdDrive::Spindown::Source m_spindownOffered = CdDrive::Spindown::Inactivity;
    int m_bAutoRefresh = 0;
    int m_nRefreshSecs = 5;
};

// On the drive worker's thread: the current speed, the maximum speed, the
// spin-down byte and the lock byte, in that order.
DriveStatus ReadDriveStatus(CdDrive& drive);

// The status refresh timer of the main dialog.
const UINT_PTR REFRESH_TIMER_ID = 1;
