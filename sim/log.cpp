#include "sim/log.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace ksim {

namespace {

// DIR_OUT data logged per command, at most.
const size_t kMaxLoggedOut = 4096;

struct LogLock {
    CRITICAL_SECTION cs;
    LogLock() { InitializeCriticalSection(&cs); }
    ~LogLock() { DeleteCriticalSection(&cs); }
};

LogLock g_logLock;

void appendHex(std::string& s, const BYTE* bytes, size_t n)
{
    char hex[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        s += hex;
    }
}

}  // namespace

std::string format(const char* fmt, ...)
{
    char buf[512];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    if (n < 0)
        return std::string();
    return std::string(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

std::string logPath()
{
    char name[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KSIM_LOG", name, sizeof name);
    if (n == 0 || n >= sizeof name)
        lstrcpyA(name, "ksim.log");
    char full[MAX_PATH];
    DWORD m = GetFullPathNameA(name, sizeof full, full, nullptr);
    if (m == 0 || m >= sizeof full)
        return name;
    return full;
}

void appendLogUnlocked(const std::string& path, const std::string& line)
{
    DWORD lastError = GetLastError();
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        std::string text = line + "\n";
        DWORD written;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
    }
    SetLastError(lastError);
}

void appendLog(const std::string& path, const std::string& line)
{
    EnterCriticalSection(&g_logLock.cs);
    appendLogUnlocked(path, line);
    LeaveCriticalSection(&g_logLock.cs);
}

std::string execPrefix(const SRB_ExecSCSICmd& srb)
{
    std::string s = format("EXEC ha=%u tgt=%u lun=%u flags=0x%02X buflen=%lu senselen=%u cdblen=%u cdb=",
                           srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun, srb.SRB_Flags,
                           static_cast<unsigned long>(srb.SRB_BufLen), srb.SRB_SenseLen, srb.SRB_CDBLen);
    appendHex(s, srb.CDBByte, std::min<size_t>(srb.SRB_CDBLen, sizeof srb.CDBByte));
    if ((srb.SRB_Flags & SRB_DIR_OUT) != 0 && srb.SRB_BufLen > 0 && srb.SRB_BufPointer != nullptr) {
        s += " out=";
        appendHex(s, srb.SRB_BufPointer, std::min<size_t>(srb.SRB_BufLen, kMaxLoggedOut));
    }
    return s;
}

std::string execSuffix(unsigned long result, unsigned status, unsigned pendingMs)
{
    std::string s = format(" result=0x%02lX status=0x%02X", result, status);
    if (pendingMs > 0)
        s += format(" pending=%u", pendingMs);
    return s;
}

}  // namespace ksim
