#include "test_support.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_liveBlocks{0};

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

void RunInDialog(const std::function<void(CTestDialog&)>& fn)
{
    std::string log;
    CTestDialog dlg(&log, "d");
    dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
    dlg.m_onRun = [&fn](CTestDialog& d) {
        fn(d);
        d.EndDialog(0);
    };
    dlg.DoModal();
}
