// The main window's parts in process against simulated drives: the panel's
// controls for each selected drive, the popup menu's speed sub-menu for the
// menu drive, and which speed lists reach the settings file at the end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/transport_choice.h"
#include "menu/drawn_menu.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/dialog_script.h"
#include "tests/support/import_hook.h"
#include "ui/drive_list.h"
#include "ui/main_dialog.h"
#include "ui/speed_memory.h"
#include "ui/tray_menu.h"

CWinApp g_testApp;

namespace {

typedef std::vector<std::string> Texts;

// Three drives: 0:1 lockable, locked, vendor-specific spin-down; 0:2 not
// lockable, "A&B" in its name; 0:3 whose capabilities page cannot be read.
class MainWindowStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim.setup.device(0, 1).cdrom("KSIM", "FIRST", "1.00").lock(true, true).spindown(0);
        sim.setup.device(0, 2).cdrom("A&B", "SECOND", "1.00").lock(false).spindown(5);
        sim.setup.device(0, 3).cdrom("KSIM", "BROKEN", "1.00").error(0x5A, ksim::kSimAlways, 0x2A);
        sim.write();
        m_ini = m_folder.file("cdrom.ini");
        settings.setFileName(m_ini.c_str());
    }

    SimDrives sim;
    TempFolder m_folder{"kesvora-main"};
    std::string m_ini;
    SettingsStore settings;
};

// The main dialog, run in the folder of the settings file; `script` runs
// once its window is up, then the dialog is closed.
class MainDialogRun {
public:
    explicit MainDialogRun(const std::string& folder)
    {
        GetCurrentDirectoryA(MAX_PATH, m_saved);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~MainDialogRun() { SetCurrentDirectoryA(m_saved); }
    void run(std::function<void(HWND)> script)
    {
        CDriveToolDlg dlg;
        runScripted(dlg, std::move(script));
    }

private:
    char m_saved[MAX_PATH] = "";
};

TEST_F(MainWindowStateTest, PanelControlsFollowTheSelectedDrive)
{
    const struct {
        int drive;
        bool lockEnabled, spindownEnabled, lockedShown;
    } rows[] = {
        {1, false, true, false},
        {2, true, true, false},  // a failed read: usable, never shown locked
        {0, true, false, true},
    };
    std::vector<std::string> problems;
    MainDialogRun main(m_folder.path());
    main.run([&](HWND hDlg) {
        HWND list = GetDlgItem(hDlg, IDC_DRIVE_LIST);
        for (const auto& row : rows) {
            SendMessageA(list, CB_SETCURSEL, row.drive, 0);
            SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
            bool lock = IsWindowEnabled(GetDlgItem(hDlg, IDC_LOCK)) != FALSE;
            bool unlock = IsWindowEnabled(GetDlgItem(hDlg, IDC_UNLOCK)) != FALSE;
            bool spin = IsWindowEnabled(GetDlgItem(hDlg, IDC_SET_SPINDOWN)) != FALSE;
            bool locked = IsDlgButtonChecked(hDlg, IDC_LOCKED) == BST_CHECKED;
            if (lock != row.lockEnabled || unlock != row.lockEnabled || spin != row.spindownEnabled ||
                locked != row.lockedShown)
                problems.push_back("drive " + std::to_string(row.drive) + ": lock " + std::to_string(lock) +
                                   " unlock " + std::to_string(unlock) + " spin-down " + std::to_string(spin) +
                                   " locked " + std::to_string(locked));
        }
    });
    EXPECT_EQ(problems, Texts{});
}

// The options dialogs open in this thread: windows with a Detect button.
BOOL CALLBACK countOptions(HWND hWnd, LPARAM lParam)
{
    if (GetDlgItem(hWnd, IDC_DETECT) != nullptr) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    }
    return TRUE;
}

std::vector<HWND> g_optionsSeen;

