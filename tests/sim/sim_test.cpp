// The simulated wnaspi32.dll, loaded as the program loads it, checked for
// what the drive-layer and end-to-end tests rely on and could not see fail
// by themselves: lengths respected, the block descriptor in place, faults,
// late completion. Speed policies are pinned by the detection tests' rows,
// the log's fields by every test that reads the log.
#include <windows.h>

#include <gtest/gtest.h>

#include "drive/mmc.h"

#include <cstring>
#include <string>
#include <vector>

#include "drive/aspi.h"
#include "tests/drive/sim_drives.h"

using namespace ksim;

namespace {

typedef std::vector<BYTE> Bytes;

GetASPI32SupportInfoProc g_supportInfo = nullptr;
SendASPI32CommandProc g_send = nullptr;

Bytes modeSense(int page, int cdb1 = 0)
{
    return {mmc::MODE_SENSE_10, BYTE(cdb1), BYTE(page), 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0};
}

Bytes spindownList(BYTE code)
{
    return {0, 0, 0, 0, 0, 0, 0, 0, mmc::PAGE_CD_PARAMETERS, 0x06, 0, code, 0, 0x3C, 0, 0x4B};
}

unsigned be16(const Bytes& b, size_t at)
{
    return (b[at] << 8) | b[at + 1];
}

// An execute request for target 0 built from its CDB and data buffer.
SRB_ExecSCSICmd request(const Bytes& cdb, BYTE* data, DWORD bufLen, BYTE flags = SRB_DIR_IN | SRB_EVENT_NOTIFY)
{
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Flags = flags;
    srb.SRB_BufLen = bufLen;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = 14;
    srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
    std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
    return srb;
}

// Submits once and, when the request was queued, waits for its event;
// returns what SendASPI32Command returned.
DWORD submit(SRB_ExecSCSICmd& srb)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    srb.SRB_PostProc = event;
    DWORD result = g_send(&srb);
    if (result == SS_PENDING) {
        EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0) << "queued request never signalled";
    }
    CloseHandle(event);
    return result;
}

// A data-in command into a 256-byte buffer; gives the buffer.
Bytes readIn(const Bytes& cdb, BYTE* status = nullptr)
{
    Bytes buf(256, 0);
    SRB_ExecSCSICmd srb = request(cdb, buf.data(), 256);
    submit(srb);
    if (status != nullptr)
        *status = srb.SRB_Status;
    return buf;
}

BYTE modeSelect(Bytes list)
{
    Bytes cdb = {mmc::MODE_SELECT_10, 0x10, 0, 0, 0, 0, 0, BYTE(list.size() >> 8), BYTE(list.size()), 0, 0, 0};
    SRB_ExecSCSICmd srb = request(cdb, list.data(), DWORD(list.size()), SRB_DIR_OUT | SRB_EVENT_NOTIFY);
    submit(srb);
    return srb.SRB_Status;
}

class SimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HMODULE dll = LoadLibraryA("wnaspi32.dll");
        ASSERT_NE(dll, nullptr);
        char path[MAX_PATH];
        GetModuleFileNameA(dll, path, sizeof path);
        ASSERT_EQ(std::string(path).find("system32"), std::string::npos)
            << "Wine's own wnaspi32.dll was loaded: " << path;
        g_supportInfo = reinterpret_cast<GetASPI32SupportInfoProc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "GetASPI32SupportInfo")));
        g_send = reinterpret_cast<SendASPI32CommandProc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "SendASPI32Command")));
        ASSERT_NE(g_supportInfo, nullptr);
        ASSERT_NE(g_send, nullptr);
    }

    // Each test has a folder of its own, so the simulator starts afresh.
    void SetUp() override { device().cdrom("KSIM", "TEST DRIVE", "1.0").maxSpeed(7056); }
    SimDevice& device() { return sim.setup.device(0, 0); }

    SimDrives sim;
};

TEST_F(SimTest, InquiryKeepsBlanksAndRespectsBothLengths)
{
    device().cdrom("        ", "PRODUCT  TEN    ", "1.0 ").qualifier(1);
    sim.write();
    const struct {
        BYTE alloc;
        DWORD bufLen;
        size_t written;  // bytes the device may write
    } rows[] = {{100, 100, 96}, {192, 100, 96}, {36, 100, 36}, {192, 20, 20}, {0, 100, 0}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Bytes buf(256, 0xCC);
        SRB_ExecSCSICmd srb = request({mmc::INQUIRY, 0, 0, 0, rows[i].alloc, 0}, buf.data(), rows[i].bufLen);
        submit(srb);
        ASSERT_EQ(srb.SRB_Status, SS_COMP) << "row " << i;
        EXPECT_EQ(Bytes(buf.begin() + rows[i].written, buf.end()), Bytes(256 - rows[i].written, 0xCC))
            << "row " << i << ": written past the limit";
        if (rows[i].written >= 36) {
            EXPECT_EQ(buf[0], 0x25) << "row " << i;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(&buf[8]), 28), "        PRODUCT  TEN    1.0 ");
        }
    }
}

