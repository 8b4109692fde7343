// The main dialog: it starts the program's parts in order, routes the
// window's messages to them and ends the program. It owns the drives, the
// settings store, the drive panel, the notification icon and its popup menu.
#pragma once

#include "framework/afxwin.h"
#include "settings/settings_store.h"
#include "ui/drive_list.h"
#include "ui/drive_panel.h"
#include "ui/drive_worker.h"
#include "ui/speed_memory.h"
#include "ui/tray_icon.h"
#include "ui/tray_menu.h"

// The notification icon's identifier and the message it sends.
enum : UINT {
    TRAY_ICON_ID = 1026,
    // Tries the notification icon again while the shell refuses it.
    TRAY_RETRY_TIMER_ID = 2,
    // Asks the drives that left a command unanswered whether they answer again.
    NO_ANSWER_PROBE_TIMER_ID = 3,
    WM_TRAYNOTIFY = WM_USER + 1,
};

class CDriveToolDlg : public CDialog {
public:
    explicit CDriveToolDlg(CWnd* pParent = nullptr);

    // The settings file, in the working directory.
    static const char kSettingsFile[];
    static const wchar_t kSettingsFileW[];

    // Drive commands queued or under way, or whose answers are still to be
    // shown.
    bool DrivesBusy() const { return m_worker.Pending() > 0; }
    // True after the end when a drive held the drive worker up: the program
    // must end at once, without touching the drives or their transport.
    bool DriveWorkerHeldUp() const { return m_bWorkerHeldUp; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnEndSession(BOOL bEnding);
    void OnTimer(UINT_PTR nIDEvent);
    void OnOptions();
    void OnAbout();

    // The panel's controls.
    void OnSelChangeDrive() { m_panel.OnSelChangeDrive(); }
    void OnSelChangeSpeed() { m_panel.OnSelChangeSpeed(); }
    void OnSelChangeSpindown() { m_panel.OnSelChangeSpindown(); }
    void OnEject() { m_panel.OnEject(); }
    void OnCloseDoor() { m_panel.OnCloseDoor(); }
    void OnLock() { m_panel.OnLock(); }
    void OnUnlock() { m_panel.OnUnlock(); }
    void OnAutoRefresh() { m_panel.OnAutoRefresh(); }

    // The notification icon and its popup menu.
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    // The system's broadcast that volumes or discs came or went.
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    // The window went to a display of another scale.
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    void OnShowHide();
    void OnExit();
    void OnMenuEject();
    void OnMenuClose();
    void OnMenuDrive(UINT nID) { m_trayMenu.OnDriveCommand(nID); }
    void OnMenuSpeed(UINT nID) { m_trayMenu.OnSpeedCommand(nID); }
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);

    DECLARE_MESSAGE_MAP()

private:
    // Hides the window to the notification area.
    void HideToTray();
    // Adds the icon that the shell refused at the last hide, and hides the
    // window once it is there.
    void RetryTrayIcon();
    // The drives found at start: they are listed, or, when there are none,
    // the user is told and the program ends.
    void OnDrivesFound(CObList& found);
    // Asks each drive that does not answer whether it does again; the panel
    // drive is shown again once it does.
    void ProbeSilentDrives();
    // Opens or closes the menu drive's tray.
    void MoveMenuDriveDoor(bool bOpen);
    // When to look for the drives again.
    enum FindDrives { Never, Always, IfLettersChanged };
    // Queues what volumes that came or went call for: the drives looked for
    // again (those found later added, those gone shown so), the chosen
    // speeds sent again to the drives of dwUnitMask and to drives back from
    // being gone.
    void QueueVolumeWork(FindDrives find, bool bReapply, DWORD dwUnitMask);
    // The drives found again: the window shows them as they are now.
    void OnDrivesFoundAgain(CObList& found, const std::vector<DriveList::Moved>& moved);

    SettingsStore m_settings;
    // Declared before everything that queues work on it, so that it is
    // stopped after them.
    DriveWorker m_worker;
    DriveList m_drives;
    SpeedMemory m_speedMemory;
    CDrivePanel m_panel;
    CTrayIcon m_trayIcon;
    CTrayMenu m_trayMenu;
    bool m_bFirstPaintDone = false;
    // The drives are listed: broadcasts are acted on from then on.
    bool m_bDrivesReady = false;
    // Volumes came or went before the drives were listed.
    bool m_bVolumesChangedEarly = false;
    // A look at the letters, queued by a timer, has not come back yet.
    bool m_bLetterCheckQueued = false;
    bool m_bWorkerHeldUp = false;
    bool m_bTrayAddPending = false;
    HICON m_hIcon = nullptr;
    // The options dialog while it runs.
    CDialog* m_pOptionsDlg = nullptr;
};
