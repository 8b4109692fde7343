#include "ui/app.h"

#include "ui/main_dialog.h"

CDriveToolApp theApp;

BOOL CDriveToolApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    CDriveToolDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog object ends with this scope; nothing may reach it later.
    m_pMainWnd = nullptr;
    return FALSE;
}
