// The one thread that sends the drives their commands, so that the window
// never waits for a drive. Work is queued as jobs and run in the order it
// was queued, each job as one action of the drives (CdDrive::beginAction);
// once a job has run, the worker posts a message to a window of its own on
// the thread that started it, and the job's `done` part runs there, from
// whatever message loop is running (a dialog's, a message box's).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>

class DriveWorker {
public:
    enum Kind {
        UserAction,  // carried out even when the program is ending
        Refresh,     // dropped when the program is ending
    };

    DriveWorker() = default;
    ~DriveWorker();
    DriveWorker(const DriveWorker&) = delete;
    DriveWorker& operator=(const DriveWorker&) = delete;

    // Starts the thread, from the thread where the done parts are to run.
    // False when it could not be started.
    bool Start();
    // Queues a job: `work` for the worker's thread, then `done` (may be
    // empty) for the window's. False, and nothing queued, before Start or
    // once the worker is stopping.
    bool Post(std::function<void()> work, std::function<void()> done = nullptr, Kind kind = UserAction);
    // Jobs queued whose done part has not run yet.
    int Pending() const;
    // A refresh is queued and not yet under way: another one would only
    // repeat it.
    bool RefreshPending() const;
    // Drops the queued refreshes, lets the user's actions run, and waits at
    // most waitMs for the thread to end. True when it ended: nothing of the
    // drive layer is in use any more. False when a drive holds it up: the
    // program must then end without touching the drives or the transport.
    bool Stop(DWORD waitMs);

private:
    struct Job {
        std::function<void()> work;
        std::function<void()> done;
        Kind kind;
    };

    static DWORD WINAPI ThreadProc(void* pWorker);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Runs the done parts of the jobs that have run.
    void RunDone();
    void Run();
    // The next job to run; false when the worker is to end.
    bool Take(Job& job);

    mutable CRITICAL_SECTION m_lock;
    bool m_bLockReady = false;
    HANDLE m_hThread = nullptr;
    HANDLE m_hWake = nullptr;  // set whenever a job is queued or the worker is to end
    HWND m_hWnd = nullptr;  // message-only, on the starting thread
    bool m_bStopping = false;
    std::deque<Job> m_queued;
    std::deque<Job> m_ran;
    int m_nPending = 0;
    int m_nRefreshes = 0;  // refreshes queued and not yet under way
};
