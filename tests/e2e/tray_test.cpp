// End-to-end tests of the notification icon and its popup menu: kesvora.exe
// against simulated drives. The icon's messages are posted to the main
// window as the shell would send them. A menu can only be read by the
// process that owns it, so the menu's items are read by a probe loaded into
// the program (tray_probe.cpp).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/tray_access.h"

using namespace e2e;
using ksim::SimRecord;

namespace {

const UINT kShowHide = 32771, kEject = 32773, kClose = 32774;
const UINT kOptions = 32777, kExit = 32778, kAbout = 101, kDriveFirst = 32800, kSpeedFirst = 32830;
const int kDriveList = 1000, kSpeedList = 1005;

const char kAboutTitle[] = "关于 Kesvora2";

// The drive list's items for the three drives of addThreeDrives. (The
// driver's comboItems cannot be used for them: under Wine, CB_GETLBTEXT sent
// from another process brings back only the first character.)
const std::vector<std::string> kThreeDrives = {
    "[0:1] ?:\\ KSIM CD-ROM 52X 1.00",
    "[0:2] ?:\\ KSIM CD-RW 40X 2.00",
    "[0:4] ?:\\ KSIM DVD-ROM 16X 3.00",
};

std::string joinNumbers(int from, int count, int step)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? "," : "") + std::to_string(from + i * step);
    return s;
}

// Three drives; the first with three speeds, the second with two, the
// third with none stored.
void addThreeDrives(KesvoraProcess& p)
{
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.device(0, 2).cdrom("KSIM", "CD-RW 40X", "2.00").maxSpeed(7056).policy("any");
    p.sim.device(0, 4).cdrom("KSIM", "DVD-ROM 16X", "3.00").maxSpeed(11080).policy("any");
    p.writeSettings(
        "[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n"
        "[0:2]\nspeedNames=4,24\nkbSpeeds=706,4234\n");
}

std::vector<SimRecord> speedCommands(const KesvoraProcess& p)
{
    return p.simCommands(0xBB);
}

int speedOf(const SimRecord& r)
{
    return r.cdb.size() > 3 ? (r.cdb[2] << 8) | r.cdb[3] : -1;
}

class TrayTest : public ::testing::Test {
protected:
    void startWith(void (*setUp)(KesvoraProcess&))
    {
        setUp(p);
        ASSERT_TRUE(p.start());
        probe.reset(new Probe(p));
        ASSERT_TRUE(probe->ok()) << "the probe could not be loaded into the program";
    }
    // The whole popup menu (the window need not be open).
    std::vector<Item> items()
    {
        HWND w = openPopup(p);
        if (w == nullptr)
            return {};
        std::vector<Item> all = probe->menu(menuOf(w));
        key(w, VK_ESCAPE);
        waitForMenus(p, 0);
        return all;
    }

    KesvoraProcess p;
    std::unique_ptr<Probe> probe;
};

