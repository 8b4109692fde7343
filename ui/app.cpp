#include "ui/app.h"

#include "ui/instance.h"
#include "ui/main_dialog.h"
#include "ui/system_library.h"

CDriveToolApp theApp;

BOOL CDriveToolApp::InitInstance()
{
    RestrictLibrarySearch();
    AfxEnableControlContainer();
    Enable3dControlsStatic();

    // Started at logon, the program reads and writes the settings file of
    // its own folder, as when it is started from there by hand.
    const bool bAutostart = HasAutostartSwitch(::GetCommandLineW());
    if (bAutostart)
        EnterProgramFolder();
    CSingleInstance instance;
    const InstanceClaim claim = instance.Claim(CDriveToolDlg::kSettingsFileW);
    if (claim != InstanceClaim::Claimed) {
        // A start by hand is told why no window comes; a start at logon ends quietly.
        if (claim == InstanceClaim::RunningElsewhere && !bAutostart)
            ReportRunningElsewhere(CDriveToolDlg::kSettingsFile);
        return FALSE;
    }

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
