// The seam below the drive commands: one SCSI request as a drive receives
// it, and the transport that carries it there. Two transports exist, ASPI
// for Win32 and the system's SCSI pass-through on the volume handle; one is
// chosen at start-up (drive/transport_choice.h) and everything above this
// seam is the same for both.
#pragma once

#include <windows.h>

#include "drive/drive_address.h"

enum class DataDirection { In, Out };

// Sense bytes a request can bring back (fixed format, 18 bytes).
const BYTE SCSI_SENSE_MAX = 18;

struct ScsiRequest {
    DriveAddress address;
    const BYTE* cdb = nullptr;  // cdbLength bytes
    BYTE cdbLength = 0;         // 6 or 12
    DataDirection direction = DataDirection::In;
    BYTE* data = nullptr;       // null: no buffer
    DWORD transferLength = 0;   // bytes announced for the data phase
    BYTE senseLength = 0;       // sense bytes asked for (0: none)
};

enum class ScsiOutcome {
    NotDelivered,  // the request never completed at the drive; the transport traced why
    Failed,        // the drive or the adapter reported an error: see status
    Good,
};

struct ScsiResult {
    ScsiOutcome outcome = ScsiOutcome::NotDelivered;
    unsigned status = 0;                    // the transport's status of a failed request
    const void* requestAddress = nullptr;   // the request block, named in failure traces
    BYTE sense[SCSI_SENSE_MAX] = {};        // sense data of a failed request, when the drive gave any
    BYTE senseLength = 0;
    bool timedOut = false;                  // not delivered: no answer came within the time allowed
};

// Called for each device a transport can reach, in the transport's order.
typedef void (*DeviceVisitor)(const DriveAddress& at, void* context);

class ScsiTransport {
public:
    virtual ~ScsiTransport() = default;
    // "ASPI" or "pass-through", for the trace.
    virtual const char* name() const = 0;
    // Calls visit for every address that may hold a drive.
    virtual void forEachDevice(DeviceVisitor visit, void* context) = 0;
    // True when the transport reaches the devices through the volumes of
    // drive letters, so that a letter that comes or goes tells of a drive.
    virtual bool reachesByVolume() const { return false; }
    // Sends one request and waits until it has completed (or the transport
    // gave up on it).
    virtual ScsiResult submit(const ScsiRequest& request) = 0;
    // The program ends its use of the transport: whatever it kept open for
    // the drives is let go.
    virtual void letGo() {}
};
