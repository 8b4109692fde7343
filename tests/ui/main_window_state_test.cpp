// The main window's parts in process against simulated drives: the
// notification icon, the popup menu's check mark for the menu drive, which
// speed lists reach the settings file at the end, and the tray door through
// the multimedia control interface with the system call replaced.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/aspi_transport.h"
#include "drive/transport_choice.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/dialog_script.h"
#include "tests/support/import_hook.h"
#include "ui/drive_door.h"
#include "ui/drive_list.h"
#include "ui/drive_sections.h"
#include "ui/drive_worker.h"
#include "ui/icons.h"
#include "ui/main_dialog.h"
#include "ui/speed_memory.h"
#include "ui/tray_menu.h"

CWinApp g_testApp;

namespace {

typedef std::vector<std::string> Texts;

const MCIDEVICEID kDevice = 42;
const DWORD kOpenFlags = MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE;

// One call as text: what, for which device (or device type), with which flags.
std::string call(const std::string& what, DWORD_PTR device, DWORD_PTR flags)
{
    return what + " " + std::to_string(device) + " " + std::to_string(flags);
}

Texts g_calls;
MCIERROR g_openResult = 0;

// The calls that open or close the door of the letter's drive.
Texts doorCalls(char letter, bool open)
{
    return {call(std::string("open ") + letter + ": from 0", MCI_DEVTYPE_CD_AUDIO, kOpenFlags),
            call("set", kDevice, open ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED), call("close", kDevice, MCI_WAIT)};
}

// Opens answer kDevice, or g_openResult when that is an error; a close
// answers 7.
MCIERROR WINAPI fakeSend(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR param)
{
    if (message == MCI_OPEN) {
        MCI_OPEN_PARMSA* open = reinterpret_cast<MCI_OPEN_PARMSA*>(param);
        g_calls.push_back(call(std::string("open ") + open->lpstrElementName + " from " + std::to_string(device),
                               LOWORD(reinterpret_cast<DWORD_PTR>(open->lpstrDeviceType)), flags));
        open->wDeviceID = g_openResult == 0 ? kDevice : 0;
        return g_openResult;
    }
    g_calls.push_back(call(message == MCI_SET ? "set" : message == MCI_CLOSE ? "close" : "other", device, flags));
    return message == MCI_CLOSE ? 7 : 0;
}

// Three drives: 0:1 lockable, locked, vendor-specific spin-down; 0:2 not
// lockable, "A&B" in its name; 0:3 whose capabilities page cannot be read.
class MainWindowStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_sim.setup.device(0, 1).cdrom("KSIM", "FIRST", "1.00").lock(true, true).spindown(0);
        m_sim.setup.device(0, 2).cdrom("A&B", "SECOND", "1.00").lock(false).spindown(5);
        m_sim.setup.device(0, 3).cdrom("KSIM", "BROKEN", "1.00").error(0x5A, ksim::kSimAlways, 0x2A);
        m_sim.write();
        m_settings.setFileName(m_ini.c_str());
        m_savedDoor = g_doorSystemCalls;
        g_doorSystemCalls.sendCommand = fakeSend;
        ASSERT_TRUE(m_worker.Start());
    }
    void TearDown() override { g_doorSystemCalls = m_savedDoor; }

    // The main dialog, run in the folder of the settings file; `script`
    // runs once its window is up and the drives are listed, then the drive
    // worker's answers come in and the dialog is closed. settle() lets the
    // answers in meanwhile.
    void runMain(std::function<void(HWND)> script)
    {
        char saved[MAX_PATH] = "";
        GetCurrentDirectoryA(MAX_PATH, saved);
        SetCurrentDirectoryA(m_folder.path().c_str());
        CDriveToolDlg dlg;
        m_pDlg = &dlg;
        runScripted(dlg, [&](HWND hDlg) {
            settle();
            script(hDlg);
            settle();
        });
        m_pDlg = nullptr;
        SetCurrentDirectoryA(saved);
    }
    void settle() { EXPECT_TRUE(pumpUntil([&] { return !m_pDlg->DrivesBusy(); })); }
    // The drives found and listed, their stored speeds sent, as at start.
    void findDrives(DriveList& drives, SpeedMemory* speeds = nullptr)
    {
        closeTransport();  // a new start: the transport is chosen again
        freeASPI();
        CObList found(10);
        drives.Find(DriveList::ChosenTransport(m_settings), found);
        drives.Adopt(found, m_settings);
        if (speeds != nullptr) {
            speeds->RestoreAtStart(drives, m_worker);
            EXPECT_TRUE(pumpUntil([&] { return m_worker.Pending() == 0; }));
        }
    }

    SimDrives m_sim;
    DriveWorker m_worker;
    CDriveToolDlg* m_pDlg = nullptr;
    TempFolder m_folder{"kesvora-main"};
    std::string m_ini = m_folder.file("cdrom.ini");
    SettingsStore m_settings;
    DoorSystemCalls m_savedDoor;
};

