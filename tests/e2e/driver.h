// Drives the real kesvora.exe from a test: starts it in a temporary folder
// (its working directory, where its ".\cdrom.ini" lives) in front of the
// simulated drives, works its windows, records and dismisses its message
// boxes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/box_watch.h"
#include "tests/support/sim_setup.h"
#include "tests/support/temp_folder.h"

namespace e2e {

extern const char kMainTitle[];
// A file beside the test program (the programs and DLLs under test).
std::string binFile(const char* name);

// Sends a message, UTF-16 with wide; the result, or 0 when it was not
// handled within the time.
LRESULT sendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool wide = false);
// WM_GETTEXT, which is carried across processes (GetWindowText is not).
std::string windowText(HWND hwnd);
// The top-level windows of the process pid, in Z order.
std::vector<HWND> topLevelWindows(DWORD pid);
// Runs fn(arg) on a new thread of another process; its exit code, 0 when
// it could not be run or did not end within 10 s.
DWORD runRemote(HANDLE hProcess, void* fn, void* arg);
// Loads a library into another process; false on failure. The tests use
// it only on a process created suspended: the rare hangs they had under
// Wine came with threads started inside the running program.
bool injectLibrary(HANDLE hProcess, const std::string& path);
// Waits until done() holds; false when timeoutMs passed first.
template <class Done>
bool waitUntil(Done done, DWORD timeoutMs = 10000)
{
    for (DWORD begin = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - begin > timeoutMs)
            return false;
    return true;
}

// One run of the program; not copyable, as it owns its folder.
class KesvoraProcess {
public:
    // Ends a program still running; the folder goes with its files.
    ~KesvoraProcess();

    // The simulator's set-up, written at the start; with volumes, the
    // program starts with ksim_volumes.dll loaded into it.
    ksim::SimSetup sim;
    bool rewriteSim() const { return sim.write(path("ksim.ini")); }
    // What is started, how, and where (empty: the temporary folder).
    std::string exe = binFile("kesvora.exe");
    std::string args;
    std::string workFolder;

    // The temporary folder, ending in a backslash, and its files.
    const std::string& folder() const { return m_folder.path(); }
    std::string path(const std::string& name) const { return m_folder.file(name.c_str()); }
    std::string readFile(const std::string& name) const { return readWholeFile(path(name)); }
    void writeSettings(const std::string& text) const { writeWholeFile(path("cdrom.ini"), text); }
    // A value of the settings file; kMissing when the key is not there.
    static const char kMissing[];
    std::string setting(const std::string& section, const std::string& key) const;

    // Starts the program; false when it could not be started.
    bool launch();
    // Starts it and waits until its main window has listed the drives and
    // the drives have answered; false when it ended or showed no window
    // within the time.
    bool start(DWORD timeoutMs = 20000);
    bool running() const { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }
    bool waitForExit(DWORD timeoutMs = 15000) { return WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD processId() const { return m_pi.dwProcessId; }
    HWND mainWindow() const { return m_hMain; }
    // A top-level window of the program with this title; null on time-out.
    HWND waitForWindow(const char* title, DWORD timeoutMs = 10000) const;

    // Controls of the main window (or of hDlg when given).
    HWND control(int id, HWND hDlg = nullptr) const { return GetDlgItem(hDlg != nullptr ? hDlg : m_hMain, id); }
    std::string text(int id) const { return windowText(control(id)); }
    std::vector<std::string> comboItems(int id) const;
    int comboSelection(int id) const { return static_cast<int>(sendTo(control(id), CB_GETCURSEL, 0, 0)); }
    bool checked(int id) const { return sendTo(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // Typing, choosing (CBN_SELCHANGE) and clicking (a check box changes
    // first); each returns when the program has handled it.
    void setText(int id, const std::string& text, HWND hDlg = nullptr) const
    {
        sendTo(control(id, hDlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void selectComboItem(int id, int index) const;
    void click(int id, HWND hDlg = nullptr) const;
    // The system's broadcast that the letters' volumes came or went.
    bool broadcast(WPARAM event, DWORD letters, WORD flags = 0) const;
    // Sends a message and waits for its handling; false on time-out.
    bool send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr) const;
    void post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr) const
    {
        PostMessageA(hwnd != nullptr ? hwnd : m_hMain, msg, wParam, lParam);
    }
    // Waits until everything posted to the window before has been handled.
    bool sync(HWND hwnd = nullptr) const;
    // Waits until the drives' commands have stopped coming for a while and
    // the window has shown what they answered (the program sends them from
    // a thread of its own); false when that did not happen within 10 s.
    bool settle() const;
    void closeWithOk() const { post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)control(IDOK)); }
    void closeWithEscape() const { post(WM_COMMAND, IDCANCEL, 0); }

    // The program's message boxes so far (each dismissed with OK).
    std::vector<SeenBox> messageBoxes() const { return m_boxes->seen(); }

    std::vector<ksim::SimRecord> simCommands(int opcode = -1) const
    {
        return ksim::readSimLog(path("ksim.log")).commands(opcode);
    }
    void clearSimLog() const { ksim::clearSimLog(path("ksim.log")); }

private:
    TempFolder m_folder{"kesvora-e2e"};
    PROCESS_INFORMATION m_pi = {};
    HWND m_hMain = nullptr;
    std::unique_ptr<BoxWatch> m_boxes;
};

// The notification icon's messages, as the shell posts them.
const UINT kTrayNotify = WM_USER + 1;
const WPARAM kTrayIconId = 1026;

// The program's open menu windows, the top-level popup first.
std::vector<HWND> menuWindows(const KesvoraProcess& p);
inline bool waitForMenus(const KesvoraProcess& p, size_t n)
{
    return waitUntil([&] { return menuWindows(p).size() == n; }, 5000);
}
// Presses the right button on the icon; the popup's window, or null.
HWND openPopup(const KesvoraProcess& p);
// Posts a key press to an open menu.
void key(HWND hMenuWnd, UINT vk);
// With KESVORA_SCREENSHOTS set, the screen into <build>/screenshots/<name>.png.
void screenshot(const std::string& name);

}  // namespace e2e
