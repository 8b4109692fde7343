// Reaching the program's notification icon and popup menu from outside:
// the icon's messages are posted to the main window as the shell would send
// them, the open menu's windows are found by their class, and the menu's
// items (which only the owning process can read) by a probe DLL loaded into
// the program (tray_probe.cpp), which also counts its memory and GDI objects.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace e2e {

const UINT kTrayNotify = WM_USER + 1;
const WPARAM kTrayIconId = 1026;

// One item of the popup menu or of a sub-menu, as the probe saw it.
struct Item {
    int depth = 0;
    UINT id = 0;
    UINT state = 0;
    bool ownerDrawn = false;
    bool popup = false;
    std::string text;
    bool checked() const { return (state & MF_CHECKED) != 0; }
    bool hilite() const { return (state & MF_HILITE) != 0; }
};

// The probe DLL loaded into the running program; its functions are called
// there as thread procedures.
class Probe {
public:
    explicit Probe(const KesvoraProcess& p);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    bool ok() const { return m_remoteBase != 0; }
    // Runs an exported probe function in the program; 0xFFFFFFFF when it
    // cannot be called.
    DWORD call(const char* name, void* arg = nullptr) const;
    // The items of hMenu and its sub-menus, depth first.
    std::vector<Item> menu(HMENU hMenu) const;

private:
    DWORD run(void* fn, void* arg) const;

    const KesvoraProcess& m_p;
    HANDLE m_hProcess = nullptr;
    HMODULE m_hLocal = nullptr;
    DWORD_PTR m_remoteBase = 0;
};

// The program's open menu windows, the top-level popup first.
std::vector<HWND> menuWindows(const KesvoraProcess& p);
bool waitForMenus(const KesvoraProcess& p, size_t n, DWORD timeoutMs = 5000);
HMENU menuOf(HWND hMenuWnd);
// Presses the right button on the icon; the popup's window, or null.
HWND openPopup(const KesvoraProcess& p);
// A key pressed in an open menu, with time for the menu to react.
void key(HWND hMenuWnd, UINT vk);
const Item* find(const std::vector<Item>& items, UINT id, int depth = -1);
// Moves the popup's selection down until the item id is highlighted.
bool hilite(const Probe& probe, HWND hMenuWnd, HMENU hMenu, UINT id);
// When KESVORA_SCREENSHOTS is set: a screenshot of the whole screen into
// <build>/screenshots/<name>.png,
// taken by the X tools of the host on the display the program runs on.
void screenshot(const std::string& name);

}  // namespace e2e
