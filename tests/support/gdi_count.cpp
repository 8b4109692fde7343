#include "tests/support/gdi_count.h"

#include <windows.h>

#include <atomic>

#include "tests/support/import_hook.h"

namespace gdicount {
namespace {

// Read by the probe in the running program on threads of its own.
std::atomic<int> g_made, g_deleted;

// The creators that framework/gdi and menu/ call: each hook passes its
// arguments on and counts the handle it gets.
#define COUNTED(R, name, params, args) \
    decltype(&::name) real##name;      \
    R WINAPI hook##name params { const R handle = real##name args; g_made += handle != nullptr; return handle; }
COUNTED(HBRUSH, CreateSolidBrush, (COLORREF c), (c))
COUNTED(HPEN, CreatePen, (int s, int w, COLORREF c), (s, w, c))
COUNTED(HFONT, CreateFontIndirectA, (const LOGFONTA* lf), (lf))
COUNTED(HFONT, CreateFontA, (int a, int b, int c, int d, int e, DWORD f, DWORD g, DWORD h, DWORD i, DWORD j, DWORD k,
                             DWORD l, DWORD m, LPCSTR n), (a, b, c, d, e, f, g, h, i, j, k, l, m, n))
COUNTED(HBITMAP, CreateBitmap, (int w, int h, UINT p, UINT b, const void* bits), (w, h, p, b, bits))
COUNTED(HBITMAP, CreateDIBitmap, (HDC dc, const BITMAPINFOHEADER* h, DWORD f, const void* b, const BITMAPINFO* i,
                                  UINT u), (dc, h, f, b, i, u))
COUNTED(HDC, CreateCompatibleDC, (HDC dc), (dc))
#undef COUNTED

decltype(&::DeleteObject) realDeleteObject;
decltype(&::DeleteDC) realDeleteDC;
BOOL WINAPI hookDeleteObject(HGDIOBJ h) { const BOOL ok = realDeleteObject(h); g_deleted += ok != FALSE; return ok; }
BOOL WINAPI hookDeleteDC(HDC dc) { const BOOL ok = realDeleteDC(dc); g_deleted += ok != FALSE; return ok; }

#define HOOK(name) {#name, reinterpret_cast<void*>(hook##name), reinterpret_cast<void**>(&real##name)}
const ImportHook kHooks[] = {
    HOOK(CreateSolidBrush), HOOK(CreatePen), HOOK(CreateFontIndirectA), HOOK(CreateFontA), HOOK(CreateBitmap),
    HOOK(CreateDIBitmap), HOOK(CreateCompatibleDC), HOOK(DeleteObject), HOOK(DeleteDC)};
#undef HOOK

} // namespace

bool install()
{
    static const bool installed = [] {
        redirectImports("gdi32.dll", kHooks, sizeof kHooks / sizeof kHooks[0]);
        return realDeleteObject != nullptr && realDeleteDC != nullptr;
    }();
    return installed;
}

int live()
{
    return g_made - g_deleted;
}

int created()
{
    return g_made;
}

} // namespace gdicount
