// Shared pieces of the framework tests: the application object, a count of
// live heap blocks, and a test dialog whose behaviour each test gives. A
// dialog that never ends fails its test by the test run's time limit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/afxwin.h"
#include "test_resource.h"

class TestApp : public CWinApp {
public:
    // Idle passes seen, in order. Asks for passes 1 and 2 as well, then
    // lets the framework's own idle work end the round.
    std::vector<LONG> m_idleCounts;
    BOOL OnIdle(LONG lCount) override;
};
TestApp& theTestApp();

// Heap blocks allocated and not yet freed by the test program.
long LiveHeapBlocks();

// Posted to a test dialog: its handler calls m_onRun.
constexpr UINT WM_TEST_RUN = WM_APP + 100;

// Hooks for initialisation, a posted WM_TEST_RUN, the timer and the
// exchange; a log of what happened, shared by nested dialogs.
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

// Runs fn once from inside a test dialog's loop, then ends the dialog.
void RunInDialog(const std::function<void(CTestDialog&)>& fn);
