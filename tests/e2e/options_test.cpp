// The options dialog end to end: opened from the main window of the real
// program, its list edited, its boxes clicked, detection run from it, and
// what it leaves behind: the main window's speed selector, the settings
// file and the Run value in the registry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "driver.h"

#include <commctrl.h>

namespace {

typedef std::vector<std::string> Texts;

const int kOptionsButton = 1007, kSpeedSelector = 1005;
const int kDetect = 1008, kList = 1010, kAutoStart = 1011, kRunMin = 1012, kRunSetSpeed = 1013;
const int kDelete = 1017, kAdd = 1018, kEdit = 1020;
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct FindOptions {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK findOptions(HWND hwnd, LPARAM param)
{
    FindOptions* d = reinterpret_cast<FindOptions*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == d->pid && IsWindowVisible(hwnd) && GetDlgItem(hwnd, kList) != nullptr) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND optionsWindow(const e2e::KesvoraProcess& p)
{
    FindOptions d = {p.processId(), nullptr};
    EnumWindows(findOptions, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

bool waitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD begin = GetTickCount();
    while (!done()) {
        if (GetTickCount() - begin > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// The dialog opened from the main window's Options button, or null.
HWND openOptions(e2e::KesvoraProcess& p)
{
    p.post(WM_COMMAND, MAKEWPARAM(kOptionsButton, BN_CLICKED), reinterpret_cast<LPARAM>(p.control(kOptionsButton)));
    HWND dlg = nullptr;
    waitFor([&] { return (dlg = optionsWindow(p)) != nullptr; }, 10000);
    if (dlg != nullptr)
        p.sync(dlg);
    return dlg;
}

Texts listItems(const e2e::KesvoraProcess& p, HWND dlg)
{
    Texts v;
    HWND list = p.control(kList, dlg);
    LRESULT count = 0;
    p.send(LB_GETCOUNT, 0, 0, list, &count);
    for (int i = 0; i < count; ++i) {
        // Fetched as UTF-16: Wine hands the ANSI request of another
        // process the wide text, unconverted.
        WCHAR wbuf[256] = {};
        DWORD_PTR len = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 10000, &len);
        if (len >= sizeof wbuf / sizeof wbuf[0]) {
            v.push_back("<too long>");
            continue;
        }
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wbuf), SMTO_NORMAL, 10000, &len);
        char buf[512] = {};
        WideCharToMultiByte(CP_ACP, 0, wbuf, -1, buf, sizeof buf - 1, nullptr, nullptr);
        v.push_back(buf);
    }
    return v;
}

// The Run value, or "<missing>".
std::string runValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    LONG r = RegQueryValueExA(key, "TRELVIK", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return "<missing>";
    return type == REG_SZ ? std::string(data) : "<not REG_SZ>";
}

void deleteRunValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "TRELVIK");
        RegCloseKey(key);
    }
}

class OptionsE2E : public ::testing::Test {
protected:
    void SetUp() override { deleteRunValue(); }
    void TearDown() override { deleteRunValue(); }

    void startWith(const char* policy, int maxSpeed, const std::string& settings)
    {
        p.sim.adapters(1);
        p.sim.device(0, 1).cdrom("KSIM", "OPTIONS", "1.00").maxSpeed(maxSpeed).policy(policy);
        p.writeSettings(settings);
        ASSERT_TRUE(p.start());
        dlg = openOptions(p);
        ASSERT_NE(dlg, nullptr);
    }

    void addSpeed(const char* text)
    {
        p.setText(kEdit, text, dlg);
        p.click(kAdd, dlg);
    }

    // Escape, then the dialog must be gone.
    void escape()
    {
        p.post(WM_COMMAND, IDCANCEL, 0, dlg);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(dlg); }, 10000));
        p.sync();
    }

    e2e::KesvoraProcess p;
    HWND dlg = nullptr;
};

