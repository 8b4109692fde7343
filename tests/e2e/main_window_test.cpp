// End-to-end tests of the main window: kesvora.exe against simulated drives,
// driven from outside through its window's controls.
#include <gtest/gtest.h>

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

// The four commands of one status refresh of target tgt, in order.
void expectRefresh(const std::vector<SimRecord>& cmds, size_t first, int tgt)
{
    const int pages[4] = {0x2A, 0x2A, 0x0D, 0x2A};  // speed, max speed, spin-down, lock
    ASSERT_GE(cmds.size(), first + 4) << describeAll(cmds);
    for (int i = 0; i < 4; ++i) {
        const SimRecord& r = cmds[first + i];
        EXPECT_EQ(sensePage(r), pages[i]) << "command " << i << ": " << ksim::describe(r);
        EXPECT_EQ(r.tgt, tgt) << "command " << i << ": " << ksim::describe(r);
    }
}

std::vector<std::string> spindownNames()
{
    return {"125 ms", "250 ms", "500 ms", "1 sec", "2 sec",  "4 sec",  "8 sec", "16 sec",
            "32 sec", "1 min",  "2 min",  "4 min", "8 min", "16 min", "32 min"};
}

}  // namespace

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

        std::vector<e2e::SeenBox> boxes = p.messageBoxes();
        ASSERT_FALSE(boxes.empty());
        // The ASPI failure has its own message before.
        EXPECT_EQ(boxes.size(), row.noAdapters ? 2u : 1u);
        EXPECT_EQ(boxes.back().text, "程序发生错误,在系统中找不到光驱!");
        EXPECT_EQ(boxes.back().caption, "程序错误");
        if (row.settingsFile)
            EXPECT_EQ(p.readFile("cdrom.ini"), settings);
        else
            EXPECT_FALSE(p.fileExists("cdrom.ini"));
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

    // The second drive: its own status and speed list; the controls that
    // the first drive's capabilities decided stay as they were.
    p.clearSimLog();
    p.selectComboItem(kDriveList, 1);
    EXPECT_EQ(p.text(kCurSpeed), "31X (5540KB/S)");
    EXPECT_EQ(p.text(kMaxSpeed), "62X (11080KB/S)");
    EXPECT_EQ(p.text(kSpindownTime), "VS");
    EXPECT_TRUE(p.enabled(kLock));
    EXPECT_TRUE(p.enabled(kSetSpindown));
    std::vector<SimRecord> cmds = p.simCommands();
    EXPECT_EQ(cmds.size(), 4u) << describeAll(cmds);
    expectRefresh(cmds, 0, 3);

    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// The first drive's lock capability and spin-down kind enable or disable
