#include "ui/system_library.h"

#include <string>

namespace {

// Declared by the headers only for newer systems than the program's lowest.
const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

template <class Function>
Function Kernel32Function(const char* pszName)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), pszName)));
}

}  // namespace

void RestrictLibrarySearch()
{
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    typedef BOOL(WINAPI * SetDirectory)(LPCWSTR);
    const SetDefaultDirectories setDefault = Kernel32Function<SetDefaultDirectories>("SetDefaultDllDirectories");
    if (setDefault != nullptr && setDefault(kSearchSystem32))
        return;
    if (const SetDirectory setDirectory = Kernel32Function<SetDirectory>("SetDllDirectoryW"))
        setDirectory(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* pszName)
{
    wchar_t folder[MAX_PATH] = L"";
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, n) + L"\\" + pszName;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
