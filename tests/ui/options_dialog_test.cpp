// The options dialog in process: what it hands back to the drive's lists
// (closed before its first paint, closed unchanged, after an Add), a
// start-up option the file refuses, Detect (one at a time, speed set back),
// and the start-with-system box with the registry calls replaced.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drive/aspi_transport.h"
#include "drive/cd_drive.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/box_watch.h"
#include "tests/support/dialog_script.h"
#include "tests/support/temp_folder.h"
#include "ui/options_dialog.h"

CWinApp g_testApp;

namespace {

typedef std::vector<std::string> Texts;

const HKEY kFakeKey = reinterpret_cast<HKEY>(0x1234);

struct FakeRegistry {
    LONG openResult = ERROR_SUCCESS;
    LONG queryResult = ERROR_FILE_NOT_FOUND;
    LONG setResult = ERROR_SUCCESS;
    LONG deleteResult = ERROR_SUCCESS;
    std::string openedKey;
    std::wstring setName, setData;
    DWORD setType = 0, setLength = 0;
    int sets = 0, deletes = 0, opens = 0, closes = 0;
} g_reg;

LONG WINAPI fakeOpen(HKEY root, LPCSTR subKey, PHKEY result)
{
    ++g_reg.opens;
    g_reg.openedKey = (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "?\\") + std::string(subKey);
    *result = g_reg.openResult == ERROR_SUCCESS ? kFakeKey : nullptr;
    return g_reg.openResult;
}
LONG WINAPI fakeQuery(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return g_reg.queryResult; }
LONG WINAPI fakeSet(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD length)
{
    EXPECT_EQ(key, kFakeKey);
    ++g_reg.sets;
    g_reg.setName = name;
    g_reg.setType = type;
    g_reg.setLength = length;
    g_reg.setData.assign(reinterpret_cast<const wchar_t*>(data), length / sizeof(wchar_t));
    return g_reg.setResult;
}
LONG WINAPI fakeDelete(HKEY, LPCSTR) { ++g_reg.deletes; return g_reg.deleteResult; }
LONG WINAPI fakeClose(HKEY key)
{
    EXPECT_EQ(key, kFakeKey);
    ++g_reg.closes;
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

// The dialog over one drive, a speed selector in a hidden window, a
// settings file in a folder of its own and the registry replaced.
class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedRegistry = g_registrySystemCalls;
        g_registrySystemCalls = {fakeOpen, fakeQuery, fakeSet, fakeDelete, fakeClose};
        g_reg = FakeRegistry();
        m_host = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        m_selector.Attach(CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, m_host,
                                        nullptr, nullptr, nullptr));
        m_settings.setFileName(m_folder.file("cdrom.ini").c_str());
    }
    void TearDown() override
    {
        m_selector.Detach();
        DestroyWindow(m_host);
        g_registrySystemCalls = m_savedRegistry;
    }

    void run(std::function<void(HWND)> script)
    {
        COptionsDlg dlg(m_settings, &m_drive, m_selector);
        runScripted(dlg, std::move(script));
    }
    // Clicks the start-with-system box once, from the given state; the
    // box's state after the click.
    bool clickAutoStart(bool checkedBefore)
    {
        int after = -1;
        run([&](HWND hDlg) {
            HWND box = GetDlgItem(hDlg, IDC_AUTOSTART);
            SendMessageA(box, BM_SETCHECK, checkedBefore ? BST_CHECKED : BST_UNCHECKED, 0);
            clickButton(hDlg, IDC_AUTOSTART);
            after = static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0));
        });
        return after == BST_CHECKED;
    }
    Texts selectorItems()
    {
        Texts v;
        for (int i = 0; i < m_selector.GetCount(); ++i) {
            CString s;
            m_selector.GetLBText(i, s);
            v.push_back(s.GetString());
        }
        return v;
    }

    TempFolder m_folder{"kesvora-options"};
    SettingsStore m_settings;
    CdDrive m_drive{0, 1};
    CComboBox m_selector;
    HWND m_host = nullptr;
    RegistrySystemCalls m_savedRegistry;
};

