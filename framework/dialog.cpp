// CDialog: modal dialogs with a message loop of their own.
#include "framework/dialog.h"

#include "framework/app.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &ThisClass::OnOK)
    ON_COMMAND(IDCANCEL, &ThisClass::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent)
{
}

// Binds the dialog object when the window is made: from then on every
// message goes through WindowProc, and the dialog manager's own processing
// is reached as the default.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* pDialog = reinterpret_cast<CDialog*>(lParam);
    if (pDialog == nullptr || !pDialog->SubclassWindow(hWnd))
        return TRUE;
    return pDialog->OnInitDialog();
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInstance = ::GetModuleHandleA(nullptr);
    if (CWinApp* pApp = AfxGetApp(); pApp != nullptr && pApp->m_hInstance != nullptr)
        hInstance = pApp->m_hInstance;
    LPCSTR lpszTemplate = MAKEINTRESOURCEA(m_nIDTemplate);
    if (m_hWnd != nullptr || ::FindResourceA(hInstance, lpszTemplate, MAKEINTRESOURCEA(5) /* RT_DIALOG */) == nullptr)
        return -1;

    HWND hWndOwner = nullptr;
    if (m_pParentWnd != nullptr) {
        hWndOwner = m_pParentWnd->m_hWnd;
    } else if (CWnd* pMain = AfxGetMainWnd(); pMain != nullptr && pMain != this) {
        hWndOwner = pMain->m_hWnd;
    }
    // An owner that was disabled already (by a modal dialog further out)
    // stays disabled when this one ends.
    bool bEnableOwner = false;
    if (hWndOwner != nullptr && ::IsWindowEnabled(hWndOwner)) {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = true;
    }

    m_bModalEnded = false;
    m_nModalResult = -1;
    HWND hWnd = ::CreateDialogParamA(hInstance, lpszTemplate, hWndOwner, DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd != nullptr && !m_bModalEnded) {
        if (!(::GetWindowLongA(hWnd, GWL_STYLE) & WS_VISIBLE))
            ::ShowWindow(hWnd, SW_SHOWNORMAL);
        RunModalLoop();
    }

    if (bEnableOwner)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner != nullptr && ::IsWindow(hWndOwner))
        ::SetActiveWindow(hWndOwner);
    if (hWnd != nullptr) {
        if (m_hWnd == hWnd)
            DestroyWindow();
        else
            ::DestroyWindow(hWnd);
    }
    return hWnd != nullptr ? m_nModalResult : -1;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (!m_bModalEnded) {
        CWinApp* pApp = AfxGetApp();
        for (LONG lIdleCount = 0; !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);) {
            if (pApp == nullptr || !pApp->OnIdle(lIdleCount++))
                break;
            if (m_bModalEnded)
                return;
        }
        do {
            if (!::GetMessageA(&msg, nullptr, 0, 0)) {
                // Leave the quit message for the loops further out.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            bool bHandled = pApp != nullptr ? pApp->PreTranslateMessage(&msg) : PreTranslateMessage(&msg);
            if (!bHandled) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            if (m_bModalEnded)
                return;
        } while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bModalEnded = true;
    // Wakes the loop when this was called from outside a message, e.g. at idle.
    if (m_hWnd != nullptr)
        PostMessage(WM_NULL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    return m_hWnd != nullptr && ::IsDialogMessageA(m_hWnd, pMsg);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
