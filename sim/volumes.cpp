// Simulated volumes: a DLL that, loaded into a program before it starts,
// redirects the program's own kernel32 imports of the volume calls
// (GetLogicalDrives, GetDriveTypeA, CreateFileA, DeviceIoControl,
// CloseHandle) to the drive letters of the set-up file. Their SCSI
// pass-through requests reach the same simulated devices, with the same
// command log, as requests through the simulated wnaspi32.dll. Everything
// else goes on to the system.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "drive/aspi.h"
#include "sim/simulator.h"
#include "tests/support/import_hook.h"

namespace {

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// Handles the program holds on simulated volumes: real event handles, so
// that each is unique and the system's CloseHandle could take it.
struct OpenVolume {
    char letter;
    DWORD access;
};

CRITICAL_SECTION g_lock;
std::map<HANDLE, OpenVolume> g_open;

bool openVolume(HANDLE h, OpenVolume* out)
{
    EnterCriticalSection(&g_lock);
    auto it = g_open.find(h);
    bool found = it != g_open.end();
    if (found)
        *out = it->second;
    LeaveCriticalSection(&g_lock);
    return found;
}

// "\\.\X:" gives X, anything else 0.
char volumeLetter(LPCSTR name)
{
    if (name == nullptr || std::strlen(name) != 6 || std::strncmp(name, "\\\\.\\", 4) != 0 || name[5] != ':')
        return 0;
    char c = name[4];
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? c : 0;
}

DWORD WINAPI hookGetLogicalDrives()
{
    return ksim::simulator().logicalDrives();
}

UINT WINAPI hookGetDriveTypeA(LPCSTR root)
{
    if (root == nullptr || std::strlen(root) != 3 || root[1] != ':' || root[2] != '\\')
        return GetDriveTypeA(root);
    const char volume[] = {'\\', '\\', '.', '\\', root[0], ':', '\0'};
    char letter = volumeLetter(volume);
    ksim::VolumeConfig v;
    return letter != 0 && ksim::simulator().findVolume(letter, &v) ? v.driveType : DRIVE_NO_ROOT_DIR;
}

HANDLE WINAPI hookCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD attributes, HANDLE hTemplate)
{
    char letter = volumeLetter(name);
    if (letter == 0)
        return CreateFileA(name, access, share, security, disposition, attributes, hTemplate);
    ksim::VolumeConfig v;
    if (!ksim::simulator().findVolume(letter, &v) || v.open == ksim::VolumeOpen::No) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (v.open == ksim::VolumeOpen::Denied && access != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (h == nullptr)
        return INVALID_HANDLE_VALUE;
    EnterCriticalSection(&g_lock);
    g_open[h] = OpenVolume{letter, access};
    LeaveCriticalSection(&g_lock);
    return h;
}

BOOL WINAPI hookCloseHandle(HANDLE h)
{
    EnterCriticalSection(&g_lock);
    g_open.erase(h);
    LeaveCriticalSection(&g_lock);
    return CloseHandle(h);
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL getAddress(const ksim::VolumeConfig& v, LPVOID out, DWORD outSize, LPDWORD returned)
{
    if (!v.address)
        return fail(ERROR_INVALID_FUNCTION);
    if (out == nullptr || outSize < sizeof(SCSI_ADDRESS))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    const UCHAR port = v.port >= 0 ? static_cast<UCHAR>(v.port) : v.adapter;
    SCSI_ADDRESS a = {sizeof(SCSI_ADDRESS), port, v.path, v.target, 0};
    std::memcpy(out, &a, sizeof a);
    if (returned != nullptr)
        *returned = sizeof a;
    return TRUE;
}

// A well-formed buffered pass-through request: its data and sense areas lie
// inside the buffers, and it has a time-out.
bool validRequest(const SCSI_PASS_THROUGH& h, DWORD inSize, DWORD outSize)
{
    DWORD dataEnd = static_cast<DWORD>(h.DataBufferOffset) + h.DataTransferLength;
    return h.Length == sizeof(SCSI_PASS_THROUGH) && h.CdbLength >= 1 && h.CdbLength <= 16 &&
           h.DataIn <= SCSI_IOCTL_DATA_UNSPECIFIED && h.TimeOutValue != 0 &&
           (h.DataTransferLength == 0 || (h.DataBufferOffset >= sizeof h && dataEnd <= inSize && dataEnd <= outSize)) &&
           (h.SenseInfoLength == 0 || h.SenseInfoOffset + h.SenseInfoLength <= outSize);
}

// A request in memory of its own: the simulator may complete it after the
// caller has given up on it (a time-out), and then still writes into it.
struct VolumeRequest {
    SRB_ExecSCSICmd srb;
    std::vector<BYTE> data;
};

// The request block the simulated devices understand, carrying the same
// bytes: the log shows a pass-through request as the ASPI request that
// would carry them (the pass-through always waits, as event notification).
void fillBlock(VolumeRequest& r, const ksim::VolumeConfig& v, const SCSI_PASS_THROUGH& h, const BYTE* in,
               HANDLE event)
{
    std::memset(&r.srb, 0, sizeof r.srb);
    r.srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    r.srb.SRB_HaId = v.adapter;
    r.srb.SRB_Target = v.target;
    r.srb.SRB_Lun = h.Lun;
    BYTE direction = h.DataIn == SCSI_IOCTL_DATA_IN ? SRB_DIR_IN : h.DataIn == SCSI_IOCTL_DATA_OUT ? SRB_DIR_OUT : 0;
    r.srb.SRB_Flags = static_cast<BYTE>(direction | SRB_EVENT_NOTIFY);
    r.srb.SRB_BufLen = h.DataTransferLength;
    if (h.DataTransferLength > 0) {
        r.data.assign(in + h.DataBufferOffset, in + h.DataBufferOffset + h.DataTransferLength);
        r.srb.SRB_BufPointer = r.data.data();
    }
    r.srb.SRB_SenseLen = h.SenseInfoLength;
    r.srb.SRB_CDBLen = h.CdbLength;
    std::memcpy(r.srb.CDBByte, h.Cdb, h.CdbLength);
    r.srb.SRB_PostProc = event;
}

BOOL passThrough(const ksim::VolumeConfig& v, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                 LPDWORD returned)
{
    if (in == nullptr || out == nullptr || inSize < sizeof(SCSI_PASS_THROUGH))
        return fail(ERROR_INVALID_PARAMETER);
    SCSI_PASS_THROUGH h;
    std::memcpy(&h, in, sizeof h);
    if (!validRequest(h, inSize, outSize))
        return fail(ERROR_INVALID_PARAMETER);

    VolumeRequest* r = new (std::nothrow) VolumeRequest;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (r == nullptr || event == nullptr) {
        delete r;
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    fillBlock(*r, v, h, static_cast<const BYTE*>(in), event);
    DWORD result = ksim::simulator().sendVolumeCommand(&r->srb);
    if (result == SS_PENDING) {
        DWORD limit = h.TimeOutValue * ksim::simulator().secondMs();
        if (WaitForSingleObject(event, limit) != WAIT_OBJECT_0)
            return fail(ERROR_SEM_TIMEOUT);  // r and event stay: the late completion writes into them
    } else if (result != SS_COMP) {
        CloseHandle(event);
        delete r;
        return fail(ERROR_IO_DEVICE);  // refused
    }
    CloseHandle(event);
    BYTE status = r->srb.SRB_Status;
    BYTE targetStatus = r->srb.SRB_TargStat;
    BYTE sense[sizeof r->srb.SenseArea];
    std::memcpy(sense, r->srb.SenseArea, sizeof sense);
    if (h.DataIn == SCSI_IOCTL_DATA_IN && !r->data.empty())
        std::memcpy(static_cast<BYTE*>(out) + h.DataBufferOffset, r->data.data(), r->data.size());
    delete r;
    // An error below the device (nothing answered, a transfer the direction
    // forbids) fails the request itself; the device's own error is its status.
    if (status != SS_COMP && targetStatus == STATUS_GOOD)
        return fail(ERROR_IO_DEVICE);
    h.ScsiStatus = status == SS_COMP ? STATUS_GOOD : targetStatus;
    // The sense bytes the device gave (the block's area holds zeros where
    // it gave none), in the area the request named.
    if (targetStatus == STATUS_CHKCOND && h.SenseInfoLength > 0) {
        UCHAR n = h.SenseInfoLength < sizeof sense ? h.SenseInfoLength : static_cast<UCHAR>(sizeof sense);
        std::memcpy(static_cast<BYTE*>(out) + h.SenseInfoOffset, sense, n);
        h.SenseInfoLength = sense[0] != 0 ? n : 0;
    } else {
        h.SenseInfoLength = 0;
    }
    std::memcpy(out, &h, sizeof h);
    if (returned != nullptr)
        *returned = outSize;
    return TRUE;
}

BOOL WINAPI hookDeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                LPDWORD returned, LPOVERLAPPED overlapped)
{
    OpenVolume open;
    if (!openVolume(h, &open))
        return DeviceIoControl(h, code, in, inSize, out, outSize, returned, overlapped);
    ksim::VolumeConfig v;
    if (!ksim::simulator().findVolume(open.letter, &v))
        return fail(ERROR_DEV_NOT_EXIST);  // the volume went away while open
    if (code == IOCTL_SCSI_GET_ADDRESS)
        return getAddress(v, out, outSize, returned);
    if (code != IOCTL_SCSI_PASS_THROUGH)
        return fail(ERROR_INVALID_FUNCTION);
    if ((open.access & kReadWrite) != kReadWrite)
        return fail(ERROR_ACCESS_DENIED);
    return passThrough(v, in, inSize, out, outSize, returned);
}

void redirectVolumeCalls()
{
    static void* real[5];
    const ImportHook hooks[] = {
        {"GetLogicalDrives", reinterpret_cast<void*>(hookGetLogicalDrives), &real[0]},
        {"GetDriveTypeA", reinterpret_cast<void*>(hookGetDriveTypeA), &real[1]},
        {"CreateFileA", reinterpret_cast<void*>(hookCreateFileA), &real[2]},
        {"DeviceIoControl", reinterpret_cast<void*>(hookDeviceIoControl), &real[3]},
        {"CloseHandle", reinterpret_cast<void*>(hookCloseHandle), &real[4]},
    };
    redirectImports("kernel32.dll", hooks, sizeof hooks / sizeof hooks[0]);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&g_lock);
        redirectVolumeCalls();
    }
    return TRUE;
}
