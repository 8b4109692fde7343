// End-to-end tests: the real kesvora.exe against simulated drives and
// volumes, driven from outside through its windows. The notification icon's
// messages and the device broadcasts are sent as the shell and the system
// send them. What the menus and the icon show is tested in process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

#include <dbt.h>

using namespace e2e;
using ksim::SimRecord;

namespace {

typedef std::vector<std::string> Texts;

// Controls of the main window and of the options dialog.
const int kDriveList = 1000, kCurSpeed = 1001, kLocked = 1002, kMaxSpeed = 1003, kSpindownTime = 1004;
const int kSetSpeed = 1005, kSetSpindown = 1006, kOptions = 1007, kLock = 1023, kUnlock = 1024;
const int kAutoRefresh = 1025, kRefreshSecs = 1026, kEject = 1021;
const int kOptionsList = 1010, kAddSpeed = 1018, kSpeedEdit = 1020;
// Commands of the popup menu.
const UINT kShowHide = 32771, kAbout = 101, kSpeedFirst = 32830;

const char kNoDrive[] = "程序发生错误,在系统中找不到光驱!";
const char kLists[] = "[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n";

// kLists (with the speed stored, if given) and the second drive's lists.
std::string lists(const std::string& lastSpeed = "")
{
    return kLists + (lastSpeed.empty() ? "" : "lastSpeed=" + lastSpeed + "\r\n") +
           "[1:0]\r\nspeedNames=4\r\nkbSpeeds=706\r\nlastSpeed=706\r\n";
}

// Two drives on two ports with their letters, and a fixed disk C:: a 52X
// CD-ROM that snaps to a speed table, can lock and reports a new disc with
// a unit attention unless told otherwise; a DVD-ROM that takes any speed,
// cannot lock and has a vendor-specific spin-down timer.
void addDrives(KesvoraProcess& p, bool unitAttention = true)
{
    p.sim.adapters(2);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("table")
        .speedTable({706, 1411, 2822, 9152}).lock(true, false).spindown(0x0A).unitAttention(unitAttention);
    p.sim.device(1, 0).cdrom("KSIM", "DVD-ROM 8X", "2.10").maxSpeed(11080).speed(5540).policy("any")
        .lock(false).spindown(0x00);
    p.sim.volume('C').driveType(DRIVE_FIXED).device(0, 0);
    p.sim.volume('D').device(0, 1);
    p.sim.volume('E').device(1, 0);
}

// What the drives were sent, a command a line in a few words: "sense 2A"
// (MODE SENSE of a page), "speed 1411" (SET CD SPEED), "lock 1" (PREVENT
// ALLOW MEDIUM REMOVAL), "spindown 6" (MODE SELECT of the spin-down code),
// with "@a:t" for a drive other than 0:1. The bytes themselves, and the
// INQUIRYs of looking for drives, are the drive layer's tests' business.
Texts sent(const KesvoraProcess& p)
{
    Texts v;
    for (const SimRecord& r : p.simCommands()) {
        if (r.opcode() == 0x12)
            continue;
        char buf[32];
        if (r.opcode() == 0x5A)
            std::snprintf(buf, sizeof buf, "sense %02X", r.cdb[2] & 0x3F);
        else if (r.opcode() == 0xBB)
            std::snprintf(buf, sizeof buf, "speed %d", r.cdb[2] << 8 | r.cdb[3]);
        else if (r.opcode() == 0x1E)
            std::snprintf(buf, sizeof buf, "lock %d", r.cdb[4] & 0x03);
        else
            std::snprintf(buf, sizeof buf, "spindown %d", r.out.size() >= 5 ? r.out[r.out.size() - 5] & 0x0F : -1);
        const std::string at = "@" + std::to_string(r.ha) + ":" + std::to_string(r.tgt);
        v.push_back(buf + (r.ha == 0 && r.tgt == 1 ? "" : at));
    }
    return v;
}

// The speeds of the SET CD SPEED requests to a target, failed ones negative.
std::vector<int> speedsSent(const KesvoraProcess& p, int target)
{
    std::vector<int> speeds;
    for (const SimRecord& r : p.simCommands(0xBB))
        if (r.tgt == target)
            speeds.push_back((r.status == 0x01 ? 1 : -1) * (r.cdb[2] << 8 | r.cdb[3]));
    return speeds;
}

// The panel's texts, its lock box and the auto-refresh box; where Lock, Unlock or the
// spin-down selector is greyed out, which of the three can be used (1) or not (0).
std::string panel(const KesvoraProcess& p)
{
    std::string usable;
    for (int id : {kLock, kUnlock, kSetSpindown})
        usable += IsWindowEnabled(p.control(id)) ? "1" : "0";
    return p.text(kCurSpeed) + " | " + p.text(kMaxSpeed) + " | " + p.text(kSpindownTime) + " | " +
           (p.checked(kLocked) ? "locked" : "free") + (p.checked(kAutoRefresh) ? " | auto" : "") +
           (usable == "111" ? "" : " | usable " + usable);
}

// Without a drive: the messages, the end, the settings file as it was.
TEST(MainWindow, StartUpWithoutADriveSaysWhyAndEnds)
{
    const struct {
        const char* what;
        int type;              // of both devices: 5 CD-ROM, 0 disk
        bool aspiLoads;
        int adapters;
        const char* open;      // how D: and E: open
        const char* settings;  // nullptr: no file
        Texts boxes;           // the start of each text
    } rows[] = {
        {"no CD-ROM", 0, true, 2, "yes", kLists, {kNoDrive}},
        {"both volumes denied", 5, false, 2, "denied", nullptr, {"没有访问光驱 D:、E: 的权限", kNoDrive}},
        {"Transport=aspi where ASPI does not load", 5, false, 2, "yes", "[System]\r\nTransport=aspi\r\n",
         {"不能加载 wnaspi32.dll", kNoDrive}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p);
        p.sim.device(0, 1).type(row.type);
        p.sim.device(1, 0).type(row.type);
        p.sim.volume('D').open(row.open);
        p.sim.volume('E').open(row.open);
        p.sim.adapters(row.adapters).aspiLoads(row.aspiLoads);
        if (row.settings != nullptr)
            p.writeSettings(row.settings);
        ASSERT_TRUE(p.launch());
        ASSERT_TRUE(p.waitForExit()) << "the program did not end";
        std::vector<SeenBox> boxes = p.messageBoxes();
        ASSERT_EQ(boxes.size(), row.boxes.size());
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_EQ(boxes[i].text.compare(0, row.boxes[i].size(), row.boxes[i]), 0) << boxes[i].text;
        EXPECT_EQ(boxes.back().caption, "程序错误");
        EXPECT_EQ(p.readFile("cdrom.ini"), row.settings != nullptr ? row.settings : "");
    }
}

HWND openOptions(const KesvoraProcess& p);

// Types the interval and ticks the auto-refresh box.
void autoRefresh(const KesvoraProcess& p, const char* secs)
{
    p.setText(kRefreshSecs, secs);
    p.click(kAutoRefresh);
}

// Adds a speed in the options dialog, opened with its button and closed
// with Escape, which keeps the edits and saves them at once.
void addSpeedInOptions(const KesvoraProcess& p, const char* speed)
{
    HWND dlg = openOptions(p);
    ASSERT_NE(dlg, nullptr);
    p.setText(kSpeedEdit, speed, dlg);
    p.click(kAddSpeed, dlg);
    p.post(WM_COMMAND, IDCANCEL, 0, dlg);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dlg); }));
    ASSERT_TRUE(p.sync());
    const std::string names = p.setting("0:1", "speedNames");
    EXPECT_EQ(names.substr(names.rfind(',') + 1), speed) << "saved when the dialog closed";
}

