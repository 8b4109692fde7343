// Drives the real kesvora.exe from a test: starts it in a temporary folder
// of its own (its working directory, so its ".\cdrom.ini" lives there) in
// front of the simulated drives, finds its main window, reads and works its
// controls, records and dismisses its message boxes, and reads back what it
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

#include <memory>
#include <string>
#include <vector>

#include "tests/support/box_watch.h"
#include "tests/support/sim_setup.h"
#include "tests/support/temp_folder.h"

namespace e2e {

// The main window's title.
extern const char kMainTitle[];

class KesvoraProcess {
public:
    KesvoraProcess();
    // Ends a program still running; the folder goes with its files.
    ~KesvoraProcess();
    KesvoraProcess(const KesvoraProcess&) = delete;
    KesvoraProcess& operator=(const KesvoraProcess&) = delete;

    // The simulator's set-up, written when the program starts. When it
    // has volumes, the program starts with ksim_volumes.dll loaded, so
    // that its volume calls reach them from its first instruction on.
    ksim::SimSetup sim;
    // Writes the simulator's set-up anew while the program runs.
    bool rewriteSim() const { return sim.write(path("ksim.ini")); }

    // The folder, ending in a backslash.
    const std::string& folder() const { return m_folder.path(); }
    std::string path(const std::string& name) const { return m_folder.file(name.c_str()); }
    void writeFile(const std::string& name, const std::string& text) const;
    // A whole file; empty when it is missing.
    std::string readFile(const std::string& name) const;
    void writeSettings(const std::string& text) const { writeFile("cdrom.ini", text); }
    // A value of the settings file as the profile functions read it;
    // kMissing when the key is not there.
    static const char kMissing[];
    std::string setting(const std::string& section, const std::string& key) const;

    // Starts the program and waits until its main window has finished
    // initialising (it answers sent messages). False when it could not be
    // started, or ended or showed no window within the time.
    bool start(DWORD timeoutMs = 20000);
    // Starts the program without waiting for a window (a start-up that
    // ends); false when it could not be started.
    bool launch();
    bool running() const;
    // Waits for the program to end; false on time-out.
    bool waitForExit(DWORD timeoutMs = 15000);
    DWORD exitCode() const;
    DWORD processId() const { return m_pi.dwProcessId; }

    HWND mainWindow() const { return m_hMain; }
    // Waits for a top-level window of the program with this title; null on
    // time-out.
    HWND waitForWindow(const char* title, DWORD timeoutMs = 10000) const;

    // Controls of the main window (or of hDlg when given).
    HWND control(int id, HWND hDlg = nullptr) const;
    std::string text(int id, HWND hDlg = nullptr) const;
    // The items of a combo box (or, with listBox, of a list box).
    std::vector<std::string> items(int id, HWND hDlg = nullptr, bool listBox = false) const;
    std::vector<std::string> comboItems(int id, HWND hDlg = nullptr) const { return items(id, hDlg); }
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
    // the parent gets BN_CLICKED. Returns when the handler has run.
    void click(int id, HWND hDlg = nullptr) const;
    // A command as from a menu (WM_COMMAND with the id, no control).
    void command(UINT id, HWND hwnd = nullptr) const;
    // Sends a message and waits for its handling; false on time-out.
    bool send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr, LRESULT* result = nullptr) const;
    void post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, HWND hwnd = nullptr) const;
    // Waits until the program's thread has handled everything posted to the
    // window before this call.
    bool sync(HWND hwnd = nullptr) const;

    void closeWithOk() const { post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)control(IDOK)); }
    void closeWithEscape() const { post(WM_COMMAND, IDCANCEL, 0); }
    void closeWithCloseBox() const { post(WM_SYSCOMMAND, SC_CLOSE, 0); }

    // The program's message boxes so far (each dismissed with OK).
    std::vector<SeenBox> messageBoxes() const;
    bool waitForMessageBoxes(size_t n, DWORD timeoutMs = 10000) const;

    ksim::SimLog simLog() const { return ksim::readSimLog(path("ksim.log")); }
    std::vector<ksim::SimRecord> simCommands(int opcode = -1) const { return simLog().commands(opcode); }
    void clearSimLog() const { ksim::clearSimLog(path("ksim.log")); }

private:
    bool createProcess();

    TempFolder m_folder{"kesvora-e2e"};
    PROCESS_INFORMATION m_pi = {};
    HWND m_hMain = nullptr;
    std::unique_ptr<BoxWatch> m_boxes;
};

// The text of a window (WM_GETTEXT, code page bytes).
std::string windowText(HWND hwnd);
std::string className(HWND hwnd);
// The top-level windows of the process pid, in Z order.
std::vector<HWND> topLevelWindows(DWORD pid);
// Waits until done() holds; false when timeoutMs passed first.
template <class Done>
bool waitUntil(Done done, DWORD timeoutMs = 10000)
{
    for (DWORD begin = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - begin > timeoutMs)
            return false;
    return true;
}

}  // namespace e2e
