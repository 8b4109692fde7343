#include "ui/app.h"

#include "ui/instance.h"
#include "ui/main_dialog.h"

CDriveToolApp theApp;

BOOL CDriveToolApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    // Started at logon, the program reads and writes the settings file of
    // its own folder, as when it is started from there by hand.
    if (HasAutostartSwitch(::GetCommandLineW()))
        EnterProgramFolder();
    CSingleInstance instance;
    if (!instance.Claim(CDriveToolDlg::kSettingsFileW))
        return FALSE;

    CDriveToolDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // Everything is saved; a drive that holds the drive worker up must not
    // hold the program up as well, nor meet the drives being freed.
    if (dlg.DriveWorkerHeldUp())
        ::ExitProcess(0);
    // The dialog object ends with this scope; nothing may reach it later.
    m_pMainWnd = nullptr;
    return FALSE;
}
