#include "drive/passthrough_transport.h"

#include <cstring>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/volume.h"
#include "framework/cstring.h"
#include "framework/trace.h"

namespace {

// A volume the scan reached, and the SCSI address it reported.
struct Route {
    BYTE adapter;
    BYTE target;
    char letter;
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
    Route route = {address.PortNumber, address.TargetId, letter};
    for (Route& known : scan.routes) {
        if (known.adapter == route.adapter && known.target == route.target) {
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

    void forEachDevice(DeviceVisitor visit, void* context) override
    {
        Scan scan;
        forEachCdRomLetter(scanLetter, &scan);
        m_routes = scan.routes;
        for (const Route& route : scan.visits)
            visit(route.adapter, route.target, context);
        if (!scan.denied.empty())
            reportDenied(scan.denied);
    }

    // Only the routes of the devices found at the start are kept: the drive
    // list does not grow, and a volume the user may not open was named then.
    void findVolumesAgain() override
    {
        Scan scan;
        forEachCdRomLetter(scanLetter, &scan);
        for (Route& route : m_routes) {
            route.letter = CdDrive::NO_LETTER;
            for (const Route& now : scan.routes) {
                if (now.adapter == route.adapter && now.target == route.target)
                    route.letter = now.letter;
            }
        }
    }

    ScsiResult submit(const ScsiRequest& request) override
    {
        ScsiResult result;
        const Route* route = find(request.adapter, request.target);
        if (route == nullptr || route->letter == CdDrive::NO_LETTER || request.transferLength > SCSI_DATA_MAX || request.cdbLength > 16) {
            Trace("SCSI pass-through: no volume for %d:%d", request.adapter, request.target);
            return result;
        }
        HANDLE hVolume = openVolume(route->letter, GENERIC_READ | GENERIC_WRITE);
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
        closeVolume(hVolume);
        if (!sent) {
            traceNotSent(route->letter, request.cdb[0], error);
            return result;
        }
        collect(r, request, result);
        return result;
    }

private:
    const Route* find(BYTE adapter, BYTE target) const
    {
        for (const Route& route : m_routes) {
            if (route.adapter == adapter && route.target == target)
                return &route;
        }
        return nullptr;
    }

    static void traceNotSent(char letter, BYTE opcode, DWORD error)
    {
        // The system reports a command it gave up on as a semaphore time-out.
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
};

PassThroughTransport g_passThroughTransport;

}  // namespace

void buildPassThroughRequest(const ScsiRequest& request, PassThroughRequest& out)
{
    std::memset(&out, 0, sizeof out);
    SCSI_PASS_THROUGH& h = out.header;
    h.Length = sizeof h;
    h.TargetId = request.target;
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
