#include "ui/main_dialog.h"

#include "drive/cd_drive.h"
#include "drive/transport_choice.h"
#include "framework/dpi.h"
#include "res/resource.h"
#include "settings/startup_options.h"
#include "ui/about_dialog.h"
#include "ui/drive_door.h"
#include "ui/icons.h"
#include "ui/options_dialog.h"
#include "ui/settings_notice.h"
#include "ui/volume_change.h"

#include <memory>
#include <vector>

namespace {

const char kTrayTip[] = "Zurivovi2.0.0";

const UINT kTrayRetryMs = 2000;
// How often a drive that left a command unanswered is asked again.
const UINT kNoAnswerProbeMs = 30000;
// How long the end waits for the drive worker to carry out what the user
// asked for before the program ends regardless.
const DWORD kWorkerEndMs = 2000;

// An elevated program gets no message from a shell that is not elevated
// unless it lets the message through; the call exists from the systems
// that filter messages on.
void AllowMessageFromShell(HWND hWnd, UINT uMsg)
{
    typedef BOOL(WINAPI * FilterExProc)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * FilterProc)(UINT, DWORD);
    const DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD for the older call
    HMODULE hUser = ::GetModuleHandleA("user32.dll");
    if (hUser == nullptr)
        return;
    if (FilterExProc pEx = reinterpret_cast<FilterExProc>(
            reinterpret_cast<void*>(::GetProcAddress(hUser, "ChangeWindowMessageFilterEx"))))
        pEx(hWnd, uMsg, kAllow, nullptr);
    else if (FilterProc p = reinterpret_cast<FilterProc>(
                 reinterpret_cast<void*>(::GetProcAddress(hUser, "ChangeWindowMessageFilter"))))
        p(uMsg, kAllow);
}

HICON LoadAppIcon()
{
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

}  // namespace

const char CDriveToolDlg::kSettingsFile[] = ".\\cdrom.ini";
const wchar_t CDriveToolDlg::kSettingsFileW[] = L".\\cdrom.ini";

// Sent to every top-level window when the taskbar (re)starts, so that the
// notification icon can be put back.
static const UINT s_uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");

BEGIN_MESSAGE_MAP(CDriveToolDlg, CDialog)
    ON_COMMAND_RANGE(ID_TRAY_DRIVE_FIRST, ID_TRAY_DRIVE_LAST, &CDriveToolDlg::OnMenuDrive)
    ON_COMMAND_RANGE(ID_TRAY_SPEED_FIRST, ID_TRAY_SPEED_LAST, &CDriveToolDlg::OnMenuSpeed)
    ON_WM_SYSCOMMAND()
    ON_MESSAGE(WM_TRAYNOTIFY, &CDriveToolDlg::OnTrayNotify)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_DESTROY()
    ON_CBN_SELCHANGE(IDC_SET_SPEED, &CDriveToolDlg::OnSelChangeSpeed)
    ON_CBN_SELCHANGE(IDC_SET_SPINDOWN, &CDriveToolDlg::OnSelChangeSpindown)
    ON_BN_CLICKED(IDC_EJECT, &CDriveToolDlg::OnEject)
    ON_BN_CLICKED(IDC_CLOSE_DOOR, &CDriveToolDlg::OnCloseDoor)
    ON_BN_CLICKED(IDC_LOCK, &CDriveToolDlg::OnLock)
    ON_BN_CLICKED(IDC_UNLOCK, &CDriveToolDlg::OnUnlock)
    ON_CBN_SELCHANGE(IDC_DRIVE_LIST, &CDriveToolDlg::OnSelChangeDrive)
    ON_BN_CLICKED(IDC_AUTO_REFRESH, &CDriveToolDlg::OnAutoRefresh)
    ON_WM_TIMER()
    ON_COMMAND(ID_TRAY_SHOWHIDE, &CDriveToolDlg::OnShowHide)
    ON_COMMAND(ID_TRAY_EXIT, &CDriveToolDlg::OnExit)
    ON_WM_MEASUREITEM()
    ON_COMMAND(ID_TRAY_EJECT, &CDriveToolDlg::OnMenuEject)
    ON_COMMAND(ID_TRAY_OPTIONS, &CDriveToolDlg::OnOptions)
    ON_COMMAND(ID_TRAY_CLOSE, &CDriveToolDlg::OnMenuClose)
    ON_BN_CLICKED(IDC_OPTIONS, &CDriveToolDlg::OnOptions)
    ON_REGISTERED_MESSAGE(s_uTaskbarCreated, &CDriveToolDlg::OnTaskbarCreated)
    ON_COMMAND(ID_TRAY_ABOUT, &CDriveToolDlg::OnAbout)
    ON_WM_ENDSESSION()
    ON_MESSAGE(WM_DEVICECHANGE, &CDriveToolDlg::OnDeviceChange)
    ON_MESSAGE(kWmDpiChanged, &CDriveToolDlg::OnDpiChanged)