// The shell's icon calls as text ("add <tip>", "modify", "delete"); it
// refuses the first g_refusals adds.
decltype(&::Shell_NotifyIconA) g_realNotify = nullptr;
Texts g_iconCalls;
int g_refusals = 0;

BOOL WINAPI recordingNotify(DWORD message, PNOTIFYICONDATAA data)
{
    const char* names[] = {"add", "modify", "delete"};
    g_iconCalls.push_back(std::string(message < 3 ? names[message] : "other") +
                          (message == NIM_ADD ? std::string(" ") + data->szTip : ""));
    if (message == NIM_ADD && g_refusals > 0) {
        --g_refusals;
        g_iconCalls.back() += " (refused)";
        return FALSE;
    }
    return g_realNotify(message, data);
}

// The icon is added at the first minimise; while the shell refuses it, the
// window stays on the taskbar and the retry timer asks again. A new taskbar
// gets the icon again once it was there.
TEST_F(MainWindowStateTest, IconAddedOnceRetriedWhenRefusedAndAgainForANewTaskbar)
{
    const ImportHook hook = {"Shell_NotifyIconA", reinterpret_cast<void*>(recordingNotify),
                             reinterpret_cast<void**>(&g_realNotify)};
    redirectImports("shell32.dll", &hook, 1);
    ASSERT_NE(g_realNotify, nullptr);
    const UINT kTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    const char kAdd[] = "add Zurivovi2.0.0";
    const struct {
        const char* what;
        UINT msg;
        WPARAM wParam;
        Texts calls;
        const char* shown;
    } steps[] = {
        {"a new taskbar before the icon exists", kTaskbarCreated, 0, {}, "on the taskbar"},
        {"minimised, refused", WM_SYSCOMMAND, SC_MINIMIZE, {"add Zurivovi2.0.0 (refused)"}, "on the taskbar, minimised"},
        {"the retry, refused", WM_TIMER, TRAY_RETRY_TIMER_ID, {"add Zurivovi2.0.0 (refused)"}, "on the taskbar, minimised"},
        {"the retry", WM_TIMER, TRAY_RETRY_TIMER_ID, {kAdd}, "hidden, minimised"},
        {"the retry timer once more", WM_TIMER, TRAY_RETRY_TIMER_ID, {}, "hidden, minimised"},
        {"a new taskbar", kTaskbarCreated, 0, {kAdd}, "hidden, minimised"},
    };
    g_refusals = 2;
    runMain([&](HWND hDlg) {
        for (const auto& step : steps) {
            SCOPED_TRACE(step.what);
            g_iconCalls.clear();
            SendMessageA(hDlg, step.msg, step.wParam, 0);
            EXPECT_EQ(g_iconCalls, step.calls);
            EXPECT_EQ(std::string(IsWindowVisible(hDlg) ? "on the taskbar" : "hidden") +
                          (IsIconic(hDlg) ? ", minimised" : ""), step.shown);
        }
        g_iconCalls.clear();
    });
    EXPECT_EQ(g_iconCalls, Texts{"delete"}) << "at the end";
}

