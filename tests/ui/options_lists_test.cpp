// The options dialog in process: what it hands back to the drive's lists
// (closed before its first paint, closed unchanged, after an Add), a start-up
// option the file refuses, and Detect (one at a time, speed set back).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/aspi_transport.h"
#include "res/resource.h"
#include "settings/settings_store.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/box_watch.h"
#include "tests/support/temp_folder.h"
#include "ui/options_dialog.h"

CWinApp g_testApp;

namespace {

typedef std::vector<std::string> Texts;

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

class OptionsListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        m_selector.Attach(CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, m_host,
                                        nullptr, nullptr, nullptr));
        m_settings.setFileName(m_folder.file("cdrom.ini").c_str());
    }
    void TearDown() override
    {
        m_selector.Detach();
        DestroyWindow(m_host);
    }

    // Runs the dialog; after its first paint `script` runs with its window,
    // then the dialog is closed with Escape.
    void run(std::function<void(HWND)> script)
    {
        COptionsDlg dlg(m_settings, &m_drive, m_selector);
        s_pDlg = &dlg;
        s_script = std::move(script);
        SetTimer(nullptr, 0, 10, step);
        dlg.DoModal();
    }
    static void CALLBACK step(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        HWND hDlg = s_pDlg->m_hWnd;
        UpdateWindow(hDlg);
        s_script(hDlg);
        PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    }
    static void click(HWND hDlg, int id)
    {
        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDlg, id)));
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

    static COptionsDlg* s_pDlg;
    static std::function<void(HWND)> s_script;

    TempFolder m_folder{"kesvora-options"};
    SettingsStore m_settings;
    CdDrive m_drive{0, 1};
    CComboBox m_selector;
    HWND m_host = nullptr;
};

COptionsDlg* OptionsListsTest::s_pDlg = nullptr;
std::function<void(HWND)> OptionsListsTest::s_script;

TEST_F(OptionsListsTest, EveryDecodedPairSurvivesOpeningAndClosing)
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
                click(hDlg, IDC_ADD_SPEED);
        });
        EXPECT_EQ(items(m_drive.speedNames), row.namesAfter);
        EXPECT_EQ(items(m_drive.kbSpeeds), row.kbpsAfter);
        EXPECT_EQ(selectorItems().size(), std::min(row.namesAfter.size(), row.kbpsAfter.size()));
    }
}

TEST_F(OptionsListsTest, ClosedBeforeItsFirstPaintChangesNothing)
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

TEST_F(OptionsListsTest, RefusedOptionShowsTheStoredStateAndIsReportedOnce)
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
            click(hDlg, IDC_RUN_MIN);
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
class OptionsDetectTest : public OptionsListsTest {
protected:
    void SetUp() override
    {
        OptionsListsTest::SetUp();
        m_sim.setup.device(0, 1).cdrom("KSIM", "DETECT", "1.00").maxSpeed(1411).speed(1000).policy("any");
        m_sim.write();
        ASSERT_TRUE(loadASPI());
        m_sim.clearLog();
    }
    void TearDown() override
    {
        freeASPI();
        OptionsListsTest::TearDown();
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
        click(hDlg, IDC_DETECT);
    });
    std::vector<int> speeds;
    for (const ksim::SimRecord& r : m_sim.log().commands(kSetSpeed))
        speeds.push_back(r.cdb[2] << 8 | r.cdb[3]);
    EXPECT_EQ(speeds, (std::vector<int>{1418, 1242, 1066, 890, 714, 538, 362, 186, 1000}))
        << "8X to 1X found, then the speed before";
    EXPECT_EQ(items(m_drive.speedNames), (Texts{"8", "7", "6", "5", "4", "3", "2", "1"}));
}

}  // namespace
