// The start-up benchmark's yardstick: a program that shows one dialog and
// puts a text into it, as the main window puts in the first drive's status.
#include <windows.h>

namespace {

INT_PTR CALLBACK minimalProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetDlgItemTextA(hDlg, 1001, "52X");
        SetDlgItemTextA(hDlg, 1003, "52X");
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(DialogBoxParamA(hInstance, MAKEINTRESOURCEA(1), nullptr, minimalProc, 0));
}
