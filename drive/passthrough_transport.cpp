#include "drive/passthrough_transport.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/mmc.h"
#include "drive/volume.h"
#include "framework/cstring.h"
#include "framework/trace.h"

namespace {

// A volume the scan reached, and the SCSI address it reported.
struct Route {
    DriveAddress at;
    char letter;
    // The volume kept open while the drive's medium is locked in: the system
    // lets the medium go again when the last handle to the volume closes.
    HANDLE held;
};

struct Scan {
    std::vector<Route> routes;  // letter order, one per address (the last letter of it)
    std::vector<Route> visits;  // letter order, one per address (where it was first seen)
    std::string denied;         // letters the user may not open
};

void scanLetter(char letter, void* context)
{
    Scan& scan = *static_cast<Scan*>(context);
    HANDLE hVolume = openVolume(letter, GENERIC_READ | GENERIC_WRITE);
    if (hVolume == nullptr) {
        DWORD error = GetLastError();
        Trace("SCSI pass-through: cannot open %c: (error %lu)", letter, static_cast<unsigned long>(error));
        if (error == ERROR_ACCESS_DENIED)
            scan.denied += letter;
        return;
    }
    ScsiAddress address;
    bool asked = askScsiAddress(hVolume, address);
    closeVolume(hVolume);
    if (!asked) {
        Trace("SCSI pass-through: %c: reports no SCSI address", letter);
        return;
    }
    Route route = {volumeAddress(address), letter, nullptr};
    for (Route& known : scan.routes) {
        if (known.at == route.at) {
            known.letter = letter;
            return;
        }
    }
    scan.routes.push_back(route);
    scan.visits.push_back(route);
}

// One message for every CD-ROM volume the user may not open: the drives
// are there, and only rights or a policy keep the program from them.
void reportDenied(const std::string& letters)
{
    CString drives;
    for (char letter : letters) {
        if (!drives.IsEmpty())
            drives += "、";
        drives += letter;
        drives += ':';
    }
    CString text;
    text.Format("没有访问光驱 %s 的权限，程序不能控制它。\n"
                "请以管理员身份运行本程序，或请系统管理员解除限制光驱访问的系统策略"
                "（组策略“可移动存储访问”中的“CD 和 DVD”）。",
                drives.GetString());
    MessageBoxA(nullptr, text, "提示", MB_ICONWARNING | MB_OK);
}

class PassThroughTransport : public ScsiTransport {
public:
    const char* name() const override { return "pass-through"; }
    bool reachesByVolume() const override { return true; }

    void forEachDevice(DeviceVisitor visit, void* context) override
    {
        Scan scan;
        forEachCdRomLetter(scanLetter, &scan);
        // A volume kept open stays with its route while the route is there.
        for (Route& route : m_routes) {
            for (Route& now : scan.routes) {
                if (now.at == route.at && now.letter == route.letter)
                    std::swap(now.held, route.held);
            }
            release(route);
        }
        m_routes = scan.routes;
        for (const Route& route : scan.visits)
            visit(route.at, context);
        // Each letter the user may not open is named once, not at every new look.
        std::string fresh;
        for (char letter : scan.denied) {
            if (m_denied.find(letter) == std::string::npos)
                fresh += letter;
        }
        m_denied += fresh;
        if (!fresh.empty())
            reportDenied(fresh);
    }

    void letGo() override
    {
        for (Route& route : m_routes)
            release(route);
    }

    ScsiResult submit(const ScsiRequest& request) override
    {
        ScsiResult result;
        Route* route = find(request.address);
        if (route == nullptr || route->letter == CdDrive::NO_LETTER || request.transferLength > SCSI_DATA_MAX || request.cdbLength > 16) {
            Trace("SCSI pass-through: no volume for %s", addressText(request.address).GetString());
            return result;
        }
        HANDLE hVolume = route->held != nullptr ? route->held : openVolume(route->letter, GENERIC_READ | GENERIC_WRITE);
        if (hVolume == nullptr) {
            Trace("SCSI pass-through: cannot open %c: (error %lu)", route->letter,
                  static_cast<unsigned long>(GetLastError()));
            return result;
        }
        PassThroughRequest r;
        buildPassThroughRequest(request, r);
        DWORD returned = 0;
        BOOL sent = g_volumeSystemCalls.deviceIoControl(hVolume, IOCTL_SCSI_PASS_THROUGH, &r, sizeof r, &r,
                                                        sizeof r, &returned, nullptr);
        DWORD error = GetLastError();
        if (!sent) {
            if (hVolume != route->held)
                closeVolume(hVolume);
            traceNotSent(route->letter, request.cdb[0], error);
            // The system reports a command it gave up on as a semaphore time-out.
            result.timedOut = error == ERROR_SEM_TIMEOUT;
            return result;
        }
        collect(r, request, result);
        keepOrClose(*route, hVolume, request, result.outcome == ScsiOutcome::Good);
        return result;
    }

private:
    Route* find(const DriveAddress& at)
    {
        for (Route& route : m_routes) {
            if (route.at == at)
                return &route;
        }
        return nullptr;
    }

