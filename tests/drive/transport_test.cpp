// sendASPI32Command and getMaxTargets against an in-process fake: attempts,
// fresh events, waiting for a queued request, and the adapter inquiry.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "drive/transport.h"
#include "fake_aspi.h"

namespace {

SRB_ExecSCSICmd readRequest()
{
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    srb.SRB_CDBLen = 6;
    srb.CDBByte[0] = 0x12;
    return srb;
}

bool handleClosed(HANDLE h)
{
    DWORD flags = 0;
    return !GetHandleInformation(h, &flags);
}

TEST(SendASPI32Command, CompletedAtOnceUsesOneFreshEventAndClosesIt)
{
    FakeAspi fake;
    SRB_ExecSCSICmd srb = readRequest();
    EXPECT_TRUE(sendASPI32Command(&srb));
    ASSERT_EQ(fake.requests().size(), 1u);
    const RecordedRequest& r = fake.requests()[0];
    EXPECT_NE(r.event, nullptr);
    EXPECT_TRUE(r.eventUnsignalled);
    EXPECT_EQ(srb.SRB_PostProc, r.event);
    EXPECT_TRUE(handleClosed(r.event));
}

TEST(SendASPI32Command, RefusedThreeTimesGivesFalseAfterExactlyThreeSubmissions)
{
    const DWORD refusals[] = {SS_ABORTED, SS_ERR, SS_INVALID_CMD, SS_INVALID_HA, SS_NO_DEVICE,
                              SS_INVALID_SRB, SS_ASPI_IS_BUSY, 0xFF, 0x12345678};
    for (DWORD refusal : refusals) {
        FakeAspi fake;
        fake.onExec([refusal](SRB_ExecSCSICmd&) { return refusal; });
        SRB_ExecSCSICmd srb = readRequest();
        EXPECT_FALSE(sendASPI32Command(&srb)) << "refusal 0x" << std::hex << refusal;
        ASSERT_EQ(fake.requests().size(), 3u) << "refusal 0x" << std::hex << refusal;
        for (size_t i = 0; i < 3; ++i) {
            const RecordedRequest& r = fake.requests()[i];
            EXPECT_TRUE(r.eventUnsignalled) << "attempt " << i + 1;
            EXPECT_TRUE(r.eventIsNewObject) << "attempt " << i + 1;
            EXPECT_TRUE(r.previousEventClosed) << "attempt " << i + 1;
            // The same block is submitted again, unchanged but for its event.
            std::vector<BYTE> a = r.block, b = fake.requests()[0].block;
            const size_t post = offsetof(SRB_ExecSCSICmd, SRB_PostProc);
            std::memset(&a[post], 0, sizeof(void*));
            std::memset(&b[post], 0, sizeof(void*));
            EXPECT_EQ(a, b) << "attempt " << i + 1;
        }
        EXPECT_TRUE(handleClosed(fake.requests()[2].event));
    }
}

TEST(SendASPI32Command, AcceptedOnTheThirdAttempt)
{
    FakeAspi fake;
    int calls = 0;
    fake.onExec([&calls](SRB_ExecSCSICmd& srb) -> DWORD {
        if (++calls < 3)
            return SS_ASPI_IS_BUSY;
        srb.SRB_Status = SS_COMP;
        return SS_COMP;
    });
    SRB_ExecSCSICmd srb = readRequest();
    EXPECT_TRUE(sendASPI32Command(&srb));
    EXPECT_EQ(fake.requests().size(), 3u);
}

TEST(SendASPI32Command, QueuedRequestIsWaitedForUntilItsEventIsSignalled)
{
    const BYTE outcomes[] = {SS_COMP, SS_ERR, SS_ABORTED};
    for (BYTE outcome : outcomes) {
        FakeAspi fake;
        fake.onExec([outcome](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, outcome, 150); });
        SRB_ExecSCSICmd srb = readRequest();
        DWORD start = GetTickCount();
        // A request that completes with an error status has still completed.
        EXPECT_TRUE(sendASPI32Command(&srb)) << "status " << int(outcome);
        EXPECT_TRUE(FakeAspi::completedLater()) << "returned before the completion";
        EXPECT_GE(GetTickCount() - start, 100u);
        EXPECT_EQ(srb.SRB_Status, outcome);
        EXPECT_EQ(fake.requests().size(), 1u) << "a completed request is not submitted again";
        EXPECT_TRUE(handleClosed(fake.requests()[0].event));
    }
}

TEST(SendASPI32Command, FalseWithoutAnInterface)
{
    SRB_ExecSCSICmd srb = readRequest();
    EXPECT_FALSE(sendASPI32Command(&srb));
    FakeAspi fake;
    EXPECT_FALSE(sendASPI32Command(nullptr));
    EXPECT_TRUE(fake.requests().empty());
}

TEST(GetMaxTargets, EightUnlessTheAdapterReportsSixteen)
{
    struct Row {
        BYTE reported;
        int expected;
    } const rows[] = {{0, 8}, {1, 8}, {7, 8}, {8, 8}, {15, 8}, {16, 16}, {17, 8}, {32, 8}, {255, 8}};
    for (const Row& row : rows) {
        FakeAspi fake;
        fake.onHaInquiry([row](SRB_HAInquiry& srb) -> DWORD {
            srb.SRB_Status = SS_COMP;
            srb.HA_Count = 1;
            srb.HA_Unique[3] = row.reported;
            return SS_COMP;
        });
        EXPECT_EQ(getMaxTargets(3), row.expected) << "reported " << int(row.reported);
    }
}

TEST(GetMaxTargets, AsksOnceWithOnlyCommandAndAdapterSet)
{
    FakeAspi fake;
    EXPECT_EQ(getMaxTargets(5), 8);
    ASSERT_EQ(fake.requests().size(), 1u);
    std::vector<BYTE> expected(sizeof(SRB_HAInquiry), 0);
    expected[offsetof(SRB_HAInquiry, SRB_Cmd)] = SC_HA_INQUIRY;
    expected[offsetof(SRB_HAInquiry, SRB_HaId)] = 5;
    EXPECT_EQ(fake.requests()[0].block, expected);
}

TEST(GetMaxTargets, MinusOneWhenTheInquiryFails)
{
    const DWORD failures[] = {SS_PENDING, SS_ERR, SS_INVALID_HA, SS_INVALID_SRB};
    for (DWORD failure : failures) {
        FakeAspi fake;
        fake.onHaInquiry([failure](SRB_HAInquiry& srb) -> DWORD {
            srb.HA_Unique[3] = 16;
            return failure;
        });
        EXPECT_EQ(getMaxTargets(0), -1) << "result 0x" << std::hex << failure;
        EXPECT_EQ(fake.requests().size(), 1u) << "no retry";
    }
    EXPECT_EQ(getMaxTargets(0), -1) << "without an interface";
}

}  // namespace
