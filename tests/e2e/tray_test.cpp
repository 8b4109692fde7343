// End-to-end tests of the notification icon, its popup menu and the chosen
// speed: kesvora.exe against simulated drives. The icon's messages and the
// system's device broadcasts are sent to the main window as the shell and
// the system would send them; the menu's items are read by the probe loaded
// into the program.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

#include <dbt.h>

using namespace e2e;

namespace {

const UINT kShowHide = 32771, kEject = 32773, kClose = 32774;
const UINT kOptions = 32777, kExit = 32778, kAbout = 101, kDriveFirst = 32800, kSpeedFirst = 32830;
const int kDriveList = 1000, kCurSpeed = 1001, kSetSpeed = 1005;

// The two drives' lists, the first with a stored speed when one is given.
std::string lists(const std::string& lastSpeed = "")
{
    return "[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\n" +
           (lastSpeed.empty() ? "" : "lastSpeed=" + lastSpeed + "\r\n") + "[0:3]\r\nspeedNames=4\r\nkbSpeeds=706\r\n";
}

// Two drives that take any speed and start at their maximum; with letters,
// D: and E:.
void addDrives(KesvoraProcess& p, bool letters, bool unitAttention = true)
{
    p.sim.adapters(1);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any").unitAttention(unitAttention);
    p.sim.device(0, 3).cdrom("KSIM", "DVD-ROM 8X", "2.10").maxSpeed(11080).policy("any");
    if (letters) {
        p.sim.volume('D').device(0, 1);
        p.sim.volume('E').device(0, 3);
    }
}

// The speeds of the SET CD SPEED requests to a target; those that did not
// complete negative.
std::vector<int> speedsSent(const KesvoraProcess& p, int target)
{
    std::vector<int> speeds;
    for (const ksim::SimRecord& r : p.simCommands(0xBB))
        if (r.tgt == target)
            speeds.push_back((r.status == 0x01 ? 1 : -1) * (r.cdb[2] << 8 | r.cdb[3]));
    return speeds;
}

// The program with the two drives, the first with three speeds stored, and
// the probe loaded into it.
class TrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        addDrives(p, false);
        p.writeSettings("[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n");
        ASSERT_TRUE(p.start());
        probe.reset(new Probe(p));
        ASSERT_TRUE(probe->ok()) << "the probe could not be loaded into the program";
    }
    // The text of the open popup's item highlighted now; empty when none.
    std::string highlighted(HWND w) const
    {
        for (const Item& it : probe->menu(menuOf(w)))
            if (it.depth == 0 && it.hilite())
                return it.text;
        return "";
    }
    // Presses a key in the open popup and waits until the highlight moved.
    bool press(HWND w, UINT vk) const
    {
        const std::string before = highlighted(w);
        key(w, vk);
        return waitUntil([&] { return highlighted(w) != before; }, 3000);
    }

    KesvoraProcess p;
    std::unique_ptr<Probe> probe;
};

