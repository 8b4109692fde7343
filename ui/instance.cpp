#include "ui/instance.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

#include "framework/cstring.h"

const wchar_t kAutostartSwitch[] = L"/autostart";

namespace {

const wchar_t kLockPrefix[] = L"Kesvora-lock-";
const wchar_t kOwnerPrefix[] = L"Kesvora-owner-";

unsigned long long HashOf(const std::wstring& text)
{
    unsigned long long hash = 1469598103934665603ULL;
    for (wchar_t c : text) {
        hash ^= static_cast<unsigned long long>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::wstring UpperCase(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// The settings file's identity as a name's part (object names hold no
// backslash and are limited in length): its folder's volume serial number
// and file index with a hash of its name in upper case, which holds before
// the file exists; a hash of the full path in upper case where the folder
// cannot be asked or has no index.
std::wstring SettingsFileIdentity(const wchar_t* pszSettingsFile)
{
    wchar_t full[MAX_PATH * 4] = L"";
    const DWORD n = ::GetFullPathNameW(pszSettingsFile, sizeof full / sizeof full[0], full, nullptr);
    const std::wstring path = (n > 0 && n < sizeof full / sizeof full[0]) ? full : pszSettingsFile;
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash != std::wstring::npos ? path.substr(0, slash + 1) : L".";
    HANDLE hFolder = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool bKnown = hFolder != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(hFolder, &info) &&
                        (info.nFileIndexHigh | info.nFileIndexLow) != 0;
    if (hFolder != INVALID_HANDLE_VALUE)
        ::CloseHandle(hFolder);
    wchar_t text[64];
    if (bKnown)
        std::swprintf(text, sizeof text / sizeof text[0], L"%08lX-%08lX%08lX-%016llX", info.dwVolumeSerialNumber,
                      info.nFileIndexHigh, info.nFileIndexLow, HashOf(UpperCase(path.substr(slash + 1))));
    else
        std::swprintf(text, sizeof text / sizeof text[0], L"path-%016llX", HashOf(UpperCase(path)));
    return text;
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
// not, and puts it (or the dialog open over it) in front. False when that
// instance is out of reach: its process id, which it publishes in this
// session right after taking the lock, is not found within a moment.
bool ActivateRunning(const std::wstring& identity)
{
    HANDLE hOwner = nullptr;
    for (int tries = 0; hOwner == nullptr && tries < 5; ++tries) {
        hOwner = ::OpenFileMappingW(FILE_MAP_READ, FALSE, (kOwnerPrefix + identity).c_str());
        if (hOwner == nullptr)
            ::Sleep(tries < 4 ? 50 : 0);
    }
    if (hOwner == nullptr)
        return false;
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
    return true;
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

std::wstring InstanceLockName(const wchar_t* pszSettingsFile)
{
    return L"Global\\" + (kLockPrefix + SettingsFileIdentity(pszSettingsFile));
}

InstanceClaim CSingleInstance::Claim(const wchar_t* pszSettingsFile)
{
    const std::wstring identity = SettingsFileIdentity(pszSettingsFile);
    m_hMutex = ::CreateMutexW(nullptr, FALSE, InstanceLockName(pszSettingsFile).c_str());
    // A system without the machine-wide namespace has one session.
    if (m_hMutex == nullptr && ::GetLastError() != ERROR_ACCESS_DENIED)
        m_hMutex = ::CreateMutexW(nullptr, FALSE, (kLockPrefix + identity).c_str());
    const DWORD error = ::GetLastError();
    // Without the lock object nothing can be known of other instances.
    if (m_hMutex == nullptr && error != ERROR_ACCESS_DENIED)
        return InstanceClaim::Claimed;
    if (m_hMutex == nullptr || error == ERROR_ALREADY_EXISTS)
        return ActivateRunning(identity) ? InstanceClaim::RunningHere : InstanceClaim::RunningElsewhere;
    // Where the next instance of this session finds this one's window: its process id.
    m_hOwner = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                    (kOwnerPrefix + identity).c_str());
    if (m_hOwner != nullptr) {
        if (DWORD* pPid = static_cast<DWORD*>(::MapViewOfFile(m_hOwner, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)))) {
            *pPid = ::GetCurrentProcessId();
            ::UnmapViewOfFile(pPid);
        }
    }
    return InstanceClaim::Claimed;
}

void ReportRunningElsewhere(const char* pszSettingsFile)
{
    char szFull[MAX_PATH] = "";
    const DWORD nLength = ::GetFullPathNameA(pszSettingsFile, MAX_PATH, szFull, nullptr);
    CString strText;
    strText.Format("本程序已经在运行,正在使用设置文件:\n%s\n它可能由另一位已登录的用户启动,或以管理员身份运行。",
                   nLength > 0 && nLength < MAX_PATH ? szFull : pszSettingsFile);
    ::MessageBoxA(nullptr, strText, "提示", MB_ICONINFORMATION | MB_OK);
}
