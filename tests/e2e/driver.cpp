#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace e2e {

const char kMainTitle[] = "Kesvora2";
const char KesvoraProcess::kMissing[] = "<missing>";

namespace {

// Controls of the system's message box.
const int kBoxTextControl = 0xFFFF;
const int kBoxIconControl = 0x0440;

const DWORD kSendTimeoutMs = 10000;

std::string moduleFolder()
{
    char buf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string s = buf;
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

void removeTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
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

}  // namespace

std::string className(HWND hwnd)
{
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
}

namespace {

BOOL CALLBACK collectTopLevel(HWND hwnd, LPARAM param)
{
    std::pair<DWORD, std::vector<HWND>>* d = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == d->first)
        d->second.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> topLevelWindows(DWORD pid)
{
    std::pair<DWORD, std::vector<HWND>> d(pid, {});
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&d));
    return d.second;
}

std::string windowText(HWND hwnd)
{
    if (hwnd == nullptr)
        return std::string();
    char buf[1024] = {};
    DWORD_PTR ignored = 0;
    // WM_GETTEXT is carried across processes; GetWindowText of another
    // process's control would only give its creation title.
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL,
                        kSendTimeoutMs, &ignored);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

KesvoraProcess::KesvoraProcess()
{
    InitializeCriticalSection(&m_lock);
    static int counter = 0;
    char tmp[MAX_PATH] = {};
    GetTempPathA(sizeof tmp, tmp);
    char name[64];
    std::snprintf(name, sizeof name, "kesvora-e2e-%lu-%d", GetCurrentProcessId(), ++counter);
    m_folder = std::string(tmp) + name;
    removeTree(m_folder);
    CreateDirectoryA(m_folder.c_str(), nullptr);
}

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
    if (m_hWatch != nullptr) {
        SetEvent(m_hStop);
        WaitForSingleObject(m_hWatch, INFINITE);
        CloseHandle(m_hWatch);
        CloseHandle(m_hStop);
    }
    DeleteCriticalSection(&m_lock);
    if (GetEnvironmentVariableA("KESVORA_KEEP_E2E", nullptr, 0) == 0)
        removeTree(m_folder);
}

std::string KesvoraProcess::path(const std::string& name) const
{
    return m_folder + "\\" + name;
}

void KesvoraProcess::writeFile(const std::string& name, const std::string& text) const
{
    FILE* f = std::fopen(path(name).c_str(), "wb");
    if (f == nullptr)
        return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::string KesvoraProcess::readFile(const std::string& name) const
{
    std::string out;
    FILE* f = std::fopen(path(name).c_str(), "rb");
    if (f == nullptr)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

bool KesvoraProcess::fileExists(const std::string& name) const
{
    return GetFileAttributesA(path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
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

    if (m_hWatch == nullptr) {
        m_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_hWatch = CreateThread(nullptr, 0, watchThread, this, 0, nullptr);
    }

    std::string exe = moduleFolder() + "\\kesvora.exe";
    std::string cmdLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    DWORD flags = sim.hasVolumes() ? CREATE_SUSPENDED : 0;
    BOOL ok = CreateProcessA(exe.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, flags, nullptr, m_folder.c_str(),
                             &si, &m_pi);
    if (ok && flags == CREATE_SUSPENDED) {
        ok = injectLibrary(m_pi.hProcess, moduleFolder() + "\\ksim_volumes.dll");
        ResumeThread(m_pi.hThread);
    }
    return ok != FALSE;
}

bool KesvoraProcess::launch()
{
    return createProcess();
}

bool KesvoraProcess::start(DWORD timeoutMs)
{
    if (!createProcess())
        return false;
    DWORD begin = GetTickCount();
    while (GetTickCount() - begin < timeoutMs) {
        m_hMain = findWindow(kMainTitle);
        if (m_hMain != nullptr)
            break;
        if (!running())
            return false;
        Sleep(20);
    }
    if (m_hMain == nullptr)
        return false;
    // A sent message is handled only once the dialog's initialisation has
    // returned and its loop runs.
    return sync();
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
    if (m_pi.hProcess != nullptr)
        GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

HWND KesvoraProcess::findWindow(const char* title) const
{
    for (HWND h : topLevelWindows(m_pi.dwProcessId))
        if (windowText(h) == title)
            return h;
    return nullptr;
}

HWND KesvoraProcess::waitForWindow(const char* title, DWORD timeoutMs) const
{
    DWORD begin = GetTickCount();
    do {
        HWND h = findWindow(title);
        if (h != nullptr)
            return h;
        Sleep(20);
    } while (GetTickCount() - begin < timeoutMs);
    return nullptr;
}

HWND KesvoraProcess::control(int id, HWND hDlg) const
{
    return GetDlgItem(hDlg != nullptr ? hDlg : m_hMain, id);
}

std::string KesvoraProcess::text(int id, HWND hDlg) const
{
    return windowText(control(id, hDlg));
}

std::vector<std::string> KesvoraProcess::comboItems(int id, HWND hDlg) const
{
    std::vector<std::string> items;
    HWND h = control(id, hDlg);
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(h, CB_GETCOUNT, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &count))
        return items;
    for (int i = 0; i < static_cast<int>(count); ++i) {
        // The item text is fetched as UTF-16: Wine hands the ANSI request
        // of another process the wide text, unconverted.
        WCHAR wbuf[1024] = {};
        DWORD_PTR len = 0;
        SendMessageTimeoutW(h, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, kSendTimeoutMs, &len);
        if (len >= sizeof wbuf / sizeof wbuf[0]) {
            items.push_back("<too long>");
            continue;
        }
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(h, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wbuf), SMTO_NORMAL, kSendTimeoutMs,
                            &ignored);
        char buf[2048] = {};
        WideCharToMultiByte(CP_ACP, 0, wbuf, -1, buf, sizeof buf - 1, nullptr, nullptr);
        items.push_back(buf);
    }
    return items;
}

int KesvoraProcess::comboSelection(int id, HWND hDlg) const
{
    DWORD_PTR sel = 0;
    SendMessageTimeoutA(control(id, hDlg), CB_GETCURSEL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &sel);
    return static_cast<int>(static_cast<LRESULT>(sel));
}

bool KesvoraProcess::checked(int id, HWND hDlg) const
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(control(id, hDlg), BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state);
    return state == BST_CHECKED;
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
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(control(id, hDlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        kSendTimeoutMs, &ignored);
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
    LONG type = GetWindowLongA(h, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX) {
        LRESULT state = 0;
        send(BM_GETCHECK, 0, 0, h, &state);
        send(BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0, h);
    }
    send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(h), dlg);
}

void KesvoraProcess::command(UINT id, HWND hwnd) const
{
    send(WM_COMMAND, MAKEWPARAM(id, 0), 0, hwnd);
}

bool KesvoraProcess::send(UINT msg, WPARAM wParam, LPARAM lParam, HWND hwnd, LRESULT* result, DWORD timeoutMs) const
{
    DWORD_PTR r = 0;
    LRESULT ok = SendMessageTimeoutA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam, SMTO_NORMAL, timeoutMs, &r);
    if (result != nullptr)
        *result = static_cast<LRESULT>(r);
    return ok != 0;
}

