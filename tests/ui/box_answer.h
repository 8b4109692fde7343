// Answers the message boxes of this process from a helper thread: records
// what each box showed and presses the next button of a script (IDOK when
// the script is used up).
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

struct AnsweredBox {
    std::string caption;
    std::string text;
    bool anyIcon = false;
    std::vector<int> buttons;  // identifiers of its visible buttons
    int answer = 0;
};

class BoxAnswerer {
public:
    explicit BoxAnswerer(std::deque<int> answers = {});
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<AnsweredBox> seen();

private:
    static DWORD WINAPI run(void* self);
    static BOOL CALLBACK visitTop(HWND hwnd, LPARAM self);
    void answer(HWND box);

    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    CRITICAL_SECTION m_lock;
    std::deque<int> m_answers;
    std::vector<AnsweredBox> m_seen;
    std::vector<HWND> m_handled;
};