TEST_F(SimTest, BlockDescriptorShiftsPagesByEight)
{
    const struct {
        bool descriptor;
        int cdb1;  // 0x08: DBD
        size_t page;
    } rows[] = {{false, 0, 8}, {true, 0, 16}, {true, 0x08, 8}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        device().blockDescriptor(rows[i].descriptor).speed(1411).lock(true, true).spindown(0x1A);
        sim.write();
        Bytes d = readIn(modeSense(mmc::PAGE_CAPABILITIES, rows[i].cdb1));
        size_t p = rows[i].page;
        EXPECT_EQ(be16(d, 6), p - 8) << "row " << i << ": block descriptor length";
        EXPECT_EQ(be16(d, 0), p + 22 - 2) << "row " << i << ": mode data length";
        EXPECT_EQ(d[p], mmc::PAGE_CAPABILITIES) << "row " << i;
        EXPECT_EQ(d[p + 6], 0x03) << "row " << i;
        EXPECT_EQ(be16(d, p + 8), 7056u) << "row " << i;
        EXPECT_EQ(be16(d, p + 14), 1411u) << "row " << i;
        d = readIn(modeSense(mmc::PAGE_CD_PARAMETERS, rows[i].cdb1));
        EXPECT_EQ(d[p], mmc::PAGE_CD_PARAMETERS) << "row " << i;
        EXPECT_EQ(d[p + 3], 0x1A) << "row " << i;
    }
}

TEST_F(SimTest, ModeSelectStoresSpindownWithAndWithoutDescriptor)
{
    device().spindown(0x05);
    sim.write();
    Bytes list = spindownList(0x0A);
    EXPECT_EQ(modeSelect(list), SS_COMP);
    EXPECT_EQ(readIn(modeSense(mmc::PAGE_CD_PARAMETERS))[11], 0x0A);
    Bytes withDescriptor = {0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 8, 0, mmc::PAGE_CD_PARAMETERS, 0x06, 0, 0x03, 0, 0x3C, 0, 0x4B};
    EXPECT_EQ(modeSelect(withDescriptor), SS_COMP);
    EXPECT_EQ(readIn(modeSense(mmc::PAGE_CD_PARAMETERS))[11], 0x03);
}

TEST_F(SimTest, FaultsCountDownAndMayBePerPage)
{
    device().refuse(mmc::MODE_SENSE_10, 2, mmc::PAGE_CD_PARAMETERS).error(mmc::MODE_SENSE_10, 1, mmc::PAGE_CAPABILITIES);
    sim.write();
    // A refusal leaves the request block and the buffer untouched.
    Bytes buf(256, 0xCC);
    SRB_ExecSCSICmd srb = request(modeSense(mmc::PAGE_CD_PARAMETERS), buf.data(), 256);
    SRB_ExecSCSICmd before = srb;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g_send(&srb), 0xE0u) << "submission " << i;
        EXPECT_EQ(std::memcmp(&srb, &before, sizeof srb), 0) << "a refusal changed the request block";
        EXPECT_EQ(buf, Bytes(256, 0xCC));
    }
    BYTE status = 0;
    readIn(modeSense(mmc::PAGE_CD_PARAMETERS), &status);
    EXPECT_EQ(status, SS_COMP) << "the third submission is accepted";

    srb = request(modeSense(mmc::PAGE_CAPABILITIES), buf.data(), 256);
    EXPECT_EQ(submit(srb), DWORD(SS_PENDING)) << "an error completion is not a refusal";
    EXPECT_EQ(srb.SRB_Status, SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, STATUS_CHKCOND);
    readIn(modeSense(mmc::PAGE_CAPABILITIES), &status);
    EXPECT_EQ(status, SS_COMP) << "only the next one fails";
}

TEST_F(SimTest, DelayedCompletionSignalsAfterTheDelayWithStatusPendingBefore)
{
    const DWORD delayMs = 300;
    device().delay(mmc::MODE_SENSE_10, delayMs, 1);
    sim.write();
    Bytes buf(256, 0);
    SRB_ExecSCSICmd srb = request(modeSense(mmc::PAGE_CAPABILITIES), buf.data(), 256);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    srb.SRB_PostProc = event;
    DWORD start = GetTickCount();
    ASSERT_EQ(g_send(&srb), DWORD(SS_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 100), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(*static_cast<volatile BYTE*>(&srb.SRB_Status), SS_PENDING);
    EXPECT_EQ(buf[8], 0) << "data delivered before completion";
    ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_GE(GetTickCount() - start, delayMs - 20);
    CloseHandle(event);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(buf[8], mmc::PAGE_CAPABILITIES);
    readIn(modeSense(mmc::PAGE_CAPABILITIES));
    std::vector<SimRecord> cmds = sim.log().commands(mmc::MODE_SENSE_10);
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].pendingMs, int(delayMs));
    EXPECT_EQ(cmds[0].result, static_cast<unsigned long>(SS_PENDING));
    EXPECT_EQ(cmds[0].status, SS_COMP);
    EXPECT_EQ(cmds[1].pendingMs, 0) << "delayCount 1";
}

}  // namespace
