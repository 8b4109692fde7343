// Drives the real kesvora.exe from a test: starts it in a temporary folder
// of its own (its working directory, so its ".\cdrom.ini" lives there) in
// front of the simulated drives, finds its main window, reads and works its
// controls, watches for its message boxes, ends it and reads back what it
// left: the settings file and the simulator's command log.
//
//   KesvoraProcess p;
//   p.sim.adapters(1);
//   p.sim.device(0, 1).cdrom("KSIM", "CD-ROM", "1.00");
//   p.writeSettings("[0:1]\nspeedNames=8\nkbSpeeds=1411\n");
//   ASSERT_TRUE(p.start());
//   p.selectComboItem(1005, 0);
//   p.closeWithOk();
//   ASSERT_TRUE(p.waitForExit());
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/sim_setup.h"

namespace e2e {

// The main window's title.
extern const char kMainTitle[];

// A message box the program showed; the watch dismissed it.
struct SeenBox {
    std::string caption;
    std::string text;
    bool errorIcon = false;  // shows the stop (error) icon
};

class KesvoraProcess {
public:
    KesvoraProcess();
    // Ends a program still running and removes the folder (kept when the
    // environment variable KESVORA_KEEP_E2E is set, for looking at it).
    ~KesvoraProcess();
    KesvoraProcess(const KesvoraProcess&) = delete;
    KesvoraProcess& operator=(const KesvoraProcess&) = delete;

    // The simulator's set-up, written when the program starts. When it
    // has volumes, the program starts with ksim_volumes.dll loaded, so
    // that its volume calls reach them from its first instruction on.
    ksim::SimSetup sim;
    // Writes the simulator's set-up anew while the program runs.
    bool rewriteSim() const { return sim.write(path("ksim.ini")); }

    const std::string& folder() const { return m_folder; }
    std::string path(const std::string& name) const;
    void writeFile(const std::string& name, const std::string& text) const;
    // Reads a whole file; empty when it is missing (see fileExists).
    std::string readFile(const std::string& name) const;
    bool fileExists(const std::string& name) const;
    // The program's settings file, "cdrom.ini" in the folder.
    void writeSettings(const std::string& text) const { writeFile("cdrom.ini", text); }

    // A value of the settings file as the profile functions read it;
    // kMissing when the key is not there.
    static const char kMissing[];
    std::string setting(const std::string& section, const std::string& key) const;

    // Starts the program (arguments: none) and waits until its main window
    // exists and has finished initialising (it answers sent messages).
    // False when the program could not be started, or ended or showed no
    // window within the time.
    bool start(DWORD timeoutMs = 20000);
    // Starts the program and only waits for it to end (a start-up that
    // fails); false when it could not be started.
    bool launch();

    bool running() const;
    // Waits for the program to end; false on time-out.
    bool waitForExit(DWORD timeoutMs = 15000);
    DWORD exitCode() const;

    HWND mainWindow() const { return m_hMain; }
    // The program's top-level window with this title, or null.
    HWND findWindow(const char* title) const;
    // Waits for such a window; null on time-out.
    HWND waitForWindow(const char* title, DWORD timeoutMs = 10000) const;

    // Controls of the main window (or of hDlg when given).
    HWND control(int id, HWND hDlg = nullptr) const;
    std::string text(int id, HWND hDlg = nullptr) const;
    std::vector<std::string> comboItems(int id, HWND hDlg = nullptr) const;
    int comboSelection(int id, HWND hDlg = nullptr) const;
    bool checked(int id, HWND hDlg = nullptr) const;
    bool enabled(int id, HWND hDlg = nullptr) const;
    bool windowVisible(HWND hwnd = nullptr) const;
    // Puts text into a control (WM_SETTEXT), as typing would.
    void setText(int id, const std::string& text, HWND hDlg = nullptr) const;

    // Selects item index of a combo box and tells its parent, as a choice
    // with the mouse does (CBN_SELCHANGE).
    void selectComboItem(int id, int index, HWND hDlg = nullptr) const;
    // Clicks a button: an automatic check box changes its state first; then
    // the parent gets BN_CLICKED. Returns when the handler has run (message
    // boxes on the way are dismissed by the watch).
    void click(int id, HWND hDlg = nullptr) const;
    // A command as from a menu (WM_COMMAND with the id, no control).
    void command(UINT id, HWND hwnd = nullptr) const;
    // Sends a message and waits for its handling; false on time-out.
    bool send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr,
              LRESULT* result = nullptr, DWORD timeoutMs = 10000) const;
    void post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr) const;
    // Waits until the program's thread has handled everything posted to the
    // window before this call.
    bool sync(HWND hwnd = nullptr) const;

    // Closing the main window: OK button, Escape (IDCANCEL), the close box.
    void closeWithOk() const { post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)control(IDOK)); }
    void closeWithEscape() const { post(WM_COMMAND, IDCANCEL, 0); }
    void closeWithCloseBox() const { post(WM_SYSCOMMAND, SC_CLOSE, 0); }

    // Message boxes: the watch records and dismisses every message box of
    // the program while auto-dismissing is on (the default). Dialogs of
    // the program with these captions are left alone.
    void ignoreDialog(const std::string& caption);
    void setAutoDismiss(bool on);
    std::vector<SeenBox> messageBoxes() const;
    // Waits until at least n boxes have been seen.
    bool waitForMessageBoxes(size_t n, DWORD timeoutMs = 10000) const;

    // The simulator's command log and its EXEC records.
    ksim::SimLog simLog() const;
    std::vector<ksim::SimRecord> simCommands(int opcode = -1) const { return simLog().commands(opcode); }
    void clearSimLog() const;

    DWORD processId() const { return m_pi.dwProcessId; }

private:
    bool createProcess();
    static DWORD WINAPI watchThread(void* self);
    void watchOnce();

    std::string m_folder;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hMain = nullptr;
    HANDLE m_hWatch = nullptr;
    HANDLE m_hStop = nullptr;
    mutable CRITICAL_SECTION m_lock;
    std::vector<SeenBox> m_boxes;
    std::vector<HWND> m_handled;
    std::vector<std::string> m_ignored;
    bool m_bAutoDismiss = true;
};

// Reads the text of a window (GetWindowText, code page bytes).
std::string windowText(HWND hwnd);
std::string className(HWND hwnd);
// The top-level windows of the process pid, in Z order.
std::vector<HWND> topLevelWindows(DWORD pid);

}  // namespace e2e
