// CWinApp, the framework's entry point and the application-wide helpers.
#include "framework/app.h"

#include <commctrl.h>

#include "framework/cstring.h"
#include "framework/menu.h"
#include "framework/pump.h"
#include "framework/wnd.h"

IMPLEMENT_DYNAMIC(CWinApp, CObject)

namespace {

CWinApp* g_pApp = nullptr;

} // namespace

CWinApp::CWinApp()
{
    // The first application object is the application; any other is ignored.
    if (g_pApp == nullptr)
        g_pApp = this;
    m_hInstance = ::GetModuleHandleA(nullptr);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        for (LONG lIdleCount = 0; !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);) {
            if (!OnIdle(lIdleCount++))
                break;
        }
        if (!AfxPumpMessage(msg))
            break;
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        if (CWnd* pWnd = CWnd::FromHandlePermanent(hWnd); pWnd != nullptr && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        // Stop at the top-level window: its owner is another window's business.
        if (!(::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}

BOOL CWinApp::OnIdle(LONG)
{
    CWnd::DeleteTempMap();
    CMenu::DeleteTempMap();
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::Enable3dControlsStatic()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr;
}

void AfxEnableControlContainer()
{
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    // The caption: the program's file name without folder and extension.
    char path[MAX_PATH] = "";
    DWORD nLength = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        path[0] = '\0';
    // Walk by characters: a double-byte character may end in a '\\' byte.
    const char* pszName = path;
    const char* pszDot = nullptr;
    for (const char* p = path; *p != '\0'; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            pszName = p + 1;
            pszDot = nullptr;
        } else if (*p == '.') {
            pszDot = p;
        }
    }
    CString caption = pszDot != nullptr && pszDot > pszName
        ? CString(pszName, static_cast<int>(pszDot - pszName)) : CString(pszName);

    HWND hWndOwner = ::GetActiveWindow();
    if (hWndOwner == nullptr) {
        if (CWnd* pMain = AfxGetMainWnd())
            hWndOwner = pMain->m_hWnd;
    }
    return ::MessageBoxA(hWndOwner, lpszText ? lpszText : "", caption, nType);
}

// The framework's entry point: runs the one application object.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return -1;
    pApp->m_hInstance = hInstance;
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