// The items of a menu and its sub-menus, depth first, a line each: the
// depth, the text ("-" for a divider, "=" before the banner; a checked item
// is a plain one), "*" when checked and "(off)" when it cannot be chosen.
void dumpMenu(HMENU hMenu, int depth, Texts& out)
{
    for (int pos = 0; pos < GetMenuItemCount(hMenu); ++pos) {
        const CDrawnMenuEntry* pEntry = DrawnMenuEntryOf(hMenu, pos, TRUE);
        const UINT state = GetMenuState(hMenu, pos, MF_BYPOSITION);
        char plain[256] = "";
        GetMenuStringA(hMenu, pos, plain, sizeof plain, MF_BYPOSITION);
        std::string line = std::string(depth, ' ');
        if (pEntry == nullptr)
            line += plain;
        else
            line += pEntry->m_bDivider ? "-" : (pEntry->m_bBanner ? "=" : "") + std::string(pEntry->m_strCaption);
        line += (state & MF_CHECKED) != 0 ? " *" : "";
        line += (state & (MF_GRAYED | MF_DISABLED)) == (MF_GRAYED | MF_DISABLED) ? " (off)" : "";
        out.push_back(line);
        if (HMENU hSub = GetSubMenu(hMenu, pos))
            dumpMenu(hSub, depth + 1, out);
    }
}