// the lock controls and the spin-down list for the whole run.
TEST(MainWindowStart, FirstDriveCapabilitiesDecideControls)
{
    struct Row {
        int spindown;
        bool lockable;
        bool spindownEnabled;
    } rows[] = {
        {0x0A, true, true},
        {0x00, true, false},  // vendor-specific timer
        {0x0A, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("spindown " + std::to_string(row.spindown) + (row.lockable ? " lockable" : " no lock"));
        KesvoraProcess p;
        addTwoDrives(p, row.spindown, row.lockable);
        ASSERT_TRUE(p.start());
        EXPECT_EQ(p.enabled(kLock), row.lockable);
        EXPECT_EQ(p.enabled(kUnlock), row.lockable);
        EXPECT_EQ(p.enabled(kLocked), row.lockable);
        EXPECT_EQ(p.enabled(kSetSpindown), row.spindownEnabled);
        p.selectComboItem(kDriveList, 1);
        EXPECT_EQ(p.enabled(kLock), row.lockable);
        EXPECT_EQ(p.enabled(kSetSpindown), row.spindownEnabled);
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
    }
}

// An empty settings file: empty speed lists, and at the end both keys of
// every drive written empty.
TEST(MainWindowStart, EmptySettingsFileGivesEmptyListsAndWritesBothKeys)
{
    KesvoraProcess p;
    addTwoDrives(p);
    p.writeSettings("");
    ASSERT_TRUE(p.start());
    EXPECT_TRUE(p.comboItems(kSetSpeed).empty());
    p.closeWithOk();
    ASSERT_TRUE(p.waitForExit());
    for (const char* section : {"0:1", "0:3"}) {
        SCOPED_TRACE(section);
        EXPECT_EQ(p.setting(section, "speedNames"), "");
        EXPECT_EQ(p.setting(section, "kbSpeeds"), "");
    }
}

TEST(MainWindowPanel, RefreshSendsFourCommandsInOrder)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());
    // The start-up refreshes the first drive.
    std::vector<SimRecord> atStart = p.simCommands();
    ASSERT_GE(atStart.size(), 4u);
    expectRefresh(atStart, atStart.size() - 4, 1);

    p.clearSimLog();
    ASSERT_TRUE(p.send(kTimerMsg, 1, 0));
    std::vector<SimRecord> cmds = p.simCommands();
    EXPECT_EQ(cmds.size(), 4u) << describeAll(cmds);
    expectRefresh(cmds, 0, 1);
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// Choosing an item of the speed list sends that entry's KB/s and reads the
// speed back, and nothing else.
TEST(MainWindowPanel, SpeedSelectionSendsTheEntryAndReadsBack)
{
    struct Row {
        int index;
        int sentKbps;  // -1: no SET CD SPEED
        const char* shown;
    } rows[] = {
        {0, 1411, "8X (1411KB/S)"},
        {2, 5645, "32X (5645KB/S)"},
        {3, 176, "4X (706KB/S)"},   // below the drive's table: its lowest
        {4, -1, "4X (706KB/S)"},    // not a number: nothing sent, read back all the same
    };
    KesvoraProcess p;
    addTwoDrives(p);
    p.writeSettings("[0:1]\r\nspeedNames=8,16,32,1,x\r\nkbSpeeds=1411,2822,5645,176,abc\r\n");
    ASSERT_TRUE(p.start());
    EXPECT_EQ(p.comboItems(kSetSpeed),
              (std::vector<std::string>{"8X (1411KB/S)", "16X (2822KB/S)", "32X (5645KB/S)", "1X (176KB/S)",
                                        "xX (abcKB/S)"}));
    EXPECT_EQ(p.comboSelection(kSetSpeed), -1);

    // A changed maximum in the drive must not show: the maximum is not read.
    p.sim.device(0, 1).maxSpeed(8467);
    p.sim.write(p.path("ksim.ini"));

    for (const Row& row : rows) {
        SCOPED_TRACE("item " + std::to_string(row.index));
        p.clearSimLog();
        p.selectComboItem(kSetSpeed, row.index);
        std::vector<SimRecord> cmds = p.simCommands();
        size_t next = 0;
        if (row.sentKbps >= 0) {
            ASSERT_GE(cmds.size(), 1u);
            ASSERT_EQ(cmds[0].opcode(), 0xBB) << describeAll(cmds);
            ASSERT_GE(cmds[0].cdb.size(), 4u);
            EXPECT_EQ(cmds[0].cdb[2] << 8 | cmds[0].cdb[3], row.sentKbps);
            next = 1;
        }
        ASSERT_EQ(cmds.size(), next + 1) << describeAll(cmds);
        EXPECT_EQ(sensePage(cmds[next]), 0x2A);
        EXPECT_EQ(p.text(kCurSpeed), row.shown);
        EXPECT_EQ(p.text(kMaxSpeed), "52X (9152KB/S)");
    }
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

TEST(MainWindowPanel, LockAndUnlockShowTheStateReadBack)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());
    struct Row {
        int button;
        int prevent;
        bool shown;
    } rows[] = {{kLock, 1, true}, {kUnlock, 0, false}, {kLock, 1, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        p.clearSimLog();
        p.click(row.button);
        std::vector<SimRecord> cmds = p.simCommands();
        ASSERT_EQ(cmds.size(), 2u) << describeAll(cmds);
        EXPECT_EQ(cmds[0].opcode(), 0x1E);
        ASSERT_GE(cmds[0].cdb.size(), 5u);
        EXPECT_EQ(cmds[0].cdb[4] & 0x03, row.prevent);
        EXPECT_EQ(sensePage(cmds[1]), 0x2A);
        EXPECT_EQ(p.checked(kLocked), row.shown);
    }
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

TEST(MainWindowPanel, SpindownSelectionSetsTheCodeAndReadsBack)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());
    struct Row {
        int index;
        int code;
    } rows[] = {{5, 6}, {0, 1}, {14, 15}};
    std::vector<std::string> names = spindownNames();
    for (const Row& row : rows) {
        SCOPED_TRACE(names[row.index]);
        p.clearSimLog();
        p.selectComboItem(kSetSpindown, row.index);
        std::vector<SimRecord> cmds = p.simCommands();
        ASSERT_GE(cmds.size(), 2u) << describeAll(cmds);
        const SimRecord& select = cmds[cmds.size() - 2];
        EXPECT_EQ(select.opcode(), 0x55) << describeAll(cmds);
        ASSERT_TRUE(select.hasOut);
        ASSERT_GE(select.out.size(), 12u);
        EXPECT_EQ(select.out[select.out.size() - 5] & 0x0F, row.code) << ksim::describe(select);
        EXPECT_EQ(sensePage(cmds.back()), 0x0D);
        EXPECT_EQ(p.text(kSpindownTime), names[row.index]);
    }
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

