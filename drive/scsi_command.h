// SCSI commands as data, and the one path that submits them.
#pragma once

#include <windows.h>

#include "drive/aspi.h"

// Largest data buffer a command is given.
const DWORD SCSI_DATA_MAX = 256;

// One command as the drive receives it. The buffer is zero-filled before
// the command; a command without data gets no buffer at all.
struct ScsiCommand {
    BYTE cdb[12];           // command descriptor block; parameters patched in by the caller
    BYTE cdbLength;         // SRB_CDBLen: 6 or 12
    BYTE flags;             // SRB_Flags: direction and event notification
    DWORD bufferSize;       // bytes of the data buffer (0: none)
    DWORD transferLength;   // SRB_BufLen
    BYTE senseLength;       // SRB_SenseLen
    int failureValue;       // what the operation returns when the command fails
    const char* failureTrace;  // traced with the request's address and SRB_Status
};

// The commands of discovery and of CdDrive, one per operation.
extern const ScsiCommand CMD_INQUIRY_DEVICE_TYPE;  // getDeviceType
extern const ScsiCommand CMD_INQUIRY_NAME;         // getDriveName
extern const ScsiCommand CMD_GET_SPEED;
extern const ScsiCommand CMD_GET_MAX_SPEED;
extern const ScsiCommand CMD_GET_LOCK;
extern const ScsiCommand CMD_GET_SPINDOWN;
extern const ScsiCommand CMD_SET_SPEED;
extern const ScsiCommand CMD_SET_LOCK;
extern const ScsiCommand CMD_SET_SPINDOWN;

enum class CommandOutcome {
    Good,           // the drive completed it
    Failed,         // not delivered, or the drive failed it
    MediumChanged,  // the drive did not carry it out: it reported a unit
                    // attention for a new medium, which the answer cleared
};

// Sends `command` to (adapter, target, LUN 0) with the given CDB (its
// cdbLength bytes; the row's own when null) and data buffer, which holds
// command.bufferSize bytes already prepared by the caller, and tells how it
// ended. A request the transport could not get through fails silently; one
// the drive failed is traced.
CommandOutcome sendCommand(BYTE adapter, BYTE target, const ScsiCommand& command, const BYTE* cdb, BYTE* data);

// sendCommand, true only when the drive completed the command.
bool submitCommand(BYTE adapter, BYTE target, const ScsiCommand& command, const BYTE* cdb, BYTE* data);
