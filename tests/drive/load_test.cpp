// loadASPI and freeASPI against real libraries: none at all, libraries that
// lack an entry point, and the simulated drives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/transport.h"
#include "load_probe.h"
#include "message_box_watch.h"
#include "sim_drives.h"
#include "trace_capture.h"

namespace {

typedef std::vector<std::string> Lines;

struct LoadFailureRow {
    const char* library;  // variant folder under aspi_variants, or "" for none
    const char* text;
    bool stopIcon;
    Lines traces;
    bool freed;  // the library stayed loaded and freeASPI freed it
};

TEST(LoadASPI, EachLoadFailureShowsItsMessageAndReturnsFalse)
{
    const LoadFailureRow rows[] = {
        {"", "不能加载 wnaspi32.dll; 请确认ASPI正确安装!", true, {"ASPI ERROR - wnaspi32.dll failed to load"}, false},
        {"without_support_info",
         "不能取得函数 GetASPI32SupportInfo 的地址",
         false,
         {"Loaded wnaspi32.dll OK", "ASPI ERROR - Couldn't get proc address of GetASPI32SupportInfo",
          "Freed wnaspi32.dll OK"},
         true},
        {"without_send_command",
         "不能取得函数 SendASPI32Command 的地址",
         false,
         {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
          "ASPI ERROR - Couldn't get proc address of SendASPI32Command", "Freed wnaspi32.dll OK"},
         true},
    };
    for (const LoadFailureRow& row : rows) {
        std::string library;
        if (*row.library != '\0')
            library = programFolder() + "aspi_variants\\" + row.library + "\\wnaspi32.dll";
        LoadProbeResult r = runLoadProbe(library);
        ASSERT_TRUE(r.ran) << row.library;
        EXPECT_FALSE(r.loaded) << row.library;
        EXPECT_EQ(r.freed, row.freed) << row.library;
        ASSERT_EQ(r.boxes.size(), 1u) << row.library;
        EXPECT_EQ(r.boxes[0].caption, "ASPI 错误") << row.library;
        EXPECT_EQ(r.boxes[0].text, row.text) << row.library;
        EXPECT_EQ(r.boxes[0].stopIcon, row.stopIcon) << row.library;
        EXPECT_EQ(r.boxes[0].anyIcon, row.stopIcon) << row.library;
        EXPECT_EQ(r.boxes[0].buttons, std::vector<int>{IDOK}) << row.library;
        EXPECT_EQ(r.traces, row.traces) << row.library;
    }
}

const Lines kResolved = {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
                         "Got sendASPI32Command proc address OK"};

Lines plus(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SupportFailureRow {
    int status;
    unsigned long lastError;
    const char* text;
    const char* trace;
};

TEST(LoadASPI, SupportStatusOtherThanCompletedFailsWithItsMessage)
{
    const SupportFailureRow rows[] = {
        {0xE8, 0, "ASPI 发现有 0 主适配器", "ASPI ERROR - ASPI reported 0 host adapters"},
        {0x04, 5, "调用 getASPI32SupportInfo 错误: 0x00000005", "ASPI Error calling getASPI32SupportInfo: 0x00000005"},
        {0x00, 0x12345678, "调用 getASPI32SupportInfo 错误: 0x12345678",
         "ASPI Error calling getASPI32SupportInfo: 0x12345678"},
        {0xE9, 0xFFFFFFFF, "调用 getASPI32SupportInfo 错误: 0xFFFFFFFF",
         "ASPI Error calling getASPI32SupportInfo: 0xFFFFFFFF"},
    };
    for (const SupportFailureRow& row : rows) {
        SimDrives sim;
        sim.setup.supportStatus(row.status).adapters(2).lastError(row.lastError);
        sim.write();
        TraceCapture trace;
        MessageBoxWatch watch;
        EXPECT_FALSE(loadASPI()) << "status " << row.status;
        std::vector<SeenMessageBox> boxes = watch.seen();
        ASSERT_EQ(boxes.size(), 1u) << "status " << row.status;
        EXPECT_EQ(boxes[0].caption, "ASPI 错误");
        EXPECT_EQ(boxes[0].text, row.text);
        EXPECT_FALSE(boxes[0].anyIcon);
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(trace.lines(), plus(kResolved, {row.trace}));
        // The library stays loaded until it is freed.
        EXPECT_NE(GetModuleHandleA("wnaspi32.dll"), nullptr);
        EXPECT_TRUE(freeASPI());
        EXPECT_EQ(trace.lines().back(), "Freed wnaspi32.dll OK");
    }
}

TEST(LoadASPI, CompletedStatusStoresTheAdapterCountEvenZero)
{
    for (int adapters : {3, 1, 0, 255}) {
        SimDrives sim;
        sim.setup.adapters(adapters);
        sim.write();
        TraceCapture trace;
        MessageBoxWatch watch;
        EXPECT_TRUE(loadASPI()) << adapters;
        EXPECT_EQ(getHostAdapterCount(), adapters);
        EXPECT_TRUE(watch.seen().empty());
        EXPECT_EQ(trace.lines(), plus(kResolved, {"Found " + std::to_string(adapters) + " Host Adapter(s)"}));
        ksim::SimLog log = sim.log();
        ASSERT_EQ(log.records.size(), 2u);
        EXPECT_EQ(log.records[0].kind, ksim::SimRecord::Load);
        EXPECT_EQ(log.records[1].kind, ksim::SimRecord::SupportInfo);
        EXPECT_EQ(log.records[1].result, 0x0100u | unsigned(adapters));
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
        MessageBoxWatch watch;
        EXPECT_FALSE(loadASPI());
        EXPECT_TRUE(watch.seen().empty());
        EXPECT_TRUE(trace.lines().empty());
    }
    EXPECT_EQ(sim.log().records.size(), logged) << "the interface was not asked again";
    EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), loaded);
    EXPECT_EQ(getHostAdapterCount(), 1);
    EXPECT_EQ(getMaxTargets(0), 16) << "the loaded library still answers";
}

TEST(FreeASPI, FreesTheLoadedLibraryOnce)
{
    SimDrives sim;
    sim.setup.adapters(1);
    sim.write();
    ASSERT_TRUE(loadASPI());
    TraceCapture trace;
    EXPECT_TRUE(freeASPI());
    EXPECT_EQ(trace.lines(), Lines{"Freed wnaspi32.dll OK"});
    EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
    EXPECT_EQ(sim.log().records.back().kind, ksim::SimRecord::Unload);
    EXPECT_FALSE(freeASPI()) << "nothing left to free";
    EXPECT_EQ(getMaxTargets(0), -1) << "no request reaches a freed library";
}

TEST(FreeASPI, FalseWithoutALoadedLibrary)
{
    TraceCapture trace;
    EXPECT_FALSE(freeASPI());
    EXPECT_TRUE(trace.lines().empty());
}

}  // namespace
