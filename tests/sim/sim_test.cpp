// What the drive tests rely on from the simulated wnaspi32.dll and could not
// see fail by themselves: a block descriptor before the pages (unless DBD),
// and a delayed command pending, without data, until its event is signalled.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/drive/sim_drives.h"

TEST(SimulatedAspi, BlockDescriptorAndDelayedCompletion)
{
    auto send = reinterpret_cast<SendASPI32CommandProc>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("wnaspi32.dll"), "SendASPI32Command")));
    ASSERT_NE(send, nullptr);
    SimDrives sim;
    const struct {
        bool descriptor;
        BYTE cdb1;  // 0x08: DBD
        size_t page;
        DWORD delayMs;
    } rows[] = {{false, 0, 8, 0}, {true, 0x08, 8, 0}, {true, 0, 16, 300}};  // the delay stays set
    for (const auto& row : rows) {
        sim.setup.device(0, 0).cdrom("KSIM", "TEST", "1.0").maxSpeed(7056).blockDescriptor(row.descriptor);
        if (row.delayMs)
            sim.setup.device(0, 0).delay(0x5A, row.delayMs, 1);
        sim.write();
        BYTE buf[256] = {};
        SRB_ExecSCSICmd srb = {};
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD, srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY, srb.SRB_BufLen = 256;
        srb.SRB_BufPointer = buf, srb.SRB_CDBLen = 12;
        const BYTE cdb[12] = {0x5A, row.cdb1, 0x2A, 0, 0, 0, 0, 1, 0};
        std::memcpy(srb.CDBByte, cdb, 12);
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        srb.SRB_PostProc = event;
        DWORD start = GetTickCount(), result = send(&srb);
        if (row.delayMs) {
            ASSERT_EQ(result, DWORD(SS_PENDING));
            EXPECT_EQ(buf[8] + buf[16], 0) << "data before completion";
            ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
            EXPECT_GE(GetTickCount() - start, row.delayMs - 20);
        }
        CloseHandle(event);
        EXPECT_EQ(srb.SRB_Status, SS_COMP);
        EXPECT_EQ((buf[6] << 8) | buf[7], int(row.page - 8));
        EXPECT_EQ(buf[row.page], 0x2A);
        EXPECT_EQ((buf[row.page + 8] << 8) | buf[row.page + 9], 7056);
    }
}