TEST_F(OptionsDialogTest, EveryDecodedPairSurvivesOpeningAndClosing)
{
    const struct Row {
        const char* what;
        Texts names, kbps;
        bool add;  // Add 1X before closing
        Texts namesAfter, kbpsAfter;
    } rows[] = {
        {"blanks after the commas, unchanged", {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}, false,
         {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}},
        {"blanks after the commas, one added", {"48", " 40", " 8"}, {"8448", " 7040", " 1408"}, true,
         {"48", " 40", " 8", "1"}, {"8448", " 7040", " 1408", "176"}},
        {"texts that look like the display form", {"4X (8", "a b"}, {"1K", "K"}, true,
         {"4X (8", "a b", "1"}, {"1K", "K", "176"}},
        {"unequal lengths, unchanged: the surplus stays", {"48", "40", "8"}, {"8448"}, false,
         {"48", "40", "8"}, {"8448"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fill(m_drive.speedNames, row.names);
        fill(m_drive.kbSpeeds, row.kbps);
        run([&](HWND hDlg) {
            if (row.add)
                clickButton(hDlg, IDC_ADD_SPEED);
        });
        EXPECT_EQ(items(m_drive.speedNames), row.namesAfter);
        EXPECT_EQ(items(m_drive.kbSpeeds), row.kbpsAfter);
        EXPECT_EQ(selectorItems().size(), std::min(row.namesAfter.size(), row.kbpsAfter.size()));
    }
}

TEST_F(OptionsDialogTest, ClosedBeforeItsFirstPaintChangesNothing)
{
    fill(m_drive.speedNames, {"48", "8"});
    fill(m_drive.kbSpeeds, {"8448", "1408"});
    m_selector.AddString("48X (8448KB/S)");
    EarlyClosedOptions dlg(m_settings, &m_drive, m_selector);
    dlg.DoModal();
    EXPECT_EQ(items(m_drive.speedNames), (Texts{"48", "8"}));
    EXPECT_EQ(items(m_drive.kbSpeeds), (Texts{"8448", "1408"}));
    EXPECT_EQ(selectorItems(), (Texts{"48X (8448KB/S)"}));
}

// A file without the keys: the boxes show what start-up does then (not
// minimised, stored speeds restored).
TEST_F(OptionsDialogTest, MissingOptionsShowTheStartUpDefaults)
{
    int runMin = -1, runSetSpeed = -1;
    run([&](HWND hDlg) {
        runMin = static_cast<int>(IsDlgButtonChecked(hDlg, IDC_RUN_MIN));
        runSetSpeed = static_cast<int>(IsDlgButtonChecked(hDlg, IDC_RUN_SET_SPEED));
    });
    EXPECT_EQ(runMin, BST_UNCHECKED);
    EXPECT_EQ(runSetSpeed, BST_CHECKED);
}

TEST_F(OptionsDialogTest, RefusedOptionShowsTheStoredStateAndIsReportedOnce)
{
    std::string file = m_folder.file("cdrom.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("System", "RunMin", "0", file.c_str()));
    // Our handle lets others read the file but not write it.
    HANDLE hLock = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    BoxWatch answers;
    std::vector<int> states;
    run([&](HWND hDlg) {
        HWND box = GetDlgItem(hDlg, IDC_RUN_MIN);
        for (int i = 0; i < 2; ++i) {
            SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
            clickButton(hDlg, IDC_RUN_MIN);
            states.push_back(static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0)));
        }
    });
    CloseHandle(hLock);
    EXPECT_EQ(states, (std::vector<int>{BST_UNCHECKED, BST_UNCHECKED})) << "the stored 0";
    std::vector<SeenBox> boxes = answers.seen();
    ASSERT_EQ(boxes.size(), 1u) << "told once";
    EXPECT_EQ(boxes[0].caption, "提示");
    char full[MAX_PATH] = "";
    GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
    EXPECT_NE(boxes[0].text.find(full), std::string::npos) << boxes[0].text;
    EXPECT_EQ(m_settings.getBool("System", "RunMin", 5), 0);
}

// Detect against a simulated drive that takes any speed.
class OptionsDetectTest : public OptionsDialogTest {
protected:
    void SetUp() override
    {
        OptionsDialogTest::SetUp();
        m_sim.setup.device(0, 1).cdrom("KSIM", "DETECT", "1.00").maxSpeed(1411).speed(1000).policy("any");
        m_sim.write();
        ASSERT_TRUE(loadASPI());
        m_sim.clearLog();
    }
    void TearDown() override
    {
        freeASPI();
        OptionsDialogTest::TearDown();
    }
    SimDrives m_sim;
};

TEST_F(OptionsDetectTest, OneDetectionAtATimeAndTheSpeedIsSetBack)
{
    const int kSetSpeed = 0xBB;
    run([&](HWND hDlg) {
        // A held Enter key: clicks queued while the first detection runs.
        for (int i = 0; i < 2; ++i)
            PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DETECT, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDC_DETECT)));
        clickButton(hDlg, IDC_DETECT);
    });
    std::vector<int> speeds;
    for (const ksim::SimRecord& r : m_sim.log().commands(kSetSpeed))
        speeds.push_back(r.cdb[2] << 8 | r.cdb[3]);
    EXPECT_EQ(speeds, (std::vector<int>{1418, 1242, 1066, 890, 714, 538, 362, 186, 1000}))
        << "8X to 1X found, then the speed before";
    EXPECT_EQ(items(m_drive.speedNames), (Texts{"8", "7", "6", "5", "4", "3", "2", "1"}));
}

