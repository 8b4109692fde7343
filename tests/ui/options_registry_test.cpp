// The start-with-system box in process, with the registry calls replaced:
// a key that cannot be opened, a value that cannot be set or deleted, and
// the data written for the Run value.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "drive/cd_drive.h"
#include "res/resource.h"
#include "tests/support/box_watch.h"
#include "settings/settings_store.h"
#include "ui/options_dialog.h"

CWinApp g_testApp;

namespace {

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

// A main window without a window of its own: a drive list with one drive,
// selected in a drive selector, and a speed selector.
class OptionsRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_registrySystemCalls;
        g_registrySystemCalls = {fakeOpen, fakeQuery, fakeSet, fakeDelete, fakeClose};
        g_reg = FakeRegistry();
        m_host = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        m_speedSelector.Attach(CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, m_host,
                                             nullptr, nullptr, nullptr));
    }
    void TearDown() override
    {
        m_speedSelector.Detach();
        DestroyWindow(m_host);
        g_registrySystemCalls = m_saved;
    }

    // Runs the dialog, clicks the start-with-system box once after the first
    // paint and closes it; returns the box's state after the click.
    bool clickAutoStart(bool checkedBefore)
    {
        COptionsDlg dlg(m_settings, &m_drive, m_speedSelector);
        s_pDlg = &dlg;
        s_checkedBefore = checkedBefore;
        s_after = -1;
        SetTimer(nullptr, 0, 10, script);
        dlg.DoModal();
        return s_after == BST_CHECKED;
    }

    static void CALLBACK script(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        HWND hDlg = s_pDlg->m_hWnd;
        UpdateWindow(hDlg);
        HWND box = GetDlgItem(hDlg, IDC_AUTOSTART);
        SendMessageA(box, BM_SETCHECK, s_checkedBefore ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_AUTOSTART, BN_CLICKED), reinterpret_cast<LPARAM>(box));
        s_after = static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0));
        PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    }

    static COptionsDlg* s_pDlg;
    static bool s_checkedBefore;
    static int s_after;

    SettingsStore m_settings;
    CdDrive m_drive{0, 1};
    CComboBox m_speedSelector;
    HWND m_host = nullptr;
    RegistrySystemCalls m_saved;
};

COptionsDlg* OptionsRegistryTest::s_pDlg = nullptr;
bool OptionsRegistryTest::s_checkedBefore = false;
int OptionsRegistryTest::s_after = -1;

const char kFailText[] = "设置软件自动启动失败!请手工设置.";

TEST_F(OptionsRegistryTest, RefusalsShowTheStateThatHolds)
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

TEST_F(OptionsRegistryTest, RunValueIsTheQuotedExecutablePathAndTheSwitchWithItsTerminator)
{
    clickAutoStart(true);
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring expected = L"\"" + std::wstring(path) + L"\" /autostart";
    EXPECT_EQ(g_reg.setName, L"TRELVIK");
    EXPECT_EQ(g_reg.setType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(g_reg.setData, expected + L'\0') << "the length counts the terminating zero";
}

TEST_F(OptionsRegistryTest, ExistingValueShowsCheckedWhateverItHolds)
{
    g_reg.queryResult = ERROR_SUCCESS;
    g_reg.deleteResult = ERROR_ACCESS_DENIED;
    // The first paint found the value; a click that tries to clear the box
    // and cannot delete the value shows it checked again.
    EXPECT_TRUE(clickAutoStart(false));
}

}  // namespace
