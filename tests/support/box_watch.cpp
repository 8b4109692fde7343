#include "tests/support/box_watch.h"

#include <algorithm>

namespace {

// Controls of the system's message box dialog; other dialogs lack the icon.
const int kIconControl = 1088;
const int kTextControl = 0xFFFF;

// Read without sending a message: the window's thread may be waiting for
// this one.
std::string windowText(HWND hwnd)
{
    WCHAR wide[512] = L"";
    InternalGetWindowText(hwnd, wide, 512);
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

BOOL CALLBACK visitButton(HWND child, LPARAM box)
{
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child))
        reinterpret_cast<SeenBox*>(box)->buttons.push_back(GetDlgCtrlID(child));
    return TRUE;
}

}  // namespace

BoxWatch::BoxWatch(std::deque<int> answers, DWORD pid) : m_pid(pid), m_answers(std::move(answers))
{
    InitializeCriticalSection(&m_lock);
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

BoxWatch::~BoxWatch()
{
    SetEvent(m_stop);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

std::vector<SeenBox> BoxWatch::seen()
{
    EnterCriticalSection(&m_lock);
    std::vector<SeenBox> copy = m_seen;
    LeaveCriticalSection(&m_lock);
    return copy;
}

DWORD WINAPI BoxWatch::run(void* self)
{
    BoxWatch* watch = static_cast<BoxWatch*>(self);
    while (WaitForSingleObject(watch->m_stop, 10) == WAIT_TIMEOUT) {
        // Forget boxes that are gone, so that a new box with a recycled
        // handle is still answered.
        auto& handled = watch->m_handled;
        handled.erase(std::remove_if(handled.begin(), handled.end(), [](HWND h) { return !IsWindow(h); }),
                      handled.end());
        EnumWindows(visitTop, reinterpret_cast<LPARAM>(watch));
    }
    return 0;
}

BOOL CALLBACK BoxWatch::visitTop(HWND hwnd, LPARAM self)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    BoxWatch* watch = reinterpret_cast<BoxWatch*>(self);
    if (pid == watch->m_pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) &&
        GetDlgItem(hwnd, kIconControl) != nullptr && GetDlgItem(hwnd, kTextControl) != nullptr)
        watch->answer(hwnd);
    return TRUE;
}

void BoxWatch::answer(HWND box)
{
    if (std::find(m_handled.begin(), m_handled.end(), box) != m_handled.end())
        return;
    m_handled.push_back(box);

    SeenBox seen;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, kTextControl));
    HWND icon = GetDlgItem(box, kIconControl);
    DWORD_PTR shown = 0;
    if (IsWindowVisible(icon))
        SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &shown);
    seen.anyIcon = shown != 0;
    seen.stopIcon = shown != 0 && reinterpret_cast<HICON>(shown) == LoadIconA(nullptr, IDI_HAND);
    EnumChildWindows(box, visitButton, reinterpret_cast<LPARAM>(&seen));

    EnterCriticalSection(&m_lock);
    if (!m_answers.empty()) {
        seen.answer = m_answers.front();
        m_answers.pop_front();
    }
    m_seen.push_back(seen);
    LeaveCriticalSection(&m_lock);
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(seen.answer), 0);
}
