#include "tests/e2e/driver.h"

#include <dbt.h>

namespace e2e {

const char kMainTitle[] = "Kesvora2";
const char KesvoraProcess::kMissing[] = "<missing>";

const DWORD kSendTimeoutMs = 10000;

LRESULT sendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool wide)
{
    DWORD_PTR result = 0;
    if (wide)
        SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    else
        SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

DWORD runRemote(HANDLE hProcess, void* fn, void* arg)
{
    HANDLE t = CreateRemoteThread(hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(fn), arg, 0,
                                  nullptr);
    if (t == nullptr)
        return 0;
    DWORD code = 0;
    if (WaitForSingleObject(t, 10000) != WAIT_OBJECT_0 || !GetExitCodeThread(t, &code))
        code = 0;
    CloseHandle(t);
    return code;
}

// Loads a library into another process by a thread there running
// LoadLibraryA (at the same address in every process); false on failure.
bool injectLibrary(HANDLE hProcess, const std::string& path)
{
    void* mem = VirtualAllocEx(hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (mem == nullptr || !WriteProcessMemory(hProcess, mem, path.c_str(), path.size() + 1, nullptr))
        return false;
    void* load = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
    return runRemote(hProcess, load, mem) != 0;
}

std::string binFile(const char* name)
{
    char self[MAX_PATH] = {};
    const std::string path(self, GetModuleFileNameA(nullptr, self, sizeof self));
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

std::vector<HWND> topLevelWindows(DWORD pid)
{
    std::vector<HWND> found;
    for (HWND h = GetTopWindow(nullptr); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == pid)
            found.push_back(h);
    }
    return found;
}

std::string windowText(HWND hwnd)
{
    char buf[1024] = {};
    sendTo(hwnd, WM_GETTEXT, sizeof buf - 1, reinterpret_cast<LPARAM>(buf));
    return buf;
}

KesvoraProcess::~KesvoraProcess()
{
    if (m_pi.hProcess == nullptr)
        return;
    TerminateProcess(m_pi.hProcess, 1);  // fails, harmlessly, once it has ended
    WaitForSingleObject(m_pi.hProcess, 5000);
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
}

std::string KesvoraProcess::setting(const std::string& section, const std::string& key) const
{
    char buf[4096] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buf, sizeof buf, path("cdrom.ini").c_str());
    return buf;
}

bool KesvoraProcess::launch()
{
    if (!sim.write(path("ksim.ini")))
        return false;
    // The child inherits the environment, the simulator's paths among it.
    SetEnvironmentVariableA("KSIM_CONFIG", path("ksim.ini").c_str());
    SetEnvironmentVariableA("KSIM_LOG", path("ksim.log").c_str());
    std::string cmdLine = "\"" + exe + "\"" + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    const DWORD flags = sim.hasVolumes() ? CREATE_SUSPENDED : 0;
    const std::string& cwd = workFolder.empty() ? folder() : workFolder;
    if (!CreateProcessA(exe.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, flags, nullptr, cwd.c_str(), &si, &m_pi))
        return false;
    if (flags == CREATE_SUSPENDED) {
        bool injected = injectLibrary(m_pi.hProcess, binFile("ksim_volumes.dll"));
        ResumeThread(m_pi.hThread);
        if (!injected)
            return false;
    }
    m_boxes.reset(new BoxWatch({}, m_pi.dwProcessId));
    return true;
}

bool KesvoraProcess::start(DWORD timeoutMs)
{
    if (!launch())
        return false;
    m_hMain = waitForWindow(kMainTitle, timeoutMs);
    // Sent messages are handled once the dialog's loop runs.
    if (m_hMain == nullptr || !sync())
        return false;
    waitUntil([&] { return sendTo(control(1000), CB_GETCOUNT, 0, 0) > 0 || !running(); }, timeoutMs);
    return running() && settle();
}

HWND KesvoraProcess::waitForWindow(const char* title, DWORD timeoutMs) const
{
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND h : topLevelWindows(m_pi.dwProcessId))
            found = windowText(h) == title ? h : found;
        return found != nullptr || !running();
    }, timeoutMs);
    return found;
}

