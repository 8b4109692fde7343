// A probe loaded into the running kesvora.exe: only the process that made a
// menu can read its items, so the tests run these functions there (each a
// thread procedure started from outside) and read the files they write.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "menu/drawn_menu_entry.h"
#include "tests/support/import_hook.h"

namespace {

// What a drawn item shows: the caption of its entry.
std::string itemText(const MENUITEMINFOA& mii)
{
    const CDrawnMenuEntry* pEntry = reinterpret_cast<const CDrawnMenuEntry*>(mii.dwItemData);
    if ((mii.fType & MFT_OWNERDRAW) == 0 || pEntry == nullptr || IsBadReadPtr(pEntry, sizeof *pEntry) ||
        pEntry->m_dwSignature != DRAWN_MENU_ENTRY_SIGNATURE)
        return "<not drawn>";
    if (pEntry->m_bDivider)
        return "<divider>";
    return (pEntry->m_bBanner ? "<banner>" : "") + std::string(pEntry->m_strCaption.GetString());
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
        // depth, id, state, text
        std::fprintf(f, "%d\t%u\t%u\t%s\n", depth, mii.wID, GetMenuState(hMenu, static_cast<UINT>(pos), MF_BYPOSITION),
                     itemText(mii).c_str());
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

// The calls since ProbeWatchTray with the message passed (0 to 2).
extern "C" __declspec(dllexport) DWORD WINAPI ProbeTrayCalls(LPVOID message)
{
    return static_cast<DWORD>(g_trayCalls[reinterpret_cast<ULONG_PTR>(message) % 3]);
}

// Writes the items of the menu hMenu and of its sub-menus, one a line, to
// "tray_probe.txt" in the program's working folder; returns the number of
// top-level items, or 0xFFFFFFFF when the file cannot be written.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeDumpMenu(LPVOID hMenu)
{
    FILE* f = std::fopen("tray_probe.txt", "wb");
    if (f == nullptr)
        return 0xFFFFFFFF;
    dump(f, static_cast<HMENU>(hMenu), 0);
    std::fclose(f);
    return static_cast<DWORD>(GetMenuItemCount(static_cast<HMENU>(hMenu)));
}
