#include "ui/about_dialog.h"

#include "framework/dpi.h"
#include "res/resource.h"
#include "ui/icons.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_MESSAGE(kWmDpiChanged, &CAboutDlg::OnDpiChanged)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg()
{
    // The window, and the control that showed the icon, are gone by now.
    if (m_hIcon != nullptr)
        ::DestroyIcon(m_hIcon);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowIcon(DpiOfWindow(m_hWnd));
    return TRUE;
}

LRESULT CAboutDlg::OnDpiChanged(WPARAM wParam, LPARAM /*lParam*/)
{
    Default();
    ShowIcon(ClampDpi(HIWORD(wParam)));
    return 0;
}

void CAboutDlg::ShowIcon(int nDpi)
{
    // The template's icon is the large one, which the system would stretch
    // from the nearest image; the largest image that fits is shown instead.
    HICON hIcon = LoadIconAtSize(IDR_MAINFRAME, IconSizeForPlace(SystemMetricForDpi(SM_CXICON, nDpi)));
    if (hIcon == nullptr)
        return;
    ::SendDlgItemMessageA(m_hWnd, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
    if (m_hIcon != nullptr)
        ::DestroyIcon(m_hIcon);
    m_hIcon = hIcon;
}
