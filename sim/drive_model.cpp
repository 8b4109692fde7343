#include "sim/drive_model.h"

#include <algorithm>
#include <cstring>

#include "drive/aspi.h"
#include "drive/mmc.h"

namespace ksim {

namespace {

const size_t kInquiryDataLen = 96;

unsigned be16(const uint8_t* p)
{
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

void putBe16(uint8_t* p, unsigned v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// A transfer the direction flags or the buffer cannot carry: the adapter
// reports a data overrun/underrun and nothing is moved.
Outcome transferError()
{
    Outcome o;
    o.srbStatus = SS_ERR;
    o.haStat = HASTAT_DO_DU;
    return o;
}

// Delivers at most the allocation length and at most the buffer length.
Outcome dataIn(const Command& cmd, std::vector<uint8_t> bytes, size_t allocLen)
{
    size_t n = std::min({bytes.size(), allocLen, cmd.bufLen});
    if (n > 0 && !cmd.dataInAllowed)
        return transferError();
    Outcome o = goodOutcome();
    bytes.resize(n);
    o.data = std::move(bytes);
    return o;
}

void putBe32(uint8_t* p, uint32_t v)
{
    putBe16(p, v >> 16);
    putBe16(p + 2, v & 0xFFFF);
}

uint32_t be32(const uint8_t* p)
{
    return (static_cast<uint32_t>(be16(p)) << 16) | be16(p + 2);
}

bool holdsDvdOrBd(const DeviceProfile& profile)
{
    return profile.medium == Medium::Dvd || profile.medium == Medium::Bd;
}

// The current values of the pages.
void appendPowerConditionPage(const DriveState& state, std::vector<uint8_t>& out)
{
    uint8_t page[12] = {0x1A, 0x0A, 0x00, static_cast<uint8_t>(state.standby != 0 ? 0x01 : 0x00)};
    putBe32(page + 8, state.standby);
    out.insert(out.end(), page, page + sizeof page);
}

void appendCdParametersPage(const DriveState& state, std::vector<uint8_t>& out)
{
    const uint8_t page[8] = {mmc::PAGE_CD_PARAMETERS, 0x06, 0x00, state.spindown, 0x00, 60, 0x00, 75};
    out.insert(out.end(), page, page + sizeof page);
}

void appendCapabilitiesPage(const DeviceProfile& profile, DriveState& state, std::vector<uint8_t>& out)
{
    uint8_t page[22] = {};
    page[0] = mmc::PAGE_CAPABILITIES;
    page[1] = sizeof page - 2;
    uint16_t current = profile.policy == SpeedPolicy::Zero ? 0 : state.speed;
    uint16_t maximum = profile.maxSpeed;
    if (state.maxSpeedZeroLeft > 0) {
        maximum = 0;
        --state.maxSpeedZeroLeft;
    }
    // Reads CD-R and CD-RW media, and DVD-ROM, DVD-R and DVD-RAM when it reads DVDs.
    const bool readsDvd = profile.readsDvd || profile.medium == Medium::Dvd || profile.medium == Medium::Bd;
    page[2] = readsDvd ? 0x3B : 0x03;
    page[4] = 0x01;  // plays audio
    page[6] = static_cast<uint8_t>((profile.lockSupported ? 0x01 : 0) | (state.locked ? 0x02 : 0));
    putBe16(page + 8, maximum);
    putBe16(page + 10, 256);  // volume levels
    putBe16(page + 12, 128);  // buffer size, KB
    putBe16(page + 14, current);
    out.insert(out.end(), page, page + sizeof page);
}

// Sense of a command or parameter the drive does not know.
const uint8_t kIllegalRequest = 0x05, kInvalidOpcode = 0x20, kInvalidFieldInCdb = 0x24, kInvalidFieldInList = 0x26;
const uint8_t kNotReady = 0x02, kMediumNotPresent = 0x3A;

// The vital product data pages: the list of pages, and the unit serial
// number where the drive has one (its page length as set, else true).
Outcome vitalProductData(const DeviceProfile& profile, const Command& cmd, size_t allocLen)
{
    const bool serial = !profile.serial.empty();
    std::vector<uint8_t> data(4, 0);
    data[0] = profile.type & 0x1F;
    data[1] = cmd.cdb[2];
    if (cmd.cdb[2] == 0x00) {
        data.push_back(0x00);
        if (serial)
            data.push_back(0x80);
    } else if (cmd.cdb[2] == 0x80 && serial) {
        data.insert(data.end(), profile.serial.begin(), profile.serial.end());
    } else {
        return senseCondition(kIllegalRequest, kInvalidFieldInCdb, 0);
    }
    data[3] = static_cast<uint8_t>(cmd.cdb[2] == 0x80 && profile.serialLength >= 0 ? profile.serialLength : data.size() - 4);
    return dataIn(cmd, std::move(data), allocLen);
}

Outcome inquiry(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdbLen < 6 || ((cmd.cdb[1] & 0x01) == 0 && cmd.cdb[2] != 0))
        return checkCondition();
    size_t allocLen = be16(cmd.cdb + 3);
    if (profile.nameInquiryFails && state.inquiries++ > 0)
        return checkCondition();
    if ((cmd.cdb[1] & 0x01) != 0)
        return vitalProductData(profile, cmd, allocLen);

    std::vector<uint8_t> data(kInquiryDataLen, 0);
    data[0] = static_cast<uint8_t>(((profile.qualifier & 0x07) << 5) | (profile.type & 0x1F));
    data[1] = profile.type == 5 ? 0x80 : 0x00;  // removable medium
    data[3] = 0x02;                          // response data format
    data[4] = kInquiryDataLen - 5;
    std::memcpy(&data[8], profile.vendor, 8);
    std::memcpy(&data[16], profile.product, 16);
    std::memcpy(&data[32], profile.revision, 4);
    return dataIn(cmd, std::move(data), allocLen);
}

Outcome modeSense10(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdbLen < 10)
        return checkCondition();
    bool dbd = (cmd.cdb[1] & 0x08) != 0;
    // Only current values (page control 0) of the two pages, without subpages.
    uint8_t pageCode = cmd.cdb[2];
    size_t allocLen = be16(cmd.cdb + 7);
    if (cmd.cdb[3] != 0 || (pageCode != mmc::PAGE_CD_PARAMETERS && pageCode != mmc::PAGE_CAPABILITIES &&
                            pageCode != mmc::PAGE_POWER_CONDITION))
        return checkCondition();
    if ((pageCode == mmc::PAGE_CD_PARAMETERS && !profile.cdParametersPage) ||
        (pageCode == mmc::PAGE_POWER_CONDITION && !profile.powerConditionPage))
        return senseCondition(kIllegalRequest, kInvalidFieldInCdb, 0);

    bool withDescriptor = profile.blockDescriptor && !dbd;
    std::vector<uint8_t> data(8, 0);
    if (withDescriptor) {
        data[7] = 8;
        // Density 0, no block count, block length 2048.
        const uint8_t descriptor[8] = {0, 0, 0, 0, 0, 0x00, 0x08, 0x00};
        data.insert(data.end(), descriptor, descriptor + 8);
    }
    if (pageCode == mmc::PAGE_CD_PARAMETERS)
        appendCdParametersPage(state, data);
    else if (pageCode == mmc::PAGE_POWER_CONDITION)
        appendPowerConditionPage(state, data);
    else
        appendCapabilitiesPage(profile, state, data);
    putBe16(&data[0], static_cast<unsigned>(data.size() - 2));
    return dataIn(cmd, std::move(data), allocLen);
}

// Checks the whole parameter list before anything is applied, so that a
// malformed list changes nothing.
Outcome modeSelect10(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdbLen < 10)
        return checkCondition();
    bool pf = (cmd.cdb[1] & 0x10) != 0;
    bool sp = (cmd.cdb[1] & 0x01) != 0;
    size_t len = be16(cmd.cdb + 7);
    if (sp)
        return checkCondition();
    if (len == 0)
        return goodOutcome();
    if (!pf)
        return checkCondition();
    if (!cmd.dataOutAllowed || cmd.outData == nullptr || cmd.bufLen < len)
        return transferError();

