// The drive commands: every byte of each request block and the failure
// values and trace lines, against an in-process fake; the values read back
// from the simulated drives, with and without a block descriptor.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "drive/mmc.h"
#include "drive/aspi_transport.h"
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

// Each command is exactly its request block; an error status gives its
// failure value and one trace line naming the block by its address
// (refusals and waiting are the transport's).
TEST(DriveCommands, RequestBlocksAndFailures)
{
    const Bytes sense2A = cdb12(mmc::MODE_SENSE_10, 0, mmc::PAGE_CAPABILITIES, 0, 0, 0, 0x01);
    const Bytes sense0D = cdb12(mmc::MODE_SENSE_10, 0, mmc::PAGE_CD_PARAMETERS, 0, 0, 0, 0x01);
    const Bytes select = cdb12(mmc::MODE_SELECT_10, 0x10, 0, 0, 0, 0, 0, 0x10);
    const Bytes speed = cdb12(mmc::SET_CD_SPEED, 0, 0x00, 0xB0, 0xFF, 0xFF);
    const Bytes speedMax = cdb12(mmc::SET_CD_SPEED, 0, 0xFF, 0xFF, 0xFF, 0xFF);  // past 16 bits: the maximum
    const char* sensed = " 0x%08X return: 0x%08x";
    const struct {
        const char* what;
        std::function<int(CdDrive&)> call;
        Bytes cdb;
        BYTE flags;
        DWORD bufLen;
        BYTE senseLen;
        bool buffer;    // a data buffer is given
        Bytes outData;  // what the buffer holds at submission (zeros when empty)
        int failure;
        std::string trace;
    } rows[] = {
        {"getSpeed", [](CdDrive& d) { return d.getSpeed(); }, sense2A, 0x48, 256, 14, true, {}, 0,
         std::string(" getSpeed()") + sensed},
        {"getMaxSpeed", [](CdDrive& d) { return d.getMaxSpeed(); }, sense2A, 0x48, 256, 14, true, {}, 0,
         std::string(" getSpeed()") + sensed},
        {"getLock", [](CdDrive& d) { return d.getLock(); }, sense2A, 0x48, 256, 14, true, {}, -1,
         std::string("getLock()") + sensed},
        {"getSpindown", [](CdDrive& d) { return int(d.getSpindown()); }, sense0D, 0x48, 256, 14, true, {}, 0xFF,
         std::string("getSpindown()") + sensed},
        {"setSpeed(176)", [](CdDrive& d) { return int(d.setSpeed(176)); }, speed, 0x50, 0, 14, false, {}, 0,
         std::string(" setSpeed()") + sensed},
        {"setSpeed(65536+176)", [](CdDrive& d) { return int(d.setSpeed(65536 + 176)); }, speedMax, 0x50, 0, 14, false,
         {}, 0, std::string(" setSpeed()") + sensed},
        {"setLock(0x81)", [](CdDrive& d) { return int(d.setLock(0x81)); },
         cdb12(mmc::PREVENT_ALLOW_MEDIUM_REMOVAL, 0, 0, 0, 0x81), 0x48, 256, 14, true, {}, 0,
         std::string("setLock()") + sensed},
        {"setSpindown(10)", [](CdDrive& d) { return int(d.setSpindown(10)); }, select, 0x50, 16, 14, true,
         spindownParameters(0x0A), 0, std::string("setSpindown()") + sensed},
        {"setSpindown(0xFF)", [](CdDrive& d) { return int(d.setSpindown(0xFF)); }, select, 0x50, 16, 14, true,
         spindownParameters(0xFF), 0, std::string("setSpindown()") + sensed},
        {"getDeviceType", [](CdDrive& d) { BYTE t; return int(getDeviceType(d.adapter, d.target, &t)); },
         {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00}, 0x48, 100, 14, true, {}, 0, "getDeviceType() 0x%08X"},
        {"getDriveName", [](CdDrive& d) { char n[31] = {}; return int(getDriveName(d.adapter, d.target, n)); },
         {mmc::INQUIRY, 0x00, 0x00, 0x00, 0xC0, 0x00}, 0x48, 100, 14, true, {}, 0,
         std::string("getDriveName()") + sensed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        CdDrive drive(2, 5);
        {
            FakeAspi fake;
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
        FakeAspi fake;
        fake.onExec([](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, 0x83, 10); });
        TraceCapture trace;
        EXPECT_EQ(row.call(drive), row.failure) << "error status";
        ASSERT_EQ(fake.requests().size(), 1u);
        char expected[128];
        std::snprintf(expected, sizeof expected, row.trace.c_str(),
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(fake.requests()[0].address)), 0x83u);
        EXPECT_EQ(trace.lines(), std::vector<std::string>{expected});
    }
}

TEST(DriveCommands, SpeedsBelowOneXAreNotSent)
{
    for (int kbps : {175, 0, -176, INT_MIN}) {
        FakeAspi fake;
        EXPECT_FALSE(CdDrive(0, 0).setSpeed(kbps)) << kbps;
        EXPECT_TRUE(fake.requests().empty()) << kbps;
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
}

// Values read back from a simulated drive: with an 8-byte block descriptor
// (block length 2048) before the page they are found after it.
TEST(DriveCommandsOnSim, ValuesAreReadPastABlockDescriptor)
{
    for (bool descriptor : {false, true}) {
        SCOPED_TRACE(descriptor ? "descriptor" : "none");
        SimDrives sim;
        sim.setup.adapters(1);
        ksim::SimDevice& device = sim.setup.device(0, 1).cdrom("VEND", "PRODUCT", "1.00");
        device.maxSpeed(7056).speed(1411).policy("any").lock(true, true).spindown(0x0A).blockDescriptor(descriptor);
        sim.write();
        ASSERT_TRUE(loadASPI());
        CdDrive drive(0, 1);
        EXPECT_EQ(drive.getSpeed(), 1411);
        EXPECT_EQ(drive.getMaxSpeed(), 7056);
        EXPECT_EQ(drive.getLock(), 0x03);
        EXPECT_EQ(drive.getSpindown(), 0x0A);
        EXPECT_TRUE(drive.setSpeed(2822));
        EXPECT_EQ(drive.getSpeed(), 2822);
    }
}

}  // namespace
