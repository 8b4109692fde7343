// How this instance of the program was started, and whether it may run:
// one instance per settings file, so that two cannot overwrite each
// other's speed lists.
#pragma once

#include <windows.h>

// The switch the Run value carries: the system starts the program at logon
// in a working directory of its own choosing, and the switch says to use
// the settings file of the program's folder instead.
extern const wchar_t kAutostartSwitch[];

// True when the command line holds the switch as an argument of its own.
bool HasAutostartSwitch(const wchar_t* pszCommandLine);

// Makes the program's own folder the working directory; false when it
// cannot be found or entered (the working directory then stays).
bool EnterProgramFolder();

class CSingleInstance {
public:
    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when no other instance uses this settings file; the claim lasts
    // as long as the object. False when one does: its window has then been
    // brought forward.
    bool Claim(const wchar_t* pszSettingsFile);

private:
    HANDLE m_hMutex = nullptr;
    HANDLE m_hOwner = nullptr;
};
