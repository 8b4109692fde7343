#include "ui/drive_worker.h"

#include "drive/cd_drive.h"

namespace {

// Holds a critical section for a scope.
class Locked {
public:
    explicit Locked(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~Locked() { ::LeaveCriticalSection(&m_cs); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

const char kWindowClass[] = "KesvoraDriveWorker";
const UINT WM_JOBS_RAN = WM_APP + 1;

}  // namespace

DriveWorker::~DriveWorker()
{
    // A worker that is still running (held up by a drive) keeps its lock
    // and queue: the program ends around it.
    if (m_hThread == nullptr && m_bLockReady)
        ::DeleteCriticalSection(&m_lock);
    if (m_hWake != nullptr && m_hThread == nullptr)
        ::CloseHandle(m_hWake);
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK DriveWorker::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_JOBS_RAN)
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    if (DriveWorker* pWorker = reinterpret_cast<DriveWorker*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA)))
        pWorker->RunDone();
    return 0;
}

bool DriveWorker::Start()
{
    if (m_hThread != nullptr)
        return false;
    if (!m_bLockReady) {
        ::InitializeCriticalSection(&m_lock);
        m_bLockReady = true;
    }
    if (m_hWnd == nullptr) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kWindowClass;
        ::RegisterClassA(&wc);  // fails harmlessly once the class exists
        m_hWnd = ::CreateWindowA(kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (m_hWnd == nullptr)
            return false;
        ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    m_bStopping = false;
    m_hWake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (m_hWake == nullptr)
        return false;
    m_hThread = ::CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    return m_hThread != nullptr;
}

bool DriveWorker::Post(std::function<void()> work, std::function<void()> done, Kind kind)
{
    if (m_hThread == nullptr)
        return false;
    {
        Locked hold(m_lock);
        if (m_bStopping)
            return false;
        m_queued.push_back(Job{std::move(work), std::move(done), kind});
        ++m_nPending;
        if (kind == Refresh)
            ++m_nRefreshes;
    }
    ::SetEvent(m_hWake);
    return true;
}

void DriveWorker::RunDone()
{
    for (;;) {
        Job job;
        {
            Locked hold(m_lock);
            if (m_ran.empty())
                return;
            job = std::move(m_ran.front());
            m_ran.pop_front();
            --m_nPending;
        }
        if (job.done)
            job.done();
    }
}

int DriveWorker::Pending() const
{
    if (!m_bLockReady)
        return 0;
    Locked hold(m_lock);
    return m_nPending;
}

bool DriveWorker::RefreshPending() const
{
    if (!m_bLockReady)
        return false;
    Locked hold(m_lock);
    return m_nRefreshes > 0;
}

bool DriveWorker::Stop(DWORD waitMs)
{
    if (m_hThread == nullptr)
        return true;
    {
        Locked hold(m_lock);
        m_bStopping = true;
    }
    ::SetEvent(m_hWake);
    if (::WaitForSingleObject(m_hThread, waitMs) != WAIT_OBJECT_0)
        return false;
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
    ::CloseHandle(m_hWake);
    m_hWake = nullptr;
    m_queued.clear();
    m_ran.clear();
    m_nPending = 0;
    m_nRefreshes = 0;
    ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return true;
}

DWORD WINAPI DriveWorker::ThreadProc(void* pWorker)
{
    static_cast<DriveWorker*>(pWorker)->Run();
    return 0;
}

bool DriveWorker::Take(Job& job)
{
    for (;;) {
        {
            Locked hold(m_lock);
            // At the end only the user's actions still run.
            while (m_bStopping && !m_queued.empty() && m_queued.front().kind == Refresh) {
                m_queued.pop_front();
                --m_nRefreshes;
                --m_nPending;
            }
            if (!m_queued.empty()) {
                job = std::move(m_queued.front());
                m_queued.pop_front();
                if (job.kind == Refresh)
                    --m_nRefreshes;
                return true;
            }
            if (m_bStopping)
                return false;
        }
        ::WaitForSingleObject(m_hWake, INFINITE);
    }
}

void DriveWorker::Run()
{
    Job job;
    while (Take(job)) {
        CdDrive::beginAction();
        job.work();
        job.work = nullptr;
        {
            Locked hold(m_lock);
            m_ran.push_back(std::move(job));
        }
        ::PostMessageA(m_hWnd, WM_JOBS_RAN, 0, 0);
    }
}
