// The one message pump of the framework: the application's loop, every
// modal dialog's loop and long work on the user-interface thread all take
// and dispatch messages through it.
#pragma once

#include <windows.h>

class CWnd;

// Takes the next message from the queue, waiting for one, and dispatches
// it; it is offered first to the application's PreTranslateMessage, or to
// pFallback's where there is no application object. FALSE for WM_QUIT,
// which is then left in msg and not dispatched.
BOOL AfxPumpMessage(MSG& msg, CWnd* pFallback = nullptr);

// Dispatches one waiting message, if there is one, then runs the idle
// processing once; never waits. A WM_QUIT is posted again, for the loop
// further out that it is meant for.
void AfxPumpWaitingMessage();