TEST_F(TrayTest, RightButtonOpensTheMenuInItsOrderAndItClosesAgain)
{
    startWith(addThreeDrives);
    const std::vector<std::string>& drives = kThreeDrives;

    HWND w = openPopup(p);
    ASSERT_NE(w, nullptr) << "no popup menu window";
    EXPECT_EQ(GetForegroundWindow(), p.mainWindow()) << "the owner must be in front while its menu is open";
    screenshot("tray_menu");
    std::vector<Item> all = probe->menu(menuOf(w));

    struct Want {
        int depth;
        UINT id;
        std::string text;
    };
    std::vector<Want> want = {
        {0, 0, "<banner>TRELVIK"},
        {0, kShowHide, "显示/隐藏(&D)"},
        {0, kOptions, "参数设置(&P)"},
        {0, 0, "<divider>"},
        {0, kEject, "弹出光驱(&E)"},
        {0, kClose, "关闭光驱(&L)"},
        {0, 0, "选择光驱"},
        {1, kDriveFirst, drives[0]},
        {1, kDriveFirst + 1, drives[1]},
        {1, kDriveFirst + 2, drives[2]},
        {0, 0, "设置速度"},
        {1, kSpeedFirst, "8X (1411KB/S)"},
        {1, kSpeedFirst + 1, "16X (2822KB/S)"},
        {1, kSpeedFirst + 2, "32X (5645KB/S)"},
        {0, 0, "<divider>"},
        {0, kAbout, "关于本程序(&A)"},
        {0, 0, "<divider>"},
        {0, kExit, "退出(&X)"},
    };
    ASSERT_EQ(all.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i) + ": " + want[i].text);
        EXPECT_EQ(all[i].depth, want[i].depth);
        EXPECT_EQ(all[i].text, want[i].text);
        EXPECT_TRUE(all[i].ownerDrawn);
        EXPECT_FALSE(all[i].checked());
        // The banner and the dividers cannot be chosen; every other item can.
        bool inert = want[i].text == "<divider>" || (want[i].depth == 0 && want[i].id == 0 && !all[i].popup);
        EXPECT_EQ(all[i].state & (MF_GRAYED | MF_DISABLED), inert ? UINT(MF_GRAYED | MF_DISABLED) : 0u);
        EXPECT_EQ(all[i].state & MF_DEFAULT, 0u);
        if (want[i].id != 0) {
            EXPECT_EQ(all[i].id, want[i].id);
        }
    }
    EXPECT_TRUE(all[6].popup);
    EXPECT_TRUE(all[10].popup);

    // The two sub-menus, opened from the keyboard.
    HMENU hMenu = menuOf(w);
    ASSERT_TRUE(hilite(*probe, w, hMenu, all[6].id));
    key(w, VK_RIGHT);
    EXPECT_TRUE(waitForMenus(p, 2));
    screenshot("tray_menu_drives");
    key(w, VK_LEFT);
    EXPECT_TRUE(waitForMenus(p, 1));
    key(w, VK_DOWN);
    key(w, VK_RIGHT);
    EXPECT_TRUE(waitForMenus(p, 2));
    screenshot("tray_menu_speeds");

    key(w, VK_ESCAPE);
    key(w, VK_ESCAPE);
    EXPECT_TRUE(waitForMenus(p, 0)) << "the menu did not close";

    // A second opening stays open, and the program carries on afterwards.
    w = openPopup(p);
    ASSERT_NE(w, nullptr);
    Sleep(300);
    EXPECT_EQ(menuWindows(p).size(), 1u) << "the second opening vanished";
    key(w, VK_ESCAPE);
    EXPECT_TRUE(waitForMenus(p, 0));
    EXPECT_TRUE(p.sync());
}

// The first drive has twelve speeds, the second two.
void addManySpeeds(KesvoraProcess& p)
{
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.device(0, 2).cdrom("KSIM", "CD-RW 40X", "2.00").maxSpeed(7056).policy("any");
    p.writeSettings("[0:1]\nspeedNames=" + joinNumbers(4, 12, 4) + "\nkbSpeeds=" + joinNumbers(700, 12, 700) +
                    "\n[0:2]\nspeedNames=4,24\nkbSpeeds=706,4234\n");
}

TEST_F(TrayTest, EverySpeedItemSetsItsSpeedAndTheCheckMarkMoves)
{
    startWith(addManySpeeds);
    std::vector<Item> all = items();
    ASSERT_NE(find(all, kSpeedFirst + 11), nullptr);
    EXPECT_EQ(find(all, kSpeedFirst + 11)->text, "48X (8400KB/S)");
    EXPECT_EQ(find(all, kSpeedFirst + 12), nullptr);

    p.clearSimLog();
    p.command(kSpeedFirst + 11);
    p.command(kSpeedFirst + 1);
    p.command(kSpeedFirst + 11);
    ASSERT_TRUE(p.sync());
    std::vector<SimRecord> set = speedCommands(p);
    ASSERT_EQ(set.size(), 3u);
    EXPECT_EQ(speedOf(set[0]), 8400);
    EXPECT_EQ(speedOf(set[1]), 1400);
    EXPECT_EQ(speedOf(set[2]), 8400);
    for (const SimRecord& r : set)
        EXPECT_EQ(r.tgt, 1);

    all = items();
    EXPECT_TRUE(find(all, kSpeedFirst + 11)->checked());
    EXPECT_EQ(find(all, kSpeedFirst + 11)->text, "48X (8400KB/S)");
    EXPECT_FALSE(find(all, kSpeedFirst + 1)->checked());
    EXPECT_EQ(find(all, kSpeedFirst + 1)->text, "8X (1400KB/S)");
    EXPECT_EQ(find(all, kSpeedFirst + 1)->id, kSpeedFirst + 1);

    // The second drive as menu drive: speeds it has are set on it, those it
    // lacks set nothing.
    p.command(kDriveFirst + 1);
    p.clearSimLog();
    p.command(kSpeedFirst + 1);
    p.command(kSpeedFirst + 5);
    ASSERT_TRUE(p.sync());
    set = speedCommands(p);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(speedOf(set[0]), 4234);
    EXPECT_EQ(set[0].tgt, 2);

    // The sub-menu now lists the second drive's own two speeds, the one
    // chosen checked.
    all = items();
    ASSERT_NE(find(all, kSpeedFirst + 1), nullptr);
    EXPECT_TRUE(find(all, kSpeedFirst + 1)->checked());
    EXPECT_EQ(find(all, kSpeedFirst + 1)->text, "24X (4234KB/S)");
    EXPECT_EQ(find(all, kSpeedFirst + 2), nullptr);
    EXPECT_TRUE(p.running());
}

