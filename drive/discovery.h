// Finding the CD-ROM drives behind the chosen transport and the drive
// letters they have.
#pragma once

#include <windows.h>

#include <string>

#include "drive/identity.h"
#include "drive/scsi_transport.h"
#include "drive/transport_choice.h"
#include "drive/volume.h"
#include "framework/collections.h"

// Opens the transport (see openTransport) and appends a CdDrive for every
// device it reaches that answers INQUIRY as a CD-ROM device (type 5) and
// whose name can be read, with its identity, in the transport's order: adapter and target
// through ASPI, letter through the pass-through. Chosen automatically, an
// ASPI layer that reaches no CD-ROM drive gives way to the pass-through.
// The list stays as it was when no transport can be opened. Returns the
// transport that the drives are reached through (null: none).
ScsiTransport* detectDrives(CObList* list, TransportChoice choice = TransportChoice::Auto);

// Appends a CdDrive for every CD-ROM drive the transport reaches now (ASPI
// scans its adapters again, the pass-through the volumes), with its
// identity and letter.
void detectDrivesAgain(ScsiTransport& link, CObList* list);

// INQUIRY of the device at `at`: true when it completed; *type (when
// given) then holds the peripheral device type, qualifier bits dropped.
bool getDeviceType(ScsiTransport& link, const DriveAddress& at, BYTE* type);

// INQUIRY of the device at `at` for its vendor, product and revision: true
// when it completed and "vendor product revision" was written to out, a
// zero-filled buffer of at least 31 bytes (and the three fields to
// identity, when given).
bool getDriveName(ScsiTransport& link, const DriveAddress& at, char* out, DriveIdentity* identity = nullptr);

// INQUIRY of the device's unit serial number page; empty when it has none.
std::string getUnitSerial(ScsiTransport& link, const DriveAddress& at);

// The SCSI address of the volume of a drive letter: true when the volume
// could be opened and asked; its port number is taken as the adapter. A
// volume the user may not open for reading and writing is asked through a
// handle without access rights, which the address request allows.
bool getScsiAddress(char letter, DriveAddress& at);

// Gives each drive of the list the letter of the CD-ROM volume at its
// address; a drive matched by several letters keeps the last. A volume
// that cannot be opened or asked is passed over.
void matchDriveLetters(CObList* list);
