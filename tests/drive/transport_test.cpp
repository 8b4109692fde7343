// The transport: loadASPI and freeASPI against the simulated drives (the
// failures to load a library are load_failure_test's); sendASPI32Command and
// getMaxTargets against an in-process fake: attempts, a fresh event per
// attempt, waiting for a queued request, the adapter inquiry.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "drive/aspi_transport.h"
#include "drive/discovery.h"
#include "fake_aspi.h"
#include "sim_drives.h"
#include "tests/support/box_watch.h"
#include "trace_capture.h"

namespace {

typedef std::vector<std::string> Lines;

const Lines kResolved = {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
                         "Got sendASPI32Command proc address OK"};

// Every status of the support information: completed stores the adapter
// count (even 0); any other shows its message and fails, and the library
// stays loaded until it is freed.
TEST(LoadASPI, SupportStatusDecidesTheOutcome)
{
    const struct {
        int status, adapters;
        unsigned long lastError;
        const char* text;  // null: loads
        const char* trace;
    } rows[] = {
        {0x01, 3, 0, nullptr, "Found 3 Host Adapter(s)"},
        {0x01, 0, 0, nullptr, "Found 0 Host Adapter(s)"},
        {0x01, 255, 0, nullptr, "Found 255 Host Adapter(s)"},
        {0xE8, 2, 0, "ASPI 发现有 0 主适配器", "ASPI ERROR - ASPI reported 0 host adapters"},
        {0x04, 2, 5, "调用 getASPI32SupportInfo 错误: 0x00000005", "ASPI Error calling getASPI32SupportInfo: 0x00000005"},
        {0x00, 2, 0x12345678, "调用 getASPI32SupportInfo 错误: 0x12345678",
         "ASPI Error calling getASPI32SupportInfo: 0x12345678"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        SimDrives sim;
        sim.setup.supportStatus(row.status).adapters(row.adapters).lastError(row.lastError);
        sim.write();
        TraceCapture trace;
        BoxWatch watch;
        EXPECT_EQ(loadASPI(), row.text == nullptr);
        std::vector<SeenBox> boxes = watch.seen();
        ASSERT_EQ(boxes.size(), row.text ? 1u : 0u);
        if (row.text) {
            EXPECT_EQ(boxes[0].caption, "ASPI 错误");
            EXPECT_EQ(boxes[0].text, row.text);
            EXPECT_FALSE(boxes[0].anyIcon);
            EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        } else {
            EXPECT_EQ(getHostAdapterCount(), row.adapters);
        }
        Lines expected = kResolved;
        expected.push_back(row.trace);
        EXPECT_EQ(trace.lines(), expected);
        EXPECT_NE(GetModuleHandleA("wnaspi32.dll"), nullptr);
        EXPECT_TRUE(freeASPI());
    }
}

// A second load changes nothing and says nothing; freeing lets go of the
// library once, and nothing reaches it afterwards.
TEST(LoadASPI, SecondLoadIsSilentAndFreeingIsOnce)
{
    SimDrives sim;
    sim.setup.adapters(1).adapter(0).maxTargets(16);
    sim.write();
    ASSERT_TRUE(loadASPI());
    size_t logged = sim.log().records.size();
    TraceCapture trace;
    {
        BoxWatch watch;
        EXPECT_FALSE(loadASPI());
        EXPECT_TRUE(watch.seen().empty());
    }
    EXPECT_EQ(sim.log().records.size(), logged) << "the interface was not asked again";
    EXPECT_EQ(getHostAdapterCount(), 1);
    EXPECT_EQ(getMaxTargets(0), 16) << "the loaded library still answers";
    EXPECT_TRUE(freeASPI());
    EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
    EXPECT_EQ(sim.log().records.back().kind, ksim::SimRecord::Unload);
    EXPECT_FALSE(freeASPI()) << "nothing left to free";
    EXPECT_EQ(trace.lines(), Lines{"Freed wnaspi32.dll OK"});
    EXPECT_EQ(getMaxTargets(0), -1) << "no request reaches a freed library";
    EXPECT_EQ(getHostAdapterCount(), 0);
}

bool handleClosed(HANDLE h)
{
    DWORD flags = 0;
    return !GetHandleInformation(h, &flags);
}

// Each row answers every submission through its handler; a request whose
// completion is queued has completed, whatever its status.
TEST(SendASPI32Command, AttemptsEventsAndWaiting)
{
    int calls = 0;
    const struct {
        const char* what;
        std::function<DWORD(SRB_ExecSCSICmd&)> answer;
        AspiSend sent;
        size_t submissions;
        BYTE status;
    } rows[] = {
        {"at once", nullptr, AspiSend::Completed, 1, SS_COMP},
        {"busy", [](SRB_ExecSCSICmd&) { return DWORD(SS_ASPI_IS_BUSY); }, AspiSend::Refused, 3, 0},
        {"error", [](SRB_ExecSCSICmd&) { return DWORD(SS_ERR); }, AspiSend::Refused, 3, 0},
        {"unknown result", [](SRB_ExecSCSICmd&) { return DWORD(0x12345678); }, AspiSend::Refused, 3, 0},
        {"third attempt", [&calls](SRB_ExecSCSICmd& srb) -> DWORD {
             srb.SRB_Status = SS_COMP;
             return ++calls < 3 ? SS_ASPI_IS_BUSY : SS_COMP;
         }, AspiSend::Completed, 3, SS_COMP},
        {"queued", [](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, SS_COMP, 150); },
         AspiSend::Completed, 1, SS_COMP},
        {"queued, error", [](SRB_ExecSCSICmd& srb) { return FakeAspi::completeLater(srb, SS_ABORTED, 150); },
         AspiSend::Completed, 1, SS_ABORTED},
        // The wait fails (here: the event is gone): not completed, and not
        // submitted again while it may still be queued.
        {"wait fails", [](SRB_ExecSCSICmd& srb) {
             CloseHandle(static_cast<HANDLE>(srb.SRB_PostProc));
             return DWORD(SS_PENDING);
         }, AspiSend::Outstanding, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeAspi fake;
        if (row.answer)
            fake.onExec(row.answer);
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
        EXPECT_EQ(sendASPI32Command(&srb), row.sent);
        EXPECT_EQ(srb.SRB_Status, row.status);
        ASSERT_EQ(fake.requests().size(), row.submissions);
        for (const RecordedRequest& r : fake.requests()) {
            EXPECT_TRUE(r.eventUnsignalled);
            EXPECT_TRUE(r.eventIsNewObject);
            EXPECT_TRUE(r.previousEventClosed);
        }
        EXPECT_EQ(srb.SRB_PostProc, fake.requests().back().event);
        EXPECT_TRUE(handleClosed(fake.requests().back().event));
    }
    SRB_ExecSCSICmd srb = {};
    EXPECT_EQ(sendASPI32Command(&srb), AspiSend::Refused) << "without an interface";
    FakeAspi fake;
    EXPECT_EQ(sendASPI32Command(nullptr), AspiSend::Refused);
    EXPECT_TRUE(fake.requests().empty());
}

// A command whose wait failed may still complete later, into its request
// block and buffer: it fails, and neither is given to the next command,
// whose result the late completion must not touch.
TEST(SubmitCommand, ARequestWhoseWaitFailedIsNeverReused)
{
    FakeAspi fake;
    SRB_ExecSCSICmd* abandoned = nullptr;
    fake.onExec([&](SRB_ExecSCSICmd& srb) -> DWORD {
        if (abandoned == nullptr) {
            abandoned = &srb;
            CloseHandle(static_cast<HANDLE>(srb.SRB_PostProc));
            return SS_PENDING;
        }
        srb.SRB_BufPointer[0] = 0x05;
        srb.SRB_Status = SS_COMP;
        return SS_COMP;
    });
    BYTE type = 0;
    EXPECT_FALSE(getDeviceType(0, 1, &type));
    ASSERT_NE(abandoned, nullptr);
    EXPECT_TRUE(getDeviceType(0, 1, &type));
    EXPECT_EQ(type, 0x05);
    ASSERT_EQ(fake.requests().size(), 2u);
    EXPECT_NE(fake.requests()[1].address, fake.requests()[0].address);
    // The late completion of the first lands in memory still its own.
    abandoned->SRB_Status = SS_ERR;
    std::memset(abandoned->SRB_BufPointer, 0xEE, abandoned->SRB_BufLen);
    EXPECT_NE(abandoned->SRB_BufPointer, fake.requests()[1].exec().SRB_BufPointer);
}

// One inquiry, with only the command and the adapter set: 16 targets when
// the adapter reports 16, else 8; -1 when the inquiry fails.
TEST(GetMaxTargets, SixteenOnlyWhenReportedAndMinusOneOnFailure)
{
    const struct {
        DWORD result;
        BYTE reported;
        int expected;
    } rows[] = {{SS_COMP, 16, 16}, {SS_COMP, 0, 8}, {SS_COMP, 8, 8}, {SS_COMP, 15, 8}, {SS_COMP, 17, 8},
                {SS_ERR, 16, -1}, {SS_PENDING, 16, -1}};
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
