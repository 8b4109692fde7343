#include "tests/e2e/driver.h"

#include <cstdio>
#include <utility>

namespace e2e {

const char kMainTitle[] = "Kesvora2";
const char KesvoraProcess::kMissing[] = "<missing>";

namespace {

const DWORD kSendTimeoutMs = 10000;

LRESULT sendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool wide = false)
{
    DWORD_PTR result = 0;
    if (wide)
        SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    else
        SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

BOOL CALLBACK collectTopLevel(HWND hwnd, LPARAM param)
{
    auto* d = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == d->first)
        d->second.push_back(hwnd);
    return TRUE;
}

// Loads a library into another process (a remote thread running
// LoadLibraryA, which sits at the same address in every process); false
// when it could not be loaded there.
bool injectLibrary(HANDLE hProcess, const std::string& path)
{
    void* mem = VirtualAllocEx(hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (mem == nullptr || !WriteProcessMemory(hProcess, mem, path.c_str(), path.size() + 1, nullptr))
        return false;
    void* load = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
    HANDLE t = CreateRemoteThread(hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(load), mem, 0,
                                  nullptr);
    if (t == nullptr)
        return false;
    DWORD code = 0;
    bool done = WaitForSingleObject(t, 10000) == WAIT_OBJECT_0 && GetExitCodeThread(t, &code) && code != 0;
    CloseHandle(t);
    return done;
}

BOOL CALLBACK findEdit(HWND hwnd, LPARAM param)
{
    if (className(hwnd) != "Edit")
        return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

}  // namespace

std::string className(HWND hwnd)
{
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
}

std::vector<HWND> topLevelWindows(DWORD pid)
{
    std::pair<DWORD, std::vector<HWND>> d(pid, {});
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&d));
    return d.second;
}

std::string windowText(HWND hwnd)
{
    // WM_GETTEXT is carried across processes; GetWindowText of another
    // process's control would only give its creation title.
    char buf[1024] = {};
    if (hwnd != nullptr)
        sendTo(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    buf[sizeof buf - 1] = '\0';
    return buf;
}

KesvoraProcess::KesvoraProcess() = default;

KesvoraProcess::~KesvoraProcess()
{
    if (m_pi.hProcess != nullptr) {
        if (running()) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
    m_boxes.reset();
}

void KesvoraProcess::writeFile(const std::string& name, const std::string& text) const
{
    writeWholeFile(path(name), text);
}

std::string KesvoraProcess::readFile(const std::string& name) const
{
    return readWholeFile(path(name));
}

std::string KesvoraProcess::setting(const std::string& section, const std::string& key) const
{
    char buf[4096] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, buf, sizeof buf, path("cdrom.ini").c_str());
    return buf;
}

bool KesvoraProcess::createProcess()
{
    if (!sim.write(path("ksim.ini")))
        return false;
    // The child inherits the environment (WINEDLLOVERRIDES among it) with
    // the simulator pointed at this folder.
    SetEnvironmentVariableA("KSIM_CONFIG", path("ksim.ini").c_str());
    SetEnvironmentVariableA("KSIM_LOG", path("ksim.log").c_str());

    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string exe = self;
    const std::string folder = exe.substr(0, exe.find_last_of("\\/") + 1);
    exe = folder + "kesvora.exe";
    std::string cmdLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    const DWORD flags = sim.hasVolumes() ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(exe.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, flags, nullptr, m_folder.path().c_str(),
                        &si, &m_pi))
        return false;
    if (flags == CREATE_SUSPENDED) {
        bool injected = injectLibrary(m_pi.hProcess, folder + "ksim_volumes.dll");
        ResumeThread(m_pi.hThread);
        if (!injected)
            return false;
    }
    m_boxes.reset(new BoxWatch({}, m_pi.dwProcessId));
    return true;
}

bool KesvoraProcess::launch()
{
    return createProcess();
}

bool KesvoraProcess::start(DWORD timeoutMs)
{
    if (!createProcess())
        return false;
    m_hMain = waitForWindow(kMainTitle, timeoutMs);
    // A sent message is handled only once the dialog's initialisation has
    // returned and its loop runs.
    return m_hMain != nullptr && sync();
}

bool KesvoraProcess::running() const
{
    return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool KesvoraProcess::waitForExit(DWORD timeoutMs)
{
    return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD KesvoraProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

HWND KesvoraProcess::waitForWindow(const char* title, DWORD timeoutMs) const
{
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND h : topLevelWindows(m_pi.dwProcessId))
                if (windowText(h) == title)
                    found = h;
            return found != nullptr || !running();
        },
        timeoutMs);
    return found;
}

