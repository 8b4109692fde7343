// placeholder until the options dialog lands
#include "ui/options_dialog.h"

#include "res/resource.h"

// placeholder until the options dialog lands
COptionsDlg::COptionsDlg(CWnd* pParent) : CDialog(IDD_OPTIONS, pParent) {}
