// A probe that the tray tests load into the running kesvora.exe: a menu
// belongs to the process that made it, and another process cannot read its
// items, so the tests run these functions inside the program (each is a
// thread procedure started from outside) and read what they write.
#include <windows.h>
#include <shellapi.h>
#include <dbt.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "menu/drawn_menu_entry.h"
#include "tests/support/gdi_count.h"
#include "tests/support/import_hook.h"

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

// The program's calls of Shell_NotifyIconA, counted by message (NIM_ADD,
// NIM_MODIFY, NIM_DELETE); the tip of the last one goes to "tray_tip.txt".
// The calls still reach the shell.
decltype(&::Shell_NotifyIconA) realShellNotifyIcon;
volatile LONG g_trayCalls[3];

BOOL WINAPI hookShellNotifyIcon(DWORD message, PNOTIFYICONDATAA data)
{
    if (message < 3)
        InterlockedIncrement(&g_trayCalls[message]);
    if (data != nullptr && (data->uFlags & NIF_TIP) != 0) {
        if (FILE* f = std::fopen("tray_tip.txt", "wb")) {
            std::fwrite(data->szTip, 1, strnlen(data->szTip, sizeof data->szTip), f);
            std::fclose(f);
        }
    }
    return realShellNotifyIcon(message, data);
}

}  // namespace

// Starts counting the program's notification icon calls; 0 when it does
// not import Shell_NotifyIconA.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeWatchTray(LPVOID)
{
    const ImportHook hook = {"Shell_NotifyIconA", reinterpret_cast<void*>(hookShellNotifyIcon),
                             reinterpret_cast<void**>(&realShellNotifyIcon)};
    if (realShellNotifyIcon == nullptr)
        redirectImports("shell32.dll", &hook, 1);
    return realShellNotifyIcon != nullptr ? 1 : 0;
}

// The calls with the message passed as the argument since ProbeWatchTray.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeTrayCalls(LPVOID message)
{
    ULONG_PTR m = reinterpret_cast<ULONG_PTR>(message);
    return m < 3 ? static_cast<DWORD>(g_trayCalls[m]) : 0xFFFFFFFF;
}

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

// Starts counting the program's own GDI objects (its imports of the gdi32
// functions that make and delete them are redirected); 0 when that fails.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeCountGdi(LPVOID)
{
    return gdicount::install() ? 1 : 0;
}

// GDI objects made since ProbeCountGdi and not deleted.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeLiveGdi(LPVOID)
{
    return static_cast<DWORD>(gdicount::live());
}

// GDI objects made since ProbeCountGdi, deleted or not: shows that the
// program drew something.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeMadeGdi(LPVOID)
{
    return static_cast<DWORD>(gdicount::created());
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

namespace {

BOOL CALLBACK findMainWindow(HWND hwnd, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char title[64] = {};
    GetWindowTextA(hwnd, title, sizeof title);
    if (pid != GetCurrentProcessId() || std::strcmp(title, "Kesvora2") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

}  // namespace

// Sends the program's main window the system's device-change broadcast for
// the volumes of the letters in bits 0-25 of the argument, with a record of
// this process as the system would hand it: bit 26 set, they went (else they
// came); bit 27 set, it is about their media (DBTF_MEDIA). Returns 1 once
// the window has handled it.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeVolumeChange(LPVOID arg)
{
    const ULONG_PTR v = reinterpret_cast<ULONG_PTR>(arg);
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = static_cast<DWORD>(v & 0x3FFFFFF);
    volume.dbcv_flags = (v & (1u << 27)) != 0 ? DBTF_MEDIA : 0;
    const WPARAM event = (v & (1u << 26)) != 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL;
    HWND main = nullptr;
    EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&main));
    DWORD_PTR result = 0;
    return main != nullptr && SendMessageTimeoutA(main, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume),
                                                  SMTO_NORMAL, 10000, &result) != 0
               ? 1
               : 0;
}
