// The options dialog and speed detection in process, against a simulated
// drive at 0:1 and with the registry calls replaced: what the dialog hands
// back to the drive's lists, the start-up option boxes, Detect, the
// start-with-system box, and detectSpeeds with its sink.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "drive/aspi_transport.h"
#include "drive/cd_drive.h"
#include "framework/pump.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/box_watch.h"
#include "tests/support/dialog_script.h"
#include "ui/drive_worker.h"
#include "ui/options_dialog.h"
#include "ui/speed_detection.h"

CWinApp g_testApp;

namespace {

typedef std::vector<int> Ints;
typedef std::vector<std::string> Texts;

const int kSetSpeed = 0xBB;
const int kModeSense = 0x5A;
const HKEY kFakeKey = reinterpret_cast<HKEY>(0x1234);

struct FakeRegistry {
    LONG openResult = ERROR_SUCCESS;
    LONG setResult = ERROR_SUCCESS;
    LONG deleteResult = ERROR_SUCCESS;
    std::string openedKey;
    std::wstring setName, setData;
    DWORD setType = 0;
    int sets = 0, deletes = 0, opens = 0, closes = 0;
} g_reg;

LONG WINAPI fakeOpen(HKEY root, LPCSTR subKey, PHKEY result)
{
    ++g_reg.opens;
    g_reg.openedKey = (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "?\\") + std::string(subKey);
    *result = g_reg.openResult == ERROR_SUCCESS ? kFakeKey : nullptr;
    return g_reg.openResult;
}
LONG WINAPI fakeQuery(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return ERROR_FILE_NOT_FOUND; }
LONG WINAPI fakeSet(HKEY, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD length)
{
    ++g_reg.sets;
    g_reg.setName = name;
    g_reg.setType = type;
    g_reg.setData.assign(reinterpret_cast<const wchar_t*>(data), length / sizeof(wchar_t));
    return g_reg.setResult;
}
LONG WINAPI fakeDelete(HKEY, LPCSTR)
{
    ++g_reg.deletes;
    return g_reg.deleteResult;
}
LONG WINAPI fakeClose(HKEY key)
{
    g_reg.closes += key == kFakeKey;
    return ERROR_SUCCESS;
}

Texts items(const CStringList* list)
{
    Texts v;
    for (POSITION pos = list->GetHeadPosition(); pos != nullptr;)
        v.push_back(list->GetNext(pos).GetString());
    return v;
}

void fill(CStringList* list, const Texts& texts)
{
    list->RemoveAll();
    for (const std::string& t : texts)
        list->AddTail(t.c_str());
}

// Closes itself from its own initialisation, before any paint: the Escape
// typed ahead of the window.
class EarlyClosedOptions : public COptionsDlg {
public:
    using COptionsDlg::COptionsDlg;
    BOOL OnInitDialog() override
    {
        BOOL b = COptionsDlg::OnInitDialog();
        PostMessage(WM_COMMAND, IDCANCEL);
        return b;
    }
};

// Records the progress.
struct ScriptedSink : DetectionSink {
    int lastPos = -1;
    bool Step(int nPos) override
    {
        lastPos = nPos;
        return true;
    }
};

// The dialog over drive 0:1, a hidden speed selector, a
// settings file in a folder of its own and the registry replaced.
class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_worker.Start());
        m_savedRegistry = g_registrySystemCalls;
        g_registrySystemCalls = {fakeOpen, fakeQuery, fakeSet, fakeDelete, fakeClose};
        g_reg = FakeRegistry();
        m_selector.Attach(CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100, 100, nullptr,
                                        nullptr, nullptr, nullptr));
        m_settings.setFileName(m_folder.file("cdrom.ini").c_str());
    }
    void TearDown() override
    {
        DestroyWindow(m_selector.Detach());
        g_registrySystemCalls = m_savedRegistry;
    }

    // The script, then the drive worker's answers, before the dialog closes.
    void run(std::function<void(HWND)> script)
    {
        COptionsDlg dlg(m_settings, &m_drive, m_selector, m_worker);
        runScripted(dlg, [&](HWND hDlg) {
            script(hDlg);
            EXPECT_TRUE(pumpUntil([&] { return m_worker.Pending() == 0; }));
        });
    }
    // The simulated drive as `device` was set up, reached through ASPI.
    ksim::SimDevice& device() { return m_sim.setup.device(0, 1).cdrom("KSIM", "DETECT", "1.00"); }
    void startDrive()
    {
        freeASPI();
        m_sim.write();
        ASSERT_TRUE(loadASPI());
        m_sim.clearLog();
    }
    // The commands sent: SET CD SPEED as the speed asked for, MODE SENSE as
    // 0, anything else as its negated opcode.
    Ints sent()
    {
        Ints v;
        for (const ksim::SimRecord& r : m_sim.log().commands())
            v.push_back(r.opcode() == kSetSpeed ? r.cdb[2] << 8 | r.cdb[3] : r.opcode() == kModeSense ? 0 : -r.opcode());
        return v;
    }

    TempFolder m_folder{"kesvora-options"};
    SimDrives m_sim;
    DriveWorker m_worker;
    SettingsStore m_settings;
    CdDrive m_drive{aspiTransport(), {0, 0, 1, 0}};
    CComboBox m_selector;
    RegistrySystemCalls m_savedRegistry;
};

