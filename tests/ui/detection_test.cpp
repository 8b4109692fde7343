// Speed detection in process against the simulated drives: the exact
// commands sent (the order of the MODE SENSE / SET CD SPEED pairs and every
// speed asked for), the lists it leaves on the drive, the Retry/Cancel
// question, the progress and a detection started inside a running one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/aspi_transport.h"
#include "framework/pump.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/box_watch.h"
#include "ui/options_dialog.h"
#include "ui/speed_detection.h"

namespace {

typedef std::vector<int> Ints;
typedef std::vector<std::string> Texts;

const int kSetSpeed = 0xBB;
const int kModeSense = 0x5A;

// hi, hi - 1, ..., lo.
Ints range(int hi, int lo)
{
    Ints v;
    for (int i = hi; i >= lo; --i)
        v.push_back(i);
    return v;
}

Ints operator+(Ints a, const Ints& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Texts items(const CStringList* list)
{
    Texts v;
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;)
        v.push_back(list->GetNext(pos).GetString());
    return v;
}

// What one detection sent: the number of reads of the maximum before the
// first SET CD SPEED, and the speeds asked for, each of which must be
// followed by exactly one MODE SENSE of page 0x2A.
struct Sent {
    int leadingSenses = 0;
    Ints speeds;
    bool wellFormed = true;
    std::string problem;
};

Sent analyse(const std::vector<ksim::SimRecord>& commands)
{
    Sent s;
    size_t k = 0;
    while (k < commands.size() && commands[k].opcode() == kModeSense) {
        ++s.leadingSenses;
        ++k;
    }
    while (k < commands.size()) {
        const ksim::SimRecord& set = commands[k];
        if (set.opcode() != kSetSpeed || k + 1 >= commands.size() || commands[k + 1].opcode() != kModeSense ||
            commands[k + 1].cdb.size() < 3 || commands[k + 1].cdb[2] != 0x2A) {
            s.wellFormed = false;
            s.problem = "unexpected at " + std::to_string(k) + ": " + describe(set);
            return s;
        }
        s.speeds.push_back(set.cdb[2] << 8 | set.cdb[3]);
        k += 2;
    }
    return s;
}

// Answers the Retry question from a script (then Cancel), records the
// progress, and lets waiting messages through as the dialog does.
struct ScriptedSink : DetectionSink {
    std::vector<bool> retries;
    int asked = 0;
    int rangeMax = -1;
    int lastPos = -1;
    bool RetryMaxSpeed() override { return asked < static_cast<int>(retries.size()) && retries[asked++]; }
    void SetProgressRange(int nMaxKbps) override { rangeMax = nMaxKbps; }
    void Step(int nPos) override
    {
        AfxPumpWaitingMessage();
        lastPos = nPos;
    }
};

class DetectionTest : public ::testing::Test {
protected:
    void TearDown() override { freeASPI(); }

    // Loads ASPI over the simulated drive at 0:1 as `device` describes it.
    void start()
    {
        sim.write();
        ASSERT_TRUE(loadASPI());
        sim.clearLog();
    }

    ksim::SimDevice& device() { return sim.setup.device(0, 1).cdrom("KSIM", "DETECT", "1.00"); }

