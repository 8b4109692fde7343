// The options dialog: speed list editing and the start-up options.
#include "ui/options_dialog.h"

#include <atomic>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "settings/speed_entry.h"
#include "settings/startup_options.h"
#include "ui/instance.h"
#include "ui/drive_worker.h"
#include "ui/settings_notice.h"
#include "ui/speed_detection.h"

RegistrySystemCalls g_registrySystemCalls = {::RegOpenKeyA, ::RegQueryValueExA, ::RegSetValueExW,
                                             ::RegDeleteValueA, ::RegCloseKey};

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValueName[] = "TRELVIK";
const wchar_t kRunValueNameW[] = L"TRELVIK";

namespace {

const char kNoticeCaption[] = "提示";
const char kAutoStartFailed[] = "设置软件自动启动失败!请手工设置.";
const char kAutoStartDenied[] =
    "没有修改系统启动项的权限，不能设置“随系统一同启动”。\n"
    "请以管理员身份运行本程序后再设置，或请系统管理员代为设置。";
const int kMinSpeed = 1;
const int kMaxSpeed = 200;
// The half-width in KB/s of the window of speeds tried around each X factor.
const unsigned kDetectHalfWidth = 10;
// Posted by the worker with the progress position in wParam.
const UINT WM_DETECT_PROGRESS = WM_APP + 2;

// Paints nothing, but validates the window for every paint message.
class PaintScope {
public:
    explicit PaintScope(HWND hWnd) : m_hWnd(hWnd) { ::BeginPaint(m_hWnd, &m_ps); }
    ~PaintScope() { ::EndPaint(m_hWnd, &m_ps); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps = {};
};

// The full path of the running executable; false when the system could not
// give it whole.
bool ExecutablePath(std::wstring& strPath)
{
    wchar_t path[MAX_PATH * 4] = L"";
    const DWORD nSize = sizeof path / sizeof path[0];
    DWORD nLength = ::GetModuleFileNameW(nullptr, path, nSize);
    if (nLength == 0 || nLength >= nSize)
        return false;
    strPath = path;
    return true;
}

// Says that the start-with-system value could not be changed, nError being
// the registry's answer. Where the user lacks the rights (as a standard
// user does on the machine-wide key) the message says so, and the box is
// greyed out for the rest of the dialog: a click could only fail again.
void ReportRunValueFailure(HWND hDlg, LONG nError)
{
    if (nError != ERROR_ACCESS_DENIED) {
        ::MessageBoxA(hDlg, kAutoStartFailed, kNoticeCaption, MB_ICONEXCLAMATION | MB_OK);
        return;
    }
    ::MessageBoxA(hDlg, kAutoStartDenied, kNoticeCaption, MB_ICONINFORMATION | MB_OK);
    ::EnableWindow(::GetDlgItem(hDlg, IDC_AUTOSTART), FALSE);
}

}  // namespace

// One speed detection, shared by the dialog and the jobs that carry it out
// on the drive worker: the dialog may be closed, which stops it, before
// they end.
struct Detection : DetectionSink {
    Detection(COptionsDlg* pOwner, CdDrive& target, MediumKind listKind, DriveWorker& queue)
        : pDialog(pOwner), hDialog(pOwner->m_hWnd), drive(target), kind(listKind), worker(queue)
    {
    }

    // On the worker: the speeds the drive offers, as entries of the list.
    void takeOffered(const std::vector<unsigned>& offered)
    {
        for (unsigned kbps : offered) {
            CString strName, strKbps;
            strName.Format("%d", kbpsToX(kbps, kind));
            strKbps.Format("%u", kbps);
            if (kbpsToX(kbps, kind) >= 1 && names.Find(strName) == nullptr) {
                names.AddTail(strName);
                kbSpeeds.AddTail(strKbps);
            }
        }
        bComplete = !names.IsEmpty();
    }

    // On the worker: the progress goes to the dialog while it is there.
    bool Step(int nPos) override
    {
        ::PostMessageA(hDialog, WM_DETECT_PROGRESS, static_cast<WPARAM>(nPos), 0);
        return !bCancelled;
    }

