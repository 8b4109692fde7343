// The options dialog.
// placeholder until the options dialog lands
#pragma once

#include "framework/afxwin.h"

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(CWnd* pParent = nullptr);
};
