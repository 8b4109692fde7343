// End-to-end tests of the chosen speed: stored at the choice, restored at
// start, sent again once after a disc change (told by the drive's unit
// attention or by the system's broadcast), and the drives' letters matched
// again when volumes come and go. The broadcasts are sent from inside the
// program by the probe (tray_probe.cpp), with a record of its own memory.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/tray_access.h"

using namespace e2e;
using ksim::SimRecord;

namespace {

const int kDriveList = 1000, kCurSpeed = 1001, kSetSpeed = 1005;
const UINT kSpeedFirst = 32830;
const DWORD kMediaFlag = 1u << 27, kRemovedFlag = 1u << 26;
const BYTE kSetCdSpeed = 0xBB;
const int kGoodStatus = 0x01;

// The two drives' lists, the first with a stored speed when one is given.
std::string lists(const std::string& lastSpeed = "")
{
    return "[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n" +
           (lastSpeed.empty() ? "" : "lastSpeed=" + lastSpeed + "\r\n") +
           "[0:3]\r\nspeedNames=4\r\nkbSpeeds=706\r\n";
}

// Two drives that take any speed and start at their maximum; with letters,
// D: and E:.
void addDrives(ksim::SimSetup& sim, bool letters, bool unitAttention)
{
    sim.adapters(1);
    sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any").unitAttention(unitAttention);
    sim.device(0, 3).cdrom("KSIM", "DVD-ROM 8X", "2.10").maxSpeed(11080).policy("any");
    if (letters) {
        sim.volume('D').device(0, 1);
        sim.volume('E').device(0, 3);
    }
}

struct Sets {
    int good = 0;   // completed
    int total = 0;
    std::vector<int> speeds;  // of the completed ones
};

Sets setsTo(const KesvoraProcess& p, int target)
{
    Sets s;
    for (const SimRecord& r : p.simCommands(kSetCdSpeed)) {
        if (r.tgt != target)
            continue;
        ++s.total;
        if (r.status == kGoodStatus) {
            ++s.good;
            s.speeds.push_back(r.cdb[2] << 8 | r.cdb[3]);
        }
    }
    return s;
}

// The speed item checked in the popup's speed sub-menu, or 0.
UINT checkedSpeedItem(const KesvoraProcess& p, const Probe& probe)
{
    HWND w = openPopup(p);
    if (w == nullptr)
        return 0;
    UINT checked = 0;
    for (const Item& it : probe.menu(menuOf(w)))
        if (it.id >= kSpeedFirst && it.id < kSpeedFirst + 512 && it.checked())
            checked = it.id;
    key(w, VK_ESCAPE);
    waitForMenus(p, 0);
    return checked;
}

// 8X is chosen for the first drive and 4X for the second; then a disc goes
// into the first. Its speed is sent again exactly once, the window shows 8X
// again at the next refresh, and the second drive gets nothing. Through
// ASPI without letters only the unit attention tells; through the
// pass-through a drive may report nothing and the broadcast tells; told
// both ways, the broadcast's command meets the attention and goes again.
TEST(SpeedMemory, SentAgainOnceAfterADiscChange)
{
    const struct {
        const char* what;
        bool aspi, letters, unitAttention, broadcast;
        int sent;  // SET CD SPEED requests to the first drive after the disc
    } rows[] = {
        {"ASPI, no letter, unit attention", true, false, true, false, 1},
        {"pass-through, unit attention", false, true, true, false, 1},
        {"pass-through, broadcast, drive reports nothing", false, true, false, true, 1},
        {"ASPI with letters, unit attention and broadcast", true, true, true, true, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p.sim, row.letters, row.unitAttention);
        p.sim.aspiLoads(row.aspi);
        p.writeSettings(lists());
        ASSERT_TRUE(p.start());
        std::unique_ptr<Probe> probe(row.broadcast ? new Probe(p) : nullptr);
        ASSERT_TRUE(probe == nullptr || probe->ok());
        p.selectComboItem(kDriveList, 1);
        p.selectComboItem(kSetSpeed, 0);
        p.selectComboItem(kDriveList, 0);
        p.selectComboItem(kSetSpeed, 0);
        EXPECT_EQ(p.text(kCurSpeed), "8X (1411KB/S)");
        EXPECT_EQ(p.setting("0:1", "lastSpeed"), "1411") << "stored at the choice";
        EXPECT_EQ(p.setting("0:3", "lastSpeed"), "706");

        p.clearSimLog();
        p.sim.device(0, 1).discs(1);
        ASSERT_TRUE(p.rewriteSim());
        if (probe != nullptr) {
            EXPECT_EQ(probe->call("ProbeVolumeChange", reinterpret_cast<void*>(ULONG_PTR(kMediaFlag | 1u << 3))), 1u);
        }
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        EXPECT_EQ(p.text(kCurSpeed), "8X (1411KB/S)");
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        Sets first = setsTo(p, 1);
        EXPECT_EQ(first.speeds, std::vector<int>{1411});
        EXPECT_EQ(first.total, row.sent);
        EXPECT_EQ(setsTo(p, 3).total, 0) << "the other drive had no disc change";
        EXPECT_TRUE(p.messageBoxes().empty());
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
    }
}

// Nothing is sent again for a drive whose speed nobody chose.
TEST(SpeedMemory, NothingSentWithoutAChoice)
{
    KesvoraProcess p;
    addDrives(p.sim, true, true);
    p.writeSettings(std::string("[System]\r\nRunSetSpeed=0\r\n") + lists("1411"));
    ASSERT_TRUE(p.start());
    Probe probe(p);
    ASSERT_TRUE(probe.ok());
    p.sim.device(0, 1).discs(1);
    ASSERT_TRUE(p.rewriteSim());
    EXPECT_EQ(probe.call("ProbeVolumeChange", reinterpret_cast<void*>(ULONG_PTR(kMediaFlag | 1u << 3))), 1u);
    ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
    EXPECT_EQ(p.text(kCurSpeed), "52X (9152KB/S)");
    EXPECT_EQ(setsTo(p, 1).total, 0);
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// A start sends each drive's stored speed once when "RunSetSpeed" is on or
// missing, and the selector and the popup show its entry; off, or without a
// stored speed, nothing is sent. A stored speed that the drive refuses, or
// whose entry is gone, is sent once all the same, without a message.
TEST(SpeedMemory, RestoredAtStartWhenAsked)
{
    const struct {
        const char* what;
        std::string settings;
        bool refuses;
        std::vector<int> sent;
        int selected;
        UINT checked;
        const char* shown;
    } rows[] = {
        {"RunSetSpeed missing", lists("2822"), false, {2822}, 1,
         kSpeedFirst + 1, "16X (2822KB/S)"},
        {"RunSetSpeed=0", std::string("[System]\r\nRunSetSpeed=0\r\n") + lists("2822"),
         false, {}, -1, 0, "52X (9152KB/S)"},
        {"RunSetSpeed=1, nothing stored", std::string("[System]\r\nRunSetSpeed=1\r\n") + lists(), false, {}, -1, 0,
         "52X (9152KB/S)"},
        {"the drive refuses it", lists("1411"), true, {}, 0, kSpeedFirst,
         "52X (9152KB/S)"},
        {"its entry was deleted", lists("4234"), false, {4234}, -1, 0,
         "24X (4234KB/S)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p.sim, false, true);
        if (row.refuses)
            p.sim.device(0, 1).error(kSetCdSpeed, ksim::kSimAlways);
        p.writeSettings(row.settings);
        ASSERT_TRUE(p.start());
        Probe probe(p);
        ASSERT_TRUE(probe.ok());
        Sets first = setsTo(p, 1);
        EXPECT_EQ(first.speeds, row.sent);
        EXPECT_EQ(first.total, row.refuses ? 1 : static_cast<int>(row.sent.size()));
        EXPECT_EQ(p.comboSelection(kSetSpeed), row.selected);
        EXPECT_EQ(checkedSpeedItem(p, probe), row.checked);
        EXPECT_EQ(p.text(kCurSpeed), row.shown);
        EXPECT_TRUE(p.messageBoxes().empty());
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
    }
}

// A speed chosen in the popup is in the file at once: a program killed
// right after the choice starts again with it.
TEST(SpeedMemory, ChoiceSurvivesAKill)
{
    std::string file;
    {
        KesvoraProcess p;
        addDrives(p.sim, false, true);
        p.writeSettings(lists());
        ASSERT_TRUE(p.start());
        p.command(kSpeedFirst + 1);
        file = p.readFile("cdrom.ini");
    }  // ends the program without letting it write anything more
    KesvoraProcess p;
    addDrives(p.sim, false, true);
    p.writeSettings(file);
    ASSERT_TRUE(p.start());
    EXPECT_EQ(setsTo(p, 1).speeds, std::vector<int>{2822});
    EXPECT_EQ(p.comboSelection(kSetSpeed), 1);
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// A drive plugged in again under another letter: once the system has said
// that volumes went and came, the drive list shows the new letter and the
// pass-through reaches the drive there.
TEST(SpeedMemory, LettersFollowTheirDrives)
{
    KesvoraProcess p;
    addDrives(p.sim, true, true);
    p.sim.aspiLoads(false);
    p.writeSettings(lists());
    ASSERT_TRUE(p.start());
    Probe probe(p);
    ASSERT_TRUE(probe.ok());
    ASSERT_EQ(p.comboItems(kDriveList)[0], "[0:1] D:\\ KSIM CD-ROM 52X 1.00");

    p.sim.removeVolume('D');
    p.sim.volume('F').device(0, 1);
    ASSERT_TRUE(p.rewriteSim());
    EXPECT_EQ(probe.call("ProbeVolumeChange", reinterpret_cast<void*>(ULONG_PTR(kRemovedFlag | 1u << 3))), 1u);
    EXPECT_EQ(probe.call("ProbeVolumeChange", reinterpret_cast<void*>(ULONG_PTR(1u << 5))), 1u);
    EXPECT_EQ(p.comboItems(kDriveList),
              (std::vector<std::string>{"[0:1] F:\\ KSIM CD-ROM 52X 1.00", "[0:3] E:\\ KSIM DVD-ROM 8X 2.10"}));
    EXPECT_EQ(p.comboSelection(kDriveList), 0);
    ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
    EXPECT_EQ(p.text(kCurSpeed), "52X (9152KB/S)");
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

}  // namespace