END_MESSAGE_MAP()

CDriveToolDlg::CDriveToolDlg(CWnd* pParent)
    : CDialog(IDD_MAIN, pParent),
      m_speedMemory(m_settings),
      m_panel(*this, m_drives, m_speedMemory, m_worker),
      m_trayMenu(m_drives, m_speedMemory, m_worker)
{
    m_hIcon = LoadAppIcon();
}

void CDriveToolDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    m_panel.Exchange(pDX);
}

BOOL CDriveToolDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        char szAbout[256] = {};
        ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, szAbout, sizeof szAbout);
        if (szAbout[0] != '\0') {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }
    ShowWindowIcons(m_hWnd, IDR_MAINFRAME, DpiOfWindow(m_hWnd));
    m_trayIcon.Init(m_hWnd, TRAY_ICON_ID, WM_TRAYNOTIFY, IDR_MAINFRAME, kTrayTip);
    AllowMessageFromShell(m_hWnd, s_uTaskbarCreated);

    m_settings.setFileName(kSettingsFile);
    m_bFirstPaintDone = false;
    // The drives are looked for on the worker's thread: the window answers
    // meanwhile, however long a drive takes.
    auto found = std::make_shared<CObList>(10);
    const TransportChoice choice = DriveList::ChosenTransport(m_settings);
    DriveList* pDrives = &m_drives;
    if (!m_worker.Start() ||
        !m_worker.Post([found, choice, pDrives] { pDrives->Find(choice, *found); },
                       [this, found] { OnDrivesFound(*found); })) {
        CObList none;
        OnDrivesFound(none);
        return FALSE;
    }
    SetForegroundWindow();
    return TRUE;
}

void CDriveToolDlg::OnDrivesFound(CObList& found)
{
    m_drives.Adopt(found, m_settings);
    if (m_drives.GetCount() == 0) {
        ::MessageBoxA(m_hWnd, "程序发生错误,在系统中找不到光驱!", "程序错误", MB_ICONERROR);
        EndDialog(0);
        return;
    }
    m_speedMemory.RestoreAtStart(m_drives, m_worker);
    m_panel.Init();
    m_trayMenu.Build();
    SetTimer(NO_ANSWER_PROBE_TIMER_ID, kNoAnswerProbeMs, nullptr);
    m_bDrivesReady = true;
    // Letters that changed while the drives were looked for are matched again.
    if (m_bVolumesChangedEarly)
        QueueVolumeWork(Always, false, 0);
}

void CDriveToolDlg::ProbeSilentDrives()
{
    for (CdDrive* pDrive : m_drives.All()) {
        if (pDrive->answering())
            continue;
        m_worker.Post([pDrive] { pDrive->getSpeed(); },
                      [this, pDrive] {
                          if (pDrive->answering() && pDrive == m_panel.GetSelectedDrive())
                              m_panel.Refresh();
                      },
                      DriveWorker::Refresh);
    }
}

void CDriveToolDlg::HideToTray()
{
    // The window leaves the taskbar only when the icon is there to bring it
    // back; otherwise it stays minimised on the taskbar until an add works.
    bool bAdded = m_trayIcon.Add();
    ShowWindow(SW_MINIMIZE);
    if (bAdded) {
        ShowWindow(SW_HIDE);
    } else {
        m_bTrayAddPending = true;
        SetTimer(TRAY_RETRY_TIMER_ID, kTrayRetryMs, nullptr);
    }
}

