// End-to-end tests of the main window: kesvora.exe against simulated drives,
// driven from outside through its window's controls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

using e2e::KesvoraProcess;
using ksim::SimRecord;

namespace {

// Controls of the main window.
const int kDriveList = 1000, kCurSpeed = 1001, kLocked = 1002, kMaxSpeed = 1003, kSpindownTime = 1004;
const int kSetSpeed = 1005, kSetSpindown = 1006, kLock = 1023, kUnlock = 1024;
const int kAutoRefresh = 1025, kRefreshSecs = 1026;

const unsigned kTimerMsg = WM_TIMER;

const char kDriveA[] = "[0:1] ?:\\ KSIM CD-ROM 52X 1.00";
const char kDriveB[] = "[0:3] ?:\\ KSIM DVD-ROM 8X 2.10";

// Two drives of different kinds: a 52X CD-ROM that snaps to a speed table
// and can lock its tray, and a DVD-ROM that takes any speed, cannot lock
// and has a vendor-specific spin-down timer.
void addTwoDrives(KesvoraProcess& p, int spindownA = 0x0A, bool lockA = true)
{
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1)
        .cdrom("KSIM", "CD-ROM 52X", "1.00")
        .maxSpeed(9152)
        .policy("table")
        .speedTable({706, 1411, 2822, 4234, 5645, 7056, 8467, 9152})
        .lock(lockA, false)
        .spindown(spindownA);
    p.sim.device(0, 3)
        .cdrom("KSIM", "DVD-ROM 8X", "2.10")
        .maxSpeed(11080)
        .speed(5540)
        .policy("any")
        .lock(false)
        .spindown(0x00);
}

// MODE SENSE(10) page of a record, or -1 for other commands.
int sensePage(const SimRecord& r)
{
    return r.opcode() == 0x5A && r.cdb.size() > 2 ? (r.cdb[2] & 0x3F) : -1;
}

std::string describeAll(const std::vector<SimRecord>& records)
{
    std::string s;
    for (const SimRecord& r : records)
        s += ksim::describe(r) + "\n";
    return s;
}

std::vector<std::string> spindownNames()
{
    return {"125 ms", "250 ms", "500 ms", "1 sec", "2 sec",  "4 sec",  "8 sec", "16 sec",
            "32 sec", "1 min",  "2 min",  "4 min", "8 min", "16 min", "32 min"};
}