// One session of the panel's actions through every transport: ASPI, the
// pass-through where ASPI does not load or has no adapter, and the
// pass-through chosen where ASPI is there (the key's value as typed: blanks
// and capitals aside, only a transport's whole name counts). Each step sends
// its commands, in order and nothing else, and the panel shows the result.
// Whichever way the program is closed (the session's end: while it goes on),
// the speed added in the options dialog is saved, both keys of it.
TEST(MainWindow, OneSessionThroughEveryTransport)
{
    typedef void (*Act)(KesvoraProcess&);
    const Texts kRefresh = {"sense 2A", "sense 2A", "sense 0D", "sense 2A"};  // speed, max, spin-down, lock
    const char kFirst[] = "52X (9152KB/S) | 52X (9152KB/S) | 1 min | free";
    const char kChosen[] = "16X (2822KB/S) | 52X (9152KB/S) | 4 sec | free";
    const struct {
        const char* what;
        Act act;
        Texts sent;
        const char* shows;
    } steps[] = {
        {"a timer message refreshes, whatever its id", [](KesvoraProcess& p) { p.send(WM_TIMER, 7); },
         kRefresh, kFirst},
        {"speed entry 1", [](KesvoraProcess& p) { p.selectComboItem(kSetSpeed, 1); },
         {"speed 2822", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | free"},
        {"lock", [](KesvoraProcess& p) { p.click(kLock); },
         {"lock 1", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | locked"},
        {"unlock", [](KesvoraProcess& p) { p.click(kUnlock); },
         {"lock 0", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | free"},
        {"spin-down 4 sec", [](KesvoraProcess& p) { p.selectComboItem(kSetSpindown, 5); },
         {"spindown 6", "sense 0D"}, kChosen},
        {"auto refresh at the longest interval", [](KesvoraProcess& p) { autoRefresh(p, "600"); }, {},
         "16X (2822KB/S) | 52X (9152KB/S) | 4 sec | free | auto"},
        {"auto refresh off", [](KesvoraProcess& p) { p.click(kAutoRefresh); }, {}, kChosen},
        {"601 s: refused, the refresh stays off", [](KesvoraProcess& p) { autoRefresh(p, "601"); }, {}, kChosen},
        {"every second: the timer refreshes by itself",
         [](KesvoraProcess& p) {
             autoRefresh(p, "1");
             EXPECT_TRUE(waitUntil([&] { return p.simCommands().size() >= 4; }));
             p.click(kAutoRefresh);
         },
         kRefresh, kChosen},
        {"a speed added in the options dialog", [](KesvoraProcess& p) { addSpeedInOptions(p, "200"); }, {},
         kChosen},
        {"the second drive: its own status and capabilities",
         [](KesvoraProcess& p) { p.selectComboItem(kDriveList, 1); },
         {"sense 2A@1:0", "sense 2A@1:0", "sense 0D@1:0", "sense 2A@1:0", "sense 2A@1:0", "sense 0D@1:0"},
         "31X (5540KB/S) | 62X (11080KB/S) | VS | free | usable 000"},
    };
    const struct {
        const char* what;
        bool aspiLoads;
        int adapters;
        const char* system;  // the settings file's [System] section
        bool throughAspi;
        Act close;
        bool ends;
    } transports[] = {
        {"ASPI, closed with OK", true, 2, "", true, [](KesvoraProcess& p) { p.closeWithOk(); }, true},
        {"no ASPI layer, a key that names no transport, closed with Escape", false, 2,
         "[System]\r\nTransport=aspix\r\n", false,
         [](KesvoraProcess& p) { p.closeWithEscape(); }, true},
        {"ASPI without adapters, closed with the close box", true, 0, "", false,
         [](KesvoraProcess& p) { p.post(WM_SYSCOMMAND, SC_CLOSE); }, true},
        {"Transport=passthrough, the session ends", true, 2, "[System]\r\nTransport= PassThrough \r\n", false,
         [](KesvoraProcess& p) { ASSERT_TRUE(p.send(WM_ENDSESSION, TRUE)); }, false},
    };
    for (const auto& transport : transports) {
        SCOPED_TRACE(transport.what);
        KesvoraProcess p;
        addDrives(p);
        p.sim.aspiLoads(transport.aspiLoads).adapters(transport.adapters);
        p.writeSettings(std::string(transport.system) + kLists);
        ASSERT_TRUE(p.start());
        bool adapterAsked = false;
        for (const SimRecord& r : ksim::readSimLog(p.path("ksim.log")).records)
            adapterAsked = adapterAsked || r.kind == SimRecord::HaInquiry;
        EXPECT_EQ(adapterAsked, transport.throughAspi);
        EXPECT_EQ(p.comboItems(kDriveList), (Texts{"[0:1] D:\\ KSIM CD-ROM 52X 1.00", "[1:0] E:\\ KSIM DVD-ROM 8X 2.10"}));
        EXPECT_EQ(panel(p), kFirst);
        // The selectors offer their items only: nothing can be typed into them.
        for (int id : {kDriveList, kSetSpeed, kSetSpindown})
            EXPECT_EQ(GetWindowLongA(p.control(id), GWL_STYLE) & 0x3, CBS_DROPDOWNLIST) << "control " << id;
        for (const auto& step : steps) {
            SCOPED_TRACE(step.what);
            p.clearSimLog();
            step.act(p);
            ASSERT_TRUE(p.settle());
            EXPECT_EQ(sent(p), step.sent);
            EXPECT_EQ(panel(p), step.shows);
        }
        transport.close(p);
        EXPECT_EQ(p.waitForExit(transport.ends ? 15000 : 0), transport.ends);
        ASSERT_EQ(p.messageBoxes().size(), 1u) << "601 s";
        EXPECT_EQ(p.messageBoxes()[0].text, "请输入一个介于 1 和 600 之间的整数。");
        EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16,200");
        EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411,2822,35200");
        EXPECT_EQ(p.setting("0:1", "lastSpeed"), "2822") << "the chosen speed is kept";
        EXPECT_EQ(p.setting("1:0", "speedNames"), KesvoraProcess::kMissing) << "unchanged: not written";
    }
}

// The options dialog, opened with its button; null when it did not open.
HWND openOptions(const KesvoraProcess& p)
{
    p.post(WM_COMMAND, MAKEWPARAM(kOptions, BN_CLICKED), reinterpret_cast<LPARAM>(p.control(kOptions)));
    HWND dlg = nullptr;
    waitUntil([&] {
        for (HWND h : topLevelWindows(p.processId()))
            dlg = IsWindowVisible(h) && GetDlgItem(h, kOptionsList) != nullptr ? h : dlg;
        return dlg != nullptr;
    });
    return dlg != nullptr && p.sync(dlg) ? dlg : nullptr;
}

// A drive holding a DVD, with no CD parameters page: the panel shows DVD speeds and the
// standby time, offers the DVD list and whole minutes; a speed goes as SET STREAMING and
// is stored under the DVD key, the time as MODE SELECT of the power condition page (the
// page refused once is not asked for again); Detect fills the DVD list from the speeds
// the drive offers, and the lists of CDs stay as they were.
TEST(MainWindow, ADvdAndItsOwnSpeeds)
{
    KesvoraProcess p;
    p.sim.adapters(1).device(0, 1).cdrom("KSIM", "DVD-RW", "1.0").maxSpeed(22160).policy("table")
        .speedTable({2770, 5540, 11080, 22160}).set("medium", "dvd").set("streamingPolicy", "table")
        .set("performance", "speeds").set("cdParametersPage", 0).set("powerConditionPage", 1).set("standby", 3000);
    p.writeSettings(std::string(kLists) + "dvdSpeedNames=16,8\r\ndvdKbSpeeds=22160,11080\r\n");
    ASSERT_TRUE(p.start());
    EXPECT_EQ(panel(p), "16X DVD (22160KB/S) | 16X DVD (22160KB/S) | 5 min | free");
    EXPECT_EQ(p.comboItems(kSetSpeed), (Texts{"16X DVD (22160KB/S)", "8X DVD (11080KB/S)"}));
    EXPECT_EQ(p.comboItems(kSetSpindown).size(), 6u) << "whole minutes";
    p.clearSimLog();
    p.selectComboItem(kSetSpeed, 1);
    p.selectComboItem(kSetSpindown, 1);
    ASSERT_TRUE(p.settle());
    Texts sent;  // opcodes, a MODE SENSE's with its page
    for (const SimRecord& r : p.simCommands()) {
        char op[8];
        std::snprintf(op, sizeof op, "%02X", r.opcode() == 0x5A ? 0x5A00 | r.cdb[2] : r.opcode());
        sent.push_back(op);
    }
    EXPECT_EQ(sent, (Texts{"46", "B6", "5A2A", "55", "5A1A"}));
    EXPECT_EQ(panel(p), "8X DVD (11080KB/S) | 16X DVD (22160KB/S) | 2 min | free");
    EXPECT_EQ(p.setting("0:1", "dvdLastSpeed"), "11080");
    HWND dlg = openOptions(p);
    ASSERT_NE(dlg, nullptr);
    p.click(1008, dlg);  // Detect
    ASSERT_TRUE(p.settle());
    p.post(WM_COMMAND, IDOK, 0, dlg);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dlg); }));
    ASSERT_TRUE(p.settle());
    EXPECT_EQ(p.setting("0:1", "dvdSpeedNames"), "16,8,4,2");
    EXPECT_EQ(p.setting("0:1", "dvdKbSpeeds"), "22160,11080,5540,2770");
    EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16") << "the CD list is another";
    EXPECT_EQ(p.simCommands(0xBB).size(), 0u) << "no CD speed sent to a DVD";
}

// Drives come and go while the program runs (through the pass-through): one plugged in
// is listed with the lists and the speed of its section, which it is sent; unplugged, it
// is shown as gone and sent nothing; plugged in again on another port, it is back in its
// place with its section; one whose letter appears at a refresh, unannounced, is found.
TEST(MainWindow, DrivesComeAndGo)
{
    KesvoraProcess p;
    addDrives(p);
    p.sim.aspiLoads(false);
    p.sim.removeVolume('E');
    p.writeSettings(kLists + std::string("[1:0]\r\nidentity=KSIM|DVD-ROM%208X|2.10|\r\nspeedNames=4\r\nkbSpeeds=706\r\nlastSpeed=706\r\n"));
    ASSERT_TRUE(p.start());
    const std::string kDvd = "KSIM DVD-ROM 8X 2.10";
    auto plug = [&](char letter, int port, WPARAM event) {
        if (port >= 0)
            p.sim.volume(letter).device(1, 0).set("port", port);
        else
            p.sim.removeVolume(letter);
        ASSERT_TRUE(p.rewriteSim());
        p.clearSimLog();
        if (event != 0)
            EXPECT_TRUE(p.broadcast(event, 1u << (letter - 'A')));
        else
            p.send(WM_TIMER, 1);
        ASSERT_TRUE(p.settle());
    };
    const struct { const char* what; std::function<void()> act; const char* label; std::vector<int> speeds; } steps[] = {
        {"plugged in", [&] { plug('E', 1, DBT_DEVICEARRIVAL); }, "[1:0] E:\\ ", {706}},
        {"unplugged", [&] { plug('E', -1, DBT_DEVICEREMOVECOMPLETE); }, "[1:0] ?:\\ ", {}},
        {"chosen while gone", [&] { p.selectComboItem(kDriveList, 1); p.selectComboItem(kSetSpeed, 0); ASSERT_TRUE(p.settle()); }, "[1:0] ?:\\ ", {}},
        {"plugged in on another port", [&] { plug('F', 5, DBT_DEVICEARRIVAL); }, "[5:0] F:\\ ", {706}},
        {"chosen there", [&] { p.clearSimLog(); p.selectComboItem(kSetSpeed, 0); ASSERT_TRUE(p.settle()); }, "[5:0] F:\\ ", {706}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        const Texts items = p.comboItems(kDriveList);
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[1], step.label + kDvd + (step.speeds.empty() ? " (已移除)" : ""));
        EXPECT_EQ(speedsSent(p, 0), step.speeds);
    }
    EXPECT_EQ(p.text(kCurSpeed), "4X (706KB/S)");
    EXPECT_EQ(p.setting("5:0", "lastSpeed"), KesvoraProcess::kMissing) << "its section is still [1:0]";
    p.sim.device(2, 0).cdrom("KSIM", "LATE", "1.0");
    p.sim.volume('G').device(2, 0);
    ASSERT_TRUE(p.rewriteSim());
    p.send(WM_TIMER, 1);
    ASSERT_TRUE(p.settle());
    EXPECT_EQ(p.comboItems(kDriveList).size(), 3u) << "found at a refresh";
}

// How long a message sent to the program takes to be answered, in ms.
DWORD answerTime(const KesvoraProcess& p, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    const DWORD begin = GetTickCount();
    EXPECT_TRUE(p.send(msg, wParam, lParam));
    return GetTickCount() - begin;
}

// While the first drive hangs (its commands complete long after their time limit), the
// window, the icon's menu, the device broadcast and the system's end-of-session query
// are answered at once. A speed chosen for the other drive meanwhile is sent after the
// hung command, once; the hung drive is shown as not answering and left out of the
// timer's refresh; Exit during a command that hangs ends the program within a bound.
TEST(HungDrive, TheWindowAnswersAndExitEndsWithinABound)
{
    const UINT kMenuDriveSecond = 32801, kExit = 32778;
    for (bool aspi : {false, true}) {
        SCOPED_TRACE(aspi ? "ASPI" : "pass-through");
        KesvoraProcess p;
        addDrives(p);
        p.sim.aspiLoads(aspi).secondMs(50);
        p.writeSettings(lists());
        ASSERT_TRUE(p.start());
        p.sim.device(0, 1).set("delay.all", 600000);
        ASSERT_TRUE(p.rewriteSim());
        p.clearSimLog();
        p.post(WM_TIMER, 1);
        Sleep(200);  // the refresh is under way
        EXPECT_LT(answerTime(p, WM_NULL), 200u);
        EXPECT_LT(answerTime(p, WM_DEVICECHANGE, DBT_DEVICEARRIVAL), 200u);
        EXPECT_LT(answerTime(p, WM_QUERYENDSESSION), 200u);
        const DWORD begin = GetTickCount();
        HWND menu = openPopup(p);
        EXPECT_LT(GetTickCount() - begin, 1000u) << "the menu opened late";
        ASSERT_NE(menu, nullptr);
        key(menu, VK_ESCAPE);
        EXPECT_TRUE(waitForMenus(p, 0));
        p.post(WM_COMMAND, kMenuDriveSecond);
        p.post(WM_COMMAND, kSpeedFirst);
        EXPECT_TRUE(waitUntil([&] { return p.text(kCurSpeed) == "光驱没有响应"; }, 30000));
        EXPECT_TRUE(waitUntil([&] { return speedsSent(p, 0) == std::vector<int>{706}; }));
        p.clearSimLog();
        p.send(WM_TIMER, 1);
        EXPECT_TRUE(p.settle());
        EXPECT_TRUE(p.simCommands().empty()) << "the timer passes over a drive that does not answer";
        p.sim.device(0, 1).set("delay.all", 0);
        ASSERT_TRUE(p.rewriteSim());
        p.send(WM_TIMER, 3);  // the slow probe finds it answering again
        EXPECT_TRUE(waitUntil([&] { return p.text(kCurSpeed) == "52X (9152KB/S)"; }));
        p.sim.device(0, 1).set("delay.all", 600000);
        ASSERT_TRUE(p.rewriteSim());
        p.click(kLock);  // the user's action is tried, and hangs
        Sleep(200);
        const DWORD exitBegin = GetTickCount();
        p.post(WM_COMMAND, kExit);
        EXPECT_TRUE(p.waitForExit(10000));
        EXPECT_LT(GetTickCount() - exitBegin, 5000u);
        EXPECT_EQ(p.setting("1:0", "lastSpeed"), "706");
    }
}

// A start from the Run value uses the settings file of the program's
// folder, whatever the working directory, and minimises as it says. A
// winmm.dll planted in that folder is not loaded, not even for the tray
// door, although Wine is told to prefer it to its own.
TEST(Instances, StartFromTheRunValueUsesTheProgramFoldersSettings)
{
    TempFolder program("kesvora-program");
    for (const char* file : {"kesvora.exe", "wnaspi32.dll"})
        ASSERT_TRUE(CopyFileA(binFile(file).c_str(), program.file(file).c_str(), FALSE)) << file;
    ASSERT_TRUE(CopyFileA(binFile("planted\\winmm.dll").c_str(), program.file("winmm.dll").c_str(), FALSE));
    ASSERT_TRUE(writeWholeFile(program.file("cdrom.ini"), "[System]\r\nRunMin=1\r\n[0:1]\r\nspeedNames=8\r\nkbSpeeds=1411\r\n"));
    KesvoraProcess p;  // its folder: the working directory the system starts it in
    p.sim.adapters(1).device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.volume('D').device(0, 1);
    p.writeSettings(kLists);
    p.exe = program.file("kesvora.exe");
    p.args = " /autostart";
    char overrides[256] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", (std::string(overrides) + ";winmm=n,b").c_str());
    const bool started = p.start();
    SetEnvironmentVariableA("WINEDLLOVERRIDES", overrides);
    ASSERT_TRUE(started);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(p.mainWindow()); }, 5000)) << "RunMin of the program's folder";
    EXPECT_EQ(p.comboItems(kSetSpeed), Texts{"8X (1411KB/S)"});
    p.click(kEject);
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
    EXPECT_EQ(p.readFile("cdrom.ini"), kLists);
    EXPECT_EQ(GetFileAttributesA(program.file("winmm.dll-loaded").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Once minimised into the icon, a double click on it, Show/Hide or a second
// start in the same folder (which ends) brings the window back. A speed
// chosen from the menu is stored at once, not at the end. The right button
// opens the menu with its owner in front; a change of the display's scale
// (WM_DPICHANGED) leaves it open and working; a sub-menu opens from the
// keyboard; from no selection up is Exit, which ends the program.
TEST(Tray, TheIconTheMenuAndASecondStart)
{
    KesvoraProcess p;
    addDrives(p);
    p.writeSettings(lists());
    ASSERT_TRUE(p.start());
    typedef void (*Act)(const KesvoraProcess&);
    const Act minimise = [](const KesvoraProcess& p) { p.post(WM_SYSCOMMAND, SC_MINIMIZE); };
    const Act showHide = [](const KesvoraProcess& p) { p.post(WM_COMMAND, kShowHide); };
    const struct {
        const char* what;
        Act act;
        bool visible;
    } steps[] = {
        {"minimised", minimise, false},
        {"a double click on the icon",
         [](const KesvoraProcess& p) { p.post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK); }, true},
        {"Show/Hide", showHide, false},
        {"Show/Hide again", showHide, true},
        {"minimised again", minimise, false},
        {"a second start in the same folder",
         [](const KesvoraProcess& p) {
             KesvoraProcess second;
             addDrives(second);
             second.workFolder = p.folder();
             ASSERT_TRUE(second.launch());
             EXPECT_TRUE(second.waitForExit()) << "the second instance did not end";
         },
         true},
        {"the About item", [](const KesvoraProcess& p) {
             p.post(WM_COMMAND, kAbout);
             HWND about = p.waitForWindow("关于 Kesvora2");
             ASSERT_NE(about, nullptr) << "no About box";
             screenshot("tray_about");
             PostMessageA(about, WM_COMMAND, IDOK, 0);
             EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }));
         }, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(p);
        ASSERT_TRUE(p.sync());
        EXPECT_TRUE(waitUntil([&] { return (IsWindowVisible(p.mainWindow()) != FALSE) == step.visible; }, 5000));
        EXPECT_EQ(IsIconic(p.mainWindow()) != FALSE, !step.visible);
    }
    ASSERT_TRUE(p.send(WM_COMMAND, kSpeedFirst + 1));
    EXPECT_EQ(p.setting("0:1", "lastSpeed"), "2822") << "stored at the choice";

    HWND w = openPopup(p);
    ASSERT_NE(w, nullptr) << "no popup menu window";
    EXPECT_EQ(GetForegroundWindow(), p.mainWindow()) << "the owner must be in front while its menu is open";
    screenshot("tray_menu");
    p.post(0x02E0, MAKEWPARAM(192, 192));
    EXPECT_TRUE(p.sync() && menuWindows(p).size() == 1) << "the menu went with the change of scale";
    // Show/Hide, Options, Eject, Close, the drive sub-menu, the speeds.
    for (int i = 0; i < 6; ++i)
        key(w, VK_DOWN);
    key(w, VK_RIGHT);
    EXPECT_TRUE(waitForMenus(p, 2)) << "the speed sub-menu did not open";
    screenshot("tray_menu_speeds");
    key(w, VK_ESCAPE);
    key(w, VK_ESCAPE);
    EXPECT_TRUE(waitForMenus(p, 0)) << "the menu did not close";

    w = openPopup(p);
    ASSERT_NE(w, nullptr) << "a second opening";
    key(w, VK_UP);
    key(w, VK_RETURN);
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.setting("1:0", "identity"), "KSIM|DVD-ROM%208X|2.10|") << "its section from before identities";
}

