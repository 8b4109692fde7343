// Speed detection's cost against the simulated drives: the commands sent
// for a 52X drive that accepts any speed and for one that snaps to a table
// of 12 speeds, and the time per value tried beyond the drive's own cost
// (measured by sending the same command pairs without detection).
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/aspi_transport.h"
#include "tests/drive/sim_drives.h"
#include "ui/speed_detection.h"

namespace {

// What the options dialog's detection does at each step: post the progress
// to a window, and look whether it was stopped.
struct PostingSink : DetectionSink {
    HWND hWnd = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ~PostingSink() { DestroyWindow(hWnd); }
    bool Step(int nPos) override { return PostMessageA(hWnd, WM_APP, static_cast<WPARAM>(nPos), 0) != FALSE; }
};

double nowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Case {
    const char* what;
    const char* policy;
    int maxSpeed;
    std::vector<int> table;
    size_t expectedCommands;  // 0: only printed
};

TEST(DetectBench, CommandsAndTimePerValue)
{
    const Case cases[] = {
        // The speed and the maximum read, then one pair per factor: 2 + 2 * 52.
        {"52X, any speed", "any", 52 * 176, {}, 106},
        {"12-speed table", "table", 11289, {176, 353, 706, 1411, 2117, 2822, 4234, 5645, 7056, 8467, 9878, 11289}, 0},
    };
    for (const Case& c : cases) {
        SimDrives sim;
        ksim::SimDevice& d = sim.setup.device(0, 1).cdrom("KSIM", "BENCH", "1.00").maxSpeed(c.maxSpeed).policy(c.policy);
        if (!c.table.empty())
            d.speedTable(c.table);
        sim.write();
        ASSERT_TRUE(loadASPI());
        CdDrive drive(aspiTransport(), {0, 0, 1, 0});
        PostingSink sink;
        CStringList names(10), kbSpeeds(10);

        sim.clearLog();
        double t0 = nowMs();
        drive.getSpeed();
        detectSpeeds(drive, MediumKind::Cd, drive.getMaxSpeed(), 10, sink, names, kbSpeeds);
        double detectMs = nowMs() - t0;
        std::vector<ksim::SimRecord> commands = sim.log().commands();
        size_t values = sim.log().commands(0xBB).size();

        // The same pairs without detection around them.
        std::vector<int> speeds;
        for (const ksim::SimRecord& r : sim.log().commands(0xBB))
            speeds.push_back(r.cdb[2] << 8 | r.cdb[3]);
        t0 = nowMs();
        drive.getSpeed();
        drive.getMaxSpeed();
        for (int s : speeds) {
            drive.setSpeed(s);
            drive.getSpeed();
        }
        double bareMs = nowMs() - t0;

        std::printf("[bench] %-16s commands=%u values=%u entries=%d detect=%.1f ms bare=%.1f ms "
                    "per value: %.3f ms total, %.3f ms beyond the drive\n",
                    c.what, static_cast<unsigned>(commands.size()), static_cast<unsigned>(values),
                    names.GetCount(), detectMs, bareMs, detectMs / values,
                    (detectMs - bareMs) / values);
        if (c.expectedCommands != 0) {
            EXPECT_EQ(commands.size(), c.expectedCommands);
        }
        EXPECT_EQ(commands.size(), 2 + 2 * values);
        freeASPI();
    }
}

// A 16X DVD drive with a table of speeds: Detect through the speeds the drive
// offers (GET PERFORMANCE) against the stepping through every X factor.
TEST(DetectBench, DvdOfferedSpeedsAgainstStepping)
{
    for (const char* performance : {"speeds", "refuse"}) {
        SimDrives sim;
        sim.setup.device(0, 1).cdrom("KSIM", "DVD BENCH", "1.00").maxSpeed(22160).policy("table")
            .speedTable({2770, 5540, 8310, 11080, 16620, 22160}).set("medium", "dvd").set("streamingPolicy", "table")
            .set("performance", performance);
        sim.write();
        ASSERT_TRUE(loadASPI());
        CdDrive drive(aspiTransport(), {0, 0, 1, 0});
        drive.getMaxSpeed();  // its capabilities: it reads DVDs
        PostingSink sink;
        CStringList names(10), kbSpeeds(10);
        sim.clearLog();
        const double t0 = nowMs();
        const MediumKind kind = drive.readMedium();
        drive.getSpeed();
        std::vector<unsigned> offered = drive.offeredSpeeds();
        size_t entries = offered.size();
        if (offered.empty()) {
            detectSpeeds(drive, kind, drive.getMaxSpeed(), 10, sink, names, kbSpeeds);
            entries = static_cast<size_t>(names.GetCount());
        }
        const double ms = nowMs() - t0;
        std::printf("[bench] DVD, %-26s commands=%u entries=%u detect=%.1f ms\n",
                    offered.empty() ? "stepping (no GET PERFORMANCE)" : "GET PERFORMANCE",
                    static_cast<unsigned>(sim.log().commands().size()), static_cast<unsigned>(entries), ms);
        EXPECT_EQ(entries, 6u);
        freeASPI();
    }
}

}  // namespace