// No drive at all, or no ASPI adapter: one message, the program ends, and
// the settings file is neither made nor touched.
TEST(MainWindowStart, NoDriveShowsOneMessageAndEnds)
{
    struct Row {
        const char* what;
        bool noAdapters;
        bool settingsFile;
    } rows[] = {
        {"no drive, no settings file", false, false},
        {"no drive, settings file", false, true},
        {"no ASPI adapter", true, true},
    };
    const std::string settings = "[0:1]\r\nspeedNames=8\r\nkbSpeeds=1411\r\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        p.sim.adapters(row.noAdapters ? 0 : 1);
        if (row.noAdapters)
            p.sim.supportStatus(0xE8);
        p.sim.device(0, 2).type(0).ident("KSIM", "DISK", "1.00");  // not a CD-ROM
        if (row.settingsFile)
            p.writeSettings(settings);
        ASSERT_TRUE(p.launch());
        ASSERT_TRUE(p.waitForExit()) << "the program did not end";

        std::vector<SeenBox> boxes = p.messageBoxes();
        ASSERT_FALSE(boxes.empty());
        // ASPI without adapters gives way to the pass-through without a word.
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes.back().text, "程序发生错误,在系统中找不到光驱!");
        EXPECT_EQ(boxes.back().caption, "程序错误");
        if (row.settingsFile)
            EXPECT_EQ(p.readFile("cdrom.ini"), settings);
        else
            EXPECT_EQ(GetFileAttributesA(p.path("cdrom.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST(MainWindowStart, TwoDrivesInDiscoveryOrderFirstSelected)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());

    EXPECT_EQ(p.comboItems(kDriveList), (std::vector<std::string>{kDriveA, kDriveB}));
    EXPECT_EQ(p.comboSelection(kDriveList), 0);
    EXPECT_EQ(p.text(kCurSpeed), "52X (9152KB/S)");
    EXPECT_EQ(p.text(kMaxSpeed), "52X (9152KB/S)");
    EXPECT_EQ(p.text(kSpindownTime), "1 min");
    EXPECT_FALSE(p.checked(kLocked));
    EXPECT_EQ(p.comboItems(kSetSpindown), spindownNames());
    EXPECT_EQ(p.comboSelection(kSetSpindown), -1);
    EXPECT_EQ(p.text(kRefreshSecs), "5");
    EXPECT_FALSE(p.checked(kAutoRefresh));
    EXPECT_TRUE(p.enabled(kRefreshSecs));
    EXPECT_TRUE(p.windowVisible());
    EXPECT_TRUE(p.messageBoxes().empty());
    // The selectors offer their items only: nothing can be typed into them.
    for (int id : {kDriveList, kSetSpeed, kSetSpindown})
        EXPECT_EQ(GetWindowLongA(p.control(id), GWL_STYLE) & 0x3, CBS_DROPDOWNLIST) << "control " << id;
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// What a command asked of the drive, in a few words: "sense 2A" (MODE SENSE
// of a page), "speed 1411" (SET CD SPEED), "lock 1" (PREVENT ALLOW MEDIUM
// REMOVAL), "spindown 6" (MODE SELECT of the spin-down code), with "@t"
// for a target other than 1. The bytes themselves are the command table's
// tests' business.
std::string summary(const SimRecord& r)
{
    std::string s;
    char buf[32];
    if (sensePage(r) >= 0) {
        std::snprintf(buf, sizeof buf, "sense %02X", sensePage(r));
    } else if (r.opcode() == 0xBB && r.cdb.size() >= 4) {
        std::snprintf(buf, sizeof buf, "speed %d", r.cdb[2] << 8 | r.cdb[3]);
    } else if (r.opcode() == 0x1E && r.cdb.size() >= 5) {
        std::snprintf(buf, sizeof buf, "lock %d", r.cdb[4] & 0x03);
    } else if (r.opcode() == 0x55 && r.out.size() >= 5) {
        std::snprintf(buf, sizeof buf, "spindown %d", r.out[r.out.size() - 5] & 0x0F);
    } else {
        std::snprintf(buf, sizeof buf, "opcode %02X", r.opcode());
    }
    s = buf;
    if (r.tgt != 1)
        s += "@" + std::to_string(r.tgt);
    return s;
}

std::vector<std::string> summaries(const std::vector<SimRecord>& records)
{
    std::vector<std::string> v;
    for (const SimRecord& r : records)
        v.push_back(summary(r));
    return v;
}

typedef std::vector<std::string> Sent;
const Sent kRefresh = {"sense 2A", "sense 2A", "sense 0D", "sense 2A"};  // speed, max, spin-down, lock

// The panel's actions, one after another in one run: the commands each
// sends to the drives, in order and nothing else, and what the window
// shows afterwards.
TEST(MainWindowPanel, ActionsSendTheirCommandsAndShowTheResult)
{
    enum Act { Timer, SelectSpeed, SelectSpindown, Click, SelectDrive };
    struct Step {
        const char* what;
        Act act;
        int arg;
        Sent sent;
        int control;       // whose text must show `shows`; 0: none
        const char* shows;
        int locked;        // the lock box: 1 checked, 0 not, -1 either
    } steps[] = {
        {"a timer message refreshes, whatever its id", Timer, 7, kRefresh, kCurSpeed, "52X (9152KB/S)", 0},
        {"speed entry 0", SelectSpeed, 0, {"speed 1411", "sense 2A"}, kCurSpeed, "8X (1411KB/S)", -1},
        {"speed entry 2", SelectSpeed, 2, {"speed 5645", "sense 2A"}, kCurSpeed, "32X (5645KB/S)", -1},
        {"below the drive's table: its lowest", SelectSpeed, 3, {"speed 176", "sense 2A"}, kCurSpeed,
         "4X (706KB/S)", -1},
        {"an entry that is no number sends nothing", SelectSpeed, 4, {"sense 2A"}, kCurSpeed, "4X (706KB/S)", -1},
        {"lock", Click, kLock, {"lock 1", "sense 2A"}, 0, nullptr, 1},
        {"unlock", Click, kUnlock, {"lock 0", "sense 2A"}, 0, nullptr, 0},
        {"lock again", Click, kLock, {"lock 1", "sense 2A"}, 0, nullptr, 1},
        {"spin-down 4 sec", SelectSpindown, 5, {"spindown 6", "sense 0D"}, kSpindownTime, "4 sec", -1},
        {"spin-down 125 ms", SelectSpindown, 0, {"spindown 1", "sense 0D"}, kSpindownTime, "125 ms",
         -1},
        {"spin-down 32 min", SelectSpindown, 14, {"spindown 15", "sense 0D"}, kSpindownTime,
         "32 min", -1},
        {"the second drive: its own status and capabilities", SelectDrive, 1,
         {"sense 2A@3", "sense 2A@3", "sense 0D@3", "sense 2A@3", "sense 2A@3", "sense 0D@3"}, kMaxSpeed,
         "62X (11080KB/S)", 0},
        {"the second drive's speed", Timer, 1, {"sense 2A@3", "sense 2A@3", "sense 0D@3", "sense 2A@3"},
         kCurSpeed, "31X (5540KB/S)", 0},
        {"the second drive's vendor-specific spin-down", Timer, 1, {"sense 2A@3", "sense 2A@3", "sense 0D@3",
                                                                     "sense 2A@3"}, kSpindownTime, "VS", 0},
    };
    KesvoraProcess p;
    addTwoDrives(p);
    p.writeSettings("[0:1]\r\nspeedNames=8,16,32,1,x\r\nkbSpeeds=1411,2822,5645,176,abc\r\n");
    ASSERT_TRUE(p.start());
    std::vector<SimRecord> atStart = p.simCommands();
    ASSERT_GE(atStart.size(), 4u);
    EXPECT_EQ(summaries({atStart.end() - 4, atStart.end()}), kRefresh) << "the start-up shows the first drive";
    EXPECT_EQ(p.comboItems(kSetSpeed), (std::vector<std::string>{"8X (1411KB/S)", "16X (2822KB/S)",
                                                                  "32X (5645KB/S)", "1X (176KB/S)", "xX (abcKB/S)"}));
    EXPECT_EQ(p.comboSelection(kSetSpeed), -1);

    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        p.clearSimLog();
        switch (step.act) {
        case Timer: ASSERT_TRUE(p.send(kTimerMsg, static_cast<WPARAM>(step.arg), 0)); break;
        case SelectSpeed: p.selectComboItem(kSetSpeed, step.arg); break;
        case SelectSpindown: p.selectComboItem(kSetSpindown, step.arg); break;
        case Click: p.click(step.arg); break;
        case SelectDrive: p.selectComboItem(kDriveList, step.arg); break;
        }
        EXPECT_EQ(summaries(p.simCommands()), step.sent);
        if (step.control != 0) {
            EXPECT_EQ(p.text(step.control), step.shows);
        }
        if (step.locked >= 0) {
            EXPECT_EQ(p.checked(kLocked), step.locked == 1);
        }
    }
    // The second drive has no lock and a vendor-specific timer.
    EXPECT_FALSE(p.enabled(kLock));
    EXPECT_FALSE(p.enabled(kSetSpindown));
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// Auto-refresh on: the interval field is disabled and the timer refreshes
// by itself; off: the field is enabled again and the refreshes stop. An
// interval that does not validate: the framework's message, no timer, the
// check box shows the refresh off; OK validates as well and keeps the
// window open.
TEST(MainWindowPanel, AutoRefreshOnOffAndInvalidIntervals)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());
    p.setText(kRefreshSecs, "600");  // the longest interval is valid too
    p.click(kAutoRefresh);
    EXPECT_TRUE(p.checked(kAutoRefresh));
    p.click(kAutoRefresh);
    p.setText(kRefreshSecs, "1");
    p.clearSimLog();
    p.click(kAutoRefresh);
    EXPECT_FALSE(p.enabled(kRefreshSecs));
    EXPECT_TRUE(e2e::waitUntil([&] { return p.simCommands().size() >= 8; }))
        << "a 1 s timer should refresh by itself\n" << describeAll(p.simCommands());
    p.click(kAutoRefresh);
    EXPECT_FALSE(p.checked(kAutoRefresh));
    EXPECT_TRUE(p.enabled(kRefreshSecs));
    EXPECT_TRUE(p.messageBoxes().empty());

    const char* invalid[] = {"0", "601", "abc"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(invalid[i]);
        p.setText(kRefreshSecs, invalid[i]);
        p.click(kAutoRefresh);
        ASSERT_TRUE(p.waitForMessageBoxes(i + 1));
        EXPECT_FALSE(p.checked(kAutoRefresh));
        EXPECT_TRUE(p.enabled(kRefreshSecs));
    }
    EXPECT_EQ(p.messageBoxes().back().text, "请键入一个整数。");
    p.sync();
    p.clearSimLog();
    Sleep(1500);  // longer than the last valid interval: no timer may fire
    EXPECT_TRUE(p.simCommands().empty()) << describeAll(p.simCommands());
    p.closeWithOk();
    ASSERT_TRUE(p.waitForMessageBoxes(4));
    EXPECT_TRUE(p.running());
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// Every way of closing ends the program and writes both keys of every
// drive; a hand-edited file with lists of unequal length shows only the
// pairs that exist and is written back as it was read.
TEST(MainWindowEnd, ClosingEndsAndSavesLists)
{
    enum Way { Ok, Escape, CloseBox };
    struct Row {
        Way way;
        const char* names;
        const char* kbps;
        std::vector<std::string> items;
    } rows[] = {
        {Ok, "8,16", "1411,2822", {"8X (1411KB/S)", "16X (2822KB/S)"}},
        {Escape, "8,16,32", "1411,2822", {"8X (1411KB/S)", "16X (2822KB/S)"}},
        {CloseBox, "8", "1411,2822,5645", {"8X (1411KB/S)"}},
        {Ok, "", "1411", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.names) + " / " + row.kbps);
        KesvoraProcess p;
        addTwoDrives(p);
        p.writeSettings(std::string("[System]\r\nRunMin=0\r\n[0:1]\r\nspeedNames=") + row.names + "\r\nkbSpeeds=" +
                        row.kbps + "\r\n");
        ASSERT_TRUE(p.start());
        EXPECT_EQ(p.comboItems(kSetSpeed), row.items);
        if (!row.items.empty()) {
            p.clearSimLog();
            p.selectComboItem(kSetSpeed, static_cast<int>(row.items.size()) - 1);
            EXPECT_EQ(p.simCommands(0xBB).size(), 1u);
        }
        if (row.way == Ok)
            p.closeWithOk();
        else if (row.way == Escape)
            p.closeWithEscape();
        else
            p.closeWithCloseBox();
        ASSERT_TRUE(p.waitForExit()) << "still running";
        EXPECT_TRUE(p.messageBoxes().empty());
        EXPECT_EQ(p.setting("0:1", "speedNames"), row.names);
        EXPECT_EQ(p.setting("0:1", "kbSpeeds"), row.kbps);
        EXPECT_EQ(p.setting("0:3", "speedNames"), KesvoraProcess::kMissing) << "unchanged: not written";
        EXPECT_EQ(p.setting("System", "RunMin"), "0");
    }
}

// Start minimised: the window shows for its first paint and then hides,
// and later paints never minimise again; without the flag it stays.
TEST(MainWindowEnd, RunMinHidesAfterFirstPaint)
{
    for (bool runMin : {true, false}) {
        SCOPED_TRACE(runMin ? "RunMin=1" : "RunMin=0");
        KesvoraProcess p;
        addTwoDrives(p);
        p.writeSettings(runMin ? "[System]\r\nRunMin=1\r\n" : "[System]\r\nRunMin=0\r\n");
        ASSERT_TRUE(p.start());
        EXPECT_EQ(e2e::waitUntil([&] { return !p.windowVisible(); }, 3000), runMin);
        if (runMin) {
            EXPECT_TRUE(IsIconic(p.mainWindow()));
            p.send(WM_SYSCOMMAND, SC_RESTORE, 0);
            ShowWindow(p.mainWindow(), SW_SHOWNORMAL);
            RedrawWindow(p.mainWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            p.sync();
            EXPECT_TRUE(p.windowVisible());
        }
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
    }
}

// The session ending while the program runs writes the speed lists then;
// a session that goes on writes nothing.
TEST(MainWindowEnd, EndSessionWritesSpeedLists)
{
    KesvoraProcess p;
    addTwoDrives(p);
    p.writeSettings("[0:1]\r\nspeedNames=8\r\nkbSpeeds=1411\r\n");
    ASSERT_TRUE(p.start());
    ASSERT_TRUE(p.send(WM_ENDSESSION, FALSE, 0));
    EXPECT_EQ(p.setting("0:3", "speedNames"), KesvoraProcess::kMissing);
    ASSERT_TRUE(p.send(WM_ENDSESSION, TRUE, 0));
    EXPECT_EQ(p.setting("0:1", "speedNames"), "8");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411");
    EXPECT_EQ(p.setting("0:3", "speedNames"), KesvoraProcess::kMissing) << "unchanged: not written";
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

}  // namespace
