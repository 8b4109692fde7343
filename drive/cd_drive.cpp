#include "drive/cd_drive.h"

#include "drive/byte_order.h"
#include "drive/conversions.h"
#include "drive/mmc.h"
#include "drive/mode_pages.h"
#include "drive/performance.h"
#include "framework/trace.h"

namespace {

const int kListBlockSize = 10;

// The action under way; 0 is never one.
std::atomic<unsigned> s_nAction{1};

// Read capabilities of page 0x2A that tell a drive reads DVDs: DVD-ROM,
// DVD-R, DVD-RAM.
const int kReadsDvd = 0x38;

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
    if (kbps > 0xFFFF)
        Trace("%d KB/s is more than SET CD SPEED can carry: the drive's maximum is asked for", kbps);
    writeBigEndian16(&cdb[2], speedField(kbps));
}

// The performance descriptor of SET STREAMING for reading at kbps from the
// whole disc: kbps kilobytes every 1000 ms, for writing the same; the drive
// chooses the speed nearest to it (Exact clear), defaults not restored.
void buildStreamingDescriptor(int kbps, BYTE* descriptor)
{
    ZeroMemory(descriptor, CMD_SET_STREAMING.bufferSize);
    writeBigEndian32(&descriptor[8], 0xFFFFFFFFul);  // end LBA: to the end of the disc
    writeBigEndian32(&descriptor[12], static_cast<unsigned long>(kbps));
    writeBigEndian32(&descriptor[16], 1000);
    writeBigEndian32(&descriptor[20], static_cast<unsigned long>(kbps));
    writeBigEndian32(&descriptor[24], 1000);
}

bool isSpeedCommand(const ScsiCommand& command)
{
    return &command == &CMD_SET_SPEED || &command == &CMD_SET_STREAMING;
}

// The speed field a speed command carries (-1 for any other command), and
// the field that carries kbps in it.
long requestedSpeed(const ScsiCommand& command, const BYTE* cdb, const BYTE* data)
{
    if (&command == &CMD_SET_SPEED && cdb != nullptr)
        return static_cast<long>(readBigEndian16(&cdb[2]));
    if (&command == &CMD_SET_STREAMING && data != nullptr)
        return static_cast<long>(readBigEndian32(&data[12]));
    return -1;
}

long speedFieldOf(const ScsiCommand& command, int kbps)
{
    return &command == &CMD_SET_SPEED ? static_cast<long>(speedField(kbps)) : kbps;
}

}  // namespace

CdDrive::CdDrive(ScsiTransport& link, const DriveAddress& at)
    : address(addressText(at)),
      section(address),
      kbSpeeds(new CStringList(kListBlockSize)),
      speedNames(new CStringList(kListBlockSize)),
      dvdKbSpeeds(new CStringList(kListBlockSize)),
      dvdSpeedNames(new CStringList(kListBlockSize)),
      bdKbSpeeds(new CStringList(kListBlockSize)),
      bdSpeedNames(new CStringList(kListBlockSize)),
      m_link(link),
      m_at(at)
{
}

CdDrive::~CdDrive()
{
    for (CStringList* list : {kbSpeeds, speedNames, dvdKbSpeeds, dvdSpeedNames, bdKbSpeeds, bdSpeedNames})
        delete list;
}

CdDrive::SpeedLists CdDrive::listsFor(MediumKind kind) const
{
    if (kind == MediumKind::Dvd)
        return {dvdSpeedNames, dvdKbSpeeds, "DVD"};
    if (kind == MediumKind::Bd)
        return {bdSpeedNames, bdKbSpeeds, "BD"};
    return {speedNames, kbSpeeds, nullptr};
}

void CdDrive::replaceLists(MediumKind kind, CStringList* names, CStringList* kbps)
{
    CStringList** pNames = kind == MediumKind::Dvd ? &dvdSpeedNames : kind == MediumKind::Bd ? &bdSpeedNames : &speedNames;
    CStringList** pKbps = kind == MediumKind::Dvd ? &dvdKbSpeeds : kind == MediumKind::Bd ? &bdKbSpeeds : &kbSpeeds;
    if (names != *pNames) {
        delete *pNames;
        *pNames = names;
    }
    if (kbps != *pKbps) {
        delete *pKbps;
        *pKbps = kbps;
    }
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
    if (!m_bPresent)
        return CommandOutcome::Failed;
    if (m_nSilentAction == nAction)
        return CommandOutcome::NoAnswer;
    CommandOutcome outcome = sendCommand(m_link, m_at, command, cdb, data);
    if (outcome == CommandOutcome::NoAnswer) {
        Trace("%s does not answer", addressText(m_at).GetString());
        m_nSilentAction = nAction;
        m_bAnswering = false;
    } else {
        m_bAnswering = true;
    }
    return outcome;
}