    COptionsDlg* pDialog;  // null once the dialog is gone (window's thread only)
    HWND hDialog;
    CdDrive& drive;
    MediumKind kind;  // of the list edited
    DriveWorker& worker;
    std::atomic<bool> bCancelled{false};
    int nSpeedBefore = 0;
    int nMaxSpeed = 0;
    bool bComplete = false;
    bool bOtherDisc = false;  // the drive holds another kind of disc than the list's
    CStringList names{10};
    CStringList kbSpeeds{10};
};

std::wstring RunValueText(const wchar_t* pszPath)
{
    return L"\"" + std::wstring(pszPath != nullptr ? pszPath : L"") + L"\" " + kAutostartSwitch;
}

BEGIN_MESSAGE_MAP(COptionsDlg, CDialog)
    ON_BN_CLICKED(IDC_DETECT, &COptionsDlg::OnDetect)
    ON_BN_CLICKED(IDC_ADD_SPEED, &COptionsDlg::OnAdd)
    ON_BN_CLICKED(IDC_DELETE_SPEED, &COptionsDlg::OnDelete)
    ON_WM_DESTROY()
    ON_WM_PAINT()
    ON_BN_CLICKED(IDC_AUTOSTART, &COptionsDlg::OnAutoStart)
    ON_BN_CLICKED(IDC_RUN_SET_SPEED, &COptionsDlg::OnRunSetSpeed)
    ON_BN_CLICKED(IDC_RUN_MIN, &COptionsDlg::OnRunMin)
    ON_MESSAGE(WM_DETECT_PROGRESS, &COptionsDlg::OnDetectProgress)
END_MESSAGE_MAP()

COptionsDlg::COptionsDlg(SettingsStore& settings, CdDrive* pDrive, CComboBox& speedSelector, DriveWorker& worker,
                         CWnd* pParent)
    : CDialog(IDD_OPTIONS, pParent),
      m_settings(settings),
      m_pDrive(pDrive),
      m_kind(pDrive != nullptr ? speedKind(pDrive->medium()) : MediumKind::Cd),
      m_worker(worker),
      m_cbSpeedSelector(speedSelector)
{
}

void COptionsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SPEED_SPIN, m_spinSpeed);
    DDX_Control(pDX, IDC_SPEED_LIST, m_listSpeeds);
    DDX_Control(pDX, IDC_DETECT_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_SPEED_EDIT, m_nSpeed);
    DDX_Check(pDX, IDC_AUTOSTART, m_bAutoStart);
    DDX_Check(pDX, IDC_RUN_MIN, m_bRunMin);
    DDX_Check(pDX, IDC_RUN_SET_SPEED, m_bRunSetSpeed);
    // A failed exchange ends at the step that failed.
    if (!pDX->m_bFail)
        m_spinSpeed.SetRange(kMinSpeed, kMaxSpeed);
}

void COptionsDlg::AppendEntry(const CString& strName, const CString& strKbps)
{
    m_listSpeeds.AddString(formatSpeedEntry(strName, strKbps, m_pDrive != nullptr ? m_pDrive->listsFor(m_kind).label : nullptr));
    m_entryNames.AddTail(strName);
    m_entryKbps.AddTail(strKbps);
}

void COptionsDlg::LoadDriveEntries(const CdDrive& drive)
{
    m_listSpeeds.ResetContent();
    m_entryNames.RemoveAll();
    m_entryKbps.RemoveAll();
    const CdDrive::SpeedLists lists = drive.listsFor(m_kind);
    int nCount = speedEntryCount(lists.names, lists.kbSpeeds);
    for (int i = 0; i < nCount; ++i) {
        CString strName, strKbps;
        getSpeedEntry(lists.names, lists.kbSpeeds, i, strName, strKbps);
        AppendEntry(strName, strKbps);
    }
}

// Loads the list and the option states once, at the first paint.
void COptionsDlg::OnPaint()
{
    PaintScope paint(m_hWnd);
    if (m_bInitialised)
        return;

    if (m_pDrive != nullptr)
        LoadDriveEntries(*m_pDrive);

    HKEY hKey = nullptr;
    if (g_registrySystemCalls.openKey(HKEY_LOCAL_MACHINE, kRunKey, &hKey) == ERROR_SUCCESS) {
        // Only the value's presence counts; whose path it holds does not.
        DWORD nType = 0;
        if (g_registrySystemCalls.queryValueEx(hKey, kRunValueName, nullptr, &nType, nullptr, nullptr) ==
            ERROR_SUCCESS)
            m_bAutoStart = TRUE;
        g_registrySystemCalls.closeKey(hKey);
    }

    if (m_settings.getBool(kSystemSection, kKeyRunMin, kRunMinDefault) != 0)
        m_bRunMin = TRUE;
    if (m_settings.getBool(kSystemSection, kKeyRunSetSpeed, kRunSetSpeedDefault) != 0)
        m_bRunSetSpeed = TRUE;

    UpdateData(FALSE);
    m_bInitialised = TRUE;
}

