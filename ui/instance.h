// How this instance of the program was started, and whether it may run:
// one instance per settings file, so that two cannot overwrite each
// other's speed lists.
#pragma once

#include <windows.h>

#include <string>

// The switch the Run value carries: the system starts the program at logon
// in a working directory of its own choosing, and the switch says to use
// the settings file of the program's folder instead.
extern const wchar_t kAutostartSwitch[];

// True when the command line holds the switch as an argument of its own.
bool HasAutostartSwitch(const wchar_t* pszCommandLine);

// Makes the program's own folder the working directory; false when it
// cannot be found or entered (the working directory then stays).
bool EnterProgramFolder();

// What a start found when it claimed its settings file.
enum class InstanceClaim {
    Claimed,           // no other instance uses the file
    RunningHere,       // one does in this session; its window has been brought forward
    RunningElsewhere,  // one does out of reach: another user's, or an elevated one
};

// The name of the lock object of a settings file: machine-wide, and made of
// the file's identity (its folder's volume serial number and file index,
// and its name) rather than of the path's spelling, so that 8.3 names,
// aliases of drives and folders, trailing dots or case name one lock. The
// full path is used where the folder cannot be asked.
std::wstring InstanceLockName(const wchar_t* pszSettingsFile);

class CSingleInstance {
public:
    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Claims the settings file for as long as the object lives. A lock that
    // exists but may not be opened (made by an elevated instance, or by
    // another user's) counts as a running instance.
    InstanceClaim Claim(const wchar_t* pszSettingsFile);

private:
    HANDLE m_hMutex = nullptr;
    HANDLE m_hOwner = nullptr;
};

// Tells the user that the settings file is in use by an instance out of
// reach, and that this start ends.
void ReportRunningElsewhere(const char* pszSettingsFile);
