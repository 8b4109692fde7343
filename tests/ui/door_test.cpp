// The tray door through the multimedia control interface, in process, with
// the system call replaced: the sequence of calls SetDriveDoor makes, and
// the panel's door buttons aimed at the selected drive's letter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/drive/sim_drives.h"
#include "tests/support/dialog_script.h"
#include "ui/drive_door.h"
#include "ui/main_dialog.h"

CWinApp g_testApp;

namespace {

struct Call {
    UINT message;
    MCIDEVICEID device;
    DWORD_PTR flags;
    std::string element;  // MCI_OPEN only
    WORD deviceType;      // MCI_OPEN only
};

std::vector<Call> g_calls;
MCIERROR g_openResult = 0;
MCIERROR g_closeResult = 0;
const MCIDEVICEID kDevice = 42;

MCIERROR WINAPI fakeSend(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR param)
{
    Call c = {message, device, flags, "", 0};
    if (message == MCI_OPEN) {
        MCI_OPEN_PARMSA* open = reinterpret_cast<MCI_OPEN_PARMSA*>(param);
        c.element = open->lpstrElementName != nullptr ? open->lpstrElementName : "";
        c.deviceType = LOWORD(reinterpret_cast<DWORD_PTR>(open->lpstrDeviceType));
        if (g_openResult == 0)
            open->wDeviceID = kDevice;
        g_calls.push_back(c);
        return g_openResult;
    }
    g_calls.push_back(c);
    return message == MCI_CLOSE ? g_closeResult : 0;
}

class DoorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_doorSystemCalls;
        g_doorSystemCalls.sendCommand = fakeSend;
        g_calls.clear();
        g_openResult = 0;
        g_closeResult = 0;
    }
    void TearDown() override { g_doorSystemCalls = m_saved; }

private:
    DoorSystemCalls m_saved;
};

}  // namespace

TEST_F(DoorTest, OpensSetsAndClosesTheCdAudioDevice)
{
    struct Row {
        bool open;
        char letter;
        DWORD setFlag;
    } rows[] = {{true, 'E', MCI_SET_DOOR_OPEN}, {false, 'E', MCI_SET_DOOR_CLOSED}, {true, 'Z', MCI_SET_DOOR_OPEN}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(1, row.letter) + (row.open ? " open" : " close"));
        g_calls.clear();
        g_closeResult = 7;
        EXPECT_EQ(SetDriveDoor(row.open, row.letter), 7u) << "the close's result is returned";
        ASSERT_EQ(g_calls.size(), 3u);
        EXPECT_EQ(g_calls[0].message, static_cast<UINT>(MCI_OPEN));
        EXPECT_EQ(g_calls[0].device, 0u);
        EXPECT_EQ(g_calls[0].flags, 0x3300u);
        EXPECT_EQ(g_calls[0].deviceType, MCI_DEVTYPE_CD_AUDIO);
        EXPECT_EQ(g_calls[0].element, std::string(1, row.letter) + ":");
        EXPECT_EQ(g_calls[1].message, static_cast<UINT>(MCI_SET));
        EXPECT_EQ(g_calls[1].device, kDevice);
        EXPECT_EQ(g_calls[1].flags, row.setFlag);
        EXPECT_EQ(g_calls[2].message, static_cast<UINT>(MCI_CLOSE));
        EXPECT_EQ(g_calls[2].device, kDevice);
        EXPECT_EQ(g_calls[2].flags, static_cast<DWORD_PTR>(MCI_WAIT));
    }
}

TEST_F(DoorTest, FailedOpenSendsNothingElse)
{
    g_openResult = MCIERR_DEVICE_OPEN;
    EXPECT_EQ(SetDriveDoor(true, 'F'), static_cast<DWORD>(MCIERR_DEVICE_OPEN));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].message, static_cast<UINT>(MCI_OPEN));
}

TEST_F(DoorTest, DriveWithoutLetterIsLeftAlone)
{
    for (char letter : {'?', '\0', 'a', '['}) {
        EXPECT_EQ(SetDriveDoor(true, letter), static_cast<DWORD>(MCIERR_INVALID_DEVICE_NAME));
        EXPECT_TRUE(g_calls.empty()) << "letter " << static_cast<int>(letter);
    }
}

// Two drives with letters (the simulated volumes are reached through this
// program's own imports, redirected by ksim_volumes.dll): Eject on the
// first and Close on the second reach their own letters.
TEST_F(DoorTest, PanelButtonsMoveTheSelectedDrivesDoor)
{
    ASSERT_NE(LoadLibraryA("ksim_volumes.dll"), nullptr);
    SimDrives sim;
    sim.setup.device(0, 1).cdrom("KSIM", "FIRST", "1.00");
    sim.setup.device(0, 2).cdrom("KSIM", "SECOND", "1.00");
    sim.setup.volume('D').device(0, 1);
    sim.setup.volume('F').device(0, 2);
    sim.write();
    TempFolder folder{"kesvora-door"};
    char saved[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(folder.path().c_str());
    CDriveToolDlg dlg;
    runScripted(dlg, [](HWND hDlg) {
        clickButton(hDlg, IDC_EJECT);
        HWND list = GetDlgItem(hDlg, IDC_DRIVE_LIST);
        SendMessageA(list, CB_SETCURSEL, 1, 0);
        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        clickButton(hDlg, IDC_CLOSE_DOOR);
    });
    SetCurrentDirectoryA(saved);
    std::vector<std::string> seen;
    for (const Call& c : g_calls)
        seen.push_back(c.message == MCI_OPEN ? "open " + c.element
                       : c.message == MCI_SET ? (c.flags == MCI_SET_DOOR_OPEN ? "eject" : "close door")
                                              : "close device");
    EXPECT_EQ(seen, (std::vector<std::string>{"open D:", "eject", "close device", "open F:", "close door",
                                              "close device"}));
}
