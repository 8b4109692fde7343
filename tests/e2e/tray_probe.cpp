// A probe that the tray tests load into the running kesvora.exe: a menu
// belongs to the process that made it, and another process cannot read its
// items, so the tests run these functions inside the program (each is a
// thread procedure started from outside) and read what they write.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "menu/drawn_menu_entry.h"

namespace {

// What a drawn item shows: the caption of its entry; plain items their text.
std::string itemText(HMENU hMenu, int pos, const MENUITEMINFOA& mii)
{
    if ((mii.fType & MFT_OWNERDRAW) != 0) {
        const CDrawnMenuEntry* pEntry = reinterpret_cast<const CDrawnMenuEntry*>(mii.dwItemData);
        if (pEntry == nullptr || IsBadReadPtr(pEntry, sizeof *pEntry) ||
            pEntry->m_dwSignature != DRAWN_MENU_ENTRY_SIGNATURE)
            return "<no entry>";
        std::string s = pEntry->m_strCaption.GetString();
        if (pEntry->m_bBanner)
            return "<banner>" + s;
        if (pEntry->m_bDivider)
            return "<divider>";
        return s;
    }
    char buf[512] = {};
    GetMenuStringA(hMenu, static_cast<UINT>(pos), buf, sizeof buf, MF_BYPOSITION);
    return buf;
}

void dump(FILE* f, HMENU hMenu, int depth)
{
    int n = GetMenuItemCount(hMenu);
    for (int pos = 0; pos < n; ++pos) {
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
        if (!GetMenuItemInfoA(hMenu, static_cast<UINT>(pos), TRUE, &mii))
            continue;
        // depth, id, state, owner-drawn, has sub-menu, text
        std::fprintf(f, "%d\t%u\t%u\t%d\t%d\t%s\n", depth, mii.wID,
                     GetMenuState(hMenu, static_cast<UINT>(pos), MF_BYPOSITION),
                     (mii.fType & MFT_OWNERDRAW) != 0 ? 1 : 0, mii.hSubMenu != nullptr ? 1 : 0,
                     itemText(hMenu, pos, mii).c_str());
        if (mii.hSubMenu != nullptr)
            dump(f, mii.hSubMenu, depth + 1);
    }
}

// GDI objects made by the program itself and not yet deleted: its imports
// of the gdi32 functions that make and delete objects are redirected here.
CRITICAL_SECTION g_lock;
std::set<HGDIOBJ>* g_live;
DWORD g_made;  // objects made in all, deleted or not

void track(void* h)
{
    if (h == nullptr)
        return;
    EnterCriticalSection(&g_lock);
    g_live->insert(h);
    ++g_made;
    LeaveCriticalSection(&g_lock);
}

void untrack(void* h)
{
    EnterCriticalSection(&g_lock);
    g_live->erase(h);
    LeaveCriticalSection(&g_lock);
}

decltype(&::CreateSolidBrush) realCreateSolidBrush;
decltype(&::CreatePen) realCreatePen;
decltype(&::CreateFontIndirectA) realCreateFontIndirectA;
decltype(&::CreateBitmap) realCreateBitmap;
decltype(&::CreateCompatibleBitmap) realCreateCompatibleBitmap;
decltype(&::CreateDIBSection) realCreateDIBSection;
decltype(&::CreateDIBitmap) realCreateDIBitmap;
decltype(&::CreateCompatibleDC) realCreateCompatibleDC;
decltype(&::CreateRectRgn) realCreateRectRgn;
decltype(&::CreatePatternBrush) realCreatePatternBrush;
decltype(&::DeleteObject) realDeleteObject;
decltype(&::DeleteDC) realDeleteDC;

HBRUSH WINAPI hookCreateSolidBrush(COLORREF c) { HBRUSH h = realCreateSolidBrush(c); track(h); return h; }
HPEN WINAPI hookCreatePen(int s, int w, COLORREF c) { HPEN h = realCreatePen(s, w, c); track(h); return h; }
HFONT WINAPI hookCreateFontIndirectA(const LOGFONTA* lf) { HFONT h = realCreateFontIndirectA(lf); track(h); return h; }
HBITMAP WINAPI hookCreateBitmap(int w, int ht, UINT p, UINT b, const void* bits)
{
    HBITMAP h = realCreateBitmap(w, ht, p, b, bits);
    track(h);
    return h;
}
HBITMAP WINAPI hookCreateCompatibleBitmap(HDC dc, int w, int ht)
{
    HBITMAP h = realCreateCompatibleBitmap(dc, w, ht);
    track(h);
    return h;
}
HBITMAP WINAPI hookCreateDIBSection(HDC dc, const BITMAPINFO* bi, UINT u, void** bits, HANDLE s, DWORD o)
{
    HBITMAP h = realCreateDIBSection(dc, bi, u, bits, s, o);
    track(h);
    return h;
}
HBITMAP WINAPI hookCreateDIBitmap(HDC dc, const BITMAPINFOHEADER* hdr, DWORD f, const void* b, const BITMAPINFO* i,
                                  UINT u)
{
    HBITMAP h = realCreateDIBitmap(dc, hdr, f, b, i, u);
    track(h);
    return h;
}
HDC WINAPI hookCreateCompatibleDC(HDC dc) { HDC h = realCreateCompatibleDC(dc); track(h); return h; }
HRGN WINAPI hookCreateRectRgn(int a, int b, int c, int d) { HRGN h = realCreateRectRgn(a, b, c, d); track(h); return h; }
HBRUSH WINAPI hookCreatePatternBrush(HBITMAP bm) { HBRUSH h = realCreatePatternBrush(bm); track(h); return h; }
BOOL WINAPI hookDeleteObject(HGDIOBJ h) { BOOL ok = realDeleteObject(h); if (ok) untrack(h); return ok; }
BOOL WINAPI hookDeleteDC(HDC h) { BOOL ok = realDeleteDC(h); if (ok) untrack(h); return ok; }

struct Hook {
    const char* name;
    void* hook;
    void** real;
};

int patchImports()
{
    static const Hook hooks[] = {
#define HOOK(n) {#n, reinterpret_cast<void*>(hook##n), reinterpret_cast<void**>(&real##n)}
        HOOK(CreateSolidBrush), HOOK(CreatePen),           HOOK(CreateFontIndirectA), HOOK(CreateBitmap),
        HOOK(CreateCompatibleBitmap), HOOK(CreateDIBSection), HOOK(CreateDIBitmap),  HOOK(CreateCompatibleDC),
        HOOK(CreateRectRgn),    HOOK(CreatePatternBrush),  HOOK(DeleteObject),        HOOK(DeleteDC),
#undef HOOK
    };
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return 0;
    int patched = 0;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "gdi32.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            for (const Hook& h : hooks) {
                if (lstrcmpA(name, h.name) != 0)
                    continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
                *h.real = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(h.hook);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
                ++patched;
            }
        }
    }
    return patched;
}

}  // namespace