    const uint8_t* p = cmd.outData;
    if (len < 8)
        return checkCondition();
    size_t descriptorLen = be16(p + 6);
    if (descriptorLen != 0 && descriptorLen != 8)
        return checkCondition();
    size_t pos = 8 + descriptorLen;
    if (pos > len)
        return checkCondition();

    bool haveSpindown = false, haveStandby = false;
    uint8_t spindown = 0;
    uint32_t standby = 0;
    while (pos < len) {
        if (pos + 2 > len)
            return checkCondition();
        uint8_t code = p[pos] & 0x3F;
        size_t pageLen = p[pos + 1];
        if (pos + 2 + pageLen > len)
            return checkCondition();
        const bool cdParameters = code == mmc::PAGE_CD_PARAMETERS && pageLen == 6;
        const bool powerCondition = code == mmc::PAGE_POWER_CONDITION && pageLen >= 10;
        if (!cdParameters && !powerCondition)
            return checkCondition();
        if ((cdParameters && !profile.cdParametersPage) || (powerCondition && !profile.powerConditionPage))
            return senseCondition(kIllegalRequest, kInvalidFieldInList, 0);
        if (cdParameters) {
            haveSpindown = true;
            spindown = p[pos + 3] & 0x0F;
        } else {
            haveStandby = true;
            standby = (p[pos + 3] & 0x01) != 0 ? be32(p + pos + 8) : 0;
        }
        pos += 2 + pageLen;
    }
    if (haveSpindown)
        state.spindown = static_cast<uint8_t>((state.spindown & 0xF0) | spindown);
    if (haveStandby)
        state.standby = standby;
    return goodOutcome();
}

Outcome setCdSpeed(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdbLen < 6)
        return checkCondition();
    if (profile.policy == SpeedPolicy::Refuse)
        return senseCondition(kIllegalRequest, kInvalidOpcode, 0);
    if (profile.medium == Medium::None)
        return senseCondition(kNotReady, kMediumNotPresent, 0);
    // It covers CDs only: the speed of a DVD or a BD stays.
    if (!holdsDvdOrBd(profile))
        state.speed = selectSpeed(profile, profile.policy, state.speed, static_cast<uint16_t>(be16(cmd.cdb + 2)));
    return goodOutcome();
}