    SimDrives sim;
    CdDrive drive{0, 1};
    ScriptedSink sink;
};

struct Row {
    const char* what;
    const char* policy;
    int maxSpeed;
    int speed;  // the current speed at the start
    Ints table;
    Ints speeds;  // every SET CD SPEED, in order
    Texts names;
    Texts kbSpeeds;
};

TEST_F(DetectionTest, SendsExactlyTheWindowsAndRecordsEachFactorOnce)
{
    const Row rows[] = {
        {"accepts any speed: every factor at the top of its window", "any", 1411, 1411, {},
         {1418, 1242, 1066, 890, 714, 538, 362, 186},
         {"8", "7", "6", "5", "4", "3", "2", "1"},
         {"1418", "1242", "1066", "890", "714", "538", "362", "186"}},
        {"clips to its maximum: the reported speed is recorded, 1411 not 1418", "clip", 1411, 1411, {},
         {1418, 1242, 1066, 890, 714, 538, 362, 186},
         {"8", "7", "6", "5", "4", "3", "2", "1"},
         {"1411", "1242", "1066", "890", "714", "538", "362", "186"}},
        {"snaps to a table: factors between its speeds add nothing", "table", 706, 706, {176, 353, 706},
         Ints{714, 538} + range(362, 352) + range(186, 176),
         {"4", "2", "1"},
         {"706", "353", "176"}},
        {"a top speed that no value of the top window reaches", "table", 7056, 7056, {176, 353, 706, 1411, 2117,
                                                                                        2822, 4234, 5645, 7056},
         // 40X: 7050 gets 5645 (32X); 39X..33X find nothing new; 32X's window
         // gets 4234 (24X) at once; 24X meets 4234 itself, then 2822 (16X).
         Ints{7050} + range(6874, 6854) + range(6698, 6678) + range(6522, 6502) + range(6346, 6326) +
             range(6170, 6150) + range(5994, 5974) + range(5818, 5798) + Ints{5642} + range(5466, 5446) +
             range(5290, 5270) + range(5114, 5094) + range(4938, 4918) + range(4762, 4742) +
             range(4586, 4566) + range(4410, 4390) + Ints{4234, 4233} + range(4058, 4038) +
             range(3882, 3862) + range(3706, 3686) + range(3530, 3510) + range(3354, 3334) +
             range(3178, 3158) + range(3002, 2982) + range(2826, 2822) + Ints{2821} + range(2650, 2630) +
             range(2474, 2454) + range(2298, 2278) + range(2122, 2117) + Ints{2116} + range(1946, 1926) +
             range(1770, 1750) + range(1594, 1574) + range(1418, 1411) + Ints{1410} + range(1242, 1222) +
             range(1066, 1046) + range(890, 870) + range(714, 706) + Ints{705} + range(538, 518) +
             range(362, 353) + Ints{352} + range(186, 176),
         {"32", "24", "16", "12", "8", "4", "2", "1"},
         {"5645", "4234", "2822", "2117", "1411", "706", "353", "176"}},
        {"ignores SET CD SPEED: one entry, every other value tried", "ignore", 1411, 1411, {},
         Ints{1418} + range(1242, 1222) + range(1066, 1046) + range(890, 870) + range(714, 694) +
             range(538, 518) + range(362, 342) + range(186, 176),
         {"8"},
         {"1411"}},
        {"reports 0: every value of every window tried, nothing found", "zero", 352, 352, {},
         range(362, 342) + range(186, 176), {}, {}},
        {"maximum below 1X: nothing is tried", "any", 175, 175, {}, {}, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        freeASPI();
        ksim::SimDevice& d = device().maxSpeed(row.maxSpeed).speed(row.speed).policy(row.policy);
        if (!row.table.empty())
            d.speedTable(row.table);
        start();
        drive.speedNames->AddTail("99");
        drive.kbSpeeds->AddTail("17424");

        detectSpeeds(drive, 10, sink);

        Sent sent = analyse(sim.log().commands());
        ASSERT_TRUE(sent.wellFormed) << sent.problem;
        EXPECT_EQ(sent.leadingSenses, 1) << "one read of the maximum";
        EXPECT_EQ(sent.speeds, row.speeds);
        EXPECT_EQ(items(drive.speedNames), row.names);
        EXPECT_EQ(items(drive.kbSpeeds), row.kbSpeeds);
    }
}

TEST_F(DetectionTest, UnreadableMaximumIsAskedAgainAfterRetry)
{
    device().maxSpeed(352).policy("any").maxSpeedZero(2);
    start();
    sink.retries = {true, true};

    detectSpeeds(drive, 10, sink);

    EXPECT_EQ(sink.asked, 2);
    Sent sent = analyse(sim.log().commands());
    ASSERT_TRUE(sent.wellFormed) << sent.problem;
    EXPECT_EQ(sent.leadingSenses, 3) << "two unreadable reads, then the good one";
    EXPECT_EQ(sent.speeds, (Ints{362, 186}));
    EXPECT_EQ(items(drive.speedNames), (Texts{"2", "1"}));
    EXPECT_EQ(items(drive.kbSpeeds), (Texts{"362", "186"}));
}

TEST_F(DetectionTest, CancelLeavesTheDriveWithEmptyLists)
{
    device().maxSpeed(1411).policy("any").maxSpeedZero(5);
    start();
    drive.speedNames->AddTail("8");
    drive.kbSpeeds->AddTail("1411");
    sink.retries = {false};

    detectSpeeds(drive, 10, sink);

    EXPECT_EQ(sink.asked, 1);
    Sent sent = analyse(sim.log().commands());
    ASSERT_TRUE(sent.wellFormed) << sent.problem;
    EXPECT_EQ(sent.leadingSenses, 1) << "Cancel asks nothing more";
    EXPECT_TRUE(sent.speeds.empty());
    EXPECT_TRUE(drive.speedNames->IsEmpty());
    EXPECT_TRUE(drive.kbSpeeds->IsEmpty());
}

TEST(DetectionQuestion, RetryOrCancelWithoutIcon)
{
    const struct {
        int pressed;
        bool retry;
    } rows[] = {{IDRETRY, true}, {IDCANCEL, false}};
    for (const auto& row : rows) {
        BoxWatch answers({row.pressed});
        EXPECT_EQ(AskRetryMaxSpeed(nullptr), row.retry);
        std::vector<SeenBox> boxes = answers.seen();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "致命错误!");
        EXPECT_EQ(boxes[0].text, "程序在检测驱动器最大速度时遇到错误. 这对检测可能速度是至关重要的.");
        EXPECT_EQ(boxes[0].buttons, (Ints{IDRETRY, IDCANCEL}));
        EXPECT_FALSE(boxes[0].anyIcon);
    }
}

TEST_F(DetectionTest, ProgressFollowsTheValuesTried)
{
    const struct {
        const char* policy;
        int maxSpeed;
        int lastPos;
    } rows[] = {
        {"any", 1411, 10 + 1411 - 186},  // ends at the last value tried: 186 for 1X
        {"zero", 352, 352 - 165},        // every value tried: ends at 175, where 1X stops
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.policy);
        freeASPI();
        device().maxSpeed(row.maxSpeed).policy(row.policy);
        start();
        detectSpeeds(drive, 10, sink);
        EXPECT_EQ(sink.rangeMax, row.maxSpeed);
        EXPECT_EQ(sink.lastPos, row.lastPos);
    }
}

}  // namespace