void COptionsDlg::OnAdd()
{
    // A text that is not a number has been reported by the exchange; the
    // previous value is used.
    UpdateData(TRUE);
    if (m_nSpeed >= kMinSpeed && m_nSpeed <= kMaxSpeed) {
        CString strName, strKbps;
        strName.Format("%d", m_nSpeed);
        strKbps.Format("%d", m_nSpeed * kbpsPerX(m_kind));
        AppendEntry(strName, strKbps);
        m_bListChanged = true;
    } else {
        ::MessageBoxA(m_hWnd, "速度应该在1~200之间!", kNoticeCaption, MB_ICONEXCLAMATION | MB_OK);
    }
}

void COptionsDlg::OnDelete()
{
    int nSel = m_listSpeeds.GetCurSel();
    if (nSel < 0)
        return;
    m_listSpeeds.DeleteString(static_cast<UINT>(nSel));
    m_entryNames.RemoveAt(m_entryNames.FindIndex(nSel));
    m_entryKbps.RemoveAt(m_entryKbps.FindIndex(nSel));
    m_bListChanged = true;
}

// Detection runs on the drive worker in steps: the speed in force and the
// maximum are read, then the speeds are tried, and the speed before is set
// again. Only a detection that ran to its end and found speeds replaces the
// working copy; one that was stopped (the dialog closed), failed or found
// nothing leaves it, and the drive's lists, as they were.
void COptionsDlg::OnDetect()
{
    // A click (or a held Enter key) while a detection runs starts no other.
    if (m_pDrive == nullptr || m_pDetection != nullptr)
        return;
    auto pDetection = std::make_shared<Detection>(this, *m_pDrive, m_kind, m_worker);
    m_pDetection = pDetection;
    // A drive that tells the speeds it offers for its disc needs no steps.
    if (!m_worker.Post(
            [pDetection] {
                Detection& d = *pDetection;
                d.bOtherDisc = speedKind(d.drive.readMedium()) != d.kind;
                if (d.bOtherDisc)
                    return;
                d.nSpeedBefore = d.drive.getSpeed();
                d.takeOffered(d.drive.offeredSpeeds());
                if (!d.bComplete)
                    d.nMaxSpeed = d.drive.getMaxSpeed();
            },
            [pDetection] {
                if (pDetection->bComplete)
                    OnDetectionEnded(pDetection);
                else
                    OnMaxSpeedRead(pDetection);
            }))
        m_pDetection.reset();
}

void COptionsDlg::OnMaxSpeedRead(const std::shared_ptr<Detection>& pDetection)
{
    Detection& d = *pDetection;
    if (d.nMaxSpeed == 0 && !d.bCancelled && !d.bOtherDisc && d.drive.answering() && d.pDialog != nullptr &&
        AskRetryMaxSpeed(d.hDialog)) {
        d.worker.Post([pDetection] { pDetection->nMaxSpeed = pDetection->drive.getMaxSpeed(); },
                      [pDetection] { OnMaxSpeedRead(pDetection); });
        return;
    }
    if (d.pDialog != nullptr && d.nMaxSpeed != 0)
        d.pDialog->m_progress.SetRange(0, static_cast<short>(d.nMaxSpeed & 0xFFFF));
    EndDetection(pDetection, d.nMaxSpeed != 0 && !d.bCancelled);
}

void COptionsDlg::EndDetection(const std::shared_ptr<Detection>& pDetection, bool bStepThrough)
{
    pDetection->worker.Post(
        [pDetection, bStepThrough] {
            Detection& d = *pDetection;
            // A drive that stops answering on the way has failed it.
            if (bStepThrough)
                d.bComplete = detectSpeeds(d.drive, d.kind, d.nMaxSpeed, kDetectHalfWidth, d, d.names, d.kbSpeeds) &&
                              d.drive.answering();
            // Detection leaves the drive at the last speed it tried, the
            // slowest: the speed it had before is set again.
            if (d.nSpeedBefore != 0 && d.drive.answering())
                d.drive.setSpeed(d.nSpeedBefore);
        },
        [pDetection] { OnDetectionEnded(pDetection); });
}

void COptionsDlg::OnDetectionEnded(const std::shared_ptr<Detection>& pDetection)
{
    Detection& d = *pDetection;
    COptionsDlg* pDialog = d.pDialog;
    if (pDialog == nullptr)
        return;
    pDialog->m_pDetection.reset();
    if (!d.bComplete || d.bCancelled || d.names.IsEmpty())
        return;
    pDialog->m_listSpeeds.ResetContent();
    pDialog->m_entryNames.RemoveAll();
    pDialog->m_entryKbps.RemoveAll();
    POSITION posKbps = d.kbSpeeds.GetHeadPosition();
    for (POSITION pos = d.names.GetHeadPosition(); pos != nullptr && posKbps != nullptr;) {
        const CString& strName = d.names.GetNext(pos);
        pDialog->AppendEntry(strName, d.kbSpeeds.GetNext(posKbps));
    }
    pDialog->m_bListChanged = true;
}

