// Dialog data exchange and validation.
#include "framework/ddx.h"

#include <climits>

#include "framework/app.h"
#include "framework/wnd.h"

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
{
}

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWndCtrl = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
    m_hWndLastControl = hWndCtrl;
    m_bEditLastControl = FALSE;
    return hWndCtrl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC)
{
    HWND hWndCtrl = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hWndCtrl;
}

void CDataExchange::Fail()
{
    if (m_hWndLastControl != nullptr) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    m_bFail = TRUE;
}

bool ParseDdxInt(const char* psz, int& value)
{
    if (psz == nullptr)
        return false;
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    const char* p = psz;
    while (isBlank(*p))
        ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-')
        bNegative = *p++ == '-';
    const long long limit = bNegative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    int nDigits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++nDigits) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > limit)
            return false;
    }
    while (isBlank(*p))
        ++p;
    if (nDigits == 0 || *p != '\0')
        return false;
    value = static_cast<int>(bNegative ? -magnitude : magnitude);
    return true;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (pDX->m_bFail || rControl.m_hWnd != nullptr)
        return;
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl != nullptr)
        rControl.SubclassWindow(hWndCtrl);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    if (pDX->m_bFail)
        return;
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (hWndCtrl == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        int nLength = ::GetWindowTextLengthA(hWndCtrl);
        char* buffer = value.GetBuffer(nLength > 0 ? nLength : 0);
        int nCopied = ::GetWindowTextA(hWndCtrl, buffer, (nLength > 0 ? nLength : 0) + 1);
        value.ReleaseBuffer(nCopied > 0 ? nCopied : 0);
    } else {
        ::SetWindowTextA(hWndCtrl, value);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    if (pDX->m_bFail)
        return;
    HWND hWndCtrl = pDX->PrepareEditCtrl(nIDC);
    if (hWndCtrl == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        char text[64] = "";
        int nLength = ::GetWindowTextLengthA(hWndCtrl);
        int nParsed = 0;
        // Longer than any integer with blanks around it can sensibly be.
        if (nLength < static_cast<int>(sizeof text))
            ::GetWindowTextA(hWndCtrl, text, sizeof text);
        if (nLength >= static_cast<int>(sizeof text) || !ParseDdxInt(text, nParsed)) {
            AfxMessageBox("请键入一个整数。", MB_ICONEXCLAMATION | MB_OK);
            pDX->Fail();
            return;
        }
        value = nParsed;
    } else {
        CString text;
        text.Format("%d", value);
        ::SetWindowTextA(hWndCtrl, text);
    }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    if (pDX->m_bFail)
        return;
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (hWndCtrl == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(hWndCtrl, BM_GETCHECK, 0, 0));
    } else {
        // Unchecked, checked or indeterminate; any other non-zero is checked.
        int nCheck = (value >= BST_UNCHECKED && value <= BST_INDETERMINATE) ? value : BST_CHECKED;
        ::SendMessageA(hWndCtrl, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->m_bFail || !pDX->m_bSaveAndValidate)
        return;
    if (value >= minVal && value <= maxVal)
        return;
    CString message;
    message.Format("请输入一个介于 %d 和 %d 之间的整数。", minVal, maxVal);
    AfxMessageBox(message, MB_ICONEXCLAMATION | MB_OK);
    pDX->Fail();
}
