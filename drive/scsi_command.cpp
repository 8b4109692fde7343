#include "drive/scsi_command.h"

#include <cstdint>

#include "drive/mmc.h"
#include "drive/sense.h"
#include "framework/trace.h"

namespace {

const DataDirection kRead = DataDirection::In;
const DataDirection kWrite = DataDirection::Out;
// Every command asks for the fixed sense bytes up to the additional sense
// code and qualifier: a drive that has just been given a disc answers its
// next command, whichever it is, with a unit attention that only they tell
// apart from other failures.
const BYTE kSenseLength = 14;

}  // namespace

// INQUIRY, allocation length 100.
const ScsiCommand CMD_INQUIRY_DEVICE_TYPE = {
    {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00}, 6, kRead, 100, 100, kSenseLength, 0,
    "getDeviceType() 0x%08X"};

// INQUIRY, allocation length 100, as much as the request announces: an
// adapter may refuse a command that asks the drive for more than the
// transfer can take, and some report success all the same, with no data.
const ScsiCommand CMD_INQUIRY_NAME = {
    {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00}, 6, kRead, 100, 100, kSenseLength, 0,
    "getDriveName() 0x%08X return: 0x%08x"};

// INQUIRY of the unit serial number page (VPD page 80h), allocation length
// 100, as much as the request announces.
const ScsiCommand CMD_INQUIRY_SERIAL = {
    {mmc::INQUIRY, 0x01, 0x80, 0x00, 0x64, 0x00}, 6, kRead, 100, 100, kSenseLength, 0,
    "getSerial() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x2A (capabilities and mechanical status), current
// values, allocation length 256: one request per value read.
const ScsiCommand CMD_GET_SPEED = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kRead, 256, 256, kSenseLength, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_MAX_SPEED = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kRead, 256, 256, kSenseLength, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_LOCK = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kRead, 256, 256, kSenseLength, -1, "getLock() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x0D (CD device parameters), current values,
// allocation length 256.
const ScsiCommand CMD_GET_SPINDOWN = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CD_PARAMETERS, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kRead, 256, 256, kSenseLength,
    0xFF, "getSpindown() 0x%08X return: 0x%08x"};

// SET CD SPEED; bytes 2-3 the read speed, bytes 4-5 the write speed (FF FF).
const ScsiCommand CMD_SET_SPEED = {
    {mmc::SET_CD_SPEED, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kWrite, 0, 0,
    kSenseLength, 0, " setSpeed() 0x%08X return: 0x%08x"};

// PREVENT ALLOW MEDIUM REMOVAL; byte 4 the caller's prevent byte. It moves
// no data but is sent as a read with a 256-byte buffer.
const ScsiCommand CMD_SET_LOCK = {
    {mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kRead, 256, 256, kSenseLength, 0,
    "setLock() 0x%08X return: 0x%08x"};

// MODE SELECT(10), PF bit set, parameter list length 16.
const ScsiCommand CMD_SET_SPINDOWN = {
    {mmc::MODE_SELECT_10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, 12, kWrite, 16, 16,
    kSenseLength, 0, "setSpindown() 0x%08X return: 0x%08x"};

// GET CONFIGURATION, one feature from 0000h, allocation length 8: the
// feature header alone, with the current profile.
const ScsiCommand CMD_GET_CONFIGURATION = {
    {mmc::GET_CONFIGURATION, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00}, 10, kRead, 8, 8, kSenseLength, -1,
    "getMedium() 0x%08X return: 0x%08x"};

// GET PERFORMANCE of the write speed descriptors (type 03h), at most 15 of
// them: 8 + 15 * 16 bytes.
const ScsiCommand CMD_GET_WRITE_SPEEDS = {
    {mmc::GET_PERFORMANCE, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x03, 0x00}, 12, kRead, 256, 248,
    kSenseLength, 0, "getWriteSpeeds() 0x%08X return: 0x%08x"};

// GET PERFORMANCE of the nominal read performance (type 00h, tolerance
// 10b: nominal), at most 15 descriptors.
const ScsiCommand CMD_GET_NOMINAL_SPEEDS = {
    {mmc::GET_PERFORMANCE, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x00, 0x00}, 12, kRead, 256, 248,
    kSenseLength, 0, "getNominalSpeeds() 0x%08X return: 0x%08x"};

// SET STREAMING with one 28-byte performance descriptor (type 0).
const ScsiCommand CMD_SET_STREAMING = {
    {mmc::SET_STREAMING, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1C, 0x00}, 12, kWrite, 28, 28,
    kSenseLength, 0, " setStreaming() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x1A (power condition), current values.
const ScsiCommand CMD_GET_POWER_CONDITION = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_POWER_CONDITION, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12,
    kRead, 256, 256, kSenseLength, -1, "getStandby() 0x%08X return: 0x%08x"};

// MODE SELECT(10), PF bit set, parameter list length 20: the header and a
// 12-byte power condition page.
const ScsiCommand CMD_SET_POWER_CONDITION = {
    {mmc::MODE_SELECT_10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00}, 12, kWrite, 20, 20,
    kSenseLength, 0, "setStandby() 0x%08X return: 0x%08x"};

namespace {

// How a failed command ended, from its sense data.
CommandOutcome failureOutcome(const ScsiResult& result, const DriveAddress& at)
{
    SenseCode code;
    if (!readSenseCode(result.sense, result.senseLength, code))
        return CommandOutcome::Failed;
    if (isMediumChangedSense(result.sense, result.senseLength)) {
        Trace("%s: unit attention, medium changed", addressText(at).GetString());
        return CommandOutcome::MediumChanged;
    }
    if (code.key == SENSE_KEY_NOT_READY)
        return CommandOutcome::NotReady;
    if (code.key == SENSE_KEY_ILLEGAL_REQUEST)
        return CommandOutcome::Refused;
    return CommandOutcome::Failed;
}

}  // namespace

CommandOutcome sendCommand(ScsiTransport& link, const DriveAddress& at, const ScsiCommand& command, const BYTE* cdb,
                           BYTE* data)
{
    ScsiRequest request;
    request.address = at;
    request.cdb = cdb != nullptr ? cdb : command.cdb;
    request.cdbLength = command.cdbLength;
    request.direction = command.direction;
    request.data = command.bufferSize != 0 ? data : nullptr;
    request.transferLength = command.transferLength;
    request.senseLength = command.senseLength;

    ScsiResult result = link.submit(request);
    if (result.outcome == ScsiOutcome::Good)
        return CommandOutcome::Good;
    if (result.outcome == ScsiOutcome::NotDelivered)
        return result.timedOut ? CommandOutcome::NoAnswer : CommandOutcome::Failed;
    Trace(command.failureTrace, static_cast<unsigned>(reinterpret_cast<uintptr_t>(result.requestAddress)),
          result.status);
    return failureOutcome(result, at);
}

bool submitCommand(ScsiTransport& link, const DriveAddress& at, const ScsiCommand& command, const BYTE* cdb,
                   BYTE* data)
{
    return sendCommand(link, at, command, cdb, data) == CommandOutcome::Good;
}
