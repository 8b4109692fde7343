#include "drive/cd_drive.h"

#include "drive/byte_order.h"
#include "drive/conversions.h"
#include "drive/mmc.h"
#include "drive/mode_pages.h"
#include "drive/scsi_command.h"
#include "framework/trace.h"

namespace {

const int kListBlockSize = 10;

// Sends a MODE SENSE(10) command and reads one value from what it returned;
// the command's failure value when it failed.
int readModeValue(const CdDrive& drive, const ScsiCommand& command,
                  int (*read)(const unsigned char* data, size_t length))
{
    BYTE data[SCSI_DATA_MAX] = {};
    if (!drive.execute(command, nullptr, data))
        return command.failureValue;
    return read(data, command.bufferSize);
}

// The read speed field of SET CD SPEED: 16 bits, and FFFFh asks for the
// drive's maximum, so a faster speed than it can express is that, never the
// speed its low bits would name.
unsigned speedField(int kbps)
{
    return kbps > 0xFFFF ? 0xFFFFu : static_cast<unsigned>(kbps);
}

void buildSetSpeedCdb(int kbps, BYTE* cdb)
{
    CopyMemory(cdb, CMD_SET_SPEED.cdb, sizeof CMD_SET_SPEED.cdb);
    writeBigEndian16(&cdb[2], speedField(kbps));
}

}  // namespace

CdDrive::CdDrive(BYTE adapterNumber, BYTE targetId)
    : letter(NO_LETTER),
      adapter(adapterNumber),
      target(targetId),
      kbSpeeds(new CStringList(kListBlockSize)),
      speedNames(new CStringList(kListBlockSize)),
      chosenKbps(0)
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
    buildSetSpeedCdb(kbps, cdb);
    return execute(CMD_SET_SPEED, cdb, nullptr);
}

bool CdDrive::reapplyChosenSpeed() const
{
    if (chosenKbps < KBPS_PER_X)
        return false;
    Trace("Setting the chosen speed %d again on %s", chosenKbps, address.GetString());
    BYTE cdb[12];
    buildSetSpeedCdb(chosenKbps, cdb);
    CommandOutcome outcome = sendCommand(adapter, target, CMD_SET_SPEED, cdb, nullptr);
    // Told of the disc before the drive reported it, this request met the
    // unit attention, which its answer has cleared.
    if (outcome == CommandOutcome::MediumChanged)
        outcome = sendCommand(adapter, target, CMD_SET_SPEED, cdb, nullptr);
    return outcome == CommandOutcome::Good;
}

bool CdDrive::execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data) const
{
    CommandOutcome outcome = sendCommand(adapter, target, command, cdb, data);
    if (outcome != CommandOutcome::MediumChanged)
        return outcome == CommandOutcome::Good;
    bool bReapplied = reapplyChosenSpeed();
    const bool bSetsChosenSpeed = &command == &CMD_SET_SPEED && cdb != nullptr && chosenKbps >= KBPS_PER_X &&
                                  readBigEndian16(&cdb[2]) == speedField(chosenKbps);
    if (bReapplied && bSetsChosenSpeed)
        return true;
    return submitCommand(adapter, target, command, cdb, data);
}

bool CdDrive::setLock(BYTE prevent) const
{
    BYTE cdb[12];
    CopyMemory(cdb, CMD_SET_LOCK.cdb, sizeof cdb);
    cdb[4] = prevent;
    BYTE data[SCSI_DATA_MAX] = {};
    return execute(CMD_SET_LOCK, cdb, data);
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
    return execute(CMD_SET_SPINDOWN, nullptr, parameters);
}
