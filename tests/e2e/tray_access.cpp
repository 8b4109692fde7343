// Reaching the program's popup menu from outside (see tray_access.h).
#include "tests/e2e/tray_access.h"

#include <tlhelp32.h>

#include <sstream>

namespace e2e {

namespace {

// Where the module with this file name is loaded in another process, or 0.
// A thread's exit code holds only 32 bits, so the base that LoadLibraryA
// returns there cannot be taken from it on a 64-bit system.
DWORD_PTR remoteModuleBase(DWORD pid, const std::string& fileName)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    DWORD_PTR base = 0;
    MODULEENTRY32 me = {};
    me.dwSize = sizeof me;
    for (BOOL more = Module32First(snap, &me); more && base == 0; more = Module32Next(snap, &me))
        if (lstrcmpiA(me.szModule, fileName.c_str()) == 0)
            base = reinterpret_cast<DWORD_PTR>(me.modBaseAddr);
    CloseHandle(snap);
    return base;
}

}  // namespace

Probe::Probe(const KesvoraProcess& p) : m_p(p)
{
    m_hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, p.processId());
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self;
    path = path.substr(0, path.find_last_of("\\/") + 1) + "e2e_tray_probe.dll";
    m_hLocal = LoadLibraryA(path.c_str());
    if (m_hProcess == nullptr || m_hLocal == nullptr)
        return;
    void* mem = VirtualAllocEx(m_hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(m_hProcess, mem, path.c_str(), path.size() + 1, nullptr);
    // kernel32 sits at the same address in every process.
    void* load = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
    if (run(load, mem) != 0)
        m_remoteBase = remoteModuleBase(p.processId(), "e2e_tray_probe.dll");
}

Probe::~Probe()
{
    if (m_hProcess != nullptr)
        CloseHandle(m_hProcess);
}

DWORD Probe::call(const char* name, void* arg) const
{
    // Exported with or without the stdcall decoration.
    FARPROC f = GetProcAddress(m_hLocal, name);
    if (f == nullptr)
        f = GetProcAddress(m_hLocal, (std::string(name) + "@4").c_str());
    if (f == nullptr || m_remoteBase == 0)
        return 0xFFFFFFFF;
    DWORD_PTR rva = reinterpret_cast<DWORD_PTR>(f) - reinterpret_cast<DWORD_PTR>(m_hLocal);
    return run(reinterpret_cast<void*>(m_remoteBase + rva), arg);
}

std::vector<Item> Probe::menu(HMENU hMenu) const
{
    std::vector<Item> items;
    DeleteFileA(m_p.path("tray_probe.txt").c_str());
    if (call("ProbeDumpMenu", hMenu) == 0xFFFFFFFF)
        return items;
    std::istringstream in(m_p.readFile("tray_probe.txt"));
    std::string line;
    while (std::getline(in, line)) {
        Item it;
        std::istringstream f(line);
        std::string field;
        std::getline(f, field, '\t'); it.depth = std::stoi(field);
        std::getline(f, field, '\t'); it.id = static_cast<UINT>(std::stoul(field));
        std::getline(f, field, '\t'); it.state = static_cast<UINT>(std::stoul(field));
        std::getline(f, field, '\t'); it.ownerDrawn = field == "1";
        std::getline(f, field, '\t'); it.popup = field == "1";
        std::getline(f, it.text);
        items.push_back(it);
    }
    return items;
}

DWORD Probe::run(void* fn, void* arg) const
{
    HANDLE t = CreateRemoteThread(m_hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(fn), arg, 0,
                                  nullptr);
    if (t == nullptr)
        return 0;
    WaitForSingleObject(t, 10000);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    return code;
}


// The program's open menu windows, the top-level popup first.
std::vector<HWND> menuWindows(const KesvoraProcess& p)
{
    std::vector<HWND> found;
    for (HWND h : topLevelWindows(p.processId()))
        if (className(h) == "#32768" && IsWindowVisible(h))
            found.push_back(h);
    return found;
}

bool waitForMenus(const KesvoraProcess& p, size_t n, DWORD timeoutMs)
{
    DWORD begin = GetTickCount();
    do {
        if (menuWindows(p).size() == n)
            return true;
        Sleep(20);
    } while (GetTickCount() - begin < timeoutMs);
    return false;
}

HMENU menuOf(HWND hMenuWnd)
{
    DWORD_PTR h = 0;
    SendMessageTimeoutA(hMenuWnd, MN_GETHMENU, 0, 0, SMTO_NORMAL, 5000, &h);
    return reinterpret_cast<HMENU>(h);
}

// Presses the right button on the icon; the popup's window, or null.
HWND openPopup(const KesvoraProcess& p)
{
    p.post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    if (!waitForMenus(p, 1))
        return nullptr;
    return menuWindows(p).front();
}

void key(HWND hMenuWnd, UINT vk)
{
    PostMessageA(hMenuWnd, WM_KEYDOWN, vk, 1);
    PostMessageA(hMenuWnd, WM_KEYUP, vk, 0xC0000001);
    Sleep(150);
}

const Item* find(const std::vector<Item>& items, UINT id, int depth)
{
    for (const Item& it : items)
        if (it.id == id && (depth < 0 || it.depth == depth))
            return &it;
    return nullptr;
}

// Moves the popup's selection down until the item id is highlighted.
bool hilite(const Probe& probe, HWND hMenuWnd, HMENU hMenu, UINT id)
{
    for (int i = 0; i < 20; ++i) {
        const Item* it = find(probe.menu(hMenu), id, 0);
        if (it != nullptr && it->hilite())
            return true;
        key(hMenuWnd, VK_DOWN);
    }
    return false;
}

// A screenshot of the whole screen into build/screenshots/, taken by the
// X tools of the host with the display this test runs on.
void screenshot(const std::string& name)
{
    // Only when asked for: the X tool is started by forking this Wine
    // process, and a child forked while another thread is in the heap can
    // fail in glibc's allocator and then hang in Wine's signal handling,
    // which held the whole test until its time-out.
    if (GetEnvironmentVariableA("KESVORA_SCREENSHOTS", nullptr, 0) == 0)
        return;
    typedef int(CDECL * Spawn)(char* const argv[], int wait);
    typedef char*(CDECL * UnixName)(LPCWSTR);
    Spawn spawn = reinterpret_cast<Spawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    UnixName unixName =
        reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (spawn == nullptr || unixName == nullptr)
        return;
    WCHAR self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string bin = unixName(self);
    bin = bin.substr(0, bin.find_last_of('/'));
    std::string dir = bin.substr(0, bin.find_last_of('/')) + "/screenshots";
    std::string cmd = "mkdir -p '" + dir + "' && import -window root '" + dir + "/" + name + ".png'";
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), &cmd[0], nullptr};
    spawn(argv, 1);
}

}  // namespace e2e