void CDriveToolDlg::RetryTrayIcon()
{
    if (!m_bTrayAddPending || !m_trayIcon.Add())
        return;
    m_bTrayAddPending = false;
    KillTimer(TRAY_RETRY_TIMER_ID);
    // A window the user has brought back meanwhile stays where it is.
    if (IsIconic())
        ShowWindow(SW_HIDE);
}

void CDriveToolDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    // The low four bits of a system command are the system's own.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
    else if ((nID & 0xFFF0) == SC_MINIMIZE)
        HideToTray();
    else
        CDialog::OnSysCommand(nID, lParam);
}

void CDriveToolDlg::OnPaint()
{
    if (IsIconic()) {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m_hWnd, &ps);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
        RECT rc;
        GetClientRect(&rc);
        int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(hdc, x, y, m_hIcon);
        ::EndPaint(m_hWnd, &ps);
    } else {
        CDialog::OnPaint();
    }

    if (!m_bFirstPaintDone) {
        // Start minimised: the window shows for its first paint only.
        if (m_settings.getBool(kSystemSection, kKeyRunMin, kRunMinDefault))
            HideToTray();
        m_bFirstPaintDone = true;
    }
}

HCURSOR CDriveToolDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CDriveToolDlg::OnDestroy()
{
    CDialog::OnDestroy();
    // The window is going: the message has no owner.
    if (!m_drives.SaveSpeedLists(m_settings))
        ReportSettingsWriteFailure(nullptr, m_settings);
    m_trayIcon.Remove();
    // The popup menu goes with the window that shows it.
    m_trayMenu.Destroy();
    FreeWindowIcons(m_hWnd);
    // What the user asked for is still carried out, within a bound; a drive
    // that holds the worker up keeps the drives and their transport in use.
    m_bWorkerHeldUp = !m_worker.Stop(kWorkerEndMs);
    if (m_bWorkerHeldUp)
        return;
    m_drives.Clear();
    closeTransport();
}

void CDriveToolDlg::OnEndSession(BOOL bEnding)
{
    // The session may end while the window lives hidden in the notification
    // area, and then it is never destroyed: keep the speed lists now.
    if (bEnding)
        m_drives.SaveSpeedLists(m_settings);
    CDialog::OnEndSession(bEnding);
}

void CDriveToolDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == TRAY_RETRY_TIMER_ID) {
        RetryTrayIcon();
        return;
    }
    // A letter that came or went tells of a drive plugged in or out.
    if (m_bDrivesReady && !m_bLetterCheckQueued) {
        m_bLetterCheckQueued = true;
        QueueVolumeWork(IfLettersChanged, false, 0);
    }
    if (nIDEvent == NO_ANSWER_PROBE_TIMER_ID) {
        ProbeSilentDrives();
        return;
    }
    m_panel.Refresh(true);
    CDialog::OnTimer(nIDEvent);
}

void CDriveToolDlg::OnOptions()
{
    // The popup menu stays usable while the dialog is open (the icon's
    // messages reach the disabled main window): one dialog at a time.
    if (m_pOptionsDlg != nullptr) {
        if (m_pOptionsDlg->m_hWnd != nullptr)
            m_pOptionsDlg->SetForegroundWindow();
        return;
    }
    COptionsDlg dlg(m_settings, m_panel.GetSelectedDrive(), m_panel.SpeedSelector(), m_worker);
    m_pOptionsDlg = &dlg;
    dlg.DoModal();
    m_pOptionsDlg = nullptr;
    // Lists changed by hand or by detection are kept at once, not only at
    // the end: a crash or a power cut later loses none of them.
    if (dlg.ListsChanged() && !m_drives.SaveSpeedLists(m_settings))
        ReportSettingsWriteFailure(m_hWnd, m_settings);
}

