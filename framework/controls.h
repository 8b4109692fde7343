// Control wrappers: each method forwards to one control message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/cstring.h"
#include "framework/wnd.h"

class CButton : public CWnd {
public:
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
};

class CEdit : public CWnd {
};

class CComboBox : public CWnd {
public:
    int AddString(LPCSTR lpszString) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString))); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCurSel() { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
    int GetCount() { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetLBTextLen(int nIndex) { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex))); }
    // An index out of range gives an empty string.
    void GetLBText(int nIndex, CString& rString);
};

class CListBox : public CWnd {
public:
    int AddString(LPCSTR lpszString) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString))); }
    int DeleteString(UINT nIndex) { return static_cast<int>(SendMessage(LB_DELETESTRING, nIndex)); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int GetCurSel() { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int GetCount() { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetTextLen(int nIndex) { return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(nIndex))); }
    // An index out of range gives an empty string.
    void GetText(int nIndex, CString& rString);
};

class CSpinButtonCtrl : public CWnd {
public:
    void SetRange(int nLower, int nUpper) { SendMessage(UDM_SETRANGE, 0, MAKELPARAM(nUpper, nLower)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos))); }
};
