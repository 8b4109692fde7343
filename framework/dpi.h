// Display scale: the DPI that a window, a point of the screen or the whole
// session is drawn at, and system metrics for a DPI. The calls that know
// of more than one scale (Windows 8.1 and 10) are looked up at run time;
// where they are missing, every display has the session's DPI.
#pragma once

#include <windows.h>

// WM_DPICHANGED, sent to a per-monitor aware window whose display scale
// changed: wParam holds the new DPI, lParam the suggested window rectangle.
// The headers for the oldest systems the program runs on do not name it.
const UINT kWmDpiChanged = 0x02E0;

// The DPI of 100% display scale: the unit of every nominal pixel size.
const int kDefaultDpi = 96;
// The range drawn for: 50% to 500%, the largest scale the system offers.
const int kMinDpi = 48;
const int kMaxDpi = 480;

// nDpi within the range drawn for; a value that is not positive (a call
// that failed, a broken setting) counts as 100%.
int ClampDpi(int nDpi);
// The session's DPI (the scale of the main display at logon): what every
// window is drawn at where a thread is not per-monitor aware.
int SystemDpi();
// The DPI of the display that holds pt when the calling thread is
// per-monitor aware; the session's otherwise.
int DpiAtPoint(POINT pt);
// The DPI hWnd is drawn at; the session's where the system cannot say.
int DpiOfWindow(HWND hWnd);
// GetSystemMetrics(nIndex) as at nDpi.
int SystemMetricForDpi(int nIndex, int nDpi);
// n pixels at 100% as pixels at nDpi.
inline int ScaleForDpi(int n, int nDpi)
{
    return ::MulDiv(n, nDpi, kDefaultDpi);
}
