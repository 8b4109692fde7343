#include "drive/scsi_command.h"

#include <cstdint>

#include "drive/mmc.h"
#include "drive/sense.h"
#include "drive/transport_choice.h"
#include "framework/trace.h"

namespace {

const BYTE kReadFlags = SRB_DIR_IN | SRB_EVENT_NOTIFY;    // 0x48
const BYTE kWriteFlags = SRB_DIR_OUT | SRB_EVENT_NOTIFY;  // 0x50
// Every command asks for the fixed sense bytes up to the additional sense
// code and qualifier: a drive that has just been given a disc answers its
// next command, whichever it is, with a unit attention that only they tell
// apart from other failures.
const BYTE kSenseLength = 14;

}  // namespace

// INQUIRY, allocation length 100.
const ScsiCommand CMD_INQUIRY_DEVICE_TYPE = {
    {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00}, 6, kReadFlags, 100, 100, kSenseLength, 0,
    "getDeviceType() 0x%08X"};

// INQUIRY, allocation length 192, into a 192-byte buffer that the request
// announces as 100 bytes.
const ScsiCommand CMD_INQUIRY_NAME = {
    {mmc::INQUIRY, 0x00, 0x00, 0x00, 0xC0, 0x00}, 6, kReadFlags, 192, 100, kSenseLength, 0,
    "getDriveName() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x2A (capabilities and mechanical status), current
// values, allocation length 256: one request per value read.
const ScsiCommand CMD_GET_SPEED = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, kSenseLength, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_MAX_SPEED = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, kSenseLength, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_LOCK = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, kSenseLength, -1, "getLock() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x0D (CD device parameters), current values,
// allocation length 256.
const ScsiCommand CMD_GET_SPINDOWN = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CD_PARAMETERS, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, kSenseLength,
    0xFF, "getSpindown() 0x%08X return: 0x%08x"};

// SET CD SPEED; bytes 2-3 the read speed, bytes 4-5 the write speed (FF FF).
const ScsiCommand CMD_SET_SPEED = {
    {mmc::SET_CD_SPEED, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kWriteFlags, 0, 0,
    kSenseLength, 0, " setSpeed() 0x%08X return: 0x%08x"};

// PREVENT ALLOW MEDIUM REMOVAL; byte 4 the caller's prevent byte. It moves
// no data but is sent as a read with a 256-byte buffer.
const ScsiCommand CMD_SET_LOCK = {
    {mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, kSenseLength, 0,
    "setLock() 0x%08X return: 0x%08x"};

// MODE SELECT(10), PF bit set, parameter list length 16.
const ScsiCommand CMD_SET_SPINDOWN = {
    {mmc::MODE_SELECT_10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, 12, kWriteFlags, 16, 16,
    kSenseLength, 0, "setSpindown() 0x%08X return: 0x%08x"};

CommandOutcome sendCommand(BYTE adapter, BYTE target, const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    ScsiRequest request;
    request.adapter = adapter;
    request.target = target;
    request.cdb = cdb != nullptr ? cdb : command.cdb;
    request.cdbLength = command.cdbLength;
    request.direction = (command.flags & SRB_DIR_OUT) != 0 ? DataDirection::Out : DataDirection::In;
    request.data = command.bufferSize != 0 ? data : nullptr;
    request.transferLength = command.transferLength;
    request.senseLength = command.senseLength;

    ScsiResult result = activeTransport()->submit(request);
    if (result.outcome == ScsiOutcome::Good)
        return CommandOutcome::Good;
    if (result.outcome == ScsiOutcome::NotDelivered)
        return CommandOutcome::Failed;
    Trace(command.failureTrace, static_cast<unsigned>(reinterpret_cast<uintptr_t>(result.requestAddress)),
          result.status);
    if (isMediumChangedSense(result.sense, result.senseLength)) {
        Trace("HA %d, Target %d: unit attention, medium changed", adapter, target);
        return CommandOutcome::MediumChanged;
    }
    return CommandOutcome::Failed;
}

bool submitCommand(BYTE adapter, BYTE target, const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    return sendCommand(adapter, target, command, cdb, data) == CommandOutcome::Good;
}
