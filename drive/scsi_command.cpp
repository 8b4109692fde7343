#include "drive/scsi_command.h"

#include <cstdint>

#include "drive/mmc.h"
#include "drive/transport.h"
#include "framework/trace.h"

namespace {

const BYTE kReadFlags = SRB_DIR_IN | SRB_EVENT_NOTIFY;    // 0x48
const BYTE kWriteFlags = SRB_DIR_OUT | SRB_EVENT_NOTIFY;  // 0x50
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
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, 0, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_MAX_SPEED = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, 0, 0, " getSpeed() 0x%08X return: 0x%08x"};

const ScsiCommand CMD_GET_LOCK = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CAPABILITIES, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, 0, -1, "getLock() 0x%08X return: 0x%08x"};

// MODE SENSE(10) of page 0x0D (CD device parameters), current values,
// allocation length 256.
const ScsiCommand CMD_GET_SPINDOWN = {
    {mmc::MODE_SENSE_10, 0x00, mmc::PAGE_CD_PARAMETERS, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, 0,
    0xFF, "getSpindown() 0x%08X return: 0x%08x"};

// SET CD SPEED; bytes 2-3 the read speed, bytes 4-5 the write speed (FF FF).
const ScsiCommand CMD_SET_SPEED = {
    {mmc::SET_CD_SPEED, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kWriteFlags, 0, 0,
    kSenseLength, 0, " setSpeed() 0x%08X return: 0x%08x"};

// PREVENT ALLOW MEDIUM REMOVAL; byte 4 the caller's prevent byte. It moves
// no data but is sent as a read with a 256-byte buffer.
const ScsiCommand CMD_SET_LOCK = {
    {mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 12, kReadFlags, 256, 256, 0, 0,
    "setLock() 0x%08X return: 0x%08x"};

// MODE SELECT(10), PF bit set, parameter list length 16.
const ScsiCommand CMD_SET_SPINDOWN = {
    {mmc::MODE_SELECT_10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}, 12, kWriteFlags, 16, 16,
    kSenseLength, 0, "setSpindown() 0x%08X return: 0x%08x"};

bool submitCommand(BYTE adapter, BYTE target, const ScsiCommand& command, const BYTE* cdb, BYTE* data)
{
    SRB_ExecSCSICmd srb;
    ZeroMemory(&srb, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Flags = command.flags;
    srb.SRB_Target = target;
    srb.SRB_Lun = 0;
    srb.SRB_BufLen = command.transferLength;
    srb.SRB_BufPointer = command.bufferSize != 0 ? data : nullptr;
    srb.SRB_SenseLen = command.senseLength;
    srb.SRB_CDBLen = command.cdbLength;
    CopyMemory(srb.CDBByte, cdb != nullptr ? cdb : command.cdb, command.cdbLength);

    if (!sendASPI32Command(&srb))
        return false;
    if (srb.SRB_Status != SS_COMP) {
        Trace(command.failureTrace, static_cast<unsigned>(reinterpret_cast<uintptr_t>(&srb)),
              static_cast<unsigned>(srb.SRB_Status));
        return false;
    }
    return true;
}