bool AskRetryMaxSpeed(HWND hOwner)
{
    return ::MessageBoxA(hOwner, "程序在检测驱动器最大速度时遇到错误. 这对检测可能速度是至关重要的.", "致命错误!",
                         MB_RETRYCANCEL) == IDRETRY;
}

LRESULT COptionsDlg::OnDetectProgress(WPARAM wParam, LPARAM /*lParam*/)
{
    m_progress.SetPos(static_cast<int>(wParam));
    return 0;
}

// Hands the working copy back after a change: the drive's lists and the
// main window's speed selector are rebuilt from it, in order, and nothing is
// selected. A dialog closed before its first paint never had the list, and
// one closed without a change leaves the drive's lists exactly as they were
// (a hand-edited file may hold lists of unequal length).
void COptionsDlg::OnDestroy()
{
    CDialog::OnDestroy();
    // Closing the dialog stops a detection at its next step.
    if (m_pDetection != nullptr) {
        m_pDetection->bCancelled = true;
        m_pDetection->pDialog = nullptr;
        m_pDetection.reset();
    }

    CdDrive* pDrive = m_pDrive;
    if (pDrive == nullptr || !m_bInitialised)
        return;

    m_cbSpeedSelector.ResetContent();
    const CdDrive::SpeedLists lists = pDrive->listsFor(m_kind);
    if (m_bListChanged) {
        lists.names->RemoveAll();
        lists.kbSpeeds->RemoveAll();
        for (POSITION pos = m_entryNames.GetHeadPosition(); pos != nullptr;)
            lists.names->AddTail(m_entryNames.GetNext(pos));
        for (POSITION pos = m_entryKbps.GetHeadPosition(); pos != nullptr;)
            lists.kbSpeeds->AddTail(m_entryKbps.GetNext(pos));
    }
    int nCount = speedEntryCount(lists.names, lists.kbSpeeds);
    for (int i = 0; i < nCount; ++i)
        m_cbSpeedSelector.AddString(speedEntryText(lists.names, lists.kbSpeeds, i, lists.label));
    // The speed in force stays shown while its entry is in the list.
    int nChosen = findSpeedEntry(lists.names, lists.kbSpeeds, pDrive->chosenKbps(m_kind));
    if (nChosen >= 0)
        m_cbSpeedSelector.SetCurSel(nChosen);
}

void COptionsDlg::OnAutoStart()
{
    UpdateData(TRUE);

    std::wstring strPath;
    bool bHavePath = ExecutablePath(strPath);

    HKEY hKey = nullptr;
    LONG nError = g_registrySystemCalls.openKey(HKEY_LOCAL_MACHINE, kRunKey, &hKey);
    if (nError != ERROR_SUCCESS) {
        hKey = nullptr;
        ReportRunValueFailure(m_hWnd, nError);
        m_bAutoStart = FALSE;
    } else if (m_bAutoStart) {
        // Without a whole path there is nothing sound to write.
        // The data's length counts its terminating zero.
        std::wstring strValue = RunValueText(strPath.c_str());
        const DWORD nBytes = static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t));
        nError = !bHavePath ? ERROR_BAD_PATHNAME
                            : g_registrySystemCalls.setValueEx(hKey, kRunValueNameW, 0, REG_SZ,
                                                               reinterpret_cast<const BYTE*>(strValue.c_str()), nBytes);
        if (nError != ERROR_SUCCESS) {
            ReportRunValueFailure(m_hWnd, nError);
            m_bAutoStart = FALSE;
        }
    } else if ((nError = g_registrySystemCalls.deleteValue(hKey, kRunValueName)) != ERROR_SUCCESS) {
        // A value someone else removed needs no message; missing rights do.
        if (nError == ERROR_ACCESS_DENIED)
            ReportRunValueFailure(m_hWnd, nError);
        m_bAutoStart = TRUE;
    }
    if (hKey != nullptr)
        g_registrySystemCalls.closeKey(hKey);

    UpdateData(FALSE);
}

void COptionsDlg::StoreOption(const char* pszKey, int nDefault, int& bValue)
{
    UpdateData(TRUE);
    if (m_settings.writeBool(kSystemSection, pszKey, bValue))
        return;
    bValue = m_settings.getBool(kSystemSection, pszKey, nDefault) != 0 ? TRUE : FALSE;
    UpdateData(FALSE);
    ReportSettingsWriteFailure(m_hWnd, m_settings);
}

void COptionsDlg::OnRunMin()
{
    StoreOption(kKeyRunMin, kRunMinDefault, m_bRunMin);
}

void COptionsDlg::OnRunSetSpeed()
{
    StoreOption(kKeyRunSetSpeed, kRunSetSpeedDefault, m_bRunSetSpeed);
}
