// Watches the message boxes of a process (this one unless told otherwise)
// from a helper thread: records what each one showed and presses the next
// button of a script (IDOK once the script is used up), so that a test can
// run code that shows them. Dialogs other than message boxes are left alone.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;
    bool stopIcon = false;     // shows the stop (hand) icon
    bool anyIcon = false;      // shows any icon
    std::vector<int> buttons;  // identifiers of its visible buttons
    int answer = IDOK;         // the button pressed
};

class BoxWatch {
public:
    explicit BoxWatch(std::deque<int> answers = {}, DWORD pid = GetCurrentProcessId());
    ~BoxWatch();
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

    // The boxes seen so far, in order.
    std::vector<SeenBox> seen();

private:
    static DWORD WINAPI run(void* self);
    static BOOL CALLBACK visitTop(HWND hwnd, LPARAM self);
    void answer(HWND box);

    DWORD m_pid;
    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    CRITICAL_SECTION m_lock;
    std::deque<int> m_answers;
    std::vector<SeenBox> m_seen;
    std::vector<HWND> m_handled;
};
