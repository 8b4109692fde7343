// Control wrappers whose answers need a buffer or two values.
#include "framework/controls.h"

void CComboBox::GetLBText(int nIndex, CString& rString)
{
    int nLength = GetLBTextLen(nIndex);
    if (nLength <= 0) {
        rString.Empty();
        return;
    }
    char* buffer = rString.GetBuffer(nLength);
    LRESULT nCopied = SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer));
    rString.ReleaseBuffer(nCopied > 0 && nCopied <= nLength ? static_cast<int>(nCopied) : 0);
}

void CListBox::GetText(int nIndex, CString& rString)
{
    int nLength = GetTextLen(nIndex);
    if (nLength <= 0) {
        rString.Empty();
        return;
    }
    char* buffer = rString.GetBuffer(nLength);
    LRESULT nCopied = SendMessage(LB_GETTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer));
    rString.ReleaseBuffer(nCopied > 0 && nCopied <= nLength ? static_cast<int>(nCopied) : 0);
}

