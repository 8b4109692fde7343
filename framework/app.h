// CWinApp: the one application object. Its constructor registers it; the
// framework's WinMain runs InitInstance and, when that succeeds, Run.
#pragma once

#include <windows.h>

#include "framework/object.h"

class CWnd;

class CWinApp : public CObject {
    DECLARE_DYNAMIC(CWinApp)
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;

    virtual BOOL InitInstance();
    // The application's message loop, until WM_QUIT; returns ExitInstance.
    virtual int Run();
    // Offers the message to the permanent window objects from msg->hwnd up
    // through its parents; true when one of them handled it.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Idle-time work while the queue is empty, pass lCount = 0, 1, ...;
    // deletes the temporary window and menu wrappers. FALSE: nothing more to do.
    virtual BOOL OnIdle(LONG lCount);
    virtual int ExitInstance();

    // Registers the common control classes the program's dialogs use
    // (up-down and progress controls among them).
    void Enable3dControlsStatic();
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The program hosts no ActiveX controls: nothing to set up.
void AfxEnableControlContainer();
// A message box owned by the active window, captioned with the program's name.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