// Auto-refresh on: the interval field is disabled and the timer refreshes
// by itself; off: the field is enabled again and the refreshes stop.
TEST(MainWindowPanel, AutoRefreshOnAndOff)
{
    KesvoraProcess p;
    addTwoDrives(p);
    ASSERT_TRUE(p.start());
    p.setText(kRefreshSecs, "1");
    p.clearSimLog();
    p.click(kAutoRefresh);
    EXPECT_TRUE(p.checked(kAutoRefresh));
    EXPECT_FALSE(p.enabled(kRefreshSecs));
    EXPECT_TRUE(p.messageBoxes().empty());

    Sleep(2600);
    std::vector<SimRecord> cmds = p.simCommands();
    EXPECT_GE(cmds.size(), 8u) << "a 1 s timer should have refreshed at least twice\n" << describeAll(cmds);
    EXPECT_EQ(cmds.size() % 4, 0u) << describeAll(cmds);

    // A timer message refreshes, whatever its identifier.
    p.clearSimLog();
    ASSERT_TRUE(p.send(kTimerMsg, 7, 0));
    cmds = p.simCommands();
    EXPECT_GE(cmds.size(), 4u);

    p.click(kAutoRefresh);
    EXPECT_FALSE(p.checked(kAutoRefresh));
    EXPECT_TRUE(p.enabled(kRefreshSecs));
    p.sync();
    p.clearSimLog();
    Sleep(1500);
    EXPECT_TRUE(p.simCommands().empty()) << describeAll(p.simCommands());
    p.closeWithOk();
    EXPECT_TRUE(p.waitForExit());
}

