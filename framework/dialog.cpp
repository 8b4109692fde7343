// CDialog: modal dialogs with a message loop of their own.
#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/pump.h"

#include <cstring>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

namespace {

// Resource type of a dialog template's initial control data (the initial
// items of its list and combo boxes), stored under the template's id.
const LPCSTR kRtDlgInit = MAKEINTRESOURCEA(240);
// The record's message as resource compilers write it: the 16-bit values
// of LB_ADDSTRING and CB_ADDSTRING.
const WORD kDlgInitLbAddString = 0x0401;
const WORD kDlgInitCbAddString = 0x0403;

// Adds the initial items of the template's data block to its controls.
// The block is a run of records {WORD control id, WORD message, DWORD
// length, length bytes of a zero-terminated string} ending with a zero
// WORD; a record that runs past the resource ends the work, one with an
// unknown message or an unterminated string is passed over.
void ExecuteDlgInit(HWND hWnd, HINSTANCE hInstance, LPCSTR lpszTemplate)
{
    HRSRC hResource = ::FindResourceA(hInstance, lpszTemplate, kRtDlgInit);
    if (hResource == nullptr)
        return;
    const DWORD nSize = ::SizeofResource(hInstance, hResource);
    const BYTE* p = static_cast<const BYTE*>(::LockResource(::LoadResource(hInstance, hResource)));
    if (p == nullptr)
        return;
    const BYTE* const pEnd = p + nSize;
    while (pEnd - p >= 8) {
        WORD nID, nMessage;
        DWORD nLength;
        std::memcpy(&nID, p, sizeof nID);
        std::memcpy(&nMessage, p + 2, sizeof nMessage);
        std::memcpy(&nLength, p + 4, sizeof nLength);
        if (nID == 0)
            return;
        p += 8;
        if (nLength > static_cast<DWORD>(pEnd - p))
            return;
        UINT message = nMessage == kDlgInitCbAddString ? CB_ADDSTRING
                     : nMessage == kDlgInitLbAddString ? LB_ADDSTRING : 0;
        if (message != 0 && nLength > 0 && p[nLength - 1] == '\0')
            ::SendDlgItemMessageA(hWnd, nID, message, 0, reinterpret_cast<LPARAM>(p));
        p += nLength;
    }
}

} // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &ThisClass::OnOK)
    ON_COMMAND(IDCANCEL, &ThisClass::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent)
{
}

// Binds the dialog object when the window is made: from then on every
// message goes through WindowProc, and the dialog manager's own processing
// is reached as the default. The template's initial list items are in the
// controls before OnInitDialog runs.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* pDialog = reinterpret_cast<CDialog*>(lParam);
    if (pDialog == nullptr || !pDialog->SubclassWindow(hWnd))
        return TRUE;
    ExecuteDlgInit(hWnd, reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hWnd, GWLP_HINSTANCE)),
                   MAKEINTRESOURCEA(pDialog->m_nIDTemplate));
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
            if (!AfxPumpMessage(msg, this)) {
                // Leave the quit message for the loops further out.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
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
