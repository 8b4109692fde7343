#include "tests/support/gdi_count.h"

#include <set>

#include "tests/support/import_hook.h"

namespace gdicount {
namespace {

// The counts are read from other threads than the one that draws (the
// probe in the running program is called on threads of its own).
CRITICAL_SECTION g_lock;
std::set<HGDIOBJ>* g_live;
int g_created;
int g_failedDeletes;

template <class H>
H track(H h)
{
    if (h != nullptr) {
        EnterCriticalSection(&g_lock);
        g_live->insert(reinterpret_cast<HGDIOBJ>(h));
        ++g_created;
        LeaveCriticalSection(&g_lock);
    }
    return h;
}

BOOL untrack(HGDIOBJ h, BOOL ok)
{
    EnterCriticalSection(&g_lock);
    if (ok)
        g_live->erase(h);
    else
        ++g_failedDeletes;
    LeaveCriticalSection(&g_lock);
    return ok;
}

decltype(&::CreateSolidBrush) realCreateSolidBrush;
decltype(&::CreatePen) realCreatePen;
decltype(&::CreateFontIndirectA) realCreateFontIndirectA;
decltype(&::CreateFontA) realCreateFontA;
decltype(&::CreateBitmap) realCreateBitmap;
decltype(&::CreateDIBitmap) realCreateDIBitmap;
decltype(&::CreateCompatibleDC) realCreateCompatibleDC;
decltype(&::DeleteObject) realDeleteObject;
decltype(&::DeleteDC) realDeleteDC;

HBRUSH WINAPI hookCreateSolidBrush(COLORREF c) { return track(realCreateSolidBrush(c)); }
HPEN WINAPI hookCreatePen(int s, int w, COLORREF c) { return track(realCreatePen(s, w, c)); }
HFONT WINAPI hookCreateFontIndirectA(const LOGFONTA* lf) { return track(realCreateFontIndirectA(lf)); }
HFONT WINAPI hookCreateFontA(int a, int b, int c, int d, int e, DWORD f, DWORD g, DWORD h, DWORD i, DWORD j,
                             DWORD k, DWORD l, DWORD m, LPCSTR n)
{
    return track(realCreateFontA(a, b, c, d, e, f, g, h, i, j, k, l, m, n));
}
HBITMAP WINAPI hookCreateBitmap(int w, int h, UINT p, UINT b, const void* bits)
{
    return track(realCreateBitmap(w, h, p, b, bits));
}
HBITMAP WINAPI hookCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* h, DWORD f, const void* b, const BITMAPINFO* i,
                                  UINT u)
{
    return track(realCreateDIBitmap(dc, h, f, b, i, u));
}
HDC WINAPI hookCreateCompatibleDC(HDC dc) { return track(realCreateCompatibleDC(dc)); }
BOOL WINAPI hookDeleteObject(HGDIOBJ h) { return untrack(h, realDeleteObject(h)); }
BOOL WINAPI hookDeleteDC(HDC dc) { return untrack(reinterpret_cast<HGDIOBJ>(dc), realDeleteDC(dc)); }

#define HOOK(name) {#name, reinterpret_cast<void*>(hook##name), reinterpret_cast<void**>(&real##name)}
// The creators the program calls (framework/gdi, menu/), and the deletions.
const ImportHook kHooks[] = {
    HOOK(CreateSolidBrush), HOOK(CreatePen),      HOOK(CreateFontIndirectA), HOOK(CreateFontA), HOOK(CreateBitmap),
    HOOK(CreateDIBitmap),   HOOK(CreateCompatibleDC), HOOK(DeleteObject),    HOOK(DeleteDC),
};
#undef HOOK

template <class T>
T locked(const T& value)
{
    EnterCriticalSection(&g_lock);
    T copy = value;
    LeaveCriticalSection(&g_lock);
    return copy;
}

} // namespace

bool install()
{
    static int state; // 0 not tried, 1 installed, 2 failed
    if (state == 0) {
        InitializeCriticalSection(&g_lock);
        g_live = new std::set<HGDIOBJ>;
        redirectImports("gdi32.dll", kHooks, sizeof kHooks / sizeof kHooks[0]);
        // Without the deletions nothing could be counted as given back.
        state = realDeleteObject != nullptr && realDeleteDC != nullptr ? 1 : 2;
    }
    return state == 1;
}

int live()
{
    if (g_live == nullptr)
        return 0;
    EnterCriticalSection(&g_lock);
    int n = static_cast<int>(g_live->size());
    LeaveCriticalSection(&g_lock);
    return n;
}

int created()
{
    return g_live == nullptr ? 0 : locked(g_created);
}

int failedDeletes()
{
    return g_live == nullptr ? 0 : locked(g_failedDeletes);
}

} // namespace gdicount
