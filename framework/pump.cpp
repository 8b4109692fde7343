#include "framework/pump.h"

#include "framework/app.h"
#include "framework/wnd.h"

BOOL AfxPumpMessage(MSG& msg, CWnd* pFallback)
{
    if (!::GetMessageA(&msg, nullptr, 0, 0))
        return FALSE;
    CWinApp* pApp = AfxGetApp();
    bool bHandled = pApp != nullptr ? pApp->PreTranslateMessage(&msg)
                                    : pFallback != nullptr && pFallback->PreTranslateMessage(&msg);
    if (!bHandled) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return TRUE;
}

void AfxPumpWaitingMessage()
{
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && !AfxPumpMessage(msg))
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    if (CWinApp* pApp = AfxGetApp()) {
        pApp->OnIdle(0);
        pApp->OnIdle(1);
    }
}
