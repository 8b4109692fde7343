// The options dialog: a drive's speed list (added by hand, deleted, or
// built by speed detection) and the three start-up options. The list box
// and the pairs kept beside it are the working copy of the speed list; when
// the dialog is destroyed after a change, the drive's lists and the main
// window's speed selector are rebuilt from them. The start-up options are
// stored at the click of their box.
#pragma once

#include <string>

#include "framework/afxwin.h"
#include "ui/speed_detection.h"

class CdDrive;
class SettingsStore;

// The registry calls of the start-with-system option, replaced by tests.
struct RegistrySystemCalls {
    LONG(WINAPI* openKey)(HKEY hKey, LPCSTR subKey, PHKEY result);
    LONG(WINAPI* queryValueEx)(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                               LPDWORD dataSize);
    // The value is written with the wide call: a path outside the ANSI code
    // page would otherwise turn into question marks.
    LONG(WINAPI* setValueEx)(HKEY hKey, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                             DWORD dataSize);
    LONG(WINAPI* deleteValue)(HKEY hKey, LPCSTR valueName);
    LONG(WINAPI* closeKey)(HKEY hKey);
};

// The calls in use; the system's own unless a test put others in place.
extern RegistrySystemCalls g_registrySystemCalls;

// Where the start-with-system value lives (under HKEY_LOCAL_MACHINE).
extern const char kRunKey[];
extern const char kRunValueName[];

// The Run value's text for an executable path: the path in double quotes
// (so that the system cannot read a shorter path followed by arguments),
// then the switch that says the program was started at logon.
std::wstring RunValueText(const wchar_t* pszPath);

// The question speed detection asks when the drive's maximum speed cannot
// be read: true for Retry. A box that could not be shown counts as Cancel.
bool AskRetryMaxSpeed(HWND hOwner);

class COptionsDlg : public CDialog, private DetectionSink {
public:
    // The dialog edits the speed lists of pDrive (none: no list) and the
    // items of speedSelector, and stores the start-up options in settings.
    COptionsDlg(SettingsStore& settings, CdDrive* pDrive, CComboBox& speedSelector, CWnd* pParent = nullptr);

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

    DECLARE_MESSAGE_MAP()

private:
    // Speed detection's progress bar and its Retry/Cancel question.
    bool RetryMaxSpeed() override;
    void SetProgressRange(int nMaxKbps) override;
    void Step(int nPos) override;

    // Makes the drive's speed entries the working copy.
    void LoadDriveEntries(const CdDrive& drive);
    // Appends one entry to the working copy.
    void AppendEntry(const CString& strName, const CString& strKbps);
    // Stores a start-up option; when the file refuses it the box goes back
    // to what is stored (nDefault when nothing is), and the user hears of it.
    void StoreOption(const char* pszKey, int nDefault, int& bValue);

    // The list box shows the entries; the two texts of entry i, exactly as
    // they will be stored, are item i of these lists, so no entry has to be
    // taken apart from its display text again.
    CStringList m_entryNames;
    CStringList m_entryKbps;
    bool m_bListChanged = false;
    bool m_bDetecting = false;

    SettingsStore& m_settings;
    CdDrive* m_pDrive;
    CComboBox& m_cbSpeedSelector;
    BOOL m_bInitialised = FALSE;
    CSpinButtonCtrl m_spinSpeed;
    CListBox m_listSpeeds;
    CProgressCtrl m_progress;
    int m_nSpeed = 1;
    int m_bAutoStart = FALSE;
    int m_bRunMin = FALSE;
    int m_bRunSetSpeed = FALSE;
};
