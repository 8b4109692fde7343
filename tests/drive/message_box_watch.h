// Watches for message boxes of this process from a helper thread, records
// what each one showed and dismisses it with its OK button, so that a test
// can run code that shows one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SeenMessageBox {
    std::string caption;
    std::string text;
    bool stopIcon = false;   // shows the stop (hand) icon
    bool anyIcon = false;    // shows any icon
    std::vector<int> buttons;  // identifiers of its buttons
};

class MessageBoxWatch {
public:
    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    // The boxes seen so far, in order.
    std::vector<SeenMessageBox> seen();

private:
    static DWORD WINAPI run(void* self);
    static BOOL CALLBACK visitTop(HWND hwnd, LPARAM self);
    void record(HWND box);

    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    CRITICAL_SECTION m_lock;
    std::vector<SeenMessageBox> m_seen;
    std::vector<HWND> m_handled;
};
