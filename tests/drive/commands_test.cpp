// The drive commands, against an in-process fake (every byte of each request
// block) and against the simulated drives (the command log, values read
// back, failure values and trace lines).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "drive/discovery.h"
#include "drive/transport.h"
#include "fake_aspi.h"
#include "sim_drives.h"
#include "trace_capture.h"

namespace {

typedef std::vector<BYTE> Bytes;

struct CommandRow {
    const char* what;
    std::function<void(CdDrive&)> call;
    Bytes cdb;
    BYTE flags;
    DWORD bufLen;
    BYTE senseLen;
    bool buffer;     // a data buffer is given
    Bytes outData;   // what the buffer holds at submission (zeros when empty)
};

const Bytes kModeSense2A = {0x5A, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
const Bytes kModeSense0D = {0x5A, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

Bytes setSpeedCdb(BYTE hh, BYTE ll)
{
    return {0xBB, 0x00, hh, ll, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

Bytes lockCdb(BYTE pp)
{
    return {0x1E, 0x00, 0x00, 0x00, pp, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

Bytes spindownParameters(BYTE code)
{
    return {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x06, 0x00, code, 0x00, 0x3C, 0x00, 0x4B};
}

const Bytes kModeSelect = {0x55, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00};

// The request block a command must arrive as: everything else zero. The
// event and buffer pointers are compared apart.
Bytes expectedBlock(BYTE adapter, BYTE target, const CommandRow& row)
{
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = adapter;
    srb.SRB_Flags = row.flags;
    srb.SRB_Target = target;
    srb.SRB_BufLen = row.bufLen;
    srb.SRB_SenseLen = row.senseLen;
    srb.SRB_CDBLen = static_cast<BYTE>(row.cdb.size());
    std::memcpy(srb.CDBByte, row.cdb.data(), row.cdb.size());
    const BYTE* p = reinterpret_cast<const BYTE*>(&srb);
    return Bytes(p, p + sizeof srb);
}

Bytes withoutPointers(Bytes block)
{
    std::memset(&block[offsetof(SRB_ExecSCSICmd, SRB_BufPointer)], 0, sizeof(void*));
    std::memset(&block[offsetof(SRB_ExecSCSICmd, SRB_PostProc)], 0, sizeof(void*));
    return block;
}

const std::vector<CommandRow>& commandRows()
{
    static const std::vector<CommandRow> rows = {
        {"getSpeed", [](CdDrive& d) { d.getSpeed(); }, kModeSense2A, 0x48, 256, 0, true, {}},
        {"getMaxSpeed", [](CdDrive& d) { d.getMaxSpeed(); }, kModeSense2A, 0x48, 256, 0, true, {}},
        {"getLock", [](CdDrive& d) { d.getLock(); }, kModeSense2A, 0x48, 256, 0, true, {}},
        {"getSpindown", [](CdDrive& d) { d.getSpindown(); }, kModeSense0D, 0x48, 256, 0, true, {}},
        {"setSpeed(176)", [](CdDrive& d) { d.setSpeed(176); }, setSpeedCdb(0x00, 0xB0), 0x50, 0, 14, false, {}},
        {"setSpeed(1411)", [](CdDrive& d) { d.setSpeed(1411); }, setSpeedCdb(0x05, 0x83), 0x50, 0, 14, false, {}},
        {"setSpeed(7040)", [](CdDrive& d) { d.setSpeed(7040); }, setSpeedCdb(0x1B, 0x80), 0x50, 0, 14, false, {}},
        {"setSpeed(65535)", [](CdDrive& d) { d.setSpeed(65535); }, setSpeedCdb(0xFF, 0xFF), 0x50, 0, 14, false, {}},
        {"setSpeed(65536+176)", [](CdDrive& d) { d.setSpeed(65536 + 176); }, setSpeedCdb(0x00, 0xB0), 0x50, 0, 14,
         false, {}},
        {"setSpeed(INT_MAX)", [](CdDrive& d) { d.setSpeed(INT_MAX); }, setSpeedCdb(0xFF, 0xFF), 0x50, 0, 14, false,
         {}},
        {"setLock(1)", [](CdDrive& d) { d.setLock(1); }, lockCdb(0x01), 0x48, 256, 0, true, {}},
        {"setLock(0)", [](CdDrive& d) { d.setLock(0); }, lockCdb(0x00), 0x48, 256, 0, true, {}},
        {"setLock(0x81)", [](CdDrive& d) { d.setLock(0x81); }, lockCdb(0x81), 0x48, 256, 0, true, {}},
        {"setSpindown(10)", [](CdDrive& d) { d.setSpindown(10); }, kModeSelect, 0x50, 16, 14, true,
         spindownParameters(0x0A)},
        {"setSpindown(0)", [](CdDrive& d) { d.setSpindown(0); }, kModeSelect, 0x50, 16, 14, true,
         spindownParameters(0x00)},
        {"setSpindown(0xFF)", [](CdDrive& d) { d.setSpindown(0xFF); }, kModeSelect, 0x50, 16, 14, true,
         spindownParameters(0xFF)},
        {"getDeviceType", [](CdDrive& d) { BYTE t; getDeviceType(d.adapter, d.target, &t); },
         {0x12, 0x00, 0x00, 0x00, 0x64, 0x00}, 0x48, 100, 14, true, {}},
        {"getDriveName", [](CdDrive& d) { char n[31] = {}; getDriveName(d.adapter, d.target, n); },
         {0x12, 0x00, 0x00, 0x00, 0xC0, 0x00}, 0x48, 100, 14, true, {}},
    };
    return rows;
}

TEST(DriveCommands, EachCommandIsExactlyItsRequestBlock)
{
    for (const CommandRow& row : commandRows()) {
        FakeAspi fake;
        CdDrive drive(2, 5);
        row.call(drive);
        ASSERT_EQ(fake.requests().size(), 1u) << row.what;
        const RecordedRequest& r = fake.requests()[0];
        EXPECT_EQ(withoutPointers(r.block), withoutPointers(expectedBlock(2, 5, row))) << row.what;
        EXPECT_EQ(r.exec().SRB_BufPointer != nullptr, row.buffer) << row.what;
        if (row.buffer) {
            Bytes out = row.outData.empty() ? Bytes(row.bufLen, 0) : row.outData;
            EXPECT_EQ(r.data, out) << row.what;
        }
    }
}

TEST(DriveCommands, SpeedsBelowOneXAreNotSent)
{
    const int speeds[] = {175, 1, 0, -1, -176, INT_MIN};
    for (int kbps : speeds) {
        FakeAspi fake;
        TraceCapture trace;
        CdDrive drive(0, 0);
        EXPECT_FALSE(drive.setSpeed(kbps)) << kbps;
        EXPECT_TRUE(fake.requests().empty()) << kbps;
        EXPECT_TRUE(trace.lines().empty()) << kbps;
    }
}

struct FailureRow {
    const char* what;
    std::function<int(CdDrive&)> call;
    int failure;
    const char* trace;
};

const FailureRow kFailureRows[] = {
    {"getSpeed", [](CdDrive& d) { return d.getSpeed(); }, 0, " getSpeed() 0x%08X return: 0x%08x"},
    {"getMaxSpeed", [](CdDrive& d) { return d.getMaxSpeed(); }, 0, " getSpeed() 0x%08X return: 0x%08x"},
    {"getLock", [](CdDrive& d) { return d.getLock(); }, -1, "getLock() 0x%08X return: 0x%08x"},
    {"getSpindown", [](CdDrive& d) { return int(d.getSpindown()); }, 0xFF, "getSpindown() 0x%08X return: 0x%08x"},
    {"setSpeed", [](CdDrive& d) { return int(d.setSpeed(1411)); }, 0, " setSpeed() 0x%08X return: 0x%08x"},
    {"setLock", [](CdDrive& d) { return int(d.setLock(1)); }, 0, "setLock() 0x%08X return: 0x%08x"},
    {"setSpindown", [](CdDrive& d) { return int(d.setSpindown(10)); }, 0, "setSpindown() 0x%08X return: 0x%08x"},
    {"getDeviceType", [](CdDrive& d) { return int(getDeviceType(d.adapter, d.target, nullptr)); }, 0,
     "getDeviceType() 0x%08X"},
    {"getDriveName",
     [](CdDrive& d) {
         char n[31] = {};
         return int(getDriveName(d.adapter, d.target, n));
     },
     0, "getDriveName() 0x%08X return: 0x%08x"},
};

// The trace line names the request block by its address.
TEST(DriveCommands, ErrorStatusGivesTheFailureValueAndTheTraceLine)
{
    for (const FailureRow& row : kFailureRows) {
        FakeAspi fake;
        fake.onExec([](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, 0x83, 10); });
        TraceCapture trace;
        CdDrive drive(1, 3);
        EXPECT_EQ(row.call(drive), row.failure) << row.what;
        ASSERT_EQ(fake.requests().size(), 1u) << row.what;
        char expected[128];
        std::snprintf(expected, sizeof expected, row.trace,
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(fake.requests()[0].address)), 0x83u);
        EXPECT_EQ(trace.lines(), std::vector<std::string>{expected}) << row.what;
    }
    // Without an interface nothing is sent and nothing traced.
    installASPIEntryPoints(nullptr, nullptr);
    for (const FailureRow& row : kFailureRows) {
        TraceCapture trace;
        CdDrive drive(1, 3);
        EXPECT_EQ(row.call(drive), row.failure) << row.what << " without an interface";
        EXPECT_TRUE(trace.lines().empty()) << row.what;
    }
}

TEST(CdDriveRecord, ConstructionAndLists)
{
    CdDrive drive(1, 0);
    EXPECT_EQ(drive.address, "1:0");
    EXPECT_EQ(drive.letter, CdDrive::NO_LETTER);
    EXPECT_FALSE(drive.hasLetter());
    EXPECT_EQ(drive.name, "");
    ASSERT_NE(drive.kbSpeeds, nullptr);
    ASSERT_NE(drive.speedNames, nullptr);
    EXPECT_TRUE(drive.kbSpeeds->IsEmpty());
    EXPECT_EQ(drive.kbSpeeds->GetBlockSize(), 10);
    EXPECT_EQ(drive.speedNames->GetBlockSize(), 10);
    EXPECT_EQ(CdDrive(255, 15).address, "255:15");

    for (char c : {'A', 'E', 'Z'}) {
        drive.letter = c;
        EXPECT_TRUE(drive.hasLetter()) << c;
    }
    for (char c : {'?', '\0', 'a', '[', '@'}) {
        drive.letter = c;
        EXPECT_FALSE(drive.hasLetter()) << int(c);
    }

    // Replacing a list disposes of the old one; the same list is kept.
    CStringList* kb = new CStringList(10);
    kb->AddTail("1411");
    drive.replaceKbSpeeds(kb);
    EXPECT_EQ(drive.kbSpeeds, kb);
    drive.replaceKbSpeeds(kb);
    EXPECT_EQ(drive.kbSpeeds->GetCount(), 1) << "putting the same list in place keeps it";
    drive.replaceSpeedNames(new CStringList(10));
    drive.replaceSpeedNames(nullptr);
    EXPECT_EQ(drive.speedNames, nullptr);
}

// The same commands through the simulated drives, as its log shows them.
TEST(DriveCommandsOnSim, EachCommandArrivesAsLogged)
{
    for (const CommandRow& row : commandRows()) {
        SimDrives sim;
        sim.setup.adapters(2);
        sim.setup.device(1, 3).cdrom("VEND", "PRODUCT", "1.00");
        sim.write();
        ASSERT_TRUE(loadASPI());
        CdDrive drive(1, 3);
        row.call(drive);
        std::vector<ksim::SimRecord> sent = sim.log().commands();
        ASSERT_EQ(sent.size(), 1u) << row.what;
        const ksim::SimRecord& r = sent[0];
        EXPECT_EQ(r.ha, 1) << r;
        EXPECT_EQ(r.tgt, 3) << r;
        EXPECT_EQ(r.lun, 0) << r;
        EXPECT_EQ(r.flags, row.flags) << r;
        EXPECT_EQ(r.buflen, long(row.bufLen)) << r;
        EXPECT_EQ(r.senselen, row.senseLen) << r;
        EXPECT_EQ(r.cdblen, int(row.cdb.size())) << r;
        EXPECT_EQ(Bytes(r.cdb.begin(), r.cdb.end()), row.cdb) << r;
        EXPECT_EQ(r.hasOut, !row.outData.empty()) << r;
        if (r.hasOut) {
            EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), row.outData) << r;
        }
        EXPECT_EQ(r.status, SS_COMP) << r;
    }
}

// A loaded simulator with one drive at adapter 0, target 1.
struct OneSimDrive {
    SimDrives sim;
    CdDrive drive{0, 1};
    ksim::SimDevice& device;
    OneSimDrive() : device(sim.setup.device(0, 1))
    {
        sim.setup.adapters(1);
        device.cdrom("VEND", "PRODUCT", "1.00").maxSpeed(7056).speed(1411).policy("any");
    }
    bool start()
    {
        sim.write();
        return loadASPI();
    }
};

TEST(DriveCommandsOnSim, SpeedsSetAndReadBack)
{
    OneSimDrive s;
    ASSERT_TRUE(s.start());
    EXPECT_EQ(s.drive.getSpeed(), 1411);
    EXPECT_EQ(kbpsToX(s.drive.getSpeed()), 8);
    EXPECT_EQ(s.drive.getMaxSpeed(), 7056);
    EXPECT_TRUE(s.drive.setSpeed(7040));
    EXPECT_EQ(s.drive.getSpeed(), 7040);
    EXPECT_TRUE(s.drive.setSpeed(65536 + 176));
    EXPECT_EQ(s.drive.getSpeed(), 176) << "bits above 15 are dropped";
    s.sim.clearLog();
    EXPECT_FALSE(s.drive.setSpeed(175));
    EXPECT_TRUE(s.sim.log().commands().empty()) << "nothing is sent below 1X";
}

TEST(DriveCommandsOnSim, LockStateSetAndReadBack)
{
    {
        OneSimDrive s;
        s.device.lock(true, false);
        ASSERT_TRUE(s.start());
        EXPECT_EQ(s.drive.getLock(), 0x01);
        EXPECT_TRUE(s.drive.setLock(1));
        EXPECT_EQ(s.drive.getLock(), 0x03);
        EXPECT_TRUE(s.drive.setLock(0));
        EXPECT_EQ(s.drive.getLock(), 0x01);
    }
    {
        OneSimDrive s;
        s.device.lock(false).mechanismBits(0x28);
        ASSERT_TRUE(s.start());
        EXPECT_EQ(s.drive.getLock(), 0x28) << "the whole byte is returned";
    }
}

TEST(DriveCommandsOnSim, SpindownSetAndReadBack)
{
    OneSimDrive s;
    s.device.spindown(0x1A);
    ASSERT_TRUE(s.start());
    EXPECT_EQ(s.drive.getSpindown(), 0x1A);
    EXPECT_EQ(spindownName(s.drive.getSpindown()), "");
    EXPECT_TRUE(s.drive.setSpindown(10));
    EXPECT_EQ(s.drive.getSpindown(), 0x1A) << "this drive keeps the high bits";
    EXPECT_TRUE(s.drive.setSpindown(0));
    EXPECT_EQ(s.drive.getSpindown(), 0x10);
}

TEST(DriveCommandsOnSim, BlockDescriptorDriveIsReadPastItsDescriptor)
{
    // The drive puts 8 descriptor bytes (block length 2048) before the
    // page; the values are found after them, and the requests stay as they
    // are for every other drive.
    OneSimDrive s;
    s.device.blockDescriptor().lock(true, false).spindown(0x0A);
    ASSERT_TRUE(s.start());
    EXPECT_EQ(s.drive.getLock() & 0x03, 0x01);
    EXPECT_EQ(s.drive.getMaxSpeed(), 7056);
    EXPECT_EQ(s.drive.getSpeed(), 1411);
    EXPECT_EQ(s.drive.getSpindown(), 0x0A);
    for (const ksim::SimRecord& r : s.sim.log().commands(0x5A))
        EXPECT_EQ(r.cdb[1] & 0x08, 0) << "block descriptors are not disabled: " << r;
}

// The trace line matches the format, whatever the request's address was.
bool traceIs(const std::string& line, const char* format, unsigned status)
{
    size_t at = line.find("0x");
    if (at == std::string::npos)
        return false;
    unsigned address = static_cast<unsigned>(std::strtoul(line.c_str() + at + 2, nullptr, 16));
    char expected[128];
    std::snprintf(expected, sizeof expected, format, address, status);
    return line == expected;
}

TEST(DriveCommandsOnSim, DriveErrorsGiveFailureValuesAndTraceLines)
{
    for (const FailureRow& row : kFailureRows) {
        for (bool later : {false, true}) {
            OneSimDrive s;
            s.device.error(-1, ksim::kSimAlways);
            if (later)
                s.device.delay(-1, 30);
            ASSERT_TRUE(s.start());
            TraceCapture trace;
            EXPECT_EQ(row.call(s.drive), row.failure) << row.what;
            ASSERT_EQ(trace.lines().size(), 1u) << row.what;
            EXPECT_TRUE(traceIs(trace.lines()[0], row.trace, SS_ERR)) << trace.lines()[0];
            EXPECT_EQ(s.sim.log().commands().size(), 1u) << "no retry on an error status";
        }
    }
}

TEST(DriveCommandsOnSim, RefusedCommandsGiveFailureValuesSilently)
{
    for (const FailureRow& row : kFailureRows) {
        OneSimDrive s;
        s.device.refuse(-1, ksim::kSimAlways);
        ASSERT_TRUE(s.start());
        TraceCapture trace;
        EXPECT_EQ(row.call(s.drive), row.failure) << row.what;
        EXPECT_TRUE(trace.lines().empty()) << row.what;
        EXPECT_EQ(s.sim.log().commands().size(), 3u) << row.what;
    }
}

TEST(DriveCommandsOnSim, QueuedCommandsAreWaitedFor)
{
    OneSimDrive s;
    s.device.delay(-1, 80).lock(true, true).spindown(0x04);
    ASSERT_TRUE(s.start());
    EXPECT_EQ(s.drive.getSpeed(), 1411);
    EXPECT_EQ(s.drive.getMaxSpeed(), 7056);
    EXPECT_EQ(s.drive.getLock(), 0x03);
    EXPECT_EQ(s.drive.getSpindown(), 0x04);
    EXPECT_TRUE(s.drive.setSpeed(2822));
    EXPECT_EQ(s.drive.getSpeed(), 2822);
    for (const ksim::SimRecord& r : s.sim.log().commands())
        EXPECT_EQ(r.pendingMs, 80) << r;
}

}  // namespace
