#include "box_answer.h"

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

BOOL CALLBACK visitButton(HWND child, LPARAM param)
{
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0 && IsWindowVisible(child))
        reinterpret_cast<AnsweredBox*>(param)->buttons.push_back(GetDlgCtrlID(child));
    return TRUE;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::deque<int> answers) : m_answers(std::move(answers))
{
    InitializeCriticalSection(&m_lock);
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer()
{
    SetEvent(m_stop);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

std::vector<AnsweredBox> BoxAnswerer::seen()
{
    EnterCriticalSection(&m_lock);
    std::vector<AnsweredBox> copy = m_seen;
    LeaveCriticalSection(&m_lock);
    return copy;
}

DWORD WINAPI BoxAnswerer::run(void* self)
{
    BoxAnswerer* a = static_cast<BoxAnswerer*>(self);
    while (WaitForSingleObject(a->m_stop, 20) == WAIT_TIMEOUT) {
        a->m_handled.erase(std::remove_if(a->m_handled.begin(), a->m_handled.end(),
                                          [](HWND h) { return !IsWindow(h); }),
                           a->m_handled.end());
        EnumWindows(visitTop, reinterpret_cast<LPARAM>(a));
    }
    return 0;
}

BOOL CALLBACK BoxAnswerer::visitTop(HWND hwnd, LPARAM self)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    // Message boxes have the static text 0xFFFF and no list box; the
    // options dialog (whose group box has the same identifier) is left alone.
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) &&
        GetDlgItem(hwnd, kTextControl) != nullptr && GetDlgItem(hwnd, 1010) == nullptr)
        reinterpret_cast<BoxAnswerer*>(self)->answer(hwnd);
    return TRUE;
}

void BoxAnswerer::answer(HWND box)
{
    if (std::find(m_handled.begin(), m_handled.end(), box) != m_handled.end())
        return;
    m_handled.push_back(box);

    AnsweredBox seen;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, kTextControl));
    HWND icon = GetDlgItem(box, kIconControl);
    seen.anyIcon = icon != nullptr && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    EnumChildWindows(box, visitButton, reinterpret_cast<LPARAM>(&seen));

    EnterCriticalSection(&m_lock);
    seen.answer = IDOK;
    if (!m_answers.empty()) {
        seen.answer = m_answers.front();
        m_answers.pop_front();
    }
    m_seen.push_back(seen);
    LeaveCriticalSection(&m_lock);
    PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(seen.answer), 0);
}
