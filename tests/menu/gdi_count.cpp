#include "tests/menu/gdi_count.h"

#include <cstring>
#include <set>

namespace gdicount {
namespace {

std::set<HGDIOBJ>& liveSet()
{
    static std::set<HGDIOBJ> s;
    return s;
}
int g_created;
int g_failedDeletes;

template <class H>
H track(H h)
{
    if (h != nullptr) {
        liveSet().insert(reinterpret_cast<HGDIOBJ>(h));
        ++g_created;
    }
    return h;
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
BOOL WINAPI hookDeleteObject(HGDIOBJ h)
{
    BOOL ok = realDeleteObject(h);
    if (!ok)
        ++g_failedDeletes;
    liveSet().erase(h);
    return ok;
}
BOOL WINAPI hookDeleteDC(HDC dc)
{
    BOOL ok = realDeleteDC(dc);
    if (!ok)
        ++g_failedDeletes;
    liveSet().erase(reinterpret_cast<HGDIOBJ>(dc));
    return ok;
}

struct Hook {
    const char* name;
    void* hook;
    void** real;
};

bool patch(const Hook* hooks, size_t count)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return false;
    size_t patched = 0;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "gdi32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            for (size_t i = 0; i < count; ++i) {
                if (std::strcmp(name, hooks[i].name) != 0)
                    continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
                *hooks[i].real = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(hooks[i].hook);
                VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
                ++patched;
            }
        }
    }
    return patched == count;
}

} // namespace

bool install()
{
    static int state; // 0 not tried, 1 installed, 2 failed
    if (state == 0) {
#define HOOK(name) {#name, reinterpret_cast<void*>(hook##name), reinterpret_cast<void**>(&real##name)}
        const Hook hooks[] = {
            HOOK(CreateSolidBrush), HOOK(CreatePen), HOOK(CreateFontIndirectA), HOOK(CreateFontA), HOOK(CreateBitmap),
            HOOK(CreateDIBitmap), HOOK(CreateCompatibleDC), HOOK(DeleteObject), HOOK(DeleteDC),
        };
#undef HOOK
        state = patch(hooks, sizeof(hooks) / sizeof(hooks[0])) ? 1 : 2;
    }
    return state == 1;
}

int live()
{
    return static_cast<int>(liveSet().size());
}

int created()
{
    return g_created;
}

int failedDeletes()
{
    return g_failedDeletes;
}

} // namespace gdicount
