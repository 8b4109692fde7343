// The About box: program name, version and rights notice, and the
// program's icon at the size of the display's scale.
#pragma once

#include "framework/afxwin.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    BOOL OnInitDialog() override;
    // The box went to a display of another scale.
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    // Shows the icon image that fits the large icon's size at nDpi.
    void ShowIcon(int nDpi);

    HICON m_hIcon = nullptr;
};
