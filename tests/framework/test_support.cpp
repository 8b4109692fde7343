#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_liveBlocks{0};
std::atomic<bool> g_watchdogFired{false};
UINT_PTR g_watchdogTimer = 0;

// The text of a window of the test's user-interface thread, read without
// sending it a message (that thread may be busy).
std::string WindowText(HWND hWnd)
{
    WCHAR wide[512] = L"";
    InternalGetWindowText(hWnd, wide, 512);
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

BOOL CALLBACK CancelDialog(HWND hWnd, LPARAM)
{
    char cls[32] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) == "#32770")
        PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

void CALLBACK WatchdogProc(HWND, UINT, UINT_PTR, DWORD)
{
    g_watchdogFired = true;
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}

struct Search {
    const std::string* caption;
    const std::vector<HWND>* closed;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam)
{
    auto* s = reinterpret_cast<Search*>(lParam);
    char cls[32] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(hWnd) && WindowText(hWnd) == *s->caption
        && std::find(s->closed->begin(), s->closed->end(), hWnd) == s->closed->end()) {
        s->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

void* operator new(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    ++g_liveBlocks;
    return p;
}

void operator delete(void* p) noexcept
{
    if (p != nullptr) {
        --g_liveBlocks;
        std::free(p);
    }
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

long LiveHeapBlocks()
{
    return g_liveBlocks;
}

BOOL TestApp::OnIdle(LONG lCount)
{
    m_idleCounts.push_back(lCount);
    BOOL bMore = CWinApp::OnIdle(lCount);
    return lCount < 2 ? TRUE : bMore;
}

TestApp& theTestApp()
{
    static TestApp app;
    return app;
}

MessageBoxCloser::MessageBoxCloser() : m_uiThread(GetCurrentThreadId())
{
    // The framework captions its boxes with the program's name.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    m_caption = name.substr(0, name.rfind('.'));
    m_thread = std::thread([this] { Poll(); });
}

MessageBoxCloser::~MessageBoxCloser()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxCloser::Texts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

void MessageBoxCloser::Poll()
{
    std::vector<HWND> closed;
    while (!m_stop) {
        Search search = {&m_caption, &closed, nullptr};
        EnumThreadWindows(m_uiThread, FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            // The text static of a message box has the id 0xFFFF.
            std::string text = WindowText(GetDlgItem(search.found, 0xFFFF));
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_texts.push_back(text);
            }
            closed.push_back(search.found);
            PostMessageA(search.found, WM_COMMAND, IDOK, 0);
        }
        Sleep(10);
    }
}

Watchdog::Watchdog()
{
    g_watchdogFired = false;
    g_watchdogTimer = SetTimer(nullptr, 0, 30000, WatchdogProc);
}

Watchdog::~Watchdog()
{
    KillTimer(nullptr, g_watchdogTimer);
}

bool Watchdog::Fired() const
{
    return g_watchdogFired;
}

BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
    ON_MESSAGE(WM_TEST_RUN, &CTestDialog::OnRun)
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

BOOL CTestDialog::OnInitDialog()
{
    m_hWndSeen = m_hWnd;
    CDialog::OnInitDialog();
    Log("init");
    if (m_onInit)
        m_onInit(*this);
    return TRUE;
}

void CTestDialog::DoDataExchange(CDataExchange* pDX)
{
    if (m_onExchange)
        m_onExchange(*this, pDX);
}

LRESULT CTestDialog::OnRun(WPARAM, LPARAM)
{
    if (m_onRun)
        m_onRun(*this);
    return 0;
}

void CTestDialog::OnTimer(UINT_PTR nIDEvent)
{
    if (m_onTimer)
        m_onTimer(*this, nIDEvent);
}

void CTestDialog::OnDestroy()
{
    CDialog::OnDestroy();
    Log("destroy");
}
