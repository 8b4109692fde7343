#include "drive/cd_drive.h"

#include "drive/byte_order.h"
#include "drive/conversions.h"
#include "drive/mmc.h"
#include "drive/mode_pages.h"
#include "framework/trace.h"

namespace {

const int kListBlockSize = 10;

// The action under way; 0 is never one.
std::atomic<unsigned> s_nAction{1};

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

CdDrive::CdDrive(ScsiTransport& link, const DriveAddress& at)
    : address(addressText(at)),
      kbSpeeds(new CStringList(kListBlockSize)),
      speedNames(new CStringList(kListBlockSize)),
      m_link(link),
      m_at(at)
{
}

CdDrive::~CdDrive()
{
    delete kbSpeeds;
    delete speedNames;
}

void CdDrive::beginAction()
{
    unsigned next = s_nAction.load() + 1;
    s_nAction = next != 0 ? next : 1;
}

bool CdDrive::hasLetter() const
{
    const char c = m_letter;
    return c >= 'A' && c <= 'Z';
}

CommandOutcome CdDrive::send(const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    const unsigned nAction = s_nAction;
    if (m_nSilentAction == nAction)
        return CommandOutcome::NoAnswer;
    CommandOutcome outcome = sendCommand(m_link, m_at, command, cdb, data);
    if (outcome == CommandOutcome::NoAnswer) {
        Trace("%s does not answer", address.GetString());
        m_nSilentAction = nAction;
        m_bAnswering = false;
    } else {
        m_bAnswering = true;
    }
    return outcome;
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

int CdDrive::getSpeed()
{
    BYTE data[SCSI_DATA_MAX] = {};
    if (execute(CMD_GET_SPEED, nullptr, data) != CommandOutcome::Good)
        return CMD_GET_SPEED.failureValue;
    int kbps = modeCurrentSpeed(data, CMD_GET_SPEED.bufferSize);
    if (!speedLeftChosen(kbps))
        return kbps;
    Trace("%s runs at %d KB/s, no longer at the chosen speed %d: a new disc", address.GetString(), kbps,
          chosenKbps());
    reapplyChosenSpeed();
    ZeroMemory(data, sizeof data);
    if (execute(CMD_GET_SPEED, nullptr, data) != CommandOutcome::Good)
        return CMD_GET_SPEED.failureValue;
    kbps = modeCurrentSpeed(data, CMD_GET_SPEED.bufferSize);
    speedLeftChosen(kbps);
    return kbps;
}

bool CdDrive::speedLeftChosen(int kbps)
{
    if (!m_bWatchingSpeed || chosenKbps() < KBPS_PER_X)
        return false;
    const int nBefore = m_nSpeedWithChosen;
    m_nSpeedWithChosen = kbps;
    // A drive without a disc may read as 0: that is nothing to act on, and
    // the speed it reports once a disc is in differs from it.
    return nBefore >= 0 && kbps != 0 && kbps != nBefore;
}

int CdDrive::getMaxSpeed()
{
    BYTE data[SCSI_DATA_MAX] = {};
    if (execute(CMD_GET_MAX_SPEED, nullptr, data) != CommandOutcome::Good)
        return CMD_GET_MAX_SPEED.failureValue;
    return modeMaxSpeed(data, CMD_GET_MAX_SPEED.bufferSize);
}

int CdDrive::getLock()
{
    BYTE data[SCSI_DATA_MAX] = {};
    if (execute(CMD_GET_LOCK, nullptr, data) != CommandOutcome::Good)
        return CMD_GET_LOCK.failureValue;
    return modeLockByte(data, CMD_GET_LOCK.bufferSize);
}

int CdDrive::getSpindown()
{
    BYTE data[SCSI_DATA_MAX] = {};
    CommandOutcome outcome = execute(CMD_GET_SPINDOWN, nullptr, data);
    // Current drives have no CD parameters page: they refuse to send it, or
    // send another page in its place.
    if (outcome == CommandOutcome::Refused ||
        (outcome == CommandOutcome::Good && modePageCode(data, CMD_GET_SPINDOWN.bufferSize) != mmc::PAGE_CD_PARAMETERS))
        return SPINDOWN_NOT_REPORTED;
    if (outcome != CommandOutcome::Good)
        return SPINDOWN_FAILED;
    return modeSpindownByte(data, CMD_GET_SPINDOWN.bufferSize);
}

CommandOutcome CdDrive::setSpeed(int kbps)
{
    if (kbps < KBPS_PER_X)
        return CommandOutcome::Failed;
    BYTE cdb[12];
    buildSetSpeedCdb(kbps, cdb);
    // The speed the drive runs at next is the one to watch while the chosen
    // speed is in force; any other speed (detection's) ends the watch.
    m_bWatchingSpeed = kbps == chosenKbps();
    m_nSpeedWithChosen = -1;
    return execute(CMD_SET_SPEED, cdb, nullptr);
}

CommandOutcome CdDrive::sendSpeed(int kbps)
{
    BYTE cdb[12];
    buildSetSpeedCdb(kbps, cdb);
    return send(CMD_SET_SPEED, cdb, nullptr);
}

bool CdDrive::reapplyChosenSpeed()
{
    const int nChosen = chosenKbps();
    if (nChosen < KBPS_PER_X)
        return false;
    Trace("Setting the chosen speed %d again on %s", nChosen, address.GetString());
    m_bWatchingSpeed = true;
    m_nSpeedWithChosen = -1;
    CommandOutcome outcome = sendSpeed(nChosen);
    // Told of the disc before the drive reported it, this request met the
    // unit attention, which its answer has cleared.
    if (outcome == CommandOutcome::MediumChanged)
        outcome = sendSpeed(nChosen);
    return outcome == CommandOutcome::Good;
}

CommandOutcome CdDrive::execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    CommandOutcome outcome = send(command, cdb, data);
    if (outcome != CommandOutcome::MediumChanged)
        return outcome;
    bool bReapplied = reapplyChosenSpeed();
    const int nChosen = chosenKbps();
    const bool bSetsChosenSpeed = &command == &CMD_SET_SPEED && cdb != nullptr && nChosen >= KBPS_PER_X &&
                                  readBigEndian16(&cdb[2]) == speedField(nChosen);
    if (bReapplied && bSetsChosenSpeed)
        return CommandOutcome::Good;
    // Another speed sent after the chosen one is the one in force then.
    if (&command == &CMD_SET_SPEED && !bSetsChosenSpeed)
        m_bWatchingSpeed = false;
    return send(command, cdb, data);
}

bool CdDrive::setLock(BYTE prevent)
{
    BYTE cdb[12];
    CopyMemory(cdb, CMD_SET_LOCK.cdb, sizeof cdb);
    cdb[4] = prevent;
    BYTE data[SCSI_DATA_MAX] = {};
    return execute(CMD_SET_LOCK, cdb, data) == CommandOutcome::Good;
}

bool CdDrive::setSpindown(BYTE code)
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
    return execute(CMD_SET_SPINDOWN, nullptr, parameters) == CommandOutcome::Good;
}