HWND KesvoraProcess::control(int id, HWND hDlg) const
{
    return GetDlgItem(hDlg != nullptr ? hDlg : m_hMain, id);
}

std::string KesvoraProcess::text(int id, HWND hDlg) const
{
    return windowText(control(id, hDlg));
}

std::vector<std::string> KesvoraProcess::items(int id, HWND hDlg, bool listBox) const
{
    HWND h = control(id, hDlg);
    std::vector<std::string> items;
    LRESULT count = sendTo(h, listBox ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        // Fetched as UTF-16: Wine hands the ANSI request of another process
        // the wide text, unconverted.
        WCHAR wide[1024] = {};
        if (sendTo(h, listBox ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0, true) >= 1024) {
            items.push_back("<too long>");
            continue;
        }
        sendTo(h, listBox ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), true);
        char buf[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf - 1, nullptr, nullptr);
        items.push_back(buf);
    }
    return items;
}

int KesvoraProcess::comboSelection(int id, HWND hDlg) const
{
    return static_cast<int>(sendTo(control(id, hDlg), CB_GETCURSEL, 0, 0));
}

bool KesvoraProcess::checked(int id, HWND hDlg) const
{
    return sendTo(control(id, hDlg), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool KesvoraProcess::enabled(int id, HWND hDlg) const
{
    return IsWindowEnabled(control(id, hDlg)) != FALSE;
}

bool KesvoraProcess::windowVisible(HWND hwnd) const
{
    return IsWindowVisible(hwnd != nullptr ? hwnd : m_hMain) != FALSE;
}

void KesvoraProcess::setText(int id, const std::string& text, HWND hDlg) const
{
    sendTo(control(id, hDlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void KesvoraProcess::selectComboItem(int id, int index, HWND hDlg) const
{
    HWND dlg = hDlg != nullptr ? hDlg : m_hMain;
    HWND h = control(id, dlg);
    send(CB_SETCURSEL, index, 0, h);
    send(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(h), dlg);
}

void KesvoraProcess::click(int id, HWND hDlg) const
{
    HWND dlg = hDlg != nullptr ? hDlg : m_hMain;
    HWND h = control(id, dlg);
    if ((GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        send(BM_SETCHECK, checked(id, dlg) ? BST_UNCHECKED : BST_CHECKED, 0, h);
    send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(h), dlg);
}

void KesvoraProcess::command(UINT id, HWND hwnd) const
{
    send(WM_COMMAND, MAKEWPARAM(id, 0), 0, hwnd);
}

bool KesvoraProcess::send(UINT msg, WPARAM wParam, LPARAM lParam, HWND hwnd, LRESULT* result) const
{
    DWORD_PTR r = 0;
    LRESULT ok =
        SendMessageTimeoutA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &r);
    if (result != nullptr)
        *result = static_cast<LRESULT>(r);
    return ok != 0;
}

void KesvoraProcess::post(UINT msg, WPARAM wParam, LPARAM lParam, HWND hwnd) const
{
    PostMessageA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam);
}

bool KesvoraProcess::sync(HWND hwnd) const
{
    // Sent messages overtake posted ones, so a round trip alone proves
    // nothing about the queue. Post a new text limit to an edit of the
    // window (nothing in the program sets one) behind everything posted
    // before, and wait until the edit reports it.
    HWND dlg = hwnd != nullptr ? hwnd : m_hMain;
    HWND edit = nullptr;
    EnumChildWindows(dlg, findEdit, reinterpret_cast<LPARAM>(&edit));
    if (edit == nullptr)
        return send(WM_NULL, 0, 0, dlg);
    static unsigned marker = 0;
    const unsigned limit = 20000 + (++marker % 10000);
    PostMessageA(edit, EM_SETLIMITTEXT, limit, 0);
    return waitUntil([&] { return static_cast<unsigned>(sendTo(edit, EM_GETLIMITTEXT, 0, 0)) == limit; });
}

std::vector<SeenBox> KesvoraProcess::messageBoxes() const
{
    return m_boxes != nullptr ? m_boxes->seen() : std::vector<SeenBox>();
}

bool KesvoraProcess::waitForMessageBoxes(size_t n, DWORD timeoutMs) const
{
    return m_boxes != nullptr && m_boxes->waitFor(n, timeoutMs);
}

}  // namespace e2e