// Writes the items of the menu hMenu and of its sub-menus, one a line, to
// "tray_probe.txt" in the program's working folder; returns the number of
// top-level items, or 0xFFFFFFFF when the file cannot be written.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeDumpMenu(LPVOID hMenu)
{
    FILE* f = std::fopen("tray_probe.txt.tmp", "wb");
    if (f == nullptr)
        return 0xFFFFFFFF;
    dump(f, static_cast<HMENU>(hMenu), 0);
    std::fclose(f);
    MoveFileExA("tray_probe.txt.tmp", "tray_probe.txt", MOVEFILE_REPLACE_EXISTING);
    return static_cast<DWORD>(GetMenuItemCount(static_cast<HMENU>(hMenu)));
}

// Starts counting the program's own GDI objects; returns the number of
// import slots redirected.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeCountGdi(LPVOID)
{
    static int patched = -1;
    if (patched < 0) {
        InitializeCriticalSection(&g_lock);
        g_live = new std::set<HGDIOBJ>;
        patched = patchImports();
    }
    return static_cast<DWORD>(patched);
}

// GDI objects made since ProbeCountGdi and not deleted.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeLiveGdi(LPVOID)
{
    if (g_live == nullptr)
        return 0;
    EnterCriticalSection(&g_lock);
    DWORD n = static_cast<DWORD>(g_live->size());
    LeaveCriticalSection(&g_lock);
    return n;
}

// GDI objects made since ProbeCountGdi, deleted or not: shows that the
// program drew something.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeMadeGdi(LPVOID)
{
    if (g_live == nullptr)
        return 0;
    EnterCriticalSection(&g_lock);
    DWORD n = g_made;
    LeaveCriticalSection(&g_lock);
    return n;
}

// The process's private memory in KB: its committed private pages, counted
// by walking the address space (Wine leaves PrivateUsage at 0).
extern "C" __declspec(dllexport) DWORD WINAPI ProbePrivateKb(LPVOID)
{
    SIZE_T bytes = 0;
    MEMORY_BASIC_INFORMATION mbi = {};
    for (BYTE* at = nullptr; VirtualQuery(at, &mbi, sizeof mbi) == sizeof mbi;
         at = static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            bytes += mbi.RegionSize;
        if (static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize < at)
            break;
    }
    return static_cast<DWORD>(bytes / 1024);
}

// The process's open kernel handles, counted by asking about every handle
// value in turn (Wine does not report the process's handle count).
extern "C" __declspec(dllexport) DWORD WINAPI ProbeHandles(LPVOID)
{
    DWORD count = 0, flags = 0;
    for (ULONG_PTR h = 4; h < 0x20000; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags))
            ++count;
    return count;
}
