#include "ui/instance.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

const wchar_t kAutostartSwitch[] = L"/autostart";

namespace {

// Object names hold no backslash and are limited in length: the settings
// file's full path, folded to upper case, is named by a hash of it.
std::wstring InstanceName(const wchar_t* pszKind, const wchar_t* pszSettingsFile)
{
    wchar_t full[MAX_PATH * 4] = L"";
    DWORD n = ::GetFullPathNameW(pszSettingsFile, sizeof full / sizeof full[0], full, nullptr);
    std::wstring path = (n > 0 && n < sizeof full / sizeof full[0]) ? full : pszSettingsFile;
    ::CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    unsigned long long hash = 1469598103934665603ULL;
    for (wchar_t c : path) {
        hash ^= static_cast<unsigned long long>(c);
        hash *= 1099511628211ULL;
    }
    wchar_t name[64];
    std::swprintf(name, sizeof name / sizeof name[0], L"Kesvora-%ls-%016llX", pszKind, hash);
    return name;
}

struct WindowSearch {
    DWORD pid;
    HWND found;
};

// The main window of a process: its top-level dialog without an owner.
BOOL CALLBACK FindMainWindow(HWND hWnd, LPARAM lParam)
{
    WindowSearch* pSearch = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    wchar_t cls[16] = L"";
    ::GetClassNameW(hWnd, cls, 16);
    if (pid != pSearch->pid || ::GetWindow(hWnd, GW_OWNER) != nullptr || std::wcscmp(cls, L"#32770") != 0)
        return TRUE;
    pSearch->found = hWnd;
    return FALSE;
}

// Shows the running instance's window, hidden in the notification area or
// not, and puts it (or the dialog open over it) in front.
void ActivateRunning(const wchar_t* pszSettingsFile)
{
    HANDLE hOwner = ::OpenFileMappingW(FILE_MAP_READ, FALSE, InstanceName(L"owner", pszSettingsFile).c_str());
    if (hOwner == nullptr)
        return;
    if (const DWORD* pPid = static_cast<const DWORD*>(::MapViewOfFile(hOwner, FILE_MAP_READ, 0, 0, sizeof(DWORD)))) {
        WindowSearch search = {*pPid, nullptr};
        ::UnmapViewOfFile(pPid);
        ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            ::ShowWindow(search.found, SW_SHOWNORMAL);
            ::SetForegroundWindow(::GetLastActivePopup(search.found));
        }
    }
    ::CloseHandle(hOwner);
}

}  // namespace

bool HasAutostartSwitch(const wchar_t* pszCommandLine)
{
    int nArgs = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(pszCommandLine, &nArgs);
    if (ppArgs == nullptr)
        return false;
    bool bFound = false;
    for (int i = 1; i < nArgs && !bFound; ++i)
        bFound = ::lstrcmpiW(ppArgs[i], kAutostartSwitch) == 0;
    ::LocalFree(ppArgs);
    return bFound;
}

bool EnterProgramFolder()
{
    wchar_t path[MAX_PATH * 4] = L"";
    DWORD n = ::GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (n == 0 || n >= sizeof path / sizeof path[0])
        return false;
    wchar_t* pSlash = std::wcsrchr(path, L'\\');
    if (pSlash == nullptr)
        return false;
    pSlash[1] = L'\0';
    return ::SetCurrentDirectoryW(path) != FALSE;
}

CSingleInstance::~CSingleInstance()
{
    if (m_hOwner != nullptr)
        ::CloseHandle(m_hOwner);
    if (m_hMutex != nullptr)
        ::CloseHandle(m_hMutex);
}

bool CSingleInstance::Claim(const wchar_t* pszSettingsFile)
{
    m_hMutex = ::CreateMutexW(nullptr, FALSE, InstanceName(L"lock", pszSettingsFile).c_str());
    // Without the lock object nothing can be known of other instances.
    if (m_hMutex == nullptr)
        return true;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateRunning(pszSettingsFile);
        return false;
    }
    // Where the next instance finds this one's window: its process id.
    m_hOwner = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                    InstanceName(L"owner", pszSettingsFile).c_str());
    if (m_hOwner != nullptr) {
        if (DWORD* pPid = static_cast<DWORD*>(::MapViewOfFile(m_hOwner, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)))) {
            *pPid = ::GetCurrentProcessId();
            ::UnmapViewOfFile(pPid);
        }
    }
    return true;
}
