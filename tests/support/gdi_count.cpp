#include "tests/support/gdi_count.h"

#include <windows.h>

#include <atomic>

#include "tests/support/import_hook.h"

namespace gdicount {
namespace {

// Read by the probe in the running program on threads of its own.
std::atomic<int> g_made, g_deleted;

// The creators that framework/gdi and menu/ call and the two deleters: each
// hook passes its arguments on and counts the handle it gets or the success.
#define COUNTED(counter, R, name, params, args) \
    decltype(&::name) real##name;               \
    R WINAPI hook##name params { const R r = real##name args; counter += r != R(); return r; }
COUNTED(g_made, HBRUSH, CreateSolidBrush, (COLORREF c), (c))
COUNTED(g_made, HPEN, CreatePen, (int s, int w, COLORREF c), (s, w, c))
COUNTED(g_made, HFONT, CreateFontIndirectA, (const LOGFONTA* lf), (lf))
COUNTED(g_made, HFONT, CreateFontA, (int a, int b, int c, int d, int e, DWORD f, DWORD g, DWORD h, DWORD i, DWORD j,
                                     DWORD k, DWORD l, DWORD m, LPCSTR n), (a, b, c, d, e, f, g, h, i, j, k, l, m, n))
COUNTED(g_made, HBITMAP, CreateBitmap, (int w, int h, UINT p, UINT b, const void* bits), (w, h, p, b, bits))
COUNTED(g_made, HBITMAP, CreateDIBitmap, (HDC dc, const BITMAPINFOHEADER* h, DWORD f, const void* b,
                                          const BITMAPINFO* i, UINT u), (dc, h, f, b, i, u))
COUNTED(g_made, HDC, CreateCompatibleDC, (HDC dc), (dc))
COUNTED(g_deleted, BOOL, DeleteObject, (HGDIOBJ h), (h))
COUNTED(g_deleted, BOOL, DeleteDC, (HDC dc), (dc))
#undef COUNTED

#define HOOK(name) {#name, reinterpret_cast<void*>(hook##name), reinterpret_cast<void**>(&real##name)}
const ImportHook kHooks[] = {HOOK(CreateSolidBrush), HOOK(CreatePen), HOOK(CreateFontIndirectA), HOOK(CreateFontA),
                             HOOK(CreateBitmap), HOOK(CreateDIBitmap), HOOK(CreateCompatibleDC), HOOK(DeleteObject), HOOK(DeleteDC)};
#undef HOOK

} // namespace

bool install()
{
    static bool s_redirected = false;
    if (!s_redirected) {
        redirectImports("gdi32.dll", kHooks, sizeof kHooks / sizeof kHooks[0]);
        s_redirected = true;
    }
    // Without the deletions nothing could be counted as given back.
    return realDeleteObject != nullptr && realDeleteDC != nullptr;
}

int live() { return g_made - g_deleted; }
int created() { return g_made; }

} // namespace gdicount
