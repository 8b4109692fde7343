// kesvora.exe on the system's SCSI pass-through: simulated volumes of drive
// letters (ksim_volumes.dll, in place before the program's first
// instruction) in front of the same simulated devices and command log as
// the simulated wnaspi32.dll.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

using e2e::KesvoraProcess;
using ksim::SimRecord;

namespace {

const int kDriveList = 1000, kCurSpeed = 1001, kLocked = 1002, kMaxSpeed = 1003, kSpindownTime = 1004;
const int kSetSpeed = 1005, kLock = 1023;
const char kNoDrive[] = "程序发生错误,在系统中找不到光驱!";
const char kFailedSpeed[] = "0X (0KB/S)";

// Two drives on two ports, each with its letter, and a fixed disk C:.
void addDrives(ksim::SimSetup& sim)
{
    sim.adapters(2);
    sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("table")
        .speedTable({706, 1411, 2822, 9152}).lock(true, false).spindown(0x0A);
    sim.device(1, 0).cdrom("KSIM", "DVD-ROM 8X", "2.10").maxSpeed(11080).speed(5540).policy("any")
        .lock(false).spindown(0x00);
    sim.volume('C').driveType(DRIVE_FIXED).device(0, 0);
    sim.volume('D').device(0, 1);
    sim.volume('E').device(1, 0);
}

// What a user sees and what the drives receive in one short session.
struct Session {
    std::vector<std::string> items;
    std::vector<std::string> shown;   // texts of the panel after each step
    std::vector<std::string> sent;    // EXEC lines of the devices that are there
    std::string settings;             // cdrom.ini at the end
    size_t boxes = 0;
};

std::string panel(const KesvoraProcess& p)
{
    return p.text(kCurSpeed) + " | " + p.text(kMaxSpeed) + " | " + p.text(kSpindownTime) + " | " +
           (p.checked(kLocked) ? "locked" : "free");
}

Session runSession(const std::function<void(KesvoraProcess&)>& via)
{
    Session s;
    KesvoraProcess p;
    addDrives(p.sim);
    p.writeSettings("[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n");
    via(p);
    if (!p.start()) {
        ADD_FAILURE() << "the program did not start";
        return s;
    }
    s.items = p.comboItems(kDriveList);
    s.shown.push_back(panel(p));
    p.selectComboItem(kSetSpeed, 1);
    s.shown.push_back(panel(p));
    p.click(kLock);
    s.shown.push_back(panel(p));
    p.selectComboItem(kDriveList, 1);
    s.shown.push_back(panel(p));
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
    for (const SimRecord& r : p.simCommands()) {
        if (r.status != 0x82)  // ASPI asks every target; nothing answers at the empty ones
            s.sent.push_back(r.line);
    }
    s.settings = p.readFile("cdrom.ini");
    s.boxes = p.messageBoxes().size();
    return s;
}

// The same drives, letters, texts, settings and command bytes whichever
// transport carries the commands: ASPI, the pass-through where no ASPI
// layer loads (the only way the 64-bit program has on Windows), the
// pass-through chosen in the settings file where ASPI is there.
TEST(PassThrough, SameSessionAsThroughAspi)
{
    const Session aspi = runSession([](KesvoraProcess&) {});
    ASSERT_EQ(aspi.items, (std::vector<std::string>{"[0:1] D:\\ KSIM CD-ROM 52X 1.00", "[1:0] E:\\ KSIM DVD-ROM 8X 2.10"}));
    EXPECT_EQ(aspi.shown[1], "16X (2822KB/S) | 52X (9152KB/S) | 1 min | free");
    EXPECT_EQ(aspi.shown[2], "16X (2822KB/S) | 52X (9152KB/S) | 1 min | locked");
    EXPECT_EQ(aspi.boxes, 0u);
    ASSERT_GE(aspi.sent.size(), 8u);
    const struct {
        const char* what;
        std::function<void(KesvoraProcess&)> via;
        bool sameSettingsFile;
    } rows[] = {
        {"no ASPI layer", [](KesvoraProcess& p) { p.sim.aspiLoads(false); }, true},
        {"ASPI without adapters", [](KesvoraProcess& p) { p.sim.adapters(0); }, true},
        {"Transport=passthrough", [](KesvoraProcess& p) {
             p.writeSettings("[System]\r\nTransport= PassThrough \r\n[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n");
         }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Session s = runSession(row.via);
        EXPECT_EQ(s.items, aspi.items);
        EXPECT_EQ(s.shown, aspi.shown);
        EXPECT_EQ(s.sent, aspi.sent);
        EXPECT_EQ(s.boxes, 0u) << "no word about ASPI";
        if (row.sameSettingsFile) {
            EXPECT_EQ(s.settings, aspi.settings);
        }
    }
}

// Volumes the scan cannot use are passed over; one the user may not open
// is named in one message. Transport=aspi keeps the ASPI messages.
TEST(PassThrough, VolumesThatCannotServe)
{
    const struct {
        const char* what;
        std::function<void(KesvoraProcess&)> change;
        std::vector<std::string> items;
        std::vector<std::string> boxes;  // the start of each text
    } rows[] = {
        {"D: does not open", [](KesvoraProcess& p) { p.sim.volume('D').open("no"); },
         {"[1:0] E:\\ KSIM DVD-ROM 8X 2.10"}, {}},
        {"D: has no SCSI address", [](KesvoraProcess& p) { p.sim.volume('D').address(false); },
         {"[1:0] E:\\ KSIM DVD-ROM 8X 2.10"}, {}},
        {"E: denied", [](KesvoraProcess& p) { p.sim.volume('E').open("denied"); },
         {"[0:1] D:\\ KSIM CD-ROM 52X 1.00"}, {"没有访问光驱 E: 的权限"}},
        {"D: and E: denied", [](KesvoraProcess& p) { p.sim.volume('D').open("denied"); p.sim.volume('E').open("denied"); },
         {}, {"没有访问光驱 D:、E: 的权限", kNoDrive}},
        {"Transport=aspi without ASPI", [](KesvoraProcess& p) { p.writeSettings("[System]\r\nTransport=aspi\r\n"); },
         {}, {"不能加载 wnaspi32.dll", kNoDrive}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p.sim);
        p.sim.aspiLoads(false);
        row.change(p);
        if (row.items.empty()) {
            ASSERT_TRUE(p.launch());
            ASSERT_TRUE(p.waitForExit());
        } else {
            ASSERT_TRUE(p.start());
            // A message during the start-up lets the test's messages through
            // before the list is filled.
            ASSERT_TRUE(p.waitForMessageBoxes(row.boxes.size()));
            ASSERT_TRUE(p.sync());
            EXPECT_EQ(p.comboItems(kDriveList), row.items);
            p.closeWithEscape();
            EXPECT_TRUE(p.waitForExit());
        }
        std::vector<SeenBox> boxes = p.messageBoxes();
        ASSERT_EQ(boxes.size(), row.boxes.size());
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_EQ(boxes[i].text.compare(0, std::string(row.boxes[i]).size(), row.boxes[i]), 0) << boxes[i].text;
    }
}

// Commands that fail while the program runs show the failure values for
// that refresh only: a request the system fails, an error status, a
// time-out (one simulated second lasts 10 ms), a volume that goes away and
// comes back.
TEST(PassThrough, FailingCommandsShowFailureValuesOnce)
{
    const struct {
        const char* what;
        std::function<void(ksim::SimSetup&)> change;
    } rows[] = {
        {"request fails", [](ksim::SimSetup& s) { s.device(0, 1).refuse(0x5A, 1, 0x2A); }},
        {"error status", [](ksim::SimSetup& s) { s.device(0, 1).error(0x5A, 1, 0x2A); }},
        {"time-out", [](ksim::SimSetup& s) { s.device(0, 1).delay(0x5A, 3000, 1, 0x2A); }},
        {"volume gone", [](ksim::SimSetup& s) { s.removeVolume('D'); }},
    };
    KesvoraProcess p;
    p.sim.aspiLoads(false);
    addDrives(p.sim);
    p.sim.secondMs(10);
    ASSERT_TRUE(p.start());
    const std::string good = p.text(kCurSpeed);
    EXPECT_EQ(good, "52X (9152KB/S)");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        p.sim = ksim::SimSetup();
        addDrives(p.sim);
        p.sim.secondMs(10);
        row.change(p.sim);
        ASSERT_TRUE(p.rewriteSim());
        DWORD begin = GetTickCount();
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        EXPECT_LT(GetTickCount() - begin, 2000u) << "the program waits no longer than the time-out";
        EXPECT_EQ(p.text(kCurSpeed), kFailedSpeed);
        p.sim = ksim::SimSetup();
        addDrives(p.sim);
        ASSERT_TRUE(p.rewriteSim());
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        EXPECT_EQ(p.text(kCurSpeed), good) << "the next refresh works again";
    }
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

}  // namespace
