#include "drive/discovery.h"

#include "drive/cd_drive.h"
#include "drive/inquiry.h"
#include "drive/scsi_command.h"
#include "framework/trace.h"

namespace {

const BYTE kTypeCdRom = 0x05;
const BYTE kDeviceTypeMask = 0x1F;

// Lists the device at (adapter, target) when it is a CD-ROM drive whose
// name can be read.
void probeTarget(BYTE adapter, BYTE target, void* context)
{
    CObList* list = static_cast<CObList*>(context);
    BYTE type = 0;
    if (!getDeviceType(adapter, target, &type) || type != kTypeCdRom)
        return;
    Trace("Device at HA %d, Target %d appears to be a CD-ROM drive.", adapter, target);

    char name[100] = {};
    if (!getDriveName(adapter, target, name)) {
        Trace("Couldn't get the name of the drive.");
        return;
    }
    Trace("Drive Name: %s", name);
    CdDrive* drive = new CdDrive(adapter, target);
    drive->name = name;
    list->AddTail(drive);
}

}  // namespace

void detectDrives(CObList* list, TransportChoice choice)
{
    if (list == nullptr || !openTransport(choice))
        return;
    Trace("Detecting drives...");
    activeTransport()->forEachDevice(probeTarget, list);
}

bool getDeviceType(BYTE adapter, BYTE target, BYTE* type)
{
    BYTE data[100] = {};
    if (!submitCommand(adapter, target, CMD_INQUIRY_DEVICE_TYPE, nullptr, data))
        return false;
    if (type != nullptr)
        *type = data[0] & kDeviceTypeMask;
    return true;
}

bool getDriveName(BYTE adapter, BYTE target, char* out)
{
    if (out == nullptr)
        return false;
    BYTE data[192] = {};
    if (!submitCommand(adapter, target, CMD_INQUIRY_NAME, nullptr, data))
        return false;
    buildDriveName(data, sizeof data, out);
    return true;
}

bool getScsiAddress(char letter, BYTE& adapter, BYTE& target)
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
    adapter = address.PortNumber;
    target = address.TargetId;
    return true;
}

namespace {

void giveLetter(char letter, void* context)
{
    CObList* list = static_cast<CObList*>(context);
    BYTE adapter = 0;
    BYTE target = 0;
    // A volume that cannot be opened (not a SCSI device, gone) tells
    // nothing about the others: go on with the next letter.
    if (!getScsiAddress(letter, adapter, target))
        return;
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
        CdDrive* drive = static_cast<CdDrive*>(list->GetNext(pos));
        if (drive != nullptr && drive->adapter == adapter && drive->target == target)
            drive->letter = letter;
    }
}

}  // namespace

void matchDriveLetters(CObList* list)
{
    if (list != nullptr)
        forEachCdRomLetter(giveLetter, list);
}

void matchDriveLettersAgain(CObList* list)
{
    if (list == nullptr)
        return;
    activeTransport()->findVolumesAgain();
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
        CdDrive* drive = static_cast<CdDrive*>(list->GetNext(pos));
        if (drive != nullptr)
            drive->letter = CdDrive::NO_LETTER;
    }
    matchDriveLetters(list);
}
