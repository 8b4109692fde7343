// The application object: runs the main dialog modally and ends the
// program when it ends.
#pragma once

#include "framework/afxwin.h"

class CDriveToolApp : public CWinApp {
public:
    CDriveToolApp() = default;

    // Runs the main dialog; FALSE afterwards, so the framework exits
    // without a message loop of its own.
    BOOL InitInstance() override;
};

extern CDriveToolApp theApp;
