// The system's SCSI pass-through: every request goes to the volume of the
// drive's letter ("\\.\X:") as one IOCTL_SCSI_PASS_THROUGH. Serves where no
// ASPI layer is installed (every Windows of the NT line) and the 64-bit
// program, which has no ASPI layer to load.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>

#include "drive/scsi_command.h"
#include "drive/scsi_transport.h"

// How long the system lets one command run before it gives up on it, in
// seconds (the pass-through interface requires a limit). None of our
// commands moves the medium, but a drive asleep spins up before it answers
// SET CD SPEED or MODE SELECT, which slow drives take up to about 10 s to
// do, and a drive that has just been given a disc may be busy reading it
// for longer. After 20 s the drive is taken to be hung and the command has
// failed.
const ULONG PASS_THROUGH_TIMEOUT_SECONDS = 20;

// One request as the system receives it: the header, then the sense bytes,
// then the data, all in one buffer that the system copies in and out. The
// buffered request is used rather than the direct one because our
// transfers are small (at most SCSI_DATA_MAX bytes), so the copy costs
// nothing, and the data need not meet the adapter's alignment in our
// memory.
struct PassThroughRequest {
    SCSI_PASS_THROUGH header;
    BYTE sense[SCSI_SENSE_MAX];
    alignas(8) BYTE data[SCSI_DATA_MAX];
};

// Fills out from the request (whose transferLength is at most
// SCSI_DATA_MAX): the same CDB, direction and lengths as every transport
// sends, the time-out above.
void buildPassThroughRequest(const ScsiRequest& request, PassThroughRequest& out);

ScsiTransport& passThroughTransport();
