// sendASPI32Command and getMaxTargets against an in-process fake: attempts,
// fresh events, waiting for a queued request, and the adapter inquiry.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "drive/mmc.h"
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
    srb.CDBByte[0] = mmc::INQUIRY;
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
    for (DWORD refusal : {SS_ABORTED, SS_ERR, SS_INVALID_HA, SS_ASPI_IS_BUSY, 0x12345678}) {
        SCOPED_TRACE(refusal);
        FakeAspi fake;
        fake.onExec([refusal](SRB_ExecSCSICmd&) { return refusal; });
        SRB_ExecSCSICmd srb = readRequest();
        EXPECT_FALSE(sendASPI32Command(&srb));
        ASSERT_EQ(fake.requests().size(), 3u);
        for (const RecordedRequest& r : fake.requests()) {
            EXPECT_TRUE(r.eventUnsignalled);
            EXPECT_TRUE(r.eventIsNewObject);
            EXPECT_TRUE(r.previousEventClosed);
            // The same block is submitted again, unchanged but for its event.
            std::vector<BYTE> a = r.block, b = fake.requests()[0].block;
            const size_t post = offsetof(SRB_ExecSCSICmd, SRB_PostProc);
            std::memset(&a[post], 0, sizeof(void*));
            std::memset(&b[post], 0, sizeof(void*));
            EXPECT_EQ(a, b);
        }
        EXPECT_TRUE(handleClosed(fake.requests()[2].event));
    }
}

TEST(SendASPI32Command, AcceptedOnTheThirdAttempt)
{
    FakeAspi fake;
    int calls = 0;
    fake.onExec([&calls](SRB_ExecSCSICmd& srb) -> DWORD {
        srb.SRB_Status = SS_COMP;
        return ++calls < 3 ? SS_ASPI_IS_BUSY : SS_COMP;
    });
    SRB_ExecSCSICmd srb = readRequest();
    EXPECT_TRUE(sendASPI32Command(&srb));
    EXPECT_EQ(fake.requests().size(), 3u);
}

TEST(SendASPI32Command, QueuedRequestIsWaitedForUntilItsEventIsSignalled)
{
    for (BYTE outcome : {SS_COMP, SS_ERR, SS_ABORTED}) {
        SCOPED_TRACE(outcome);
        FakeAspi fake;
        fake.onExec([outcome](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, outcome, 150); });
        SRB_ExecSCSICmd srb = readRequest();
        DWORD start = GetTickCount();
        // A request that completes with an error status has still completed.
        EXPECT_TRUE(sendASPI32Command(&srb));
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

// One inquiry, once, with only the command and the adapter set: 16 targets
// when the adapter reports 16, else 8; -1 when the inquiry fails.
TEST(GetMaxTargets, SixteenOnlyWhenReportedAndMinusOneOnFailure)
{
    const struct {
        DWORD result;
        BYTE reported;
        int expected;
    } rows[] = {{SS_COMP, 16, 16}, {SS_COMP, 0, 8},  {SS_COMP, 8, 8},       {SS_COMP, 15, 8},     {SS_COMP, 17, 8},
                {SS_COMP, 255, 8}, {SS_ERR, 16, -1}, {SS_PENDING, 16, -1}, {SS_INVALID_HA, 16, -1}};
    std::vector<BYTE> expectedBlock(sizeof(SRB_HAInquiry), 0);
    expectedBlock[offsetof(SRB_HAInquiry, SRB_Cmd)] = SC_HA_INQUIRY;
    expectedBlock[offsetof(SRB_HAInquiry, SRB_HaId)] = 5;
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        FakeAspi fake;
        fake.onHaInquiry([&](SRB_HAInquiry& srb) {
            srb.HA_Unique[3] = rows[i].reported;
            return rows[i].result;
        });
        EXPECT_EQ(getMaxTargets(5), rows[i].expected) << "row " << i;
        ASSERT_EQ(fake.requests().size(), 1u) << "row " << i;
        EXPECT_EQ(fake.requests()[0].block, expectedBlock) << "row " << i;
    }
    EXPECT_EQ(getMaxTargets(0), -1) << "without an interface";
}

}  // namespace