TEST_F(OptionsE2E, FirstPaintLoadsListAndOptionsOnce)
{
    startWith("any", 1411, "[0:1]\nspeedNames=8,4\nkbSpeeds=1411,706\n");
    EXPECT_EQ(listItems(p, dlg), (Texts{"8X (1411KB/S)", "4X (706KB/S)"}));
    EXPECT_EQ(p.text(kEdit, dlg), "1");
    EXPECT_FALSE(p.checked(kAutoStart, dlg)) << "no Run value";
    EXPECT_FALSE(p.checked(kRunMin, dlg)) << "no System section: shown as the start acts, not minimised";
    EXPECT_TRUE(p.checked(kRunSetSpeed, dlg)) << "no System section: stored speeds restored";

    // Another paint, as after the dialog was covered, adds nothing.
    InvalidateRect(dlg, nullptr, TRUE);
    p.send(WM_PAINT, 0, 0, dlg);
    p.sync(dlg);
    EXPECT_EQ(listItems(p, dlg).size(), 2u);

    escape();
    EXPECT_EQ(p.comboItems(kSpeedSelector), (Texts{"8X (1411KB/S)", "4X (706KB/S)"}));
    EXPECT_EQ(p.comboSelection(kSpeedSelector), -1) << "nothing selected even when nothing changed";
}

TEST_F(OptionsE2E, AddDeleteAndEscapeKeepTheEdits)
{
    startWith("any", 1411, "[0:1]\nspeedNames=8\nkbSpeeds=1411\n[System]\nRunMin=0\nRunSetSpeed=0\n");
    EXPECT_FALSE(p.checked(kRunMin, dlg));
    EXPECT_FALSE(p.checked(kRunSetSpeed, dlg));

    struct Row {
        const char* text;
        bool added;
    } rows[] = {{"1", true}, {"200", true}, {"0", false}, {"201", false}, {"2", true}};
    for (const Row& row : rows)
        addSpeed(row.text);
    EXPECT_EQ(listItems(p, dlg),
              (Texts{"8X (1411KB/S)", "1X (176KB/S)", "200X (35200KB/S)", "2X (352KB/S)"}));
    std::vector<SeenBox> boxes = p.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u) << "0 and 201";
    for (const SeenBox& box : boxes) {
        EXPECT_EQ(box.caption, "提示");
        EXPECT_EQ(box.text, "速度应该在1~200之间!");
    }

    // Nothing selected: Delete does nothing; the first selected: it goes.
    p.send(LB_SETCURSEL, static_cast<WPARAM>(-1), 0, p.control(kList, dlg));
    p.click(kDelete, dlg);
    EXPECT_EQ(listItems(p, dlg).size(), 4u);
    p.send(LB_SETCURSEL, 0, 0, p.control(kList, dlg));
    p.click(kDelete, dlg);
    EXPECT_EQ(listItems(p, dlg), (Texts{"1X (176KB/S)", "200X (35200KB/S)", "2X (352KB/S)"}));
    LRESULT sel = 0;
    p.send(LB_GETCURSEL, 0, 0, p.control(kList, dlg), &sel);
    EXPECT_EQ(sel, LB_ERR) << "no other item is selected";

    escape();
    EXPECT_EQ(p.comboItems(kSpeedSelector), (Texts{"1X (176KB/S)", "200X (35200KB/S)", "2X (352KB/S)"}));
    EXPECT_EQ(p.comboSelection(kSpeedSelector), -1);
    p.closeWithOk();
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.setting("0:1", "speedNames"), "1,200,2");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "176,35200,352");
}

TEST_F(OptionsE2E, EmptyListEmptiesTheDriveAndTheSelector)
{
    startWith("any", 1411, "[0:1]\nspeedNames=8\nkbSpeeds=1411\n");
    p.send(LB_SETCURSEL, 0, 0, p.control(kList, dlg));
    p.click(kDelete, dlg);
    escape();
    EXPECT_TRUE(p.comboItems(kSpeedSelector).empty());
    p.closeWithOk();
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.setting("0:1", "speedNames"), "");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "");
}

