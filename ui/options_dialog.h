// The options dialog: a drive's speed list for the kind of disc it holds
// (added by hand, deleted, or built by speed detection) and the three
// start-up options. The list box
// and the pairs kept beside it are the working copy of the speed list; when
// the dialog is destroyed after a change, the drive's lists and the main
// window's speed selector are rebuilt from them. The start-up options are
// stored at the click of their box.
#pragma once

#include <memory>
#include <string>

#include "drive/medium.h"
#include "framework/afxwin.h"

class CdDrive;
class DriveWorker;
class SettingsStore;
struct Detection;

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

class COptionsDlg : public CDialog {
public:
    // The dialog edits the speed lists of pDrive (none: no list) and the
    // items of speedSelector, and stores the start-up options in settings;
    // detection runs on the drive worker.
    COptionsDlg(SettingsStore& settings, CdDrive* pDrive, CComboBox& speedSelector, DriveWorker& worker,
                CWnd* pParent = nullptr);
    // True when the dialog handed the drive changed lists at its end.
    bool ListsChanged() const { return m_bListChanged; }

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
    LRESULT OnDetectProgress(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Detection's steps on the window's thread: the maximum speed was read
    // (0: it could not be, and the user is asked whether to read it again);
    // the speeds were found, or not.
    static void OnMaxSpeedRead(const std::shared_ptr<Detection>& pDetection);
    static void OnDetectionEnded(const std::shared_ptr<Detection>& pDetection);
    // Queues the end of a detection: the drive's speed set back.
    static void EndDetection(const std::shared_ptr<Detection>& pDetection, bool bStepThrough);

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
    // The detection under way, shared with the jobs that carry it out.
    std::shared_ptr<Detection> m_pDetection;

    SettingsStore& m_settings;
    CdDrive* m_pDrive;
    // The kind of disc whose speed list the dialog edits: the one the drive
    // holds when the dialog opens.
    MediumKind m_kind = MediumKind::Cd;
    DriveWorker& m_worker;
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