TEST_F(TrayTest, ExitFromTheKeyboardSavesTheListsAndEndsTheProgram)
{
    startWith(addThreeDrives);
    HWND w = openPopup(p);
    ASSERT_NE(w, nullptr);
    key(w, VK_UP);  // from no selection up to the last item, Exit
    const Item* exitItem = find(probe->menu(menuOf(w)), kExit, 0);
    ASSERT_NE(exitItem, nullptr);
    ASSERT_TRUE(exitItem->hilite());
    key(w, VK_RETURN);
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.exitCode(), 0u);
    EXPECT_EQ(p.setting("0:1", "speedNames"), "8,16,32");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "1411,2822,5645");
    EXPECT_EQ(p.setting("0:2", "kbSpeeds"), "706,4234");
}

TEST_F(TrayTest, AboutItemShowsTheAboutBox)
{
    startWith(addThreeDrives);
    p.post(WM_COMMAND, kAbout, 0);
    HWND about = p.waitForWindow(kAboutTitle);
    ASSERT_NE(about, nullptr) << "no About box";
    screenshot("tray_about");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(p.sync());
}

TEST_F(TrayTest, DoubleClickAndShowHideBringTheHiddenWindowBack)
{
    startWith(addThreeDrives);
    HWND main = p.mainWindow();
    p.post(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(p.sync());
    ASSERT_FALSE(IsWindowVisible(main));

    p.post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(p.sync());
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(GetForegroundWindow(), main);

    p.command(kShowHide);
    ASSERT_TRUE(p.sync());
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(IsIconic(main));
    p.command(kShowHide);
    ASSERT_TRUE(p.sync());
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
}

// The icon is added at the first minimise and only then; a taskbar that
// restarts gets it again, but only once it was there.
TEST_F(TrayTest, TheIconIsAddedOnceAndAgainForANewTaskbar)
{
    startWith(addThreeDrives);
    ASSERT_EQ(probe->call("ProbeWatchTray"), 1u);
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    const struct {
        const char* what;
        UINT msg;
        WPARAM wParam;
        DWORD adds;
    } steps[] = {
        {"a new taskbar before the icon exists", taskbarCreated, 0, 0},
        {"the first minimise", WM_SYSCOMMAND, SC_MINIMIZE, 1},
        {"a second minimise", WM_SYSCOMMAND, SC_MINIMIZE, 1},
        {"a new taskbar", taskbarCreated, 0, 2},
        {"shown again from the menu: nothing added", WM_COMMAND, kShowHide, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        p.post(step.msg, step.wParam, 0);
        ASSERT_TRUE(p.sync());
        EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_ADD)), step.adds);
    }
    EXPECT_EQ(p.readFile("tray_tip.txt"), "Zurivovi2.0.0");
    EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_MODIFY)), 0u);
    EXPECT_EQ(probe->call("ProbeTrayCalls", reinterpret_cast<void*>(NIM_DELETE)), 0u);
}

}  // namespace