// An interval that does not validate: the framework's message, no timer,
// and the check box shows the refresh off.
TEST(MainWindowPanel, InvalidIntervalTurnsRefreshOff)
{
    struct Row {
        const char* typed;
        const char* message;  // null: the range message, whatever its words
    } rows[] = {
        {"0", nullptr},
        {"601", nullptr},
        {"abc", "请键入一个整数。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        KesvoraProcess p;
        addTwoDrives(p);
        ASSERT_TRUE(p.start());
        p.setText(kRefreshSecs, row.typed);
        p.clearSimLog();
        p.click(kAutoRefresh);
        ASSERT_TRUE(p.waitForMessageBoxes(1));
        std::vector<e2e::SeenBox> boxes = p.messageBoxes();
        EXPECT_EQ(boxes.size(), 1u);
        if (row.message != nullptr) {
            EXPECT_EQ(boxes[0].text, row.message);
        }
        EXPECT_FALSE(p.checked(kAutoRefresh));
        EXPECT_TRUE(p.enabled(kRefreshSecs));
        Sleep(1200);
        EXPECT_TRUE(p.simCommands().empty()) << describeAll(p.simCommands());

        // OK validates as well and keeps the window open; Escape ends.
        p.closeWithOk();
        ASSERT_TRUE(p.waitForMessageBoxes(2));
        EXPECT_TRUE(p.running());
        p.closeWithEscape();
        EXPECT_TRUE(p.waitForExit());
    }
}

// Every way of closing ends the program and saves the speed lists.
TEST(MainWindowEnd, ClosingEndsAndSavesLists)
{
    enum Way { Ok, Escape, CloseBox };
    const char* names[] = {"OK", "Escape", "close box"};
    for (Way way : {Ok, Escape, CloseBox}) {
        SCOPED_TRACE(names[way]);
        KesvoraProcess p;
        addTwoDrives(p);
        p.writeSettings("[System]\r\nRunMin=0\r\n[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n");
        ASSERT_TRUE(p.start());
        if (way == Ok)
            p.closeWithOk();
        else if (way == Escape)
            p.closeWithEscape();
        else
            p.closeWithCloseBox();
        ASSERT_TRUE(p.waitForExit()) << "still running";
        EXPECT_TRUE(p.messageBoxes().empty());
        EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16");
        EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411,2822");
        EXPECT_EQ(p.setting("0:3", "speedNames"), "");
        EXPECT_EQ(p.setting("0:3", "kbSpeeds"), "");
        EXPECT_EQ(p.setting("System", "RunMin"), "0");
    }
}

// A hand-edited file with lists of unequal length: only the pairs that
// exist are shown; the lists are written back as they were read.
TEST(MainWindowEnd, UnequalSpeedListsShowOnlyPairs)
{
    struct Row {
        const char* names;
        const char* kbps;
        std::vector<std::string> items;
    } rows[] = {
        {"8,16,32", "1411,2822", {"8X (1411KB/S)", "16X (2822KB/S)"}},
        {"8", "1411,2822,5645", {"8X (1411KB/S)"}},
        {"", "1411", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.names) + " / " + row.kbps);
        KesvoraProcess p;
        addTwoDrives(p);
        p.writeSettings(std::string("[0:1]\r\nspeedNames=") + row.names + "\r\nkbSpeeds=" + row.kbps + "\r\n");
        ASSERT_TRUE(p.start());
        EXPECT_EQ(p.comboItems(kSetSpeed), row.items);
        if (!row.items.empty()) {
            p.clearSimLog();
            p.selectComboItem(kSetSpeed, static_cast<int>(row.items.size()) - 1);
            std::vector<SimRecord> sets = p.simCommands(0xBB);
            EXPECT_EQ(sets.size(), 1u);
        }
        p.closeWithOk();
        ASSERT_TRUE(p.waitForExit());
        EXPECT_EQ(p.setting("0:1", "speedNames"), row.names);
        EXPECT_EQ(p.setting("0:1", "kbSpeeds"), row.kbps);
    }
}

// Start minimised: the window shows for its first paint and then hides;
// without the flag it stays.
TEST(MainWindowEnd, RunMinHidesAfterFirstPaint)
{
    struct Row {
        const char* settings;
        bool hidden;
    } rows[] = {
        {"[System]\r\nRunMin=1\r\n", true},
        {"[System]\r\nRunMin=0\r\n", false},
        {"", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        KesvoraProcess p;
        addTwoDrives(p);
        p.writeSettings(row.settings);
        ASSERT_TRUE(p.start());
        bool hidden = false;
        for (int i = 0; i < 100 && !hidden; ++i) {
            hidden = !p.windowVisible();
            if (!hidden)
                Sleep(30);
        }
        EXPECT_EQ(hidden, row.hidden);
        if (row.hidden) {
            EXPECT_TRUE(IsIconic(p.mainWindow()));
            // Later paints never minimise again: show it, repaint, look.
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
    EXPECT_EQ(p.setting("0:3", "speedNames"), "");
    EXPECT_EQ(p.setting("0:3", "kbSpeeds"), "");
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}
