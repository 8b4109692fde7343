// The options dialog end to end: opened from the main window of the real
// program, its list edited, and what it leaves behind: the main window's
// speed selector and the settings file. The dialog's other behaviour is
// tested in process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"

namespace {

typedef std::vector<std::string> Texts;

const int kOptionsButton = 1007, kSpeedSelector = 1005;
const int kList = 1010, kRunMin = 1012, kRunSetSpeed = 1013;
const int kDelete = 1017, kAdd = 1018, kEdit = 1020;

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

// The dialog opened from the main window's Options button, or null.
HWND openOptions(e2e::KesvoraProcess& p)
{
    p.post(WM_COMMAND, MAKEWPARAM(kOptionsButton, BN_CLICKED), reinterpret_cast<LPARAM>(p.control(kOptionsButton)));
    HWND dlg = nullptr;
    e2e::waitUntil([&] { return (dlg = optionsWindow(p)) != nullptr; });
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

class OptionsE2E : public ::testing::Test {
protected:
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
        ASSERT_TRUE(e2e::waitUntil([&] { return !IsWindow(dlg); }));
        p.sync();
    }

    e2e::KesvoraProcess p;
    HWND dlg = nullptr;
};

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

}  // namespace