// The stored speed: sent at start unless "RunSetSpeed" is off, even when its
// entry is gone, shown, and sent again after a disc goes into the first
// drive, told by the unit attention, the broadcast or both (the broadcast's
// command then meets the attention and goes again).
TEST(SpeedMemory, KeptAndSentAgainAfterADiscChange)
{
    const struct {
        const char* what;
        bool aspi, unitAttention, broadcast;
        std::string settings;
        std::vector<int> atStart, afterDisc;  // SET CD SPEED to the first drive; refused ones negative
        const char* shown;
    } rows[] = {
        {"ASPI, unit attention", true, true, false, lists("1411"), {1411}, {1411}, "8X (1411KB/S)"},
        {"pass-through, unit attention", false, true, false, lists("1411"), {1411}, {1411}, "8X (1411KB/S)"},
        {"pass-through, broadcast, drive reports nothing", false, false, true, lists("1411"), {1411}, {1411},
         "8X (1411KB/S)"},
        {"ASPI, unit attention and broadcast", true, true, true, lists("1411"), {1411}, {-1411, 1411},
         "8X (1411KB/S)"},
        {"RunSetSpeed=0", true, true, true, "[System]\r\nRunSetSpeed=0\r\n" + lists("2822"), {}, {}, "52X (9152KB/S)"},
        {"its entry was deleted", true, true, true, lists("706"), {706}, {-706, 706}, "4X (706KB/S)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p, row.unitAttention);
        p.sim.aspiLoads(row.aspi);
        p.writeSettings(row.settings);
        ASSERT_TRUE(p.start());
        EXPECT_EQ(speedsSent(p, 1), row.atStart);
        p.clearSimLog();
        p.sim.device(0, 1).discs(1);
        ASSERT_TRUE(p.rewriteSim());
        if (row.broadcast) {
            EXPECT_TRUE(p.broadcast(DBT_DEVICEARRIVAL, 1u << 3, DBTF_MEDIA));
            ASSERT_TRUE(p.settle());
        }
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
            ASSERT_TRUE(p.settle());
        }
        EXPECT_EQ(speedsSent(p, 1), row.afterDisc);
        EXPECT_TRUE(speedsSent(p, 0).empty()) << "the other drive had no disc change";
        EXPECT_EQ(p.text(kCurSpeed), row.shown);
        EXPECT_TRUE(p.messageBoxes().empty());
    }
}

}  // namespace
