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

namespace {

const char kTrayTip[] = "Zurivovi2.0.0";

const UINT kTrayRetryMs = 2000;

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
      m_panel(*this, m_drives, m_speedMemory),
      m_trayMenu(m_drives, m_speedMemory)
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
    m_drives.Detect(m_settings);
    if (m_drives.GetCount() == 0) {
        ::MessageBoxA(m_hWnd, "程序发生错误,在系统中找不到光驱!", "程序错误", MB_ICONERROR);
        EndDialog(0);
        return FALSE;
    }

    m_speedMemory.RestoreAtStart(m_drives);
    m_panel.Init();
    m_trayMenu.Build();
    SetForegroundWindow();
    return TRUE;
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
    m_drives.Clear();
    m_trayIcon.Remove();
    closeTransport();
    // The popup menu goes with the window that shows it.
    m_trayMenu.Destroy();
    FreeWindowIcons(m_hWnd);
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
    m_panel.Refresh();
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
    COptionsDlg dlg(m_settings, m_panel.GetSelectedDrive(), m_panel.SpeedSelector());
    m_pOptionsDlg = &dlg;
    dlg.DoModal();
    m_pOptionsDlg = nullptr;
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

LRESULT CDriveToolDlg::OnDeviceChange(WPARAM wParam, LPARAM lParam)
{
    VolumeChange change = ReadVolumeChange(wParam, lParam);
    if (change.kind == VolumeChange::VolumeArrived || change.kind == VolumeChange::VolumeRemoved) {
        // A drive plugged in again may hold another letter: the door
        // commands follow the drive, not the letter.
        m_drives.MatchLettersAgain();
        m_panel.ShowDriveLabels();
    }
    // A drive that was given a disc, or was plugged in again, has gone back
    // to its own default speed.
    if (change.kind == VolumeChange::MediaArrived || change.kind == VolumeChange::VolumeArrived)
        m_speedMemory.ReapplyToLetters(m_drives, change.dwUnitMask);
    return TRUE;
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

void CDriveToolDlg::OnMenuEject()
{
    if (CdDrive* pDrive = m_trayMenu.GetMenuDrive())
        SetDriveDoor(true, pDrive->letter);
}

void CDriveToolDlg::OnMenuClose()
{
    if (CdDrive* pDrive = m_trayMenu.GetMenuDrive())
        SetDriveDoor(false, pDrive->letter);
}

void CDriveToolDlg::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    m_trayMenu.MeasureItem(lpMeasureItemStruct);
    CDialog::OnMeasureItem(nIDCtl, lpMeasureItemStruct);
}
