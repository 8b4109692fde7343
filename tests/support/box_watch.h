// Watches this process's message boxes from a helper thread: records what
// each one showed and presses the next button of a script (IDOK once the
// script is used up), so that a test can run code that shows them.
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
    explicit BoxWatch(std::deque<int> answers = {});
    ~BoxWatch();
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

    // The boxes seen so far, in order.
    std::vector<SeenBox> seen();

private:
    static DWORD WINAPI run(void* self);
    static BOOL CALLBACK visitTop(HWND hwnd, LPARAM self);
    void answer(HWND box);

    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    CRITICAL_SECTION m_lock;
    std::deque<int> m_answers;
    std::vector<SeenBox> m_seen;
    std::vector<HWND> m_handled;
};
