// The tray door through the multimedia control interface, in process: the
// sequence of calls SetDriveDoor makes, with the system call replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/drive_door.h"
#include "ui/main_dialog.h"

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
