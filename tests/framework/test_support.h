// Shared pieces of the framework tests: the application object, a closer
// for the message boxes the framework shows, a watchdog that ends a dialog
// that would otherwise never end, and a count of live heap blocks.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/afxwin.h"

class TestApp : public CWinApp {
public:
    // Idle passes seen, in order. Asks for passes 1 and 2 as well, then
    // lets the framework's own idle work end the round.
    std::vector<LONG> m_idleCounts;
    BOOL OnIdle(LONG lCount) override;
};
TestApp& theTestApp();

// Closes every message box of the framework that appears on this thread
// with OK, and keeps their texts.
class MessageBoxCloser {
public:
    MessageBoxCloser();
    ~MessageBoxCloser();
    std::vector<std::string> Texts();

private:
    void Poll();
    DWORD m_uiThread;
    std::string m_caption;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::thread m_thread;
};

// Cancels every dialog of this thread after a few seconds, so that a fault
// makes a test fail instead of hang.
class Watchdog {
public:
    Watchdog();
    ~Watchdog();
    bool Fired() const;
};

// Heap blocks allocated and not yet freed by the test program.
long LiveHeapBlocks();

// Runs fn from inside the dialog's message loop: posts a message whose
// handler the test dialogs route to RunPosted.
constexpr UINT WM_TEST_RUN = WM_APP + 100;

#include <functional>

#include "test_resource.h"

// The test dialog, its behaviour given by the test: hooks for
// initialisation, a posted WM_TEST_RUN, the timer and the exchange; a log of
// what happened, shared by nested dialogs.
class CTestDialog : public CDialog {
public:
    explicit CTestDialog(std::string* pLog, const char* name, CWnd* pParent = nullptr)
        : CDialog(IDD_TEST_DIALOG, pParent), m_pLog(pLog), m_name(name) {}

    std::function<void(CTestDialog&)> m_onInit;
    std::function<void(CTestDialog&)> m_onRun;
    std::function<void(CTestDialog&, UINT_PTR)> m_onTimer;
    std::function<void(CTestDialog&, CDataExchange*)> m_onExchange;
    HWND m_hWndSeen = nullptr;

    void Log(const std::string& what) { *m_pLog += m_name + "-" + what + " "; }
    using CDialog::OnOK;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT OnRun(WPARAM, LPARAM);
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    std::string* m_pLog;
    std::string m_name;
};
