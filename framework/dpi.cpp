#include "framework/dpi.h"

namespace {

// The calls of newer systems, or null where the system lacks them.
template <class Proc>
Proc userCall(const char* pszName)
{
    HMODULE hUser = ::GetModuleHandleA("user32.dll");
    return hUser != nullptr ? reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(hUser, pszName)))
                            : nullptr;
}

// True when the calling thread draws each display at its own scale.
bool ThreadIsPerMonitorAware()
{
    typedef void*(WINAPI * ContextProc)();
    typedef int(WINAPI * AwarenessProc)(void*);
    const int kPerMonitorAware = 2;  // DPI_AWARENESS_PER_MONITOR_AWARE
    static const ContextProc pContext = userCall<ContextProc>("GetThreadDpiAwarenessContext");
    static const AwarenessProc pAwareness = userCall<AwarenessProc>("GetAwarenessFromDpiAwarenessContext");
    return pContext != nullptr && pAwareness != nullptr && pAwareness(pContext()) == kPerMonitorAware;
}

// GetDpiForMonitor, from the system folder only: the library does not
// exist before Windows 8.1, and a copy of that name in the program's
// folder must not be loaded instead. Null where it cannot be had.
typedef HRESULT(WINAPI* MonitorDpiProc)(HMONITOR, int, UINT*, UINT*);
MonitorDpiProc MonitorDpiCall()
{
    const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    static const MonitorDpiProc pCall = [] {
        HMODULE hShcore = ::LoadLibraryExA("shcore.dll", nullptr, kSearchSystem32);
        return hShcore != nullptr ? reinterpret_cast<MonitorDpiProc>(
                                        reinterpret_cast<void*>(::GetProcAddress(hShcore, "GetDpiForMonitor")))
                                  : nullptr;
    }();
    return pCall;
}

}  // namespace

int ClampDpi(int nDpi)
{
    if (nDpi <= 0)
        return kDefaultDpi;
    return nDpi < kMinDpi ? kMinDpi : nDpi > kMaxDpi ? kMaxDpi : nDpi;
}

int SystemDpi()
{
    HDC hScreen = ::GetDC(nullptr);
    const int nDpi = hScreen != nullptr ? ::GetDeviceCaps(hScreen, LOGPIXELSY) : 0;
    if (hScreen != nullptr)
        ::ReleaseDC(nullptr, hScreen);
    return ClampDpi(nDpi);
}

int DpiAtPoint(POINT pt)
{
    const int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    UINT nDpiX = 0, nDpiY = 0;
    MonitorDpiProc pMonitorDpi = ThreadIsPerMonitorAware() ? MonitorDpiCall() : nullptr;
    if (pMonitorDpi != nullptr &&
        SUCCEEDED(pMonitorDpi(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &nDpiX, &nDpiY)))
        return ClampDpi(static_cast<int>(nDpiY));
    return SystemDpi();
}

int DpiOfWindow(HWND hWnd)
{
    typedef UINT(WINAPI * WindowDpiProc)(HWND);
    static const WindowDpiProc pCall = userCall<WindowDpiProc>("GetDpiForWindow");
    const UINT nDpi = pCall != nullptr && hWnd != nullptr ? pCall(hWnd) : 0;
    return nDpi != 0 ? ClampDpi(static_cast<int>(nDpi)) : SystemDpi();
}

int SystemMetricForDpi(int nIndex, int nDpi)
{
    typedef int(WINAPI * MetricProc)(int, UINT);
    static const MetricProc pCall = userCall<MetricProc>("GetSystemMetricsForDpi");
    if (pCall != nullptr)
        return pCall(nIndex, static_cast<UINT>(nDpi));
    return ::MulDiv(::GetSystemMetrics(nIndex), nDpi, SystemDpi());
}