void KesvoraProcess::post(UINT msg, WPARAM wParam, LPARAM lParam, HWND hwnd) const
{
    PostMessageA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam);
}

namespace {

BOOL CALLBACK findEdit(HWND hwnd, LPARAM param)
{
    if (className(hwnd) == "Edit") {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

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
    unsigned limit = 20000 + (++marker % 10000);
    PostMessageA(edit, EM_SETLIMITTEXT, limit, 0);
    DWORD begin = GetTickCount();
    do {
        LRESULT now = 0;
        if (!send(EM_GETLIMITTEXT, 0, 0, edit, &now))
            return false;
        if (static_cast<unsigned>(now) == limit)
            return true;
        Sleep(10);
    } while (GetTickCount() - begin < kSendTimeoutMs);
    return false;
}

void KesvoraProcess::ignoreDialog(const std::string& caption)
{
    EnterCriticalSection(&m_lock);
    m_ignored.push_back(caption);
    LeaveCriticalSection(&m_lock);
}

void KesvoraProcess::setAutoDismiss(bool on)
{
    EnterCriticalSection(&m_lock);
    m_bAutoDismiss = on;
    LeaveCriticalSection(&m_lock);
}

std::vector<SeenBox> KesvoraProcess::messageBoxes() const
{
    EnterCriticalSection(&m_lock);
    std::vector<SeenBox> copy = m_boxes;
    LeaveCriticalSection(&m_lock);
    return copy;
}

bool KesvoraProcess::waitForMessageBoxes(size_t n, DWORD timeoutMs) const
{
    DWORD begin = GetTickCount();
    do {
        if (messageBoxes().size() >= n)
            return true;
        Sleep(20);
    } while (GetTickCount() - begin < timeoutMs);
    return false;
}

DWORD WINAPI KesvoraProcess::watchThread(void* self)
{
    KesvoraProcess* p = static_cast<KesvoraProcess*>(self);
    while (WaitForSingleObject(p->m_hStop, 20) == WAIT_TIMEOUT)
        p->watchOnce();
    return 0;
}

void KesvoraProcess::watchOnce()
{
    if (m_pi.dwProcessId == 0)
        return;
    std::vector<HWND> dialogs;
    for (HWND h : topLevelWindows(m_pi.dwProcessId))
        if (className(h) == "#32770" && IsWindowVisible(h))
            dialogs.push_back(h);

    EnterCriticalSection(&m_lock);
    bool dismiss = m_bAutoDismiss;
    std::vector<std::string> ignored = m_ignored;
    m_handled.erase(std::remove_if(m_handled.begin(), m_handled.end(), [](HWND h) { return !IsWindow(h); }),
                    m_handled.end());
    std::vector<HWND> handled = m_handled;
    LeaveCriticalSection(&m_lock);
    if (!dismiss)
        return;

    for (HWND box : dialogs) {
        if (std::find(handled.begin(), handled.end(), box) != handled.end())
            continue;
        // The title is kept by the system, so reading it sends nothing to
        // a thread that may be busy.
        char title[256] = {};
        GetWindowTextA(box, title, sizeof title);
        if (std::string(title) == kMainTitle ||
            std::find(ignored.begin(), ignored.end(), std::string(title)) != ignored.end())
            continue;
        HWND textCtl = GetDlgItem(box, kBoxTextControl);
        if (textCtl == nullptr)
            continue;
        SeenBox seen;
        seen.caption = title;
        seen.text = windowText(textCtl);
        HWND icon = GetDlgItem(box, kBoxIconControl);
        if (icon != nullptr) {
            DWORD_PTR shown = 0;
            SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &shown);
            seen.errorIcon = shown != 0 && reinterpret_cast<HICON>(shown) == LoadIconA(nullptr, IDI_HAND);
        }
        EnterCriticalSection(&m_lock);
        m_handled.push_back(box);
        m_boxes.push_back(seen);
        LeaveCriticalSection(&m_lock);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

ksim::SimLog KesvoraProcess::simLog() const
{
    return ksim::readSimLog(path("ksim.log"));
}

void KesvoraProcess::clearSimLog() const
{
    ksim::clearSimLog(path("ksim.log"));
}

}  // namespace e2e
