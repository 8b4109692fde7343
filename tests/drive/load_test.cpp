// loadASPI and freeASPI against the simulated drives (the failures to load
// a library are load_failure_test's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/transport.h"
#include "tests/support/box_watch.h"
#include "sim_drives.h"
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

TEST(LoadASPI, SecondLoadReturnsFalseSilentlyAndLeavesTheLibrary)
{
    SimDrives sim;
    sim.setup.adapters(1).adapter(0).maxTargets(16);
    sim.write();
    ASSERT_TRUE(loadASPI());
    HMODULE loaded = GetModuleHandleA("wnaspi32.dll");
    size_t logged = sim.log().records.size();
    {
        TraceCapture trace;
        BoxWatch watch;
        EXPECT_FALSE(loadASPI());
        EXPECT_TRUE(watch.seen().empty());
        EXPECT_TRUE(trace.lines().empty());
    }
    EXPECT_EQ(sim.log().records.size(), logged) << "the interface was not asked again";
    EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), loaded);
    EXPECT_EQ(getHostAdapterCount(), 1);
    EXPECT_EQ(getMaxTargets(0), 16) << "the loaded library still answers";
}

TEST(FreeASPI, FreesTheLoadedLibraryOnceAndIsHarmlessAgain)
{
    SimDrives sim;
    sim.setup.adapters(1);
    sim.write();
    ASSERT_TRUE(loadASPI());
    TraceCapture trace;
    EXPECT_TRUE(freeASPI());
    EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
    EXPECT_EQ(sim.log().records.back().kind, ksim::SimRecord::Unload);
    EXPECT_FALSE(freeASPI()) << "nothing left to free";
    EXPECT_EQ(trace.lines(), Lines{"Freed wnaspi32.dll OK"});
    EXPECT_EQ(getMaxTargets(0), -1) << "no request reaches a freed library";
    EXPECT_EQ(getHostAdapterCount(), 0);
}

}  // namespace
