// The options dialog: the selected drive's speed list (added by hand,
// deleted, or built by speed detection) and the three start-up options.
// The list box is the working copy of the speed list; the drive's lists and
// the main window's speed selector are rebuilt from it when the dialog is
// destroyed. The start-up options are stored at the click of their box.
#pragma once

#include "framework/afxwin.h"

class CdDrive;
class CDriveToolDlg;

// The registry calls of the start-with-system option, replaced by tests.
struct RegistrySystemCalls {
    LONG(WINAPI* openKey)(HKEY hKey, LPCSTR subKey, PHKEY result);
    LONG(WINAPI* queryValueEx)(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                               LPDWORD dataSize);
    LONG(WINAPI* setValueEx)(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                             DWORD dataSize);
    LONG(WINAPI* deleteValue)(HKEY hKey, LPCSTR valueName);
    LONG(WINAPI* closeKey)(HKEY hKey);
};

// The calls in use; the system's own unless a test put others in place.
extern RegistrySystemCalls g_registrySystemCalls;

// Where the start-with-system value lives (under HKEY_LOCAL_MACHINE).
extern const char kRunKey[];
extern const char kRunValueName[];

// The Run value's text for an executable path: the path itself, or the
// path in double quotes when it contains a blank (so that the system
// cannot read a shorter path followed by arguments).
CString RunValueText(const char* pszPath);

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(CWnd* pParent = nullptr);

    // Finds the speeds the drive accepts and makes them its speed list:
    // for every X factor from the maximum down to 1X it asks for the speeds
    // within halfWidth KB/s around the factor and records each factor the
    // first time the drive reports it. Pumps one message per value tried.
    void DetectSpeeds(CdDrive& drive, unsigned halfWidth);
    // Dispatches one waiting message (if any) and runs the idle processing.
    void PumpMessage();

    BOOL m_bInitialised = FALSE;
    CDriveToolDlg* m_pMainDlg = nullptr;
    CSpinButtonCtrl m_spinSpeed;
    CListBox m_listSpeeds;
    CProgressCtrl m_progress;
    int m_nSpeed = 1;
    int m_bAutoStart = FALSE;
    int m_bRunMin = FALSE;
    int m_bRunSetSpeed = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    void OnDetect();
    void OnAdd();
    void OnDelete();
    void OnDestroy();
    void OnPaint();
    void OnAutoStart();
    void OnRunSetSpeed();
    void OnRunMin();

    // The drive selected in the main window; null when there is no main
    // window of the program or no selection.
    CdDrive* SelectedDrive();
    // Appends one item per speed entry of the drive to the list box.
    void AddDriveEntries(const CdDrive& drive);

    DECLARE_MESSAGE_MAP()
};
