// The simulated wnaspi32.dll, loaded as the program loads it, checked for
// what the other tests rely on and could not see fail by themselves: the
// block descriptor in place and late completion. The log's fields are
// pinned by every test that reads the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/aspi.h"
#include "drive/mmc.h"
#include "tests/drive/sim_drives.h"

namespace {

typedef std::vector<BYTE> Bytes;

class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HMODULE dll = LoadLibraryA("wnaspi32.dll");
        ASSERT_NE(dll, nullptr);
        m_send = reinterpret_cast<SendASPI32CommandProc>(reinterpret_cast<void*>(GetProcAddress(dll, "SendASPI32Command")));
        ASSERT_NE(m_send, nullptr);
        device().cdrom("KSIM", "TEST DRIVE", "1.0").maxSpeed(7056);
    }
    ksim::SimDevice& device() { return m_sim.setup.device(0, 0); }

    // A data-in command for target 0 into the first bufLen bytes of buf;
    // gives what SendASPI32Command returned, its event still to be waited for.
    DWORD send(const Bytes& cdb, Bytes& buf, DWORD bufLen, SRB_ExecSCSICmd& srb, HANDLE event)
    {
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
        srb.SRB_BufLen = bufLen;
        srb.SRB_BufPointer = buf.data();
        srb.SRB_SenseLen = 14;
        srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
        srb.SRB_PostProc = event;
        return m_send(&srb);
    }
    // The same, waited for; gives the buffer.
    Bytes read(const Bytes& cdb, DWORD bufLen = 256)
    {
        Bytes buf(256, 0xCC);
        SRB_ExecSCSICmd srb;
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (send(cdb, buf, bufLen, srb, event) == SS_PENDING) {
            EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0) << "queued request never signalled";
        }
        CloseHandle(event);
        EXPECT_EQ(srb.SRB_Status, SS_COMP);
        return buf;
    }
    static Bytes modeSense(int page, int cdb1 = 0) { return {mmc::MODE_SENSE_10, BYTE(cdb1), BYTE(page), 0, 0, 0, 0, 1, 0, 0, 0, 0}; }

    SendASPI32CommandProc m_send = nullptr;
    SimDrives m_sim;
};

// Without DBD in the CDB, a drive with a block descriptor puts its 8 bytes
// (and their length in header bytes 6-7) before every page.
TEST_F(SimTest, BlockDescriptorShiftsPagesByEight)
{
    const struct {
        bool descriptor;
        int cdb1;  // 0x08: DBD
        size_t page;
    } rows[] = {{false, 0, 8}, {true, 0, 16}, {true, 0x08, 8}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        device().blockDescriptor(rows[i].descriptor).spindown(0x1A);
        m_sim.write();
        const size_t p = rows[i].page;
        Bytes d = read(modeSense(mmc::PAGE_CAPABILITIES, rows[i].cdb1));
        EXPECT_EQ((d[6] << 8) | d[7], int(p - 8)) << "row " << i;
        EXPECT_EQ(d[p], mmc::PAGE_CAPABILITIES) << "row " << i;
        EXPECT_EQ((d[p + 8] << 8) | d[p + 9], 7056) << "row " << i;
        d = read(modeSense(mmc::PAGE_CD_PARAMETERS, rows[i].cdb1));
        EXPECT_EQ(d[p + 3], 0x1A) << "row " << i;
    }
}

// A delayed command is pending, with no data, until another thread completes
// it after the delay; only delayCount commands are delayed.
TEST_F(SimTest, DelayedCompletionSignalsAfterTheDelay)
{
    const DWORD delayMs = 300;
    device().delay(mmc::MODE_SENSE_10, delayMs, 1);
    m_sim.write();
    Bytes buf(256, 0);
    SRB_ExecSCSICmd srb;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const DWORD start = GetTickCount();
    ASSERT_EQ(send(modeSense(mmc::PAGE_CAPABILITIES), buf, 256, srb, event), DWORD(SS_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 100), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(*static_cast<volatile BYTE*>(&srb.SRB_Status), SS_PENDING);
    EXPECT_EQ(buf[8], 0) << "data delivered before completion";
    ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_GE(GetTickCount() - start, delayMs - 20);
    CloseHandle(event);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(buf[8], mmc::PAGE_CAPABILITIES);
    read(modeSense(mmc::PAGE_CAPABILITIES));
    std::vector<ksim::SimRecord> cmds = m_sim.log().commands(mmc::MODE_SENSE_10);
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].pendingMs, int(delayMs));
    EXPECT_EQ(cmds[1].pendingMs, 0) << "delayCount 1";
}

}  // namespace