void CDriveToolDlg::OnAbout()
{
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

LRESULT CDriveToolDlg::OnTrayNotify(WPARAM /*wParam*/, LPARAM lParam)
{
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
        ShowWindow(SW_SHOWNORMAL);
        SetForegroundWindow();
        break;
    case WM_RBUTTONDOWN:
        m_trayMenu.Track(this);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CDriveToolDlg::OnTaskbarCreated(WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    m_trayIcon.OnTaskbarCreated();
    // A new taskbar is ready for an icon it refused before.
    RetryTrayIcon();
    return 0;
}

// The broadcast waits for every window's answer: the work it calls for is
// queued, and the answer given at once.
LRESULT CDriveToolDlg::OnDeviceChange(WPARAM wParam, LPARAM lParam)
{
    VolumeChange change = ReadVolumeChange(wParam, lParam);
    if (change.kind == VolumeChange::None)
        return TRUE;
    if (!m_bDrivesReady) {
        m_bVolumesChangedEarly = true;
        return TRUE;
    }
    // A drive plugged in or out, or plugged in again where it may hold
    // another letter (the door commands follow the drive, not the letter),
    // is looked for; a drive that was given a disc, or was plugged in again,
    // has gone back to its own default speed.
    const bool bVolumes = change.kind == VolumeChange::VolumeArrived || change.kind == VolumeChange::VolumeRemoved;
    QueueVolumeWork(bVolumes ? Always : Never,
                    change.kind == VolumeChange::MediaArrived || change.kind == VolumeChange::VolumeArrived,
                    change.dwUnitMask);
    return TRUE;
}

void CDriveToolDlg::QueueVolumeWork(FindDrives find, bool bReapply, DWORD dwUnitMask)
{
    struct Change {
        CObList found{10};
        std::vector<DriveList::Moved> moved;
        bool bLooked = false;
    };
    auto change = std::make_shared<Change>();
    DriveList* pDrives = &m_drives;
    m_worker.Post(
        [=] {
            if (find == Always || (find == IfLettersChanged && pDrives->LettersChanged())) {
                pDrives->FindAgain(change->found, change->moved);
                change->bLooked = true;
            }
            if (bReapply)
                SpeedMemory::ReapplyToLetters(pDrives->Known(), dwUnitMask);
            // A drive back without its letter's arrival in this change.
            for (const DriveList::Moved& m : change->moved) {
                const bool bAnnounced = m.pDrive->hasLetter() && (dwUnitMask & (DWORD(1) << (m.pDrive->letter() - 'A'))) != 0;
                if (m.bReturned && !(bReapply && bAnnounced))
                    m.pDrive->reapplyChosenSpeed();
            }
        },
        [this, find, change] {
            if (find == IfLettersChanged)
                m_bLetterCheckQueued = false;
            if (change->bLooked)
                OnDrivesFoundAgain(change->found, change->moved);
        });
}

void CDriveToolDlg::OnDrivesFoundAgain(CObList& found, const std::vector<DriveList::Moved>& moved)
{
    DriveList::ShowMoved(moved);
    const int nBefore = m_drives.GetCount();
    m_drives.Adopt(found, m_settings);
    std::vector<CdDrive*> added;
    for (int i = nBefore; i < m_drives.GetCount(); ++i)
        added.push_back(m_drives.GetAt(i));
    m_speedMemory.Restore(added, m_worker);
    m_panel.ShowDriveLabels();
    m_panel.OnDrivesChanged();
}

LRESULT CDriveToolDlg::OnDpiChanged(WPARAM wParam, LPARAM /*lParam*/)
{
    // The dialog manager scales the window, its controls and their font.
    // The popup menu is left alone: it takes the scale of the display it
    // opens on each time it opens, and one open now keeps its own.
    Default();
    ShowWindowIcons(m_hWnd, IDR_MAINFRAME, ClampDpi(HIWORD(wParam)));
    return 0;
}

void CDriveToolDlg::OnShowHide()
{
    if (IsIconic())
        ShowWindow(SW_SHOWNORMAL);
    else
        HideToTray();
}

void CDriveToolDlg::OnExit()
{
    EndDialog(0);
}

void CDriveToolDlg::MoveMenuDriveDoor(bool bOpen)
{
    if (CdDrive* pDrive = m_trayMenu.GetMenuDrive())
        m_worker.Post([pDrive, bOpen] { SetDriveDoor(bOpen, pDrive->letter()); });
}

void CDriveToolDlg::OnMenuEject()
{
    MoveMenuDriveDoor(true);
}

void CDriveToolDlg::OnMenuClose()
{
    MoveMenuDriveDoor(false);
}

void CDriveToolDlg::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    m_trayMenu.MeasureItem(lpMeasureItemStruct);
    CDialog::OnMeasureItem(nIDCtl, lpMeasureItemStruct);
}
