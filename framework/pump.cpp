#include "framework/pump.h"

#include "framework/app.h"

void AfxPumpWaitingMessage()
{
    CWinApp* pApp = AfxGetApp();
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
        } else if (pApp == nullptr || !pApp->PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (pApp != nullptr) {
        pApp->OnIdle(0);
        pApp->OnIdle(1);
    }
}
