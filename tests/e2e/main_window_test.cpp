// End-to-end tests of the main window: kesvora.exe against simulated drives,
// driven from outside through its window's controls, through ASPI and
// through the system's SCSI pass-through on simulated volumes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

using e2e::KesvoraProcess;
using ksim::SimRecord;

namespace {

typedef std::vector<std::string> Texts;
typedef void (*Prepare)(KesvoraProcess&);

// Controls of the main window and of the options dialog.
const int kDriveList = 1000, kCurSpeed = 1001, kLocked = 1002, kMaxSpeed = 1003, kSpindownTime = 1004;
const int kSetSpeed = 1005, kSetSpindown = 1006, kOptions = 1007, kLock = 1023, kUnlock = 1024;
const int kAutoRefresh = 1025, kRefreshSecs = 1026;
const int kOptionsList = 1010, kAddSpeed = 1018, kSpeedEdit = 1020;

const char kNoDrive[] = "程序发生错误,在系统中找不到光驱!";
const char kLists[] = "[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n";

// Two drives on two ports, each with its letter, and a fixed disk C:: a
// 52X CD-ROM that snaps to a speed table and can lock its tray, and a
// DVD-ROM that takes any speed, cannot lock and has a vendor-specific
// spin-down timer.
void addDrives(KesvoraProcess& p)
{
    p.sim.adapters(2);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("table")
        .speedTable({706, 1411, 2822, 9152}).lock(true, false).spindown(0x0A);
    p.sim.device(1, 0).cdrom("KSIM", "DVD-ROM 8X", "2.10").maxSpeed(11080).speed(5540).policy("any")
        .lock(false).spindown(0x00);
    p.sim.volume('C').driveType(DRIVE_FIXED).device(0, 0);
    p.sim.volume('D').device(0, 1);
    p.sim.volume('E').device(1, 0);
}

// What a command asked of the drive, in a few words: "sense 2A" (MODE SENSE
// of a page), "speed 1411" (SET CD SPEED), "lock 1" (PREVENT ALLOW MEDIUM
// REMOVAL), "spindown 6" (MODE SELECT of the spin-down code), with "@a:t"
// for a drive other than 0:1. The bytes themselves are the command table's
// tests' business.
std::string summary(const SimRecord& r)
{
    char buf[32];
    if (r.opcode() == 0x5A)
        std::snprintf(buf, sizeof buf, "sense %02X", r.cdb[2] & 0x3F);
    else if (r.opcode() == 0xBB)
        std::snprintf(buf, sizeof buf, "speed %d", r.cdb[2] << 8 | r.cdb[3]);
    else if (r.opcode() == 0x1E)
        std::snprintf(buf, sizeof buf, "lock %d", r.cdb[4] & 0x03);
    else if (r.opcode() == 0x55 && r.out.size() >= 5)
        std::snprintf(buf, sizeof buf, "spindown %d", r.out[r.out.size() - 5] & 0x0F);
    else
        std::snprintf(buf, sizeof buf, "opcode %02X", r.opcode());
    std::string s = buf;
    if (r.ha != 0 || r.tgt != 1)
        s += "@" + std::to_string(r.ha) + ":" + std::to_string(r.tgt);
    return s;
}

Texts sentSince(const KesvoraProcess& p, size_t last = 0)
{
    Texts v;
    for (const SimRecord& r : p.simCommands())
        v.push_back(summary(r));
    return last == 0 || v.size() < last ? v : Texts(v.end() - last, v.end());
}

// The panel's texts and its lock box.
std::string panel(const KesvoraProcess& p)
{
    return p.text(kCurSpeed) + " | " + p.text(kMaxSpeed) + " | " + p.text(kSpindownTime) + " | " +
           (p.checked(kLocked) ? "locked" : "free");
}

// A start-up that finds no drive: each message, and the program ends
// without making or touching the settings file.
TEST(MainWindow, StartUpWithoutADriveSaysWhyAndEnds)
{
    const struct {
        const char* what;
        Prepare prepare;
        const char* settings;  // nullptr: no file
        Texts boxes;           // the start of each text
    } rows[] = {
        {"no CD-ROM, no settings file",
         [](KesvoraProcess& p) { p.sim.adapters(1).device(0, 2).type(0).ident("KSIM", "DISK", "1.00"); }, nullptr,
         {kNoDrive}},
        {"no CD-ROM, a settings file",
         [](KesvoraProcess& p) { p.sim.adapters(1).device(0, 2).type(0).ident("KSIM", "DISK", "1.00"); }, kLists,
         {kNoDrive}},
        {"ASPI without adapters gives way to the pass-through without a word",
         [](KesvoraProcess& p) { p.sim.adapters(0).supportStatus(0xE8); }, kLists, {kNoDrive}},
        {"both volumes denied",
         [](KesvoraProcess& p) {
             addDrives(p);
             p.sim.aspiLoads(false);
             p.sim.volume('D').open("denied");
             p.sim.volume('E').open("denied");
         },
         nullptr, {"没有访问光驱 D:、E: 的权限", kNoDrive}},
        {"Transport=aspi where ASPI does not load",
         [](KesvoraProcess& p) {
             addDrives(p);
             p.sim.aspiLoads(false);
         },
         "[System]\r\nTransport=aspi\r\n", {"不能加载 wnaspi32.dll", kNoDrive}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        row.prepare(p);
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

// One session of the panel's actions, the same through every transport:
// ASPI, the pass-through where no ASPI layer loads (the only way the 64-bit
// program has on Windows), and the pass-through chosen in the settings file
// where ASPI is there. Each step sends its commands, in order and nothing
// else, and the panel shows the result.
TEST(MainWindow, PanelActionsSendTheirCommandsThroughEveryTransport)
{
    const Texts kRefresh = {"sense 2A", "sense 2A", "sense 0D", "sense 2A"};  // speed, max, spin-down, lock
    const char kFirst[] = "52X (9152KB/S) | 52X (9152KB/S) | 1 min | free";
    const struct {
        const char* what;
        void (*act)(const KesvoraProcess&);
        Texts sent;
        const char* shows;
    } steps[] = {
        {"a timer message refreshes, whatever its id", [](const KesvoraProcess& p) { p.send(WM_TIMER, 7); },
         kRefresh, kFirst},
        {"speed entry 1", [](const KesvoraProcess& p) { p.selectComboItem(kSetSpeed, 1); },
         {"speed 2822", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | free"},
        {"lock", [](const KesvoraProcess& p) { p.click(kLock); },
         {"lock 1", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | locked"},
        {"unlock", [](const KesvoraProcess& p) { p.click(kUnlock); },
         {"lock 0", "sense 2A"}, "16X (2822KB/S) | 52X (9152KB/S) | 1 min | free"},
        {"spin-down 4 sec", [](const KesvoraProcess& p) { p.selectComboItem(kSetSpindown, 5); },
         {"spindown 6", "sense 0D"}, "16X (2822KB/S) | 52X (9152KB/S) | 4 sec | free"},
        {"the second drive: its own status and capabilities",
         [](const KesvoraProcess& p) { p.selectComboItem(kDriveList, 1); },
         {"sense 2A@1:0", "sense 2A@1:0", "sense 0D@1:0", "sense 2A@1:0", "sense 2A@1:0", "sense 0D@1:0"},
         "31X (5540KB/S) | 62X (11080KB/S) | VS | free"},
    };
    const struct {
        const char* what;
        bool aspiLoads;
        const char* system;  // the settings file's [System] section
        bool throughAspi;
    } transports[] = {
        {"ASPI", true, "", true},
        {"no ASPI layer", false, "", false},
        {"Transport=passthrough", true, "[System]\r\nTransport= PassThrough \r\n", false},
    };
    for (const auto& transport : transports) {
        SCOPED_TRACE(transport.what);
        KesvoraProcess p;
        addDrives(p);
        p.sim.aspiLoads(transport.aspiLoads);
        p.writeSettings(std::string(transport.system) + kLists);
        ASSERT_TRUE(p.start());
        bool adapterAsked = false;
        for (const SimRecord& r : ksim::readSimLog(p.path("ksim.log")).records)
            adapterAsked = adapterAsked || r.kind == SimRecord::HaInquiry;
        EXPECT_EQ(adapterAsked, transport.throughAspi);
        EXPECT_EQ(p.comboItems(kDriveList), (Texts{"[0:1] D:\\ KSIM CD-ROM 52X 1.00", "[1:0] E:\\ KSIM DVD-ROM 8X 2.10"}));
        EXPECT_EQ(p.comboSelection(kDriveList), 0);
        EXPECT_EQ(sentSince(p, 4), kRefresh) << "the start-up shows the first drive";
        EXPECT_EQ(panel(p), kFirst);
        // The selectors offer their items only: nothing can be typed into them.
        for (int id : {kDriveList, kSetSpeed, kSetSpindown})
            EXPECT_EQ(GetWindowLongA(p.control(id), GWL_STYLE) & 0x3, CBS_DROPDOWNLIST) << "control " << id;
        for (const auto& step : steps) {
            SCOPED_TRACE(step.what);
            p.clearSimLog();
            step.act(p);
            EXPECT_EQ(sentSince(p), step.sent);
            EXPECT_EQ(panel(p), step.shows);
        }
        EXPECT_TRUE(p.messageBoxes().empty());
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
        EXPECT_EQ(p.setting("0:1", "lastSpeed"), "2822") << "the chosen speed is kept";
    }
}

// Auto-refresh: an interval from 1 to 600 s starts the timer, which then
// refreshes by itself; any other is refused with the framework's message
// and the box shows the refresh off.
TEST(MainWindow, AutoRefreshTakesIntervalsFrom1To600)
{
    const struct {
        const char* interval;
        bool valid;
    } rows[] = {{"600", true}, {"601", false}, {"0", false}, {"abc", false}, {"1", true}};
    KesvoraProcess p;
    addDrives(p);
    ASSERT_TRUE(p.start());
    size_t refused = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.interval);
        p.setText(kRefreshSecs, row.interval);
        p.clearSimLog();
        p.click(kAutoRefresh);
        refused += row.valid ? 0 : 1;
        ASSERT_TRUE(p.waitForMessageBoxes(refused));
        EXPECT_EQ(p.messageBoxes().size(), refused);
        EXPECT_EQ(p.checked(kAutoRefresh), row.valid);
        if (row.interval == std::string("1")) {
            EXPECT_TRUE(e2e::waitUntil([&] { return p.simCommands().size() >= 4; }))
                << "a 1 s timer refreshes by itself";
        }
        if (row.valid)
            p.click(kAutoRefresh);
    }
    EXPECT_EQ(p.messageBoxes().back().text, "请键入一个整数。");
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// Whichever way the program is closed, a speed added in the options dialog
// is saved, both keys of it; the session's end saves it while the program
// goes on.
TEST(MainWindow, ClosingSavesTheEditedLists)
{
    enum Way { Ok, Escape, CloseBox, SessionEnd };
    for (Way way : {Ok, Escape, CloseBox, SessionEnd}) {
        SCOPED_TRACE(way);
        KesvoraProcess p;
        addDrives(p);
        p.writeSettings(kLists);
        ASSERT_TRUE(p.start());
        p.post(WM_COMMAND, MAKEWPARAM(kOptions, BN_CLICKED), reinterpret_cast<LPARAM>(p.control(kOptions)));
        HWND dlg = nullptr;
        ASSERT_TRUE(e2e::waitUntil([&] {
            for (HWND h : e2e::topLevelWindows(p.processId()))
                if (IsWindowVisible(h) && GetDlgItem(h, kOptionsList) != nullptr)
                    dlg = h;
            return dlg != nullptr;
        }));
        ASSERT_TRUE(p.sync(dlg));
        p.setText(kSpeedEdit, "200", dlg);
        p.click(kAddSpeed, dlg);
        p.post(WM_COMMAND, IDCANCEL, 0, dlg);
        ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(dlg); }));
        ASSERT_TRUE(p.sync());
        EXPECT_EQ(p.comboItems(kSetSpeed), (Texts{"8X (1411KB/S)", "16X (2822KB/S)", "200X (35200KB/S)"}));
        if (way == Ok)
            p.closeWithOk();
        else if (way == Escape)
            p.closeWithEscape();
        else if (way == CloseBox)
            p.post(WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            ASSERT_TRUE(p.send(WM_ENDSESSION, TRUE, 0));
        EXPECT_EQ(p.waitForExit(way == SessionEnd ? 0 : 15000), way != SessionEnd);
        EXPECT_TRUE(p.messageBoxes().empty());
        EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16,200");
        EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411,2822,35200");
        EXPECT_EQ(p.setting("1:0", "speedNames"), KesvoraProcess::kMissing) << "unchanged: not written";
    }
}

// A start from the Run value uses the settings file of the program's
// folder, whatever the working directory, and minimises as it says.
TEST(Instances, StartFromTheRunValueUsesTheProgramFoldersSettings)
{
    TempFolder program("kesvora-program");
    for (const char* file : {"kesvora.exe", "wnaspi32.dll"})
        ASSERT_TRUE(CopyFileA(e2e::binFile(file).c_str(), program.file(file).c_str(), FALSE)) << file;
    ASSERT_TRUE(writeWholeFile(program.file("cdrom.ini"), "[System]\r\nRunMin=1\r\n[0:1]\r\nspeedNames=8\r\nkbSpeeds=1411\r\n"));
    KesvoraProcess p;  // its folder: the working directory the system starts it in
    p.sim.adapters(1).device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.writeSettings(kLists);
    p.exe = program.file("kesvora.exe");
    p.args = " /autostart";
    ASSERT_TRUE(p.start());
    EXPECT_TRUE(e2e::waitUntil([&] { return !IsWindowVisible(p.mainWindow()); }, 5000)) << "RunMin of the program's folder";
    EXPECT_EQ(p.comboItems(kSetSpeed), Texts{"8X (1411KB/S)"});
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
    EXPECT_EQ(p.readFile("cdrom.ini"), kLists);
}

}  // namespace
