// A winmm.dll that a test plants beside kesvora.exe: once loaded, it leaves
// a file "winmm.dll-loaded" beside itself. It exports the function the
// program used to import from winmm.dll, so that such an import would load it.
#define WIN32_LEAN_AND_MEAN  // no declaration of the system's own function
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    char path[MAX_PATH + 8] = {};
    const DWORD n = GetModuleFileNameA(hInstance, path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && n > 0 && lstrcpyA(path + n, "-loaded") != nullptr)
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI mciSendCommandA(UINT, UINT, DWORD_PTR, DWORD_PTR)
{
    return 1;  // an error: no device
}