// The popup menu in its order, the stored speed of the first drive checked
// (none when it is not in the list); choosing the second drive checks it,
// and its item shows the '&' of its name as itself.
TEST_F(MainWindowStateTest, PopupMenuInItsOrderWithTheChoicesChecked)
{
    const Texts kHead = {"=TRELVIK (off)", "显示/隐藏(&D)", "参数设置(&P)", "- (off)", "弹出光驱(&E)", "关闭光驱(&L)",
                         "选择光驱", " [0:1] ?:\\ KSIM FIRST 1.00", " [0:2] ?:\\ A&&B SECOND 1.00",
                         " [0:3] ?:\\ KSIM BROKEN 1.00", "设置速度"};
    const Texts kTail = {"- (off)", "关于本程序(&A)", "- (off)", "退出(&X)"};
    const struct {
        const char* lastSpeed;
        Texts speeds;
    } rows[] = {
        {"2822", {" 8X (1411KB/S)", " 16X (2822KB/S) *"}},
        {"706", {" 8X (1411KB/S)", " 16X (2822KB/S)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lastSpeed);
        ASSERT_TRUE(writeWholeFile(m_ini, std::string("[0:1]\r\nspeedNames=8,16\r\nkbSpeeds=1411,2822\r\nlastSpeed=") +
                                              row.lastSpeed + "\r\n"));
        DriveList drives;
        SpeedMemory speeds(m_settings);
        findDrives(drives, &speeds);
        ASSERT_EQ(drives.GetCount(), 3);
        CTrayMenu menu(drives, speeds, m_worker);
        menu.Build();
        Texts expected = kHead, items;
        expected.insert(expected.end(), row.speeds.begin(), row.speeds.end());
        expected.insert(expected.end(), kTail.begin(), kTail.end());
        dumpMenu(menu.GetSafeHmenu(), 0, items);
        EXPECT_EQ(items, expected);

        menu.OnDriveCommand(ID_TRAY_DRIVE_FIRST + 1);
        HMENU hMenu = menu.GetSafeHmenu();
        EXPECT_EQ(GetMenuState(hMenu, ID_TRAY_DRIVE_FIRST, MF_BYCOMMAND) & MF_CHECKED, 0u);
        EXPECT_EQ(GetMenuState(hMenu, ID_TRAY_DRIVE_FIRST + 1, MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));
    }
}

// A handle to the file that lets others do only what `share` allows.
HANDLE holdFile(const std::string& path, DWORD share)
{
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST_F(MainWindowStateTest, OnlyChangedListsAreWrittenBothKeysAtOnce)
{
    const char kHandEdited[] =
        "[0:1]\r\nspeedNames=48, 40, 8\r\nkbSpeeds=8448, 7040, 1408\r\nnote=mine\r\n"
        "[0:2]\r\nspeedNames=8\r\nspeedNames=4\r\nkbSpeeds=1411\r\n";
    const char kIdentified[] =
        "[0:1]\r\nspeedNames=48, 40, 8\r\nkbSpeeds=8448, 7040, 1408\r\nnote=mine\r\nidentity=KSIM|FIRST|1.00|\r\n"
        "[0:2]\r\nspeedNames=8\r\nspeedNames=4\r\nkbSpeeds=1411\r\nidentity=A&B|SECOND|1.00|\r\n";
    const struct Row {
        const char* what;
        bool lockedAtStart;  // nobody may read the file while the lists are read
        bool lockedAtEnd;    // nobody may write it at the end
        bool change;         // drive 0:2 gets another entry
        bool written;        // the result of the save
        const char* after;   // the file afterwards (nullptr: as it was)
    } rows[] = {
        {"unchanged: only the drives' identities come into their sections", false, false, false, true, kIdentified},
        {"unreadable at start, unchanged: nothing is written", true, false, false, true, nullptr},
        {"changed: both keys once, the other lines kept", false, false, true, true,
         "[0:1]\r\nspeedNames=48, 40, 8\r\nkbSpeeds=8448, 7040, 1408\r\nnote=mine\r\nidentity=KSIM|FIRST|1.00|\r\n"
         "[0:2]\r\nspeedNames=8,4\r\nkbSpeeds=1411,706\r\nidentity=A&B|SECOND|1.00|\r\n"},
        {"changed, not writable: the failure is told", false, true, true, false, kIdentified},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(writeWholeFile(m_ini, kHandEdited));
        HANDLE hLock = row.lockedAtStart ? holdFile(m_ini, 0) : INVALID_HANDLE_VALUE;
        DriveList drives;
        findDrives(drives);
        if (hLock != INVALID_HANDLE_VALUE)
            CloseHandle(hLock);
        ASSERT_EQ(drives.GetCount(), 3);
        if (row.change) {
            drives.GetAt(1)->speedNames->AddTail("4");
            drives.GetAt(1)->kbSpeeds->AddTail("706");
        }
        hLock = row.lockedAtEnd ? holdFile(m_ini, FILE_SHARE_READ) : INVALID_HANDLE_VALUE;
        EXPECT_EQ(drives.SaveSpeedLists(m_settings), row.written);
        if (hLock != INVALID_HANDLE_VALUE)
            CloseHandle(hLock);
        EXPECT_EQ(readWholeFile(m_ini), row.after != nullptr ? row.after : kHandEdited);
    }
}

// Sections follow identities: each drive (its address, and the product of its identity)
// gets the section of the file the row says. A section from before identities is adopted
// by the drive at its address and gets its identity; a section of another identity, or one
// that cannot be read, is left alone.
TEST_F(MainWindowStateTest, EachDriveGetsTheSectionOfItsIdentity)
{
    typedef std::vector<std::pair<DriveAddress, const char*>> Drives;
    const DriveAddress at01 = {0, 0, 1, 0}, at02 = {0, 0, 2, 0}, moved = {2, 1, 0, 0};
    const struct { const char* what; const char* file; Drives drives; Texts sections; const char* after; } rows[] = {
        {"from before identities: adopted", "[0:1]\r\nspeedNames=8\r\n", {{at01, "A"}}, {"0:1"},
         "[0:1]\r\nspeedNames=8\r\nidentity=V|A|1|\r\n"},
        {"moved: the section follows", "[0:1]\r\nidentity=V|A|1|\r\n", {{moved, "A"}}, {"0:1"}, nullptr},
        {"swapped", "[0:1]\r\nidentity=V|A|1|\r\n[0:2]\r\nidentity=V|B|1|\r\n", {{at01, "B"}, {at02, "A"}}, {"0:2", "0:1"}, nullptr},
        {"another drive at its address", "[0:1]\r\nidentity=V|A|1|\r\n", {{at01, "B"}}, {"0:1#2"}, nullptr},
        {"two sections of one identity", "[0:1]\r\nidentity=V|A|1|\r\n[0:2]\r\nidentity=V|A|1|\r\n", {{at02, "A"}}, {"0:2"}, nullptr},
        {"two drives of one identity", "[0:2]\r\nidentity=V|A|1|\r\n[0:1]\r\nidentity=V|A|1|\r\n", {{at01, "A"}, {at02, "A"}}, {"0:1", "0:2"}, nullptr},
        {"an identity that cannot be read", "[0:1]\r\nidentity=V|A\r\n", {{at01, "A"}}, {"0:1#2"}, nullptr},
        {"an identity and no lists", "[0:3]\r\nidentity=V|A|1|\r\n", {{at01, "A"}}, {"0:3"}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(writeWholeFile(m_ini, row.file));
        std::vector<std::unique_ptr<CdDrive>> owned;
        std::vector<CdDrive*> drives;
        for (const auto& d : row.drives) {
            owned.emplace_back(new CdDrive(aspiTransport(), d.first));
            owned.back()->identity = {"V", d.second, "1", ""};
            drives.push_back(owned.back().get());
        }
        AssignSections(drives, {}, m_settings);
        Texts sections;
        for (const CdDrive* d : drives)
            sections.push_back(d->section.str());
        EXPECT_EQ(sections, row.sections);
        EXPECT_EQ(readWholeFile(m_ini), row.after != nullptr ? row.after : row.file);
    }
}

// The door of a letter: the CD audio device opened, set and closed. Then the first two
// drives with letters (the simulated volumes are reached through this program's own
// imports, redirected by ksim_volumes.dll, for the rest of the run): Eject on the first
// and Close on the second reach their own letters.
TEST_F(MainWindowStateTest, TheDoorOfALetterAndOfTheSelectedDrive)
{
    const struct Row {
        bool open;
        char letter;
        MCIERROR openResult;
        DWORD result;
        Texts calls;
    } rows[] = {
        {true, 'E', 0, 7, doorCalls('E', true)},
        {false, 'Z', 0, 7, doorCalls('Z', false)},
        {true, 'F', MCIERR_DEVICE_OPEN, MCIERR_DEVICE_OPEN, {doorCalls('F', true)[0]}},
        {true, '?', 0, MCIERR_INVALID_DEVICE_NAME, {}},
        {true, 'a', 0, MCIERR_INVALID_DEVICE_NAME, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(1, row.letter) + (row.open ? " open" : " close"));
        g_calls.clear();
        g_openResult = row.openResult;
        EXPECT_EQ(SetDriveDoor(row.open, row.letter), row.result);
        EXPECT_EQ(g_calls, row.calls);
    }
    ASSERT_NE(LoadLibraryA("ksim_volumes.dll"), nullptr);
    m_sim.setup.volume('D').device(0, 1);
    m_sim.setup.volume('F').device(0, 2);
    m_sim.write();
    g_calls.clear();
    runMain([](HWND hDlg) {
        clickButton(hDlg, IDC_EJECT);
        HWND list = GetDlgItem(hDlg, IDC_DRIVE_LIST);
        SendMessageA(list, CB_SETCURSEL, 1, 0);  // the second drive, chosen as the user does
        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        clickButton(hDlg, IDC_CLOSE_DOOR);
    });
    Texts expected = doorCalls('D', true), closing = doorCalls('F', false);
    expected.insert(expected.end(), closing.begin(), closing.end());
    EXPECT_EQ(g_calls, expected);
}

}  // namespace

// An icon's place gets the largest image that fits, drawn at its own size while
// that fills three quarters of the place; far larger places a whole multiple.
TEST(IconFit, ImageAndSizeForThePlace)
{
    const struct { int place, image, size; } rows[] = {
        {12, 16, 16}, {16, 16, 16}, {19, 16, 16}, {20, 20, 20}, {25, 24, 24}, {30, 24, 24}, {35, 32, 32},
        {40, 40, 40}, {50, 40, 40}, {60, 24, 48}, {80, 40, 80}, {100, 40, 80}, {130, 40, 120}};
    for (const auto& row : rows) {
        const IconFit fit = FitIconToPlace(row.place);
        EXPECT_EQ(std::vector<int>({fit.nImage, fit.nSize}), std::vector<int>({row.image, row.size})) << row.place;
    }
}
