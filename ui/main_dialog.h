// The main dialog: drive list and control panel, the notification icon and
// its popup menu, the refresh timer. It owns the drive records, the settings
// store, the icon record and the popup menu.
#pragma once

#include "framework/afxwin.h"
#include "settings/settings_store.h"

class CdDrive;
class CDrawnMenu;

// Menu commands and the notification icon.
enum : UINT {
    ID_TRAY_SHOWHIDE = 32771,
    ID_TRAY_EJECT = 32773,
    ID_TRAY_CLOSE = 32774,
    ID_TRAY_SELECT_DRIVE = 32775,
    ID_TRAY_SET_SPEED = 32776,
    ID_TRAY_OPTIONS = 32777,
    ID_TRAY_EXIT = 32778,
    ID_TRAY_ABOUT = 101,
    ID_TRAY_DRIVE_FIRST = 32800,
    ID_TRAY_DRIVE_LAST = 32829,
    ID_TRAY_SPEED_FIRST = 32830,
    // Every speed item the menu lists is handled; the range is wide enough
    // for any list a user can build (the X factor runs up to 200).
    ID_TRAY_SPEED_LAST = ID_TRAY_SPEED_FIRST + 511,
    TRAY_ICON_ID = 1026,
    WM_TRAYNOTIFY = WM_USER + 1,
    REFRESH_TIMER_ID = 1,
};

class CDriveToolDlg : public CDialog {
public:
    explicit CDriveToolDlg(CWnd* pParent = nullptr);

    // The panel drive: the drive list's selection, or null.
    CdDrive* GetSelectedDrive();

    CObList* m_pDrives = nullptr;
    UINT m_nMenuDriveCmd = ID_TRAY_DRIVE_FIRST;
    UINT m_nMenuSpeedCmd = 0;
    SettingsStore m_settings;
    bool m_bFirstPaintDone = false;
    CDrawnMenu* m_pTrayMenu = nullptr;
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
    int m_bAutoRefresh = 0;
    int m_nRefreshSecs = 5;
    bool m_bTrayIconAdded = false;
    HICON m_hIcon = nullptr;
    NOTIFYICONDATAA m_nid = {};

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Start-up, painting, minimising, end (main_dialog.cpp).
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnDestroy();
    void OnEndSession(BOOL bEnding);
    void SaveSpeedLists();
    void LoadSpeedLists();

    // The drive panel (drive_panel.cpp).
    void RefreshStatus();
    void FillSpeedList();
    void OnSelChangeDrive();
    void OnSelChangeSpeed();
    void OnSelChangeSpindown();
    void OnEject();
    void OnCloseDoor();
    void OnLock();
    void OnUnlock();
    void OnAutoRefresh();
    void OnTimer(UINT_PTR nIDEvent);
    void OnOptions();

    // The notification icon and its popup menu (tray_menu.cpp).
    BOOL BuildTrayMenu();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void AddTrayIcon();
    void OnShowHide();
    void OnExit();
    void OnMenuEject();
    void OnMenuClose();
    void OnTrayAbout();
    void OnTrayMenuCommand(UINT nID);
    void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    CdDrive* GetMenuDrive();

    DECLARE_MESSAGE_MAP()
};

// Opens or closes the tray of the drive with this letter through the
// multimedia control interface; returns its error code. A drive without a
// letter is left alone (returns MCIERR_INVALID_DEVICE_NAME).
DWORD SetDriveDoor(bool bOpen, char letter);