bool CdDrive::readCapabilities(const ScsiCommand& command, BYTE* data)
{
    ZeroMemory(data, SCSI_DATA_MAX);
    if (execute(command, nullptr, data) != CommandOutcome::Good)
        return false;
    // What a drive can read does not change: once it said DVDs, it reads them.
    const int nCapabilities = modeReadCapabilities(data, command.bufferSize);
    if (nCapabilities >= 0 && (nCapabilities & kReadsDvd) != 0)
        m_bReadsDvd = true;
    return true;
}

int CdDrive::getSpeed()
{
    BYTE data[SCSI_DATA_MAX];
    if (!readCapabilities(CMD_GET_SPEED, data))
        return CMD_GET_SPEED.failureValue;
    int kbps = modeCurrentSpeed(data, CMD_GET_SPEED.bufferSize);
    if (!speedLeftChosen(kbps))
        return kbps;
    Trace("%s runs at %d KB/s, no longer at the chosen speed %d: a new disc", addressText(m_at).GetString(), kbps,
          chosenKbps());
    reapplyChosenSpeed();
    if (!readCapabilities(CMD_GET_SPEED, data))
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
    BYTE data[SCSI_DATA_MAX];
    if (!readCapabilities(CMD_GET_MAX_SPEED, data))
        return CMD_GET_MAX_SPEED.failureValue;
    return modeMaxSpeed(data, CMD_GET_MAX_SPEED.bufferSize);
}

int CdDrive::getLock()
{
    BYTE data[SCSI_DATA_MAX];
    if (!readCapabilities(CMD_GET_LOCK, data))
        return CMD_GET_LOCK.failureValue;
    return modeLockByte(data, CMD_GET_LOCK.bufferSize);
}

CdDrive::Spindown CdDrive::getSpindown()
{
    Spindown spindown;
    BYTE data[SCSI_DATA_MAX] = {};
    if (m_spindownPage == Spindown::Failed || m_spindownPage == Spindown::Inactivity) {
        CommandOutcome outcome = execute(CMD_GET_SPINDOWN, nullptr, data);
        const bool bPage = modePageCode(data, CMD_GET_SPINDOWN.bufferSize) == mmc::PAGE_CD_PARAMETERS;
        if (outcome == CommandOutcome::Good && bPage) {
            m_spindownPage = Spindown::Inactivity;
            spindown.source = Spindown::Inactivity;
            spindown.value = modeSpindownByte(data, CMD_GET_SPINDOWN.bufferSize);
            return spindown;
        }
        // Current drives have no CD parameters page: they refuse to send
        // it, or send another page in its place.
        if (outcome != CommandOutcome::Refused && outcome != CommandOutcome::Good)
            return spindown;
        m_spindownPage = Spindown::Standby;
    }
    if (m_spindownPage == Spindown::Standby) {
        ZeroMemory(data, sizeof data);
        CommandOutcome outcome = execute(CMD_GET_POWER_CONDITION, nullptr, data);
        const long nStandby = modeStandbyTimer(data, CMD_GET_POWER_CONDITION.bufferSize);
        if (outcome == CommandOutcome::Good && nStandby >= 0) {
            spindown.source = Spindown::Standby;
            spindown.value = nStandby;
            return spindown;
        }
        if (outcome != CommandOutcome::Refused && outcome != CommandOutcome::Good)
            return spindown;
        m_spindownPage = Spindown::NotReported;
    }
    spindown.source = Spindown::NotReported;
    return spindown;
}

MediumKind CdDrive::readMedium(bool bFollowNewDisc)
{
    if (!m_bReadsDvd || !m_bTellsMedium) {
        m_medium = MediumKind::Cd;
        return m_medium;
    }
    BYTE data[SCSI_DATA_MAX] = {};
    CommandOutcome outcome = send(CMD_GET_CONFIGURATION, nullptr, data);
    // A new disc's attention answered here is cleared by that answer.
    if (outcome == CommandOutcome::MediumChanged)
        outcome = send(CMD_GET_CONFIGURATION, nullptr, data);
    if (outcome == CommandOutcome::Good) {
        const int nProfile = currentProfile(data, CMD_GET_CONFIGURATION.bufferSize);
        const MediumKind kind = mediumKindOfProfile(nProfile);
        // A disc nothing announced: where there was none, or one of another kind.
        const bool bNewDisc = m_bMediumKnown && kind != m_medium && kind != MediumKind::None;
        m_medium = kind;
        m_bMediumKnown = true;
        Trace("%s holds profile 0x%04X", addressText(m_at).GetString(), static_cast<unsigned>(nProfile & 0xFFFF));
        if (bNewDisc && bFollowNewDisc)
            reapplyChosenSpeed();
    } else if (outcome == CommandOutcome::Refused) {
        m_bTellsMedium = false;
        m_medium = MediumKind::Cd;
    }
    return m_medium;
}