TEST_F(OptionsDialogTest, ListsHandedBackAtTheClose)
{
    const struct Row {
        const char* what;
        Texts names, kbps;
        bool early;  // closed before its first paint
        bool add;    // Add 1X before closing
        Texts namesAfter, kbpsAfter;
        int selectorItems;
    } rows[] = {
        {"blanks after the commas, unchanged", {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}, false, false,
         {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}, 3},
        {"blanks after the commas, one added", {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}, false, true,
         {"48", " 40", " 8", "1"}, {"8448", " 7040", " 1408", "176"}, 4},
        {"texts that look like the display form", {"4X (8", "a b"}, {"1K", "K"}, false, true,
         {"4X (8", "a b", "1"}, {"1K", "K", "176"}, 3},
        {"unequal lengths, unchanged: the surplus stays", {"48", "40", "8"}, {"8448"}, false, false,
         {"48", "40", "8"}, {"8448"}, 1},
        {"closed before its first paint: nothing changes", {"48", "8"}, {"8448", "1408"}, true, false,
         {"48", "8"}, {"8448", "1408"}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fill(m_drive.speedNames, row.names);
        fill(m_drive.kbSpeeds, row.kbps);
        m_selector.ResetContent();
        m_selector.AddString("48X (8448KB/S)");
        if (row.early) {
            EarlyClosedOptions dlg(m_settings, &m_drive, m_selector, m_worker);
            dlg.DoModal();
        } else {
            run([&](HWND hDlg) {
                if (row.add)
                    clickButton(hDlg, IDC_ADD_SPEED);
            });
        }
        EXPECT_EQ(items(m_drive.speedNames), row.namesAfter);
        EXPECT_EQ(items(m_drive.kbSpeeds), row.kbpsAfter);
        EXPECT_EQ(m_selector.GetCount(), row.selectorItems);
    }
}

// A file others may read but not write: each click shows the stored state
// again, and the failure is told once, naming the file.
TEST_F(OptionsDialogTest, RefusedOptionShowsTheStoredStateAndIsReportedOnce)
{
    std::string file = m_folder.file("cdrom.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("System", "RunMin", "0", file.c_str()));
    HANDLE hLock = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    BoxWatch answers;
    Ints states;
    run([&](HWND hDlg) {
        for (int i = 0; i < 2; ++i) {
            CheckDlgButton(hDlg, IDC_RUN_MIN, BST_CHECKED);
            clickButton(hDlg, IDC_RUN_MIN);
            states.push_back(IsDlgButtonChecked(hDlg, IDC_RUN_MIN));
        }
    });
    CloseHandle(hLock);
    EXPECT_EQ(states, (Ints{BST_UNCHECKED, BST_UNCHECKED})) << "the stored 0";
    std::vector<SeenBox> boxes = answers.seen();
    ASSERT_EQ(boxes.size(), 1u) << "told once";
    EXPECT_EQ(boxes[0].caption, "提示");
    char full[MAX_PATH] = "";
    GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
    EXPECT_NE(boxes[0].text.find(full), std::string::npos) << boxes[0].text;
}

// Detect over a drive that takes any speed: clicks queued while the first
// detection runs (a held Enter key) start no other, the speed found before
// is set again at the end, and the speeds found reach the drive's lists
// when the dialog closes. A maximum that cannot be read is asked for again
// (Retry or Cancel, no icon) as long as the user answers Retry; Cancel ends
// it with the lists as they were. Closed while it runs, at its first step or
// later, the detection stops there, sets the speed back and leaves the lists
// as they were.
TEST_F(OptionsDialogTest, DetectOnceAtATimeAndKeepTheListsUnlessItEnds)
{
    const Texts kBefore = {"99"}, kFound = {"8", "7", "6", "5", "4", "3", "2", "1"};
    const char kQuestion[] = "致命错误!: 程序在检测驱动器最大速度时遇到错误. 这对检测可能速度是至关重要的.";
    const struct {
        const char* what;
        int unreadable;  // reads of page 2Ah (the speed before among them) that give the maximum as 0
        std::deque<int> answers;
        int closeAtProgress;  // 0: the detection is left to end; -1: closed at once
        Ints speeds;          // SET CD SPEED requests
        Texts names;
    } rows[] = {
        {"to its end", 0, {}, 0, {1418, 1242, 1066, 890, 714, 538, 362, 186, 1000}, kFound},
        {"maximum read at the third try", 3, {IDRETRY, IDRETRY}, 0, {1418, 1242, 1066, 890, 714, 538, 362, 186, 1000},
         kFound},
        {"maximum unreadable, Cancel", 2, {IDCANCEL}, 0, {1000}, kBefore},
        {"closed at the first step", 0, {}, -1, {1000}, kBefore},
        {"closed half-way", 0, {}, 700, {1418, 1242, 1066, 890, 1000}, kBefore},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // Closed on its way, the drive takes its time over each speed.
        device().maxSpeed(1411).speed(1000).policy("any").set("maxSpeedZero", row.unreadable)
            .set("delay.BB", row.closeAtProgress > 0 ? 50 : 0);
        startDrive();
        fill(m_drive.speedNames, kBefore);
        fill(m_drive.kbSpeeds, {"17424"});
        BoxWatch answers(row.answers);
        COptionsDlg dlg(m_settings, &m_drive, m_selector, m_worker);
        runScripted(dlg, [&](HWND hDlg) {
            for (int i = 0; i < 2; ++i)
                PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DETECT, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_DETECT)));
            clickButton(hDlg, IDC_DETECT);
            HWND progress = GetDlgItem(hDlg, IDC_DETECT_PROGRESS);
            if (row.closeAtProgress == 0) {
                EXPECT_TRUE(pumpUntil([&] { return m_worker.Pending() == 0; }));
                return;
            }
            if (row.closeAtProgress > 0) {
                EXPECT_TRUE(pumpUntil([&] { return SendMessageA(progress, PBM_GETPOS, 0, 0) >= row.closeAtProgress; }));
            }
            SendMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_TRUE(pumpUntil([&] { return m_worker.Pending() == 0; }));
        EXPECT_EQ(answers.seen().size(), row.answers.size());
        for (const SeenBox& box : answers.seen()) {
            EXPECT_EQ(box.caption + ": " + box.text, kQuestion);
            EXPECT_TRUE(box.buttons == (Ints{IDRETRY, IDCANCEL}) && !box.anyIcon);
        }
        Ints speeds;
        for (int s : sent())
            if (s > 0)
                speeds.push_back(s);
        if (row.closeAtProgress > 1)  // where it stops depends on when the close came
            speeds.erase(speeds.begin() + std::min<size_t>(4, speeds.size()), speeds.end() - 1);
        EXPECT_EQ(speeds, row.speeds);
        EXPECT_EQ(items(m_drive.speedNames), row.names);
    }
}

std::atomic<bool> g_driveSilent{false};
DWORD WINAPI waitUnlessSilent(HANDLE h, DWORD ms) { return g_driveSilent ? WAIT_TIMEOUT : WaitForSingleObject(h, ms); }

// A drive that stops answering half-way fails the detection: the lists stay as they were.
TEST_F(OptionsDialogTest, DetectionOverADriveThatStopsAnsweringKeepsTheLists)
{
    device().maxSpeed(1411).speed(1000).policy("any").set("delay.BB", 50);
    startDrive();
    fill(m_drive.speedNames, {"99"});
    const AspiSystemCalls saved = g_aspiSystemCalls;
    g_aspiSystemCalls.waitForSingleObject = waitUnlessSilent;
    run([&](HWND hDlg) {
        clickButton(hDlg, IDC_DETECT);
        EXPECT_TRUE(pumpUntil([&] { return SendDlgItemMessageA(hDlg, IDC_DETECT_PROGRESS, PBM_GETPOS, 0, 0) >= 700; }));
        g_driveSilent = true;
    });
    g_aspiSystemCalls = saved;
    g_driveSilent = false;
    EXPECT_EQ(items(m_drive.speedNames), Texts{"99"});
}

// The start-with-system box: a click sets or deletes the Run value; where
// that fails, the box shows the state that holds and the user hears why.
// Without the rights to the key the box is greyed out: one message only. The
// start-up boxes of a file without their keys show what start-up does then
// (not minimised, stored speeds restored).
TEST_F(OptionsDialogTest, AutoStartClickShowsTheStateThatHolds)
{
    const char kFailed[] = "提示: 设置软件自动启动失败!请手工设置. (icon)";
    const char kDenied[] = "提示: 没有修改系统启动项的权限，不能设置“随系统一同启动”。\n"
                           "请以管理员身份运行本程序后再设置，或请系统管理员代为设置。 (icon)";
    struct Row {
        const char* what;
        bool check;    // the state of the box at the click
        LONG open, set, del;
        bool after;    // the box afterwards
        const char* told;  // the message shown, if any
        int sets, deletes;
    } rows[] = {
        {"set works", true, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, true, nullptr, 1, 0},
        {"delete works", false, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, false, nullptr, 0, 1},
        {"key not openable, setting", true, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_SUCCESS, false, kFailed, 0, 0},
        {"key denied, setting", true, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS, false, kDenied, 0, 0},
        {"key denied, clearing", false, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS, false, kDenied, 0, 0},
        {"value not settable", true, ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_SUCCESS, false, kFailed, 1, 0},
        {"value denied", true, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, false, kDenied, 1, 0},
        {"value gone already", false, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, true, nullptr, 0, 1},
        {"value not deletable, denied", false, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_ACCESS_DENIED, true, kDenied, 0, 1},
    };
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring runValue = L"\"" + std::wstring(path) + L"\" /autostart";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_reg = FakeRegistry();
        g_reg.openResult = row.open;
        g_reg.setResult = row.set;
        g_reg.deleteResult = row.del;
        BoxWatch answers;
        UINT after = 9;
        BOOL enabled = -1;
        run([&](HWND hDlg) {
            EXPECT_TRUE(!IsDlgButtonChecked(hDlg, IDC_RUN_MIN) && IsDlgButtonChecked(hDlg, IDC_RUN_SET_SPEED));
            CheckDlgButton(hDlg, IDC_AUTOSTART, row.check ? BST_CHECKED : BST_UNCHECKED);
            clickButton(hDlg, IDC_AUTOSTART);
            after = IsDlgButtonChecked(hDlg, IDC_AUTOSTART);
            enabled = IsWindowEnabled(GetDlgItem(hDlg, IDC_AUTOSTART));
        });
        EXPECT_EQ(after, UINT(row.after ? BST_CHECKED : BST_UNCHECKED));
        EXPECT_EQ(enabled, row.told != kDenied) << "greyed out only without the rights";
        Texts told;
        for (const SeenBox& box : answers.seen())
            told.push_back(box.caption + ": " + box.text + (box.anyIcon ? " (icon)" : ""));
        EXPECT_EQ(told, row.told ? Texts{row.told} : Texts{});
        EXPECT_EQ(g_reg.sets, row.sets);
        if (row.sets > 0) {
            EXPECT_EQ(g_reg.setName, L"TRELVIK");
            EXPECT_EQ(g_reg.setType, static_cast<DWORD>(REG_SZ));
            EXPECT_EQ(g_reg.setData, runValue + L'\0') << "the length counts the terminating zero";
        }
        EXPECT_EQ(g_reg.deletes, row.deletes);
        EXPECT_EQ(g_reg.opens, 2) << "at the first paint and at the click";
        EXPECT_EQ(g_reg.closes, row.open == ERROR_SUCCESS ? 2 : 0) << "every opened key is closed";
        EXPECT_EQ(g_reg.openedKey, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
}

// hi, hi - 1, ..., lo.
Ints range(int hi, int lo)
{
    Ints v;
    for (int i = hi; i >= lo; --i)
        v.push_back(i);
    return v;
}

Ints operator+(Ints a, const Ints& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// detectSpeeds with a window of 10 KB/s: every speed asked for, each read
// back at once, the lists it fills, and the progress.
TEST_F(OptionsDialogTest, DetectionTriesEachWindowAndRecordsEachFactorOnce)
{
    const struct Row {
        const char* what;
        const char* policy;
        int maxSpeed;
        Ints table;
        Ints speeds;  // every SET CD SPEED, in order
        Texts names, kbSpeeds;
        int lastPos;  // the last progress step (-1: none)
    } rows[] = {
        {"accepts any speed: every factor at the top of its window", "any", 1411, {},
         {1418, 1242, 1066, 890, 714, 538, 362, 186}, {"8", "7", "6", "5", "4", "3", "2", "1"},
         {"1418", "1242", "1066", "890", "714", "538", "362", "186"}, 10 + 1411 - 186},
        {"snaps to a table: factors between its speeds add nothing", "table", 706, {176, 353, 706},
         Ints{714, 538} + range(362, 352) + range(186, 176), {"4", "2", "1"}, {"706", "353", "176"}, 10 + 706 - 175},
        {"ignores SET CD SPEED: one entry, every other value tried", "ignore", 1411, {},
         Ints{1418} + range(1242, 1222) + range(1066, 1046) + range(890, 870) + range(714, 694) +
             range(538, 518) + range(362, 342) + range(186, 176),
         {"8"}, {"1411"}, 10 + 1411 - 175},
        {"reports 0: every value of every window tried, nothing found", "zero", 352, {},
         range(362, 342) + range(186, 176), {}, {}, 10 + 352 - 175},
        {"maximum below 1X: nothing is tried", "any", 175, {}, {}, {}, {}, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ksim::SimDevice& d = device().maxSpeed(row.maxSpeed).speed(row.maxSpeed).policy(row.policy);
        if (!row.table.empty())
            d.speedTable(row.table);
        startDrive();
        ScriptedSink sink;
        CStringList names, kbSpeeds;
        EXPECT_TRUE(detectSpeeds(m_drive, MediumKind::Cd, row.maxSpeed, 10, sink, names, kbSpeeds));
        Ints expected;
        for (int speed : row.speeds)
            expected.insert(expected.end(), {speed, 0});
        EXPECT_EQ(sent(), expected);
        EXPECT_EQ(items(&names), row.names);
        EXPECT_EQ(items(&kbSpeeds), row.kbSpeeds);
        EXPECT_EQ(sink.lastPos, row.lastPos);
    }
}

}  // namespace
