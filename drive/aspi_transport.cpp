#include "drive/aspi_transport.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

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
const wchar_t kAspiLibrary[] = L"wnaspi32.dll";
const int kSubmitAttempts = 3;
AspiFailures g_failures = AspiFailures::Shown;

// An entry point of the library by name, null when it has none.
template <class Proc>
Proc resolve(HMODULE hModule, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(hModule, name)));
}

void aspiError(const char* text, UINT type)
{
    if (g_failures == AspiFailures::Shown)
        MessageBoxA(nullptr, text, kAspiErrorCaption, type);
}

// The library in this folder (ending in a backslash), or null.
HMODULE loadLibraryFrom(std::wstring folder)
{
    if (folder.empty())
        return nullptr;
    if (folder.back() != L'\\')
        folder += L'\\';
    return LoadLibraryExW((folder + kAspiLibrary).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A folder a Win32 call writes into a buffer; empty when it fails.
std::wstring folderOf(UINT (WINAPI* get)(LPWSTR, UINT))
{
    wchar_t buf[MAX_PATH] = {};
    UINT n = get(buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

// wnaspi32.dll from the program's own folder, else from the system folder,
// else from the Windows folder. Asked by its full path, so that a library
// of that name in the working directory (a download folder, a share) is
// never loaded into a program that often runs elevated.
HMODULE loadAspiLibrary()
{
    wchar_t self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program = n > 0 && n < MAX_PATH ? std::wstring(self, n) : std::wstring();
    HMODULE h = loadLibraryFrom(program.substr(0, program.find_last_of(L'\\') + 1));
    if (h == nullptr)
        h = loadLibraryFrom(folderOf(GetSystemDirectoryW));
    if (h == nullptr)
        h = loadLibraryFrom(folderOf(GetWindowsDirectoryW));
    return h;
}

}  // namespace

bool loadASPI(AspiFailures failures)
{
    if (g_hAspiLibrary != nullptr)
        return false;
    g_failures = failures;

    g_hAspiLibrary = loadAspiLibrary();
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

AspiSystemCalls g_aspiSystemCalls = {WaitForSingleObject};

namespace {

// Waits for a queued request's event; the request is the layer's until it
// is signalled.
AspiSend waitForCompletion(HANDLE hEvent)
{
    DWORD wait = g_aspiSystemCalls.waitForSingleObject(hEvent, ASPI_WAIT_LIMIT_MS);
    if (wait == WAIT_OBJECT_0) {
        CloseHandle(hEvent);
        return AspiSend::Completed;
    }
    // The request is still queued in the layer, which will write into the
    // block and signal this event when it completes: both stay as they are,
    // and the block is not submitted again.
    if (wait == WAIT_TIMEOUT) {
        Trace("sendASPI32Command: no completion within %lu ms", static_cast<unsigned long>(ASPI_WAIT_LIMIT_MS));
        return AspiSend::TimedOut;
    }
    Trace("sendASPI32Command wait failed: 0x%08lX, error %lu", static_cast<unsigned long>(wait),
          static_cast<unsigned long>(GetLastError()));
    return AspiSend::Outstanding;
}

}  // namespace

AspiSend sendASPI32Command(SRB_ExecSCSICmd* srb)
{
    if (g_pfnSendASPI32Command == nullptr || srb == nullptr)
        return AspiSend::Refused;
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
        if (result == SS_PENDING)
            return waitForCompletion(hEvent);
        CloseHandle(hEvent);
        // Anything but a busy layer has ended the request: done, or failed
        // at once with its status and sense in the block, which sending it
        // again would lose (a unit attention among them).
        if (result != SS_ASPI_IS_BUSY)
            return AspiSend::Completed;
    }
    return AspiSend::Refused;
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

namespace {

// One request in memory of its own: the layer writes the outcome, the data
// and the sense bytes into it, possibly from another thread, until it has
// completed.
struct AspiRequest {
    SRB_ExecSCSICmd srb;
    std::vector<BYTE> data;
};

class AspiTransport : public ScsiTransport {
public:
    const char* name() const override { return "ASPI"; }

    // Adapters in order, targets in order; the target bound is asked again
    // before every further target, so an adapter whose inquiry starts
    // failing ends there.
    void forEachDevice(DeviceVisitor visit, void* context) override
    {
        int adapters = getHostAdapterCount();
        for (int adapter = 0; adapter < adapters; ++adapter) {
            DriveAddress at;
            at.adapter = static_cast<BYTE>(adapter);
            if (getMaxTargets(at.adapter) <= 0)
                continue;
            int target = 0;
            do {
                at.target = static_cast<BYTE>(target);
                visit(at, context);
                ++target;
            } while (target < getMaxTargets(at.adapter));
        }
    }

    ScsiResult submit(const ScsiRequest& request) override
    {
        ScsiResult result;
        // ASPI numbers no buses: every device it reports is on bus 0.
        if (request.address.path != 0)
            return result;
        AspiRequest* r = new (std::nothrow) AspiRequest;
        if (r == nullptr)
            return result;
        fill(*r, request);
        AspiSend sent = sendASPI32Command(&r->srb);
        if (sent == AspiSend::Outstanding || sent == AspiSend::TimedOut) {
            result.timedOut = sent == AspiSend::TimedOut;
            return result;  // r is the layer's now, for as long as the process lives
        }
        if (sent == AspiSend::Completed)
            collect(*r, request, result);
        delete r;
        return result;
    }

private:
    static void fill(AspiRequest& r, const ScsiRequest& request)
    {
        ZeroMemory(&r.srb, sizeof r.srb);
        r.srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        r.srb.SRB_HaId = request.address.adapter;
        r.srb.SRB_Flags =
            static_cast<BYTE>((request.direction == DataDirection::Out ? SRB_DIR_OUT : SRB_DIR_IN) | SRB_EVENT_NOTIFY);
        r.srb.SRB_Target = request.address.target;
        r.srb.SRB_Lun = request.address.lun;
        r.srb.SRB_BufLen = request.transferLength;
        if (request.data != nullptr) {
            r.data.assign(request.data, request.data + request.transferLength);
            r.srb.SRB_BufPointer = r.data.data();
        }
        r.srb.SRB_SenseLen = request.senseLength;
        r.srb.SRB_CDBLen = request.cdbLength;
        std::memcpy(r.srb.CDBByte, request.cdb, request.cdbLength);
    }

    static void collect(const AspiRequest& r, const ScsiRequest& request, ScsiResult& result)
    {
        if (request.data != nullptr && !r.data.empty())
            std::memcpy(request.data, r.data.data(), r.data.size());
        result.requestAddress = &r.srb;
        result.status = r.srb.SRB_Status;
        if (r.srb.SRB_Status == SS_COMP) {
            result.outcome = ScsiOutcome::Good;
            return;
        }
        result.outcome = ScsiOutcome::Failed;
        if (r.srb.SRB_TargStat == STATUS_CHKCOND) {
            result.senseLength = static_cast<BYTE>(request.senseLength < SCSI_SENSE_MAX ? request.senseLength : SCSI_SENSE_MAX);
            std::memcpy(result.sense, r.srb.SenseArea, result.senseLength);
        }
    }
};

AspiTransport g_aspiTransport;

}  // namespace

ScsiTransport& aspiTransport()
{
    return g_aspiTransport;
}