void CALLBACK closeOptions(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    g_optionsSeen.clear();
    EnumThreadWindows(GetCurrentThreadId(), countOptions, reinterpret_cast<LPARAM>(&g_optionsSeen));
    for (HWND h : g_optionsSeen)
        PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(MainWindowStateTest, SettingsItemOpensOneOptionsDialogAtATime)
{
    MainDialogRun main(m_folder.path());
    main.run([](HWND hDlg) {
        // The second choice arrives while the first dialog runs.
        PostMessageA(hDlg, WM_COMMAND, ID_TRAY_OPTIONS, 0);
        PostMessageA(hDlg, WM_COMMAND, ID_TRAY_OPTIONS, 0);
        SetTimer(nullptr, 0, 300, closeOptions);
    });
    EXPECT_EQ(g_optionsSeen.size(), 1u);
}

// The shell refuses the first g_nRefusedAdds icons.
decltype(&::Shell_NotifyIconA) g_realNotify = nullptr;
int g_nRefusedAdds = 0;
int g_nAdds = 0;

BOOL WINAPI refusingNotify(DWORD message, PNOTIFYICONDATAA data)
{
    if (message != NIM_ADD)
        return g_realNotify(message, data);
    return ++g_nAdds > g_nRefusedAdds ? g_realNotify(message, data) : FALSE;
}

TEST_F(MainWindowStateTest, RefusedIconKeepsTheWindowReachableAndIsTriedAgain)
{
    const ImportHook hook = {"Shell_NotifyIconA", reinterpret_cast<void*>(refusingNotify),
                             reinterpret_cast<void**>(&g_realNotify)};
    redirectImports("shell32.dll", &hook, 1);
    ASSERT_NE(g_realNotify, nullptr);
    g_nRefusedAdds = 2;
    g_nAdds = 0;
    Texts seen;
    MainDialogRun main(m_folder.path());
    main.run([&](HWND hDlg) {
        auto state = [&](const char* when) {
            seen.push_back(std::string(when) + ": " + (IsWindowVisible(hDlg) ? "on the taskbar" : "hidden") +
                           (IsIconic(hDlg) ? ", minimised" : ""));
        };
        SendMessageA(hDlg, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        state("refused");
        SendMessageA(hDlg, WM_TIMER, TRAY_RETRY_TIMER_ID, 0);
        state("refused again");
        SendMessageA(hDlg, WM_TIMER, TRAY_RETRY_TIMER_ID, 0);
        state("added");
    });
    EXPECT_EQ(seen, (Texts{"refused: on the taskbar, minimised", "refused again: on the taskbar, minimised",
                           "added: hidden, minimised"}));
    EXPECT_EQ(g_nAdds, 3);
}

// The text of item nId of the menu: its drawn caption, or its own text once
// it was made a plain item.
std::string itemText(HMENU hMenu, UINT nId)
{
    if (const CDrawnMenuEntry* pEntry = DrawnMenuEntryOf(hMenu, nId, FALSE))
        return pEntry->m_strCaption.GetString();
    char text[256] = "";
    if (GetMenuStringA(hMenu, nId, text, sizeof text, MF_BYCOMMAND) <= 0 &&
        GetMenuState(hMenu, nId, MF_BYCOMMAND) == static_cast<UINT>(-1))
        return "<none>";
    return text;
}

TEST_F(MainWindowStateTest, SpeedSubmenuListsTheMenuDrivesOwnSpeeds)
{
    ASSERT_TRUE(writeWholeFile(m_ini, "[0:1]\nspeedNames=8\nkbSpeeds=1411\n[0:2]\nspeedNames=4,2\nkbSpeeds=706,353\n"));
    DriveList drives;
    drives.Detect(settings);
    ASSERT_EQ(drives.GetCount(), 3);
    SpeedMemory speeds(settings);
    CTrayMenu menu(drives, speeds);
    menu.Build();
    EXPECT_EQ(itemText(menu.GetSafeHmenu(), ID_TRAY_DRIVE_FIRST + 1), "[0:2] ?:\\ A&&B SECOND 1.00")
        << "'&' doubled, so that it shows as itself";
    EXPECT_EQ(itemText(menu.GetSafeHmenu(), ID_TRAY_SPEED_FIRST), "8X (1411KB/S)");

    menu.OnDriveCommand(ID_TRAY_DRIVE_FIRST + 1);
    HMENU hMenu = menu.GetSafeHmenu();
    EXPECT_EQ(itemText(hMenu, ID_TRAY_SPEED_FIRST), "4X (706KB/S)");
    EXPECT_EQ(itemText(hMenu, ID_TRAY_SPEED_FIRST + 1), "2X (353KB/S)");
    EXPECT_EQ(GetMenuState(hMenu, ID_TRAY_DRIVE_FIRST + 1, MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));

    sim.clearLog();
    menu.OnSpeedCommand(ID_TRAY_SPEED_FIRST + 1);
    std::vector<ksim::SimRecord> sets = sim.log().commands(0xBB);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].tgt, 2);
    EXPECT_EQ(sets[0].cdb[2] << 8 | sets[0].cdb[3], 353);
    EXPECT_EQ(itemText(menu.GetSafeHmenu(), ID_TRAY_SPEED_FIRST + 1), "2X (353KB/S)");
}

