#include "settings/ini_file.h"

#include <windows.h>

namespace {

const int kTries = 10;
const DWORD kRetryDelayMs = 50;
// The program writes a few lines per drive; a file this large is not one of its files.
const LONGLONG kMaxFileSize = 16 * 1024 * 1024;

// Runs attempt until it succeeds, or until it fails with an error other than
// those another program's hold on the file gives, at most kTries times.
// Replacing a file that another program has open gives ERROR_ACCESS_DENIED.
template <class Attempt>
bool retriedWhileHeld(Attempt attempt, bool bAccessDeniedMeansHeld)
{
    for (int n = 1;; ++n) {
        if (attempt())
            return true;
        const DWORD error = GetLastError();
        const bool bHeld = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                           (bAccessDeniedMeansHeld && error == ERROR_ACCESS_DENIED);
        if (!bHeld || n == kTries)
            return false;
        Sleep(kRetryDelayMs);
    }
}

bool readAll(HANDLE hFile, std::string& bytes)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(hFile, &size) || size.QuadPart > kMaxFileSize)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && !ReadFile(hFile, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr))
        return false;
    bytes.resize(got);
    return true;
}

// Creates the file with these bytes and flushes it to the disk.
bool writeFlushed(const std::string& path, const std::string& bytes, DWORD attributes)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool bWritten =
        (bytes.empty() || (WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size())) &&
        FlushFileBuffers(hFile);
    const DWORD error = GetLastError();
    CloseHandle(hFile);
    SetLastError(error);
    return bWritten;
}

}  // namespace

IniFileRead readIniFile(const char* pszPath, std::string& bytes)
{
    bytes.clear();
    HANDLE hFile = INVALID_HANDLE_VALUE;
    const bool bOpened = retriedWhileHeld([&] {
        hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return hFile != INVALID_HANDLE_VALUE;
    }, false);
    if (!bOpened) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? IniFileRead::Missing
                                                                                : IniFileRead::Failed;
    }
    const bool bRead = readAll(hFile, bytes);
    CloseHandle(hFile);
    if (!bRead)
        bytes.clear();
    return bRead ? IniFileRead::Read : IniFileRead::Failed;
}

bool replaceIniFile(const char* pszPath, const std::string& bytes)
{
    const DWORD attributes = GetFileAttributesA(pszPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const DWORD kept = attributes != INVALID_FILE_ATTRIBUTES
                           ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)
                           : 0;
    const std::string temp = std::string(pszPath) + ".tmp";
    const bool bReplaced =
        retriedWhileHeld([&] { return writeFlushed(temp, bytes, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL); }, false) &&
        retriedWhileHeld([&] {
            return MoveFileExA(temp.c_str(), pszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        }, true);
    if (!bReplaced) {
        const DWORD error = GetLastError();
        DeleteFileA(temp.c_str());
        SetLastError(error);
    }
    return bReplaced;
}
