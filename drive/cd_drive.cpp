#include "drive/cd_drive.h"

#include "drive/byte_order.h"
#include "drive/conversions.h"
#include "drive/mmc.h"
#include "drive/mode_pages.h"
#include "drive/scsi_command.h"

namespace {

const int kListBlockSize = 10;

// Sends a MODE SENSE(10) command and reads one value from what it returned;
// the command's failure value when it failed.
int readModeValue(const CdDrive& drive, const ScsiCommand& command,
                  int (*read)(const unsigned char* data, size_t length))
{
    BYTE data[SCSI_DATA_MAX] = {};
    if (!submitCommand(drive.adapter, drive.target, command, nullptr, data))
        return command.failureValue;
    return read(data, command.bufferSize);
}

}  // namespace

CdDrive::CdDrive(BYTE adapterNumber, BYTE targetId)
    : letter(NO_LETTER),
      adapter(adapterNumber),
      target(targetId),
      kbSpeeds(new CStringList(kListBlockSize)),
      speedNames(new CStringList(kListBlockSize))
{
    address.Format("%d:%d", adapter, target);
}

CdDrive::~CdDrive()
{
    delete kbSpeeds;
    delete speedNames;
}

bool CdDrive::hasLetter() const
{
    return letter >= 'A' && letter <= 'Z';
}

void CdDrive::replaceKbSpeeds(CStringList* list)
{
    if (list == kbSpeeds)
        return;
    delete kbSpeeds;
    kbSpeeds = list;
}

void CdDrive::replaceSpeedNames(CStringList* list)
{
    if (list == speedNames)
        return;
    delete speedNames;
    speedNames = list;
}

int CdDrive::getSpeed() const
{
    return readModeValue(*this, CMD_GET_SPEED, modeCurrentSpeed);
}

int CdDrive::getMaxSpeed() const
{
    return readModeValue(*this, CMD_GET_MAX_SPEED, modeMaxSpeed);
}

int CdDrive::getLock() const
{
    return readModeValue(*this, CMD_GET_LOCK, modeLockByte);
}

BYTE CdDrive::getSpindown() const
{
    return static_cast<BYTE>(readModeValue(*this, CMD_GET_SPINDOWN, modeSpindownByte));
}

bool CdDrive::setSpeed(int kbps) const
{
    if (kbps < KBPS_PER_X)
        return false;
    BYTE cdb[12];
    CopyMemory(cdb, CMD_SET_SPEED.cdb, sizeof cdb);
    // The field holds 16 bits, and FFFFh asks for the drive's maximum: a
    // faster speed than it can express is that, never the speed its low
    // bits would name.
    writeBigEndian16(&cdb[2], kbps > 0xFFFF ? 0xFFFFu : static_cast<unsigned>(kbps));
    return submitCommand(adapter, target, CMD_SET_SPEED, cdb, nullptr);
}

bool CdDrive::setLock(BYTE prevent) const
{
    BYTE cdb[12];
    CopyMemory(cdb, CMD_SET_LOCK.cdb, sizeof cdb);
    cdb[4] = prevent;
    BYTE data[SCSI_DATA_MAX] = {};
    return submitCommand(adapter, target, CMD_SET_LOCK, cdb, data);
}

bool CdDrive::setSpindown(BYTE code) const
{
    // Mode parameter header of zeros (no block descriptor), then the CD
    // device parameters page with the caller's multiplier and the standard
    // units: 60 S units per M unit, 75 F units per S unit.
    BYTE parameters[16] = {};
    parameters[8] = mmc::PAGE_CD_PARAMETERS;
    parameters[9] = 0x06;
    parameters[11] = code;
    writeBigEndian16(&parameters[12], 60);
    writeBigEndian16(&parameters[14], 75);
    return submitCommand(adapter, target, CMD_SET_SPINDOWN, nullptr, parameters);
}