// The right button opens the menu, its items in order, its sub-menus open
// from the keyboard, and Exit chosen there saves and ends the program.
TEST_F(TrayTest, PopupMenuInItsOrderAndExitFromIt)
{
    HWND w = openPopup(p);
    ASSERT_NE(w, nullptr) << "no popup menu window";
    EXPECT_EQ(GetForegroundWindow(), p.mainWindow()) << "the owner must be in front while its menu is open";
    screenshot("tray_menu");
    const struct {
        int depth;
        UINT id;  // 0: not checked (the inert items and the sub-menus)
        std::string text;
    } want[] = {
        {0, 0, "<banner>TRELVIK"},
        {0, kShowHide, "显示/隐藏(&D)"},
        {0, kOptions, "参数设置(&P)"},
        {0, 0, "<divider>"},
        {0, kEject, "弹出光驱(&E)"},
        {0, kClose, "关闭光驱(&L)"},
        {0, 0, "选择光驱"},
        {1, kDriveFirst, "[0:1] ?:\\ KSIM CD-ROM 52X 1.00"},
        {1, kDriveFirst + 1, "[0:3] ?:\\ KSIM DVD-ROM 8X 2.10"},
        {0, 0, "设置速度"},
        {1, kSpeedFirst, "8X (1411KB/S)"},
        {1, kSpeedFirst + 1, "16X (2822KB/S)"},
        {1, kSpeedFirst + 2, "32X (5645KB/S)"},
        {0, 0, "<divider>"},
        {0, kAbout, "关于本程序(&A)"},
        {0, 0, "<divider>"},
        {0, kExit, "退出(&X)"},
    };
    std::vector<Item> all = probe->menu(menuOf(w));
    ASSERT_EQ(all.size(), sizeof want / sizeof want[0]);
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i) + ": " + want[i].text);
        EXPECT_EQ(all[i].depth, want[i].depth);
        EXPECT_EQ(all[i].text, want[i].text);
        EXPECT_FALSE(all[i].checked());
        // The banner and the dividers cannot be chosen; every other item can.
        const bool inert = want[i].text == "<banner>TRELVIK" || want[i].text == "<divider>";
        EXPECT_EQ(all[i].state & (MF_GRAYED | MF_DISABLED | MF_DEFAULT), inert ? UINT(MF_GRAYED | MF_DISABLED) : 0u);
        if (want[i].id != 0) {
            EXPECT_EQ(all[i].id, want[i].id);
        }
    }

    // The two sub-menus, opened from the keyboard.
    for (int i = 0; i < 20 && highlighted(w) != "选择光驱"; ++i)
        ASSERT_TRUE(press(w, VK_DOWN));
    key(w, VK_RIGHT);
    EXPECT_TRUE(waitForMenus(p, 2));
    screenshot("tray_menu_drives");
    key(w, VK_LEFT);
    EXPECT_TRUE(waitForMenus(p, 1));
    ASSERT_TRUE(press(w, VK_DOWN));
    EXPECT_EQ(highlighted(w), "设置速度");
    key(w, VK_RIGHT);
    EXPECT_TRUE(waitForMenus(p, 2));
    screenshot("tray_menu_speeds");
    key(w, VK_ESCAPE);
    key(w, VK_ESCAPE);
    EXPECT_TRUE(waitForMenus(p, 0)) << "the menu did not close";

    // A second opening stays open; from no selection up is Exit.
    w = openPopup(p);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(press(w, VK_UP));
    EXPECT_EQ(highlighted(w), "退出(&X)");
    key(w, VK_RETURN);
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16,32");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411,2822,5645");
}

// The icon is added at the first minimise and only then; a taskbar that
// restarts gets it again, but only once it was there. A double click on it,
// Show/Hide or a second start in the same folder (which ends) brings the
// hidden window back; the About item shows the About box.
TEST_F(TrayTest, IconAddedOnceAndAgainForANewTaskbarAndItShowsTheWindow)
{
    ASSERT_EQ(probe->call("ProbeWatchTray"), 1u);
    const struct {
        const char* what;
        void (*act)(const KesvoraProcess&);
        DWORD adds;
        bool visible;
    } steps[] = {
        {"a new taskbar before the icon exists",
         [](const KesvoraProcess& p) { p.post(RegisterWindowMessageA("TaskbarCreated")); }, 0, true},
        {"the first minimise", [](const KesvoraProcess& p) { p.post(WM_SYSCOMMAND, SC_MINIMIZE); }, 1, false},
        {"a second minimise", [](const KesvoraProcess& p) { p.post(WM_SYSCOMMAND, SC_MINIMIZE); }, 1, false},
        {"a new taskbar", [](const KesvoraProcess& p) { p.post(RegisterWindowMessageA("TaskbarCreated")); }, 2, false},
        {"a double click on the icon",
         [](const KesvoraProcess& p) { p.post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK); }, 2, true},
        {"Show/Hide", [](const KesvoraProcess& p) { p.post(WM_COMMAND, kShowHide); }, 2, false},
        {"Show/Hide again", [](const KesvoraProcess& p) { p.post(WM_COMMAND, kShowHide); }, 2, true},
        {"minimised again", [](const KesvoraProcess& p) { p.post(WM_SYSCOMMAND, SC_MINIMIZE); }, 2, false},
        {"a second start in the same folder",
         [](const KesvoraProcess& p) {
             KesvoraProcess second;
             addDrives(second, false);
             second.workFolder = p.folder();
             ASSERT_TRUE(second.launch());
             EXPECT_TRUE(second.waitForExit()) << "the second instance did not end";
         },
         2, true},
        {"the About item", [](const KesvoraProcess& p) {
             p.post(WM_COMMAND, kAbout);
             HWND about = p.waitForWindow("关于 Kesvora2");
             ASSERT_NE(about, nullptr) << "no About box";
             screenshot("tray_about");
             PostMessageA(about, WM_COMMAND, IDOK, 0);
             EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }));
         }, 2, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(p);
        ASSERT_TRUE(p.sync());
        EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_ADD)), step.adds);
        EXPECT_TRUE(waitUntil([&] { return (IsWindowVisible(p.mainWindow()) != FALSE) == step.visible; }, 5000));
        EXPECT_EQ(IsIconic(p.mainWindow()) != FALSE, !step.visible);
    }
    EXPECT_EQ(p.readFile("tray_tip.txt"), "Zurivovi2.0.0");
    EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_MODIFY)), 0u);
    EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_DELETE)), 0u);
}

