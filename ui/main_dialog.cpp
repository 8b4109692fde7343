// The main dialog: start-up, the message map, painting, minimising to the
// notification area and the end of the program.
#include "ui/main_dialog.h"

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "drive/discovery.h"
#include "drive/transport.h"
#include "framework/record_sizes.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "ui/about_dialog.h"

namespace {

const char kSettingsFile[] = ".\\cdrom.ini";
const char kKeySpeedNames[] = "speedNames";
const char kKeyKbSpeeds[] = "kbSpeeds";
const char kTrayTip[] = "Zurivovi2.0.0";

HICON LoadAppIcon()
{
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

}  // namespace

// Sent to every top-level window when the taskbar (re)starts, so that the
// notification icon can be put back.
static const UINT s_uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");

BEGIN_MESSAGE_MAP(CDriveToolDlg, CDialog)
    ON_COMMAND_RANGE(ID_TRAY_DRIVE_FIRST, ID_TRAY_SPEED_LAST, &CDriveToolDlg::OnTrayMenuCommand)
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
    ON_COMMAND(ID_TRAY_ABOUT, &CDriveToolDlg::OnTrayAbout)
    ON_WM_ENDSESSION()
END_MESSAGE_MAP()

CDriveToolDlg::CDriveToolDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent)
{
    m_hIcon = LoadAppIcon();
}

void CDriveToolDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
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
    DDV_MinMaxInt(pDX, m_nRefreshSecs, 1, 600);
    // The up-down control's range is set at every exchange, also after a
    // failed one, so that it never steps outside the valid interval.
    m_spinInterval.SetRange(1, 600);
}

BOOL CDriveToolDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The spin-down names come with the template; a framework that does not
    // apply a template's initial items leaves the list empty, so fill it.
    if (m_cbSpindown.GetCount() <= 0) {
        for (unsigned code = 1; code <= 15; ++code)
            m_cbSpindown.AddString(spindownName(code));
    }

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        char szAbout[256] = {};
        ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, szAbout, sizeof szAbout);
        if (szAbout[0] != '\0') {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_bTrayIconAdded = false;
    m_nid = NOTIFYICONDATAA{};
    m_nid.cbSize = kNotifyIconDataV1Size;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = TRAY_ICON_ID;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = LoadAppIcon();
    lstrcpynA(m_nid.szTip, kTrayTip, sizeof m_nid.szTip);

    m_settings.setFileName(kSettingsFile);
    m_bFirstPaintDone = false;

    m_pDrives = new CObList(10);
    detectDrives(m_pDrives);
    matchDriveLetters(m_pDrives);
    LoadSpeedLists();

    if (m_pDrives->IsEmpty()) {
        ::MessageBoxA(m_hWnd, "程序发生错误,在系统中找不到光驱!", "程序错误", MB_ICONERROR);
        EndDialog(0);
        return FALSE;
    }

    m_cbDrive.SetCurSel(0);
    m_nMenuDriveCmd = ID_TRAY_DRIVE_FIRST;
    m_nMenuSpeedCmd = 0;
    OnSelChangeDrive();
    BuildTrayMenu();

    CdDrive* pDrive = GetSelectedDrive();
    if (pDrive != nullptr) {
        // The lock capability and the spin-down kind of the first drive
        // decide for the whole run.
        BOOL bLockable = (pDrive->getLock() & 0x01) != 0;
        GetDlgItem(IDC_LOCK)->EnableWindow(bLockable);
        GetDlgItem(IDC_UNLOCK)->EnableWindow(bLockable);
        m_chkLocked.EnableWindow(bLockable);
        if (spindownName(pDrive->getSpindown()) == "VS")
            m_cbSpindown.EnableWindow(FALSE);
    }

    RefreshStatus();
    return TRUE;
}

// Fills the drive list with one item per drive and gives each drive the
// speed lists stored for it (empty ones when there are none).
void CDriveToolDlg::LoadSpeedLists()
{
    for (POSITION pos = m_pDrives->GetHeadPosition(); pos != nullptr;) {
        CdDrive* pDrive = static_cast<CdDrive*>(m_pDrives->GetNext(pos));
        CString strItem;
        strItem.Format("[%s] %c:\\ %s", pDrive->address.GetString(), pDrive->letter, pDrive->name.GetString());
        m_cbDrive.AddString(strItem);
        pDrive->replaceSpeedNames(m_settings.getStringList(pDrive->address, kKeySpeedNames, ""));
        pDrive->replaceKbSpeeds(m_settings.getStringList(pDrive->address, kKeyKbSpeeds, ""));
    }
}

// Writes every drive's two speed lists to the settings file.
void CDriveToolDlg::SaveSpeedLists()
{
    if (m_pDrives == nullptr)
        return;
    for (POSITION pos = m_pDrives->GetHeadPosition(); pos != nullptr;) {
        CdDrive* pDrive = static_cast<CdDrive*>(m_pDrives->GetNext(pos));
        if (pDrive->speedNames != nullptr)
            m_settings.writeStringList(pDrive->address, kKeySpeedNames, *pDrive->speedNames);
        if (pDrive->kbSpeeds != nullptr)
            m_settings.writeStringList(pDrive->address, kKeyKbSpeeds, *pDrive->kbSpeeds);
    }
}

CdDrive* CDriveToolDlg::GetSelectedDrive()
{
    if (m_pDrives == nullptr || m_cbDrive.m_hWnd == nullptr)
        return nullptr;
    int nSel = m_cbDrive.GetCurSel();
    if (nSel < 0)
        return nullptr;
    POSITION pos = m_pDrives->FindIndex(nSel);
    return pos != nullptr ? static_cast<CdDrive*>(m_pDrives->GetAt(pos)) : nullptr;
}

void CDriveToolDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    // The low four bits of a system command are the system's own.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else if ((nID & 0xFFF0) == SC_MINIMIZE) {
        if (!m_bTrayIconAdded) {
            ::Shell_NotifyIconA(NIM_ADD, &m_nid);
            m_bTrayIconAdded = true;
        }
        ShowWindow(SW_MINIMIZE);
        ShowWindow(SW_HIDE);
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
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
        if (m_settings.getBool("System", "RunMin", 0))
            OnSysCommand(SC_MINIMIZE, 0);
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

    SaveSpeedLists();

    if (m_pDrives != nullptr) {
        for (POSITION pos = m_pDrives->GetHeadPosition(); pos != nullptr;)
            delete static_cast<CdDrive*>(m_pDrives->GetNext(pos));
        m_pDrives->RemoveAll();
        delete m_pDrives;
        m_pDrives = nullptr;
    }

    ::Shell_NotifyIconA(NIM_DELETE, &m_nid);
    m_bTrayIconAdded = false;
    freeASPI();

    // The popup menu goes with the window that shows it.
    delete m_pTrayMenu;
    m_pTrayMenu = nullptr;
}

void CDriveToolDlg::OnEndSession(BOOL bEnding)
{
    // The session may end while the window lives hidden in the notification
    // area, and then it is never destroyed: keep the speed lists now.
    if (bEnding)
        SaveSpeedLists();
    CDialog::OnEndSession(bEnding);
}
