// The drive commands: every byte of each request block and the failure
// values and trace lines, against an in-process fake; the values read back
// from the simulated drives, with and without a block descriptor.
#include <gtest/gtest.h>

#include "drive/mmc.h"

#include <climits>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "drive/transport.h"
#include "fake_aspi.h"
#include "sim_drives.h"
#include "trace_capture.h"

namespace {

typedef std::vector<BYTE> Bytes;

Bytes cdb12(BYTE b0, BYTE b1, BYTE b2, BYTE b3 = 0, BYTE b4 = 0, BYTE b5 = 0, BYTE b7 = 0, BYTE b8 = 0)
{
    return {b0, b1, b2, b3, b4, b5, 0x00, b7, b8, 0x00, 0x00, 0x00};
}

Bytes spindownParameters(BYTE code)
{
    return {0, 0, 0, 0, 0, 0, 0, 0, mmc::PAGE_CD_PARAMETERS, 0x06, 0x00, code, 0x00, 0x3C, 0x00, 0x4B};
}

TEST(DriveCommands, EachCommandIsExactlyItsRequestBlock)
{
    const Bytes sense2A = cdb12(mmc::MODE_SENSE_10, 0, mmc::PAGE_CAPABILITIES, 0, 0, 0, 0x01), sense0D = cdb12(mmc::MODE_SENSE_10, 0, mmc::PAGE_CD_PARAMETERS, 0, 0, 0, 0x01);
    const Bytes select = cdb12(mmc::MODE_SELECT_10, 0x10, 0, 0, 0, 0, 0, 0x10);
    const struct {
        const char* what;
        std::function<void(CdDrive&)> call;
        Bytes cdb;
        BYTE flags;
        DWORD bufLen;
        BYTE senseLen;
        bool buffer;    // a data buffer is given
        Bytes outData;  // what the buffer holds at submission (zeros when empty)
    } rows[] = {
        {"getSpeed", [](CdDrive& d) { d.getSpeed(); }, sense2A, 0x48, 256, 0, true, {}},
        {"getMaxSpeed", [](CdDrive& d) { d.getMaxSpeed(); }, sense2A, 0x48, 256, 0, true, {}},
        {"getLock", [](CdDrive& d) { d.getLock(); }, sense2A, 0x48, 256, 0, true, {}},
        {"getSpindown", [](CdDrive& d) { d.getSpindown(); }, sense0D, 0x48, 256, 0, true, {}},
        {"setSpeed(176)", [](CdDrive& d) { d.setSpeed(176); }, cdb12(mmc::SET_CD_SPEED, 0, 0x00, 0xB0, 0xFF, 0xFF), 0x50, 0,
         14, false, {}},
        {"setSpeed(7040)", [](CdDrive& d) { d.setSpeed(7040); }, cdb12(mmc::SET_CD_SPEED, 0, 0x1B, 0x80, 0xFF, 0xFF), 0x50, 0,
         14, false, {}},
        {"setSpeed(65536+176)", [](CdDrive& d) { d.setSpeed(65536 + 176); }, cdb12(mmc::SET_CD_SPEED, 0, 0x00, 0xB0, 0xFF, 0xFF),
         0x50, 0, 14, false, {}},
        {"setSpeed(INT_MAX)", [](CdDrive& d) { d.setSpeed(INT_MAX); }, cdb12(mmc::SET_CD_SPEED, 0, 0xFF, 0xFF, 0xFF, 0xFF), 0x50,
         0, 14, false, {}},
        {"setLock(1)", [](CdDrive& d) { d.setLock(1); }, cdb12(mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0, 0, 0, 0x01), 0x48, 256, 0, true, {}},
        {"setLock(0x81)", [](CdDrive& d) { d.setLock(0x81); }, cdb12(mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0, 0, 0, 0x81), 0x48, 256, 0, true, {}},
        {"setSpindown(10)", [](CdDrive& d) { d.setSpindown(10); }, select, 0x50, 16, 14, true,
         spindownParameters(0x0A)},
        {"setSpindown(0xFF)", [](CdDrive& d) { d.setSpindown(0xFF); }, select, 0x50, 16, 14, true,
         spindownParameters(0xFF)},
        {"getDeviceType", [](CdDrive& d) { BYTE t; getDeviceType(d.adapter, d.target, &t); },
         {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00}, 0x48, 100, 14, true, {}},
        {"getDriveName", [](CdDrive& d) { char n[31] = {}; getDriveName(d.adapter, d.target, n); },
         {mmc::INQUIRY, 0x00, 0x00, 0x00, 0xC0, 0x00}, 0x48, 100, 14, true, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeAspi fake;
        CdDrive drive(2, 5);
        row.call(drive);
        ASSERT_EQ(fake.requests().size(), 1u);
        // Everything but the two pointers, compared apart, is as built here.
        SRB_ExecSCSICmd expected;
        std::memset(&expected, 0, sizeof expected);
        expected.SRB_Cmd = SC_EXEC_SCSI_CMD;
        expected.SRB_HaId = 2;
        expected.SRB_Flags = row.flags;
        expected.SRB_Target = 5;
        expected.SRB_BufLen = row.bufLen;
        expected.SRB_SenseLen = row.senseLen;
        expected.SRB_CDBLen = static_cast<BYTE>(row.cdb.size());
        std::memcpy(expected.CDBByte, row.cdb.data(), row.cdb.size());
        SRB_ExecSCSICmd got = fake.requests()[0].exec();
        EXPECT_EQ(got.SRB_BufPointer != nullptr, row.buffer);
        got.SRB_BufPointer = nullptr;
        got.SRB_PostProc = nullptr;
        const BYTE* e = reinterpret_cast<const BYTE*>(&expected);
        const BYTE* g = reinterpret_cast<const BYTE*>(&got);
        EXPECT_EQ(Bytes(g, g + sizeof got), Bytes(e, e + sizeof expected));
        if (row.buffer) {
            EXPECT_EQ(fake.requests()[0].data, row.outData.empty() ? Bytes(row.bufLen, 0) : row.outData);
        }
    }
}

TEST(DriveCommands, SpeedsBelowOneXAreNotSent)
{
    for (int kbps : {175, 1, 0, -1, -176, INT_MIN}) {
        FakeAspi fake;
        TraceCapture trace;
        EXPECT_FALSE(CdDrive(0, 0).setSpeed(kbps)) << kbps;
        EXPECT_TRUE(fake.requests().empty()) << kbps;
        EXPECT_TRUE(trace.lines().empty()) << kbps;
    }
}

// An error status gives the failure value and one trace line naming the
// request block by its address; a refusal (three times) or a missing
// interface gives the failure value silently.
TEST(DriveCommands, FailuresGiveTheFailureValue)
{
    const struct {
        const char* what;
        std::function<int(CdDrive&)> call;
        int failure;
        const char* trace;
    } rows[] = {
        {"getSpeed", [](CdDrive& d) { return d.getSpeed(); }, 0, " getSpeed() 0x%08X return: 0x%08x"},
        {"getMaxSpeed", [](CdDrive& d) { return d.getMaxSpeed(); }, 0, " getSpeed() 0x%08X return: 0x%08x"},
        {"getLock", [](CdDrive& d) { return d.getLock(); }, -1, "getLock() 0x%08X return: 0x%08x"},
        {"getSpindown", [](CdDrive& d) { return int(d.getSpindown()); }, 0xFF, "getSpindown() 0x%08X return: 0x%08x"},
        {"setSpeed", [](CdDrive& d) { return int(d.setSpeed(1411)); }, 0, " setSpeed() 0x%08X return: 0x%08x"},
        {"setLock", [](CdDrive& d) { return int(d.setLock(1)); }, 0, "setLock() 0x%08X return: 0x%08x"},
        {"setSpindown", [](CdDrive& d) { return int(d.setSpindown(10)); }, 0,
         "setSpindown() 0x%08X return: 0x%08x"},
        {"getDeviceType", [](CdDrive& d) { return int(getDeviceType(d.adapter, d.target, nullptr)); }, 0,
         "getDeviceType() 0x%08X"},
        {"getDriveName", [](CdDrive& d) { char n[31] = {}; return int(getDriveName(d.adapter, d.target, n)); }, 0,
         "getDriveName() 0x%08X return: 0x%08x"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CdDrive drive(1, 3);
        {
            FakeAspi fake;
            fake.onExec([](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, 0x83, 10); });
            TraceCapture trace;
            EXPECT_EQ(row.call(drive), row.failure);
            ASSERT_EQ(fake.requests().size(), 1u);
            char expected[128];
            std::snprintf(expected, sizeof expected, row.trace,
                          static_cast<unsigned>(reinterpret_cast<uintptr_t>(fake.requests()[0].address)), 0x83u);
            EXPECT_EQ(trace.lines(), std::vector<std::string>{expected});
        }
        {
            FakeAspi fake;
            fake.onExec([](SRB_ExecSCSICmd&) { return DWORD(SS_ASPI_IS_BUSY); });
            TraceCapture trace;
            EXPECT_EQ(row.call(drive), row.failure) << "refused";
            EXPECT_EQ(fake.requests().size(), 3u);
            EXPECT_TRUE(trace.lines().empty());
        }
        TraceCapture trace;
        EXPECT_EQ(row.call(drive), row.failure) << "without an interface";
        EXPECT_TRUE(trace.lines().empty());
    }
}

// The record owns its lists: putting in place the list already there must
// keep it, not delete it.
TEST(CdDriveRecord, ReplacingAListWithItselfKeepsIt)
{
    CdDrive drive(1, 0);
    CStringList* kb = new CStringList(10);
    kb->AddTail("1411");
    drive.replaceKbSpeeds(kb);
    drive.replaceKbSpeeds(kb);
    EXPECT_EQ(drive.kbSpeeds->GetCount(), 1);
    drive.replaceSpeedNames(drive.speedNames);
    EXPECT_TRUE(drive.speedNames->IsEmpty());
}

// Values read back from a simulated drive: with an 8-byte block descriptor
// (block length 2048) before the page they are found after it, the requests
// stay as for every other drive; queued commands are waited for.
TEST(DriveCommandsOnSim, ValuesAreReadPastABlockDescriptorAndWhenQueued)
{
    for (bool descriptor : {false, true}) {
        for (unsigned delay : {0u, 1u}) {
            SCOPED_TRACE(std::string(descriptor ? "descriptor" : "none") + ", delay " + std::to_string(delay));
            SimDrives sim;
            sim.setup.adapters(1);
            ksim::SimDevice& device = sim.setup.device(0, 1).cdrom("VEND", "PRODUCT", "1.00");
            device.maxSpeed(7056).speed(1411).policy("any").lock(true, true).spindown(0x0A);
            device.blockDescriptor(descriptor);
            if (delay != 0)
                device.delay(-1, delay);
            sim.write();
            ASSERT_TRUE(loadASPI());
            CdDrive drive(0, 1);
            EXPECT_EQ(drive.getSpeed(), 1411);
            EXPECT_EQ(drive.getMaxSpeed(), 7056);
            EXPECT_EQ(drive.getLock(), 0x03);
            EXPECT_EQ(drive.getSpindown(), 0x0A);
            EXPECT_TRUE(drive.setSpeed(2822));
            EXPECT_EQ(drive.getSpeed(), 2822);
            for (const ksim::SimRecord& r : sim.log().commands()) {
                EXPECT_EQ(r.pendingMs, int(delay)) << r;
                if (r.opcode() == mmc::MODE_SENSE_10) {
                    EXPECT_EQ(r.cdb[1] & 0x08, 0) << "block descriptors are not disabled: " << r;
                }
            }
        }
    }
}

}  // namespace
