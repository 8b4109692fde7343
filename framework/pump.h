// Letting messages through from inside a long piece of work on the
// user-interface thread, so that the windows stay live meanwhile.
#pragma once

// Dispatches one waiting message, if there is one (offered first to the
// application's PreTranslateMessage), then runs the idle processing once.
// A WM_QUIT is posted again, for the loop further out that it is meant for.
void AfxPumpWaitingMessage();