// The chosen speed, sent again after a disc. In the rows that choose, 4X
// is chosen for the second drive and 8X for the first; then a disc goes into
// the first. Through ASPI without letters only the unit attention tells;
// through the pass-through a drive may report nothing and the broadcast
// tells; told both ways, the broadcast's command meets the attention and
// goes again. A speed chosen in the popup is in the file at once: a program
// killed right after the choice starts again with it when "RunSetSpeed" is
// on or missing, shows it in the selector and the popup, and sends it again
// after a disc; off, nothing is sent. A stored speed whose entry is gone is
// sent all the same. The second drive never gets anything again.
TEST(SpeedMemory, KeptAndSentAgainAfterADiscChange)
{
    std::string killed;
    {
        KesvoraProcess p;
        addDrives(p, false);
        p.writeSettings(lists());
        ASSERT_TRUE(p.start());
        p.command(kSpeedFirst + 1);
        killed = p.readFile("cdrom.ini");
    }  // ends the program without letting it write anything more
    const struct {
        const char* what;
        bool aspi, letters, unitAttention, broadcast;
        std::string settings;
        bool choose;
        std::vector<int> atStart, afterDisc;  // SET CD SPEED to the first drive; refused ones negative
        int selected;
        UINT checked;
        const char* shown;
    } rows[] = {
        {"ASPI, no letter, unit attention", true, false, true, false, lists(), true, {}, {1411}, 0, kSpeedFirst,
         "8X (1411KB/S)"},
        {"pass-through, unit attention", false, true, true, false, lists(), true, {}, {1411}, 0, kSpeedFirst,
         "8X (1411KB/S)"},
        {"pass-through, broadcast, drive reports nothing", false, true, false, true, lists(), true, {}, {1411}, 0,
         kSpeedFirst, "8X (1411KB/S)"},
        {"ASPI with letters, unit attention and broadcast", true, true, true, true, lists(), true, {}, {-1411, 1411},
         0, kSpeedFirst, "8X (1411KB/S)"},
        {"after the kill", true, true, true, true, killed, false, {2822}, {-2822, 2822}, 1, kSpeedFirst + 1,
         "16X (2822KB/S)"},
        {"RunSetSpeed=0", true, true, true, true, "[System]\r\nRunSetSpeed=0\r\n" + killed, false, {}, {}, -1, 0,
         "52X (9152KB/S)"},
        {"its entry was deleted", true, true, true, true, lists("4234"), false, {4234}, {-4234, 4234}, -1, 0,
         "24X (4234KB/S)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        KesvoraProcess p;
        addDrives(p, row.letters, row.unitAttention);
        p.sim.aspiLoads(row.aspi);
        p.writeSettings(row.settings);
        ASSERT_TRUE(p.start());
        EXPECT_EQ(speedsSent(p, 1), row.atStart);
        if (row.choose) {
            p.selectComboItem(kDriveList, 1);
            p.selectComboItem(kSetSpeed, 0);
            p.selectComboItem(kDriveList, 0);
            p.selectComboItem(kSetSpeed, 0);
            EXPECT_EQ(p.setting("0:1", "lastSpeed"), "1411") << "stored at the choice";
            EXPECT_EQ(p.setting("0:3", "lastSpeed"), "706");
        }
        EXPECT_EQ(p.comboSelection(kSetSpeed), row.selected);
        Probe probe(p);
        HWND w = openPopup(p);
        ASSERT_NE(w, nullptr);
        UINT checked = 0;
        for (const Item& it : probe.menu(menuOf(w)))
            checked = it.id >= kSpeedFirst && it.checked() ? it.id : checked;
        EXPECT_EQ(checked, row.checked);
        key(w, VK_ESCAPE);
        ASSERT_TRUE(waitForMenus(p, 0));

        p.clearSimLog();
        p.sim.device(0, 1).discs(1);
        ASSERT_TRUE(p.rewriteSim());
        if (row.broadcast) {
            EXPECT_TRUE(p.broadcast(DBT_DEVICEARRIVAL, 1u << 3, DBTF_MEDIA));
        }
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        ASSERT_TRUE(p.send(WM_TIMER, 1, 0));
        EXPECT_EQ(speedsSent(p, 1), row.afterDisc);
        EXPECT_TRUE(speedsSent(p, 3).empty()) << "the other drive had no disc change";
        EXPECT_EQ(p.text(kCurSpeed), row.shown);
        EXPECT_TRUE(p.messageBoxes().empty());
    }
}

}  // namespace
