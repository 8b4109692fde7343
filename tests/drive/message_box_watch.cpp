#include "message_box_watch.h"

#include <algorithm>

namespace {

// Controls of the system's message box dialog.
const int kIconControl = 1088;
const int kTextControl = 0xFFFF;

std::string windowText(HWND hwnd)
{
    char buf[1024] = {};
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK visitChild(HWND child, LPARAM param)
{
    SeenMessageBox* box = reinterpret_cast<SeenMessageBox*>(param);
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child))
        box->buttons.push_back(GetDlgCtrlID(child));
    return TRUE;
}

}  // namespace

MessageBoxWatch::MessageBoxWatch()
{
    InitializeCriticalSection(&m_lock);
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

MessageBoxWatch::~MessageBoxWatch()
{
    SetEvent(m_stop);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

std::vector<SeenMessageBox> MessageBoxWatch::seen()
{
    EnterCriticalSection(&m_lock);
    std::vector<SeenMessageBox> copy = m_seen;
    LeaveCriticalSection(&m_lock);
    return copy;
}

DWORD WINAPI MessageBoxWatch::run(void* self)
{
    MessageBoxWatch* watch = static_cast<MessageBoxWatch*>(self);
    while (WaitForSingleObject(watch->m_stop, 20) == WAIT_TIMEOUT) {
        // Forget boxes that are gone, so that a new box with a recycled
        // handle is still dismissed.
        watch->m_handled.erase(std::remove_if(watch->m_handled.begin(), watch->m_handled.end(),
                                              [](HWND h) { return !IsWindow(h); }),
                               watch->m_handled.end());
        EnumWindows(visitTop, reinterpret_cast<LPARAM>(watch));
    }
    return 0;
}

BOOL CALLBACK MessageBoxWatch::visitTop(HWND hwnd, LPARAM self)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd))
        reinterpret_cast<MessageBoxWatch*>(self)->record(hwnd);
    return TRUE;
}

void MessageBoxWatch::record(HWND box)
{
    if (std::find(m_handled.begin(), m_handled.end(), box) != m_handled.end())
        return;
    m_handled.push_back(box);

    SeenMessageBox seen;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, kTextControl));
    HWND icon = GetDlgItem(box, kIconControl);
    HICON shown = icon != nullptr ? reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)) : nullptr;
    seen.anyIcon = shown != nullptr;
    seen.stopIcon = shown != nullptr && shown == LoadIconA(nullptr, IDI_HAND);
    EnumChildWindows(box, visitChild, reinterpret_cast<LPARAM>(&seen));

    EnterCriticalSection(&m_lock);
    m_seen.push_back(seen);
    LeaveCriticalSection(&m_lock);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}
