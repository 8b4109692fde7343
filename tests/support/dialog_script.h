// Runs a modal dialog of the program in this thread and works it from a
// script: once the dialog's window is up and painted, `script` runs with
// it, and the dialog is then closed with Escape.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/dialog.h"

// Dispatches this thread's messages until done() holds (the drive worker's
// answers come as messages); false when timeoutMs passed first.
template <class Done>
bool pumpUntil(Done done, DWORD timeoutMs = 10000)
{
    for (DWORD begin = GetTickCount(); !done();) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (GetTickCount() - begin > timeoutMs) {
            return false;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

inline void clickButton(HWND hDlg, int id)
{
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDlg, id)));
}

namespace dialog_script_detail {
inline CDialog*& dialog()
{
    static CDialog* d = nullptr;
    return d;
}
inline std::function<void(HWND)>& script()
{
    static std::function<void(HWND)> s;
    return s;
}
inline void CALLBACK step(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND hDlg = dialog()->m_hWnd;
    UpdateWindow(hDlg);
    script()(hDlg);
    PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
}
}  // namespace dialog_script_detail

inline void runScripted(CDialog& dlg, std::function<void(HWND)> script)
{
    dialog_script_detail::dialog() = &dlg;
    dialog_script_detail::script() = std::move(script);
    SetTimer(nullptr, 0, 10, dialog_script_detail::step);
    dlg.DoModal();
}