std::vector<unsigned> CdDrive::offeredSpeeds()
{
    // Drives that read CDs only predate the command.
    std::vector<unsigned> speeds;
    if (!m_bReadsDvd)
        return speeds;
    const ScsiCommand* commands[] = {&CMD_GET_WRITE_SPEEDS, &CMD_GET_NOMINAL_SPEEDS};
    const PerformanceType types[] = {PerformanceType::WriteSpeed, PerformanceType::Nominal};
    for (int i = 0; i < 2 && speeds.empty(); ++i) {
        BYTE data[SCSI_DATA_MAX] = {};
        if (execute(*commands[i], nullptr, data) != CommandOutcome::Good)
            continue;
        speeds = performanceSpeeds(data, commands[i]->transferLength, types[i]);
    }
    return speeds;
}

CommandOutcome CdDrive::setSpeed(int kbps)
{
    if (kbps < kbpsPerX(medium()))
        return CommandOutcome::Failed;
    // The speed the drive runs at next is the one to watch while the chosen
    // speed is in force; any other speed (detection's) ends the watch.
    m_bWatchingSpeed = kbps == chosenKbps();
    m_nSpeedWithChosen = -1;
    return sendSpeed(kbps, &CdDrive::execute);
}

CommandOutcome CdDrive::sendSpeed(int kbps, SendFunction how)
{
    if (medium() == MediumKind::Dvd || medium() == MediumKind::Bd) {
        BYTE descriptor[SCSI_DATA_MAX];
        buildStreamingDescriptor(kbps, descriptor);
        return (this->*how)(CMD_SET_STREAMING, nullptr, descriptor);
    }
    BYTE cdb[12];
    buildSetSpeedCdb(kbps, cdb);
    return (this->*how)(CMD_SET_SPEED, cdb, nullptr);
}

bool CdDrive::reapplyChosenSpeed()
{
    // The speed chosen for the kind of disc the drive holds now.
    readMedium();
    const int nChosen = chosenKbps();
    if (nChosen < KBPS_PER_X)
        return false;
    Trace("Setting the chosen speed %d again on %s", nChosen, addressText(m_at).GetString());
    m_bWatchingSpeed = true;
    m_nSpeedWithChosen = -1;
    CommandOutcome outcome = sendSpeed(nChosen, &CdDrive::send);
    // Told of the disc before the drive reported it, this request met the
    // unit attention, which its answer has cleared.
    if (outcome == CommandOutcome::MediumChanged)
        outcome = sendSpeed(nChosen, &CdDrive::send);
    return outcome == CommandOutcome::Good;
}

CommandOutcome CdDrive::execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    CommandOutcome outcome = send(command, cdb, data);
    if (outcome != CommandOutcome::MediumChanged)
        return outcome;
    const MediumKind before = medium();
    bool bReapplied = reapplyChosenSpeed();
    // A speed meant for another kind of disc than the new one is not sent:
    // it stays chosen for that kind.
    if (isSpeedCommand(command) && medium() != before)
        return CommandOutcome::MediumChanged;
    const int nChosen = chosenKbps();
    const bool bSetsChosenSpeed = isSpeedCommand(command) && nChosen >= KBPS_PER_X &&
                                  requestedSpeed(command, cdb, data) == speedFieldOf(command, nChosen);
    if (bReapplied && bSetsChosenSpeed)
        return CommandOutcome::Good;
    // Another speed sent after the chosen one is the one in force then.
    if (isSpeedCommand(command) && !bSetsChosenSpeed)
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
    if (m_spindownPage == Spindown::NotReported)
        return false;
    if (m_spindownPage == Spindown::Standby) {
        const long nStandby = standbyTimerOfCode(code);
        if (nStandby == 0)
            return false;
        // Mode parameter header of zeros, then the power condition page with
        // standby on and its timer, idle off.
        BYTE parameters[20] = {};
        parameters[8] = mmc::PAGE_POWER_CONDITION;
        parameters[9] = 0x0A;
        parameters[11] = 0x01;
        writeBigEndian32(&parameters[16], static_cast<unsigned long>(nStandby));
        return execute(CMD_SET_POWER_CONDITION, nullptr, parameters) == CommandOutcome::Good;
    }
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
