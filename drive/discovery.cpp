#include "drive/discovery.h"

#include "drive/aspi_transport.h"
#include "drive/cd_drive.h"
#include "drive/inquiry.h"
#include "drive/scsi_command.h"
#include "framework/trace.h"

namespace {

const BYTE kTypeCdRom = 0x05;
const BYTE kDeviceTypeMask = 0x1F;

struct Probe {
    ScsiTransport& link;
    CObList& list;
};

// Lists the device at `at` when it is a CD-ROM drive whose name can be read.
void probeDevice(const DriveAddress& at, void* context)
{
    Probe& probe = *static_cast<Probe*>(context);
    BYTE type = 0;
    if (!getDeviceType(probe.link, at, &type) || type != kTypeCdRom)
        return;
    Trace("Device at HA %d, Target %d appears to be a CD-ROM drive.", at.adapter, at.target);

    char name[100] = {};
    DriveIdentity identity;
    if (!getDriveName(probe.link, at, name, &identity)) {
        Trace("Couldn't get the name of the drive.");
        return;
    }
    Trace("Drive Name: %s", name);
    identity.serial = getUnitSerial(probe.link, at);
    CdDrive* drive = new CdDrive(probe.link, at);
    drive->name = name;
    drive->identity = identity;
    probe.list.AddTail(drive);
}

// The CD-ROM drives the transport reaches, appended to the list; how many
// were found.
int scanDevices(ScsiTransport& link, CObList& list)
{
    Trace("Detecting drives...");
    const int nBefore = list.GetCount();
    Probe probe = {link, list};
    link.forEachDevice(probeDevice, &probe);
    return list.GetCount() - nBefore;
}

}  // namespace

ScsiTransport* detectDrives(CObList* list, TransportChoice choice)
{
    ScsiTransport* link = list != nullptr ? openTransport(choice) : nullptr;
    if (link == nullptr || scanDevices(*link, *list) > 0 || choice != TransportChoice::Auto || link != &aspiTransport())
        return link;
    // An ASPI layer may report adapters and reach nothing through them (one
    // that answers every command as unsupported, say), while the system
    // reaches the drives.
    Trace("ASPI reaches no CD-ROM drive: trying the pass-through");
    closeTransport();
    link = openTransport(TransportChoice::PassThrough);
    if (link != nullptr)
        scanDevices(*link, *list);
    return link;
}

void detectDrivesAgain(ScsiTransport& link, CObList* list)
{
    if (list == nullptr)
        return;
    scanDevices(link, *list);
    matchDriveLetters(list);
}

bool getDeviceType(ScsiTransport& link, const DriveAddress& at, BYTE* type)
{
    BYTE data[100] = {};
    if (!submitCommand(link, at, CMD_INQUIRY_DEVICE_TYPE, nullptr, data))
        return false;
    if (type != nullptr)
        *type = data[0] & kDeviceTypeMask;
    return true;
}

bool getDriveName(ScsiTransport& link, const DriveAddress& at, char* out, DriveIdentity* identity)
{
    if (out == nullptr)
        return false;
    BYTE data[100] = {};
    if (!submitCommand(link, at, CMD_INQUIRY_NAME, nullptr, data))
        return false;
    buildDriveName(data, sizeof data, out);
    if (identity != nullptr)
        *identity = identityFromInquiry(data, sizeof data);
    return true;
}

std::string getUnitSerial(ScsiTransport& link, const DriveAddress& at)
{
    BYTE data[100] = {};
    if (!submitCommand(link, at, CMD_INQUIRY_SERIAL, nullptr, data))
        return std::string();
    return unitSerialNumber(data, sizeof data);
}

bool getScsiAddress(char letter, DriveAddress& at)
{
    HANDLE hVolume = openVolume(letter, GENERIC_READ | GENERIC_WRITE);
    if (hVolume == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
        hVolume = openVolume(letter, 0);
    if (hVolume == nullptr)
        return false;
    ScsiAddress address;
    bool asked = askScsiAddress(hVolume, address);
    closeVolume(hVolume);
    if (!asked)
        return false;
    at = volumeAddress(address);
    return true;
}

namespace {

void giveLetter(char letter, void* context)
{
    CObList* list = static_cast<CObList*>(context);
    DriveAddress at;
    // A volume that cannot be opened (not a SCSI device, gone) tells
    // nothing about the others: go on with the next letter.
    if (!getScsiAddress(letter, at))
        return;
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
        CdDrive* drive = static_cast<CdDrive*>(list->GetNext(pos));
        if (drive != nullptr && drive->at() == at)
            drive->setLetter(letter);
    }
}

}  // namespace

void matchDriveLetters(CObList* list)
{
    if (list != nullptr)
        forEachCdRomLetter(giveLetter, list);
}