    // After a request on hVolume: a lock that took keeps the volume open, an
    // unlock that took closes the one kept; any other volume is closed.
    static void keepOrClose(Route& route, HANDLE hVolume, const ScsiRequest& request, bool bGood)
    {
        if (bGood && request.cdb[0] == mmc::PREVENT_ALLOW_MEDIUM_REMOVAL && request.cdbLength >= 5) {
            if ((request.cdb[4] & mmc::PREVENT_BITS) != 0) {
                route.held = hVolume;
                return;
            }
            if (hVolume == route.held) {
                release(route);
                return;
            }
        }
        if (hVolume != route.held)
            closeVolume(hVolume);
    }

    static void release(Route& route)
    {
        closeVolume(route.held);
        route.held = nullptr;
    }

    static void traceNotSent(char letter, BYTE opcode, DWORD error)
    {
        if (error == ERROR_SEM_TIMEOUT)
            Trace("SCSI pass-through to %c: command 0x%02X timed out after %lu s", letter, opcode,
                  static_cast<unsigned long>(PASS_THROUGH_TIMEOUT_SECONDS));
        else
            Trace("SCSI pass-through to %c: command 0x%02X failed (error %lu)", letter, opcode,
                  static_cast<unsigned long>(error));
    }

    static void collect(const PassThroughRequest& r, const ScsiRequest& request, ScsiResult& result)
    {
        if (request.data != nullptr && request.direction == DataDirection::In)
            std::memcpy(request.data, r.data, request.transferLength);
        result.requestAddress = &r;
        result.status = r.header.ScsiStatus;
        if (r.header.ScsiStatus == 0) {
            result.outcome = ScsiOutcome::Good;
            return;
        }
        result.outcome = ScsiOutcome::Failed;
        BYTE given = r.header.SenseInfoLength < request.senseLength ? r.header.SenseInfoLength : request.senseLength;
        result.senseLength = given < SCSI_SENSE_MAX ? given : SCSI_SENSE_MAX;
        std::memcpy(result.sense, r.sense, result.senseLength);
    }

    std::vector<Route> m_routes;
    std::string m_denied;  // letters named as not to be opened
};

PassThroughTransport g_passThroughTransport;

}  // namespace

void buildPassThroughRequest(const ScsiRequest& request, PassThroughRequest& out)
{
    std::memset(&out, 0, sizeof out);
    SCSI_PASS_THROUGH& h = out.header;
    h.Length = sizeof h;
    h.PathId = request.address.path;
    h.TargetId = request.address.target;
    h.Lun = request.address.lun;
    h.CdbLength = request.cdbLength;
    h.SenseInfoLength = request.senseLength < SCSI_SENSE_MAX ? request.senseLength : SCSI_SENSE_MAX;
    h.DataIn = request.direction == DataDirection::In ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
    h.DataTransferLength = request.transferLength;
    h.TimeOutValue = PASS_THROUGH_TIMEOUT_SECONDS;
    h.DataBufferOffset = offsetof(PassThroughRequest, data);
    h.SenseInfoOffset = offsetof(PassThroughRequest, sense);
    std::memcpy(h.Cdb, request.cdb, request.cdbLength < sizeof h.Cdb ? request.cdbLength : sizeof h.Cdb);
    if (request.data != nullptr)
        std::memcpy(out.data, request.data, request.transferLength < SCSI_DATA_MAX ? request.transferLength : SCSI_DATA_MAX);
}

ScsiTransport& passThroughTransport()
{
    return g_passThroughTransport;
}