TEST_F(OptionsE2E, OptionBoxesAreStoredAtTheClick)
{
    startWith("any", 1411, "[0:1]\nspeedNames=\nkbSpeeds=\n");
    p.click(kRunMin, dlg);
    EXPECT_EQ(p.setting("System", "RunMin"), "1");
    EXPECT_EQ(p.setting("System", "RunSetSpeed"), e2e::KesvoraProcess::kMissing);
    p.click(kRunSetSpeed, dlg);
    EXPECT_EQ(p.setting("System", "RunSetSpeed"), "0");
    p.click(kRunMin, dlg);
    EXPECT_EQ(p.setting("System", "RunMin"), "0");

    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe(self);
    exe = "\"" + exe.substr(0, exe.rfind('\\')) + "\\kesvora.exe\" /autostart";

    p.click(kAutoStart, dlg);
    EXPECT_TRUE(p.checked(kAutoStart, dlg));
    EXPECT_EQ(lstrcmpiA(runValue().c_str(), exe.c_str()), 0) << runValue() << " vs " << exe;
    p.click(kAutoStart, dlg);
    EXPECT_FALSE(p.checked(kAutoStart, dlg));
    EXPECT_EQ(runValue(), "<missing>");
    EXPECT_TRUE(p.messageBoxes().empty());
    escape();
}

TEST_F(OptionsE2E, DetectReplacesTheListFromTheDrive)
{
    startWith("any", 706, "[0:1]\nspeedNames=8\nkbSpeeds=1411\n");
    p.clearSimLog();
    p.click(kDetect, dlg);
    const Texts detected = {"4X (714KB/S)", "3X (538KB/S)", "2X (362KB/S)", "1X (186KB/S)"};
    EXPECT_EQ(listItems(p, dlg), detected);
    EXPECT_EQ(p.simCommands(0xBB).size(), 5u) << "four found, then the speed before";
    LRESULT pos = 0;
    p.send(PBM_GETPOS, 0, 0, p.control(1009, dlg), &pos);
    EXPECT_EQ(pos, 10 + 706 - 186);

    p.click(IDOK, dlg);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(dlg); }, 10000));
    p.sync();
    EXPECT_EQ(p.comboItems(kSpeedSelector), detected);
}

// Closing the dialog, or clicking Detect again, while detection runs: the
// second click starts nothing, and the dialog goes only when detection has
// returned.
TEST_F(OptionsE2E, CloseAndSecondDetectDuringDetection)
{
    p.sim.device(0, 1).delay(0xBB, 15);
    // Ignores SET CD SPEED: 1 + 21 + 21 + 11 = 54 values for 4X.
    startWith("ignore", 706, "[0:1]\nspeedNames=8\nkbSpeeds=1411\n");
    p.clearSimLog();
    HWND detect = p.control(kDetect, dlg);
    p.post(WM_COMMAND, MAKEWPARAM(kDetect, BN_CLICKED), reinterpret_cast<LPARAM>(detect), dlg);
    ASSERT_TRUE(waitFor([&] { return p.simCommands(0xBB).size() >= 5; }, 10000));
    p.post(WM_COMMAND, MAKEWPARAM(kDetect, BN_CLICKED), reinterpret_cast<LPARAM>(detect), dlg);
    ASSERT_TRUE(waitFor([&] { return p.simCommands(0xBB).size() >= 10; }, 20000));
    p.post(WM_COMMAND, IDCANCEL, 0, dlg);
    Sleep(200);
    EXPECT_TRUE(IsWindow(dlg)) << "still detecting";
    ASSERT_TRUE(waitFor([&] { return !IsWindow(dlg); }, 30000));
    EXPECT_EQ(p.simCommands(0xBB).size(), 55u) << "one detection, then the speed before";
    p.sync();
    EXPECT_EQ(p.comboItems(kSpeedSelector), (Texts{"4X (706KB/S)"}));
    EXPECT_TRUE(p.running());
    p.closeWithOk();
    ASSERT_TRUE(p.waitForExit());
    EXPECT_EQ(p.setting("0:1", "speedNames"), "4");
    EXPECT_EQ(p.setting("0:1", "kbSpeeds"), "706");
}

}  // namespace