std::vector<std::string> KesvoraProcess::comboItems(int id) const
{
    HWND h = control(id);
    std::vector<std::string> items;
    LRESULT count = sendTo(h, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        // As UTF-16: Wine answers another process's ANSI request unconverted.
        WCHAR wide[1024] = {};
        sendTo(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), true);
        char buf[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf - 1, nullptr, nullptr);
        items.push_back(buf);
    }
    return items;
}

void KesvoraProcess::selectComboItem(int id, int index) const
{
    HWND h = control(id);
    send(CB_SETCURSEL, index, 0, h);
    send(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
}

void KesvoraProcess::click(int id, HWND hDlg) const
{
    HWND dlg = hDlg != nullptr ? hDlg : m_hMain;
    HWND h = control(id, dlg);
    if ((GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        send(BM_SETCHECK, sendTo(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0, h);
    send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(h), dlg);
}

bool KesvoraProcess::broadcast(WPARAM event, DWORD letters, WORD flags) const
{
    DEV_BROADCAST_VOLUME volume = {sizeof volume, DBT_DEVTYP_VOLUME, 0, letters, flags};
    return send(WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
}

bool KesvoraProcess::send(UINT msg, WPARAM wParam, LPARAM lParam, HWND hwnd) const
{
    DWORD_PTR r = 0;
    return SendMessageTimeoutA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                               &r) != 0;
}

bool KesvoraProcess::sync(HWND hwnd) const
{
    // Sent messages overtake posted ones. A text limit posted to an edit
    // (nothing in the program sets one) comes after everything posted
    // before; once the edit reports it, all that has been handled.
    HWND dlg = hwnd != nullptr ? hwnd : m_hMain;
    HWND edit = FindWindowExA(dlg, nullptr, "Edit", nullptr);
    static unsigned marker = 0;
    const unsigned limit = 20000 + (++marker % 10000);
    PostMessageA(edit, EM_SETLIMITTEXT, limit, 0);
    return waitUntil([&] { return static_cast<unsigned>(sendTo(edit, EM_GETLIMITTEXT, 0, 0)) == limit; });
}

bool KesvoraProcess::settle() const
{
    auto logSize = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        return GetFileAttributesExA(path("ksim.log").c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    };
    // Two quiet spells in a row: a loaded machine may start the worker late.
    int quiet = 0;
    for (DWORD begin = GetTickCount(); GetTickCount() - begin < 10000;) {
        const DWORD before = logSize();
        Sleep(100);
        if (!sync())
            return false;
        quiet = logSize() == before ? quiet + 1 : 0;
        if (quiet == 2)
            return true;
    }
    return false;
}

std::vector<HWND> menuWindows(const KesvoraProcess& p)
{
    std::vector<HWND> found;
    char cls[16] = {};
    for (HWND h : topLevelWindows(p.processId()))
        if (GetClassNameA(h, cls, sizeof cls) && std::string(cls) == "#32768" && IsWindowVisible(h))
            found.push_back(h);
    return found;
}

HWND openPopup(const KesvoraProcess& p)
{
    p.post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    return waitForMenus(p, 1) ? menuWindows(p).front() : nullptr;
}

void key(HWND hMenuWnd, UINT vk)
{
    PostMessageA(hMenuWnd, WM_KEYDOWN, vk, 1);
}

void screenshot(const std::string& name)
{
    // Only when asked for: a child forked (for the X tool) while another
    // thread is in the heap can fail in glibc's allocator and hang.
    if (GetEnvironmentVariableA("KESVORA_SCREENSHOTS", nullptr, 0) == 0)
        return;
    typedef int(CDECL * Spawn)(char* const argv[], int wait);
    Spawn spawn = reinterpret_cast<Spawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    if (spawn == nullptr)
        return;
    // The test runs in <build>/bin, and so does the child.
    std::string cmd = "mkdir -p ../screenshots && import -window root ../screenshots/" + name + ".png";
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"), &cmd[0], nullptr};
    spawn(argv, 1);
}

}  // namespace e2e
