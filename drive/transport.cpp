#include "drive/transport.h"

#include "framework/cstring.h"
#include "framework/trace.h"

namespace {

// Module-wide state, written by loadASPI and freeASPI (and by the test
// seam installASPIEntryPoints).
HMODULE g_hAspiLibrary = nullptr;
GetASPI32SupportInfoProc g_pfnGetASPI32SupportInfo = nullptr;
SendASPI32CommandProc g_pfnSendASPI32Command = nullptr;
BYTE g_nHostAdapters = 0;

const char kAspiErrorCaption[] = "ASPI 错误";
const int kSubmitAttempts = 3;

// An entry point of the library by name, null when it has none.
template <class Proc>
Proc resolve(HMODULE hModule, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(hModule, name)));
}

void aspiError(const char* text, UINT type)
{
    MessageBoxA(nullptr, text, kAspiErrorCaption, type);
}

}  // namespace

bool loadASPI()
{
    if (g_hAspiLibrary != nullptr)
        return false;

    g_hAspiLibrary = LoadLibraryA("wnaspi32.dll");
    if (g_hAspiLibrary == nullptr) {
        aspiError("不能加载 wnaspi32.dll; 请确认ASPI正确安装!", MB_ICONSTOP | MB_OK);
        Trace("ASPI ERROR - wnaspi32.dll failed to load");
        return false;
    }
    Trace("Loaded wnaspi32.dll OK");

    g_pfnGetASPI32SupportInfo = resolve<GetASPI32SupportInfoProc>(g_hAspiLibrary, "GetASPI32SupportInfo");
    if (g_pfnGetASPI32SupportInfo == nullptr) {
        aspiError("不能取得函数 GetASPI32SupportInfo 的地址", MB_OK);
        Trace("ASPI ERROR - Couldn't get proc address of GetASPI32SupportInfo");
        return false;
    }
    Trace("Got getASPI32SupportInfo proc address OK");

    g_pfnSendASPI32Command = resolve<SendASPI32CommandProc>(g_hAspiLibrary, "SendASPI32Command");
    if (g_pfnSendASPI32Command == nullptr) {
        aspiError("不能取得函数 SendASPI32Command 的地址", MB_OK);
        Trace("ASPI ERROR - Couldn't get proc address of SendASPI32Command");
        return false;
    }
    Trace("Got sendASPI32Command proc address OK");

    DWORD info = g_pfnGetASPI32SupportInfo();
    DWORD lastError = GetLastError();
    BYTE status = static_cast<BYTE>((info >> 8) & 0xFF);
    BYTE count = static_cast<BYTE>(info & 0xFF);
    if (status == SS_COMP) {
        g_nHostAdapters = count;
        Trace("Found %d Host Adapter(s)", count);
        return true;
    }
    if (status == SS_NO_ADAPTERS) {
        aspiError("ASPI 发现有 0 主适配器", MB_OK);
        Trace("ASPI ERROR - ASPI reported 0 host adapters");
        return false;
    }
    CString text;
    text.Format("调用 getASPI32SupportInfo 错误: 0x%08X", static_cast<unsigned>(lastError));
    aspiError(text, MB_OK);
    Trace("ASPI Error calling getASPI32SupportInfo: 0x%08X", static_cast<unsigned>(lastError));
    return false;
}

bool freeASPI()
{
    if (g_hAspiLibrary == nullptr)
        return false;
    BOOL freed = FreeLibrary(g_hAspiLibrary);
    g_hAspiLibrary = nullptr;
    g_pfnGetASPI32SupportInfo = nullptr;
    g_pfnSendASPI32Command = nullptr;
    g_nHostAdapters = 0;
    if (!freed) {
        Trace("Error freeing wnaspi32.dll");
        return false;
    }
    Trace("Freed wnaspi32.dll OK");
    return true;
}

int getMaxTargets(BYTE adapter)
{
    if (g_pfnSendASPI32Command == nullptr)
        return -1;
    SRB_HAInquiry srb;
    ZeroMemory(&srb, sizeof srb);
    srb.SRB_Cmd = SC_HA_INQUIRY;
    srb.SRB_HaId = adapter;
    if (g_pfnSendASPI32Command(&srb) != SS_COMP)
        return -1;
    BYTE maxTargets = srb.HA_Unique[3];
    return maxTargets == 16 ? 16 : 8;
}

bool sendASPI32Command(SRB_ExecSCSICmd* srb)
{
    if (g_pfnSendASPI32Command == nullptr || srb == nullptr)
        return false;
    for (int attempt = 1; attempt <= kSubmitAttempts; ++attempt) {
        HANDLE hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (hEvent == nullptr) {
            // Without an event a queued request could not be waited for and
            // would complete into a block its caller has already given up.
            continue;
        }
        ResetEvent(hEvent);
        srb->SRB_PostProc = hEvent;

        DWORD result = g_pfnSendASPI32Command(srb);
        if (result == SS_COMP) {
            CloseHandle(hEvent);
            return true;
        }
        if (result == SS_PENDING) {
            DWORD wait = WaitForSingleObject(hEvent, INFINITE);
            if (wait != WAIT_TIMEOUT) {
                CloseHandle(hEvent);
                return true;
            }
            Trace("sendASPI32Command timed out.");
        }
        CloseHandle(hEvent);
    }
    return false;
}

BYTE getHostAdapterCount()
{
    return g_nHostAdapters;
}

void installASPIEntryPoints(GetASPI32SupportInfoProc supportInfo, SendASPI32CommandProc sendCommand)
{
    g_pfnGetASPI32SupportInfo = supportInfo;
    g_pfnSendASPI32Command = sendCommand;
}