const char kFailText[] = "设置软件自动启动失败!请手工设置.";

TEST_F(OptionsDialogTest, RefusalsShowTheStateThatHolds)
{
    struct Row {
        const char* what;
        bool check;        // the state the click gives the box
        LONG open, set, del;
        bool after;        // the box afterwards
        bool message;      // the failure message was shown
        int sets, deletes;
    } rows[] = {
        {"set works", true, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, true, false, 1, 0},
        {"delete works", false, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, false, false, 0, 1},
        {"key not openable, setting", true, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS, false, true, 0, 0},
        {"key not openable, clearing", false, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_SUCCESS, false, true, 0, 0},
        {"value not settable", true, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, false, true, 1, 0},
        {"value not deletable", false, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, true, false, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_reg = FakeRegistry();
        g_reg.openResult = row.open;
        g_reg.setResult = row.set;
        g_reg.deleteResult = row.del;
        BoxWatch answers;

        EXPECT_EQ(clickAutoStart(row.check), row.after);

        std::vector<SeenBox> boxes = answers.seen();
        if (row.message) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, "提示");
            EXPECT_EQ(boxes[0].text, kFailText);
            EXPECT_TRUE(boxes[0].anyIcon);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_EQ(g_reg.sets, row.sets);
        EXPECT_EQ(g_reg.deletes, row.deletes);
        EXPECT_EQ(g_reg.opens, 2) << "at the first paint and at the click";
        EXPECT_EQ(g_reg.closes, row.open == ERROR_SUCCESS ? 2 : 0) << "every opened key is closed";
        EXPECT_EQ(g_reg.openedKey, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
}

TEST_F(OptionsDialogTest, RunValueIsTheQuotedExecutablePathAndTheSwitchWithItsTerminator)
{
    clickAutoStart(true);
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring expected = L"\"" + std::wstring(path) + L"\" /autostart";
    EXPECT_EQ(g_reg.setName, L"TRELVIK");
    EXPECT_EQ(g_reg.setType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(g_reg.setData, expected + L'\0') << "the length counts the terminating zero";
}

TEST_F(OptionsDialogTest, ExistingValueShowsCheckedWhateverItHolds)
{
    g_reg.queryResult = ERROR_SUCCESS;
    g_reg.deleteResult = ERROR_ACCESS_DENIED;
    // The first paint found the value; a click that tries to clear the box
    // and cannot delete the value shows it checked again.
    EXPECT_TRUE(clickAutoStart(false));
}

}  // namespace
