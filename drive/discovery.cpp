#include "drive/discovery.h"

#include "drive/cd_drive.h"
#include "drive/inquiry.h"
#include "drive/scsi_command.h"
#include "drive/transport.h"
#include "framework/cstring.h"
#include "framework/trace.h"

VolumeSystemCalls g_volumeSystemCalls = {
    GetLogicalDrives, GetDriveTypeA, CreateFileA, DeviceIoControl, CloseHandle,
};

namespace {

const BYTE kTypeCdRom = 0x05;
const BYTE kDeviceTypeMask = 0x1F;
const int kLetterCount = 26;

// Steps 4 to 6 of the scan for one target.
void probeTarget(CObList* list, BYTE adapter, BYTE target)
{
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

// Number of letters to ask: the position of the highest present drive plus
// one, at most Z.
int lettersToAsk(DWORD mask)
{
    int n = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if (mask & (DWORD(1) << bit))
            n = bit + 1;
    }
    return n < kLetterCount ? n : kLetterCount;
}

}  // namespace

void detectDrives(CObList* list)
{
    if (list == nullptr || !loadASPI())
        return;
    Trace("Detecting drives...");
    int adapters = getHostAdapterCount();
    for (int adapter = 0; adapter < adapters; ++adapter) {
        BYTE ha = static_cast<BYTE>(adapter);
        if (getMaxTargets(ha) <= 0)
            continue;
        // The bound is asked again before every further target, so an
        // adapter whose inquiry starts failing ends there.
        int target = 0;
        do {
            probeTarget(list, ha, static_cast<BYTE>(target));
            ++target;
        } while (target < getMaxTargets(ha));
    }
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
    CString volume;
    volume.Format("\\\\.\\%c:", letter);
    HANDLE hVolume = g_volumeSystemCalls.createFile(volume, GENERIC_READ | GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hVolume == INVALID_HANDLE_VALUE || hVolume == nullptr)
        return false;

    ScsiAddress address = {};
    address.Length = sizeof address;
    DWORD returned = 0;
    BOOL asked = g_volumeSystemCalls.deviceIoControl(hVolume, IOCTL_SCSI_GET_ADDRESS_CODE, nullptr, 0, &address,
                                                     sizeof address, &returned, nullptr);
    g_volumeSystemCalls.closeHandle(hVolume);
    if (!asked)
        return false;
    adapter = address.PortNumber;
    target = address.TargetId;
    return true;
}

void matchDriveLetters(CObList* list)
{
    if (list == nullptr)
        return;
    int letters = lettersToAsk(g_volumeSystemCalls.getLogicalDrives());
    for (int i = 0; i < letters; ++i) {
        char letter = static_cast<char>('A' + i);
        char root[] = {letter, ':', '\\', '\0'};
        if (g_volumeSystemCalls.getDriveType(root) != DRIVE_CDROM)
            continue;
        BYTE adapter = 0;
        BYTE target = 0;
        // A volume that cannot be opened (no access, or not a SCSI device)
        // tells nothing about the others: go on with the next letter.
        if (!getScsiAddress(letter, adapter, target))
            continue;
        for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
            CdDrive* drive = static_cast<CdDrive*>(list->GetNext(pos));
            if (drive != nullptr && drive->adapter == adapter && drive->target == target)
                drive->letter = letter;
        }
    }
}