Outcome setStreaming(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (profile.streamingPolicy == SpeedPolicy::Refuse)
        return senseCondition(kIllegalRequest, kInvalidOpcode, 0);
    size_t len = cmd.cdbLen >= 11 ? be16(cmd.cdb + 9) : 0;
    if (cmd.cdbLen < 12 || cmd.cdb[8] != 0 || len < 28)
        return checkCondition();
    if (!cmd.dataOutAllowed || cmd.outData == nullptr || cmd.bufLen < len)
        return transferError();
    if (profile.medium == Medium::None)
        return senseCondition(kNotReady, kMediumNotPresent, 0);
    const uint8_t* d = cmd.outData;
    const uint32_t size = be32(d + 12), time = be32(d + 16);
    // Restore Logical Unit Defaults: the drive's own speed again.
    if ((d[0] & 0x04) != 0 || time == 0) {
        state.speed = profile.initialSpeed;
        return goodOutcome();
    }
    const uint64_t kbps = static_cast<uint64_t>(size) * 1000 / time;
    const uint16_t request = kbps > 0xFFFE ? 0xFFFE : static_cast<uint16_t>(kbps);
    state.speed = selectSpeed(profile, profile.streamingPolicy, state.speed, request);
    return goodOutcome();
}

uint16_t currentProfileOf(Medium medium)
{
    switch (medium) {
    case Medium::Cd:
        return 0x0008;
    case Medium::Dvd:
        return 0x0010;
    case Medium::Bd:
        return 0x0040;
    case Medium::None:
        break;
    }
    return 0;
}

// The feature header alone: its length field counts the four bytes after it.
Outcome getConfiguration(const DeviceProfile& profile, const Command& cmd)
{
    if (!profile.configuration)
        return senseCondition(kIllegalRequest, kInvalidOpcode, 0);
    if (cmd.cdbLen < 10)
        return checkCondition();
    std::vector<uint8_t> data(8, 0);
    putBe32(&data[0], 4);
    putBe16(&data[6], currentProfileOf(profile.medium));
    return dataIn(cmd, std::move(data), be16(cmd.cdb + 7));
}

// One 16-byte descriptor per speed for type 03h, one nominal one for type
// 00h, each over the whole disc (an end LBA of a single-layer DVD).
Outcome getPerformance(const DeviceProfile& profile, const Command& cmd)
{
    if (profile.performance == Performance::Refuse)
        return senseCondition(kIllegalRequest, kInvalidOpcode, 0);
    if (cmd.cdbLen < 12 || (cmd.cdb[10] != 0x00 && cmd.cdb[10] != 0x03))
        return checkCondition();
    const uint32_t kEndLba = 2295103;
    const size_t maxDescriptors = be16(cmd.cdb + 8);
    std::vector<uint8_t> data(8, 0);
    auto descriptor = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        if ((data.size() - 8) / 16 >= maxDescriptors)
            return;
        uint8_t bytes[16];
        putBe32(bytes, a);
        putBe32(bytes + 4, b);
        putBe32(bytes + 8, c);
        putBe32(bytes + 12, d);
        data.insert(data.end(), bytes, bytes + 16);
    };
    const bool nominal = cmd.cdb[10] == 0x00;
    if (!nominal && profile.performance == Performance::Speeds) {
        for (auto it = profile.speedTable.rbegin(); it != profile.speedTable.rend(); ++it)
            if (*it <= profile.maxSpeed)
                descriptor(0, kEndLba, *it, *it);
    } else if (nominal && profile.performance == Performance::Nominal) {
        descriptor(0, profile.speedTable.empty() ? profile.maxSpeed : profile.speedTable.front(), kEndLba, profile.maxSpeed);
    }
    putBe32(&data[0], static_cast<uint32_t>(data.size() - 4));
    return dataIn(cmd, std::move(data), cmd.bufLen);
}

