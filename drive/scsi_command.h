// SCSI commands as data, and the one path that submits them.
#pragma once

#include <windows.h>

#include "drive/scsi_transport.h"

// Largest data buffer a command is given.
const DWORD SCSI_DATA_MAX = 256;

// One command as the drive receives it. The buffer is zero-filled before
// the command; a command without data gets no buffer at all.
struct ScsiCommand {
    BYTE cdb[12];           // command descriptor block; parameters patched in by the caller
    BYTE cdbLength;         // 6 or 12
    DataDirection direction;
    DWORD bufferSize;       // bytes of the data buffer (0: none)
    DWORD transferLength;   // bytes announced for the data phase
    BYTE senseLength;       // sense bytes asked for
    int failureValue;       // what the operation returns when the command fails
    const char* failureTrace;  // traced with the request's address and status
};

// The commands of discovery and of CdDrive, one per operation.
extern const ScsiCommand CMD_INQUIRY_DEVICE_TYPE;  // getDeviceType
extern const ScsiCommand CMD_INQUIRY_NAME;         // getDriveName
extern const ScsiCommand CMD_INQUIRY_SERIAL;       // getUnitSerial: VPD page 80h
extern const ScsiCommand CMD_GET_SPEED;
extern const ScsiCommand CMD_GET_MAX_SPEED;
extern const ScsiCommand CMD_GET_LOCK;
extern const ScsiCommand CMD_GET_SPINDOWN;
extern const ScsiCommand CMD_SET_SPEED;
extern const ScsiCommand CMD_SET_LOCK;
extern const ScsiCommand CMD_SET_SPINDOWN;
extern const ScsiCommand CMD_GET_CONFIGURATION;     // the current profile only
extern const ScsiCommand CMD_GET_WRITE_SPEEDS;      // GET PERFORMANCE, type 03h
extern const ScsiCommand CMD_GET_NOMINAL_SPEEDS;    // GET PERFORMANCE, type 00h, reading
extern const ScsiCommand CMD_SET_STREAMING;
extern const ScsiCommand CMD_GET_POWER_CONDITION;
extern const ScsiCommand CMD_SET_POWER_CONDITION;

enum class CommandOutcome {
    Good,           // the drive completed it
    Failed,         // not delivered, or the drive failed it for another reason
    NotReady,       // the drive is not ready for it (sense key 2: no disc, say)
    Refused,        // the drive cannot take this command or these values
                    // (sense key 5, illegal request)
    MediumChanged,  // the drive did not carry it out: it reported a unit
                    // attention for a new medium, which the answer cleared
    NoAnswer,       // the drive did not answer within the time allowed
};

// Sends `command` through `link` to the device at `at` with the given CDB
// (its cdbLength bytes; the row's own when null) and data buffer, which
// holds command.bufferSize bytes already prepared by the caller, and tells
// how it ended. A request the transport could not get through fails
// silently; one the drive failed is traced.
CommandOutcome sendCommand(ScsiTransport& link, const DriveAddress& at, const ScsiCommand& command, const BYTE* cdb,
                           BYTE* data);

// sendCommand, true only when the drive completed the command.
bool submitCommand(ScsiTransport& link, const DriveAddress& at, const ScsiCommand& command, const BYTE* cdb,
                   BYTE* data);
