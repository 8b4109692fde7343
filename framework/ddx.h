// Dialog data exchange: moving values between a dialog's members and its
// controls, in either direction, with validation when reading. A failed
// exchange tells the user, puts the focus on the offending control and
// makes every later call of the same exchange do nothing.
#pragma once

#include <windows.h>

#include "framework/cstring.h"

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate; // TRUE: controls → members, with validation
    CWnd* m_pDlgWnd;
    BOOL m_bFail = FALSE;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;

    // The control nID of the dialog, remembered as the last control; null
    // when the dialog has no such control.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Ends the exchange as failed: focus to the last control (its text
    // selected when it is an edit).
    void Fail();
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);

// Reads a whole decimal integer: optional blanks, optional sign, digits,
// optional blanks. False for anything else or a value beyond 32 bits.
bool ParseDdxInt(const char* psz, int& value);