TEST_F(MainWindowStateTest, OnlyChangedListsAreWrittenBothKeysAtOnce)
{
    const char kHandEdited[] =
        "[0:1]\r\nspeedNames=48, 40, 8\r\nkbSpeeds=8448, 7040, 1408\r\nnote=mine\r\n"
        "[0:2]\r\nspeedNames=8\r\nspeedNames=4\r\nkbSpeeds=1411\r\n";
    const struct Row {
        const char* what;
        bool lockedAtStart;   // nobody may read the file while the lists are read
        bool lockedAtEnd;     // nobody may write it at the end
        bool change;          // drive 0:2 gets another entry
        bool written;         // the result of the save
        Texts section02;      // the lines of section 0:2 afterwards (empty: the file as it was)
    } rows[] = {
        {"unchanged: the hand-edited file stays as it is", false, false, false, true, {}},
        {"unreadable at start, unchanged: nothing is written", true, false, false, true, {}},
        {"changed: both keys once, the other lines kept", false, false, true, true,
         {"speedNames=8,4", "kbSpeeds=1411,706"}},
        {"changed, not writable: the failure is told", false, true, true, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder("kesvora-save");
        std::string ini = folder.file("cdrom.ini");
        ASSERT_TRUE(writeWholeFile(ini, kHandEdited));
        SettingsStore store;
        store.setFileName(ini.c_str());
        DriveList drives;
        HANDLE hLock = CreateFileA(ini.c_str(), GENERIC_READ, row.lockedAtStart ? 0 : FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (!row.lockedAtStart)
            CloseHandle(hLock);
        closeTransport();  // a new start: the transport is chosen again
        freeASPI();
        drives.Detect(store);
        if (row.lockedAtStart)
            CloseHandle(hLock);
        ASSERT_EQ(drives.GetCount(), 3);
        if (row.change) {
            drives.GetAt(1)->speedNames->AddTail("4");
            drives.GetAt(1)->kbSpeeds->AddTail("706");
        }
        hLock = row.lockedAtEnd ? CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              0, nullptr)
                                : INVALID_HANDLE_VALUE;
        EXPECT_EQ(drives.SaveSpeedLists(store), row.written);
        if (hLock != INVALID_HANDLE_VALUE)
            CloseHandle(hLock);

        if (row.section02.empty()) {
            EXPECT_EQ(readWholeFile(ini), kHandEdited);
            continue;
        }
        char lines[1024] = {};
        DWORD n = GetPrivateProfileSectionA("0:2", lines, sizeof lines, ini.c_str());
        Texts got;
        for (const char* p = lines; p < lines + n && *p != '\0'; p += strlen(p) + 1)
            got.push_back(p);
        EXPECT_EQ(got, row.section02);
        EXPECT_EQ(store.getStringValue("0:1", "note", ""), "mine");
        EXPECT_EQ(store.getStringValue("0:1", "speedNames", ""), "48, 40, 8");
    }
}

}  // namespace