Outcome preventAllow(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdbLen < 6)
        return checkCondition();
    if (profile.lockSupported)
        state.locked = (cmd.cdb[4] & 0x01) != 0;
    return goodOutcome();
}

}  // namespace

DeviceProfile::DeviceProfile()
{
    std::memcpy(vendor, "KSIM    ", 8);
    std::memcpy(product, "VIRTUAL CD-ROM  ", 16);
    std::memcpy(revision, "1.00", 4);
}

DriveState initialState(const DeviceProfile& profile)
{
    DriveState s;
    s.speed = profile.initialSpeed;
    s.locked = profile.initialLocked;
    s.spindown = profile.initialSpindown;
    s.standby = profile.initialStandby;
    return s;
}

void insertDisc(const DeviceProfile& profile, DriveState& state)
{
    state.speed = profile.initialSpeed;
    state.mediumChanged = profile.unitAttention;
}

Outcome goodOutcome()
{
    Outcome o;
    o.srbStatus = SS_COMP;
    return o;
}

Outcome checkCondition()
{
    Outcome o;
    o.srbStatus = SS_ERR;
    o.targStat = STATUS_CHKCOND;
    return o;
}

Outcome senseCondition(uint8_t key, uint8_t asc, uint8_t ascq)
{
    Outcome o = checkCondition();
    // Fixed format, current error, additional length 10.
    o.sense.assign(18, 0);
    o.sense[0] = 0x70;
    o.sense[2] = key;
    o.sense[7] = 0x0A;
    o.sense[12] = asc;
    o.sense[13] = ascq;
    return o;
}

Outcome mediumChangedAttention()
{
    // UNIT ATTENTION, ASC 28h: not ready to ready change, medium may have changed.
    return senseCondition(0x06, 0x28, 0);
}

uint16_t selectSpeed(const DeviceProfile& profile, SpeedPolicy policy, uint16_t current, uint16_t request)
{
    uint16_t wanted = request == 0xFFFF ? profile.maxSpeed : request;
    switch (policy) {
    case SpeedPolicy::Any:
        return wanted;
    case SpeedPolicy::Clip:
        return std::min(wanted, profile.maxSpeed);
    case SpeedPolicy::Table: {
        uint16_t chosen = 0;
        bool any = false;
        for (uint16_t entry : profile.speedTable) {
            if (entry > profile.maxSpeed)
                break;
            if (!any || entry <= wanted)
                chosen = entry;
            any = true;
        }
        return any ? chosen : profile.maxSpeed;
    }
    case SpeedPolicy::Ignore:
    case SpeedPolicy::Zero:
    case SpeedPolicy::Refuse:
        break;
    }
    return current;
}

Outcome executeCommand(const DeviceProfile& profile, DriveState& state, const Command& cmd)
{
    if (cmd.cdb == nullptr || cmd.cdbLen == 0)
        return checkCondition();
    if (cmd.lun != profile.lun)
        return checkCondition();
    // The attention is reported once, to the first command that may carry
    // it; INQUIRY and GET CONFIGURATION never do.
    if (state.mediumChanged && cmd.cdb[0] != mmc::INQUIRY && cmd.cdb[0] != mmc::GET_CONFIGURATION) {
        state.mediumChanged = false;
        return mediumChangedAttention();
    }
    switch (cmd.cdb[0]) {
    case mmc::INQUIRY:
        return inquiry(profile, state, cmd);
    case mmc::MODE_SENSE_10:
        return modeSense10(profile, state, cmd);
    case mmc::MODE_SELECT_10:
        return modeSelect10(profile, state, cmd);
    case mmc::SET_CD_SPEED:
        return setCdSpeed(profile, state, cmd);
    case mmc::PREVENT_ALLOW_MEDIUM_REMOVAL:
        return preventAllow(profile, state, cmd);
    case mmc::SET_STREAMING:
        return setStreaming(profile, state, cmd);
    case mmc::GET_CONFIGURATION:
        return getConfiguration(profile, cmd);
    case mmc::GET_PERFORMANCE:
        return getPerformance(profile, cmd);
    default:
        return checkCondition();
    }
}

}  // namespace ksim
