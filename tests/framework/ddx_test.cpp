// Dialog data exchange: reading integers, the failure message and focus,
// a failure stopping the rest of the exchange, and range validation keeping
// the dialog open on OK.
#include <gtest/gtest.h>

#include "test_support.h"
#include "tests/support/box_watch.h"

namespace {

const char kNotAnInteger[] = "请键入一个整数。";

class DdxTest : public ::testing::Test {
protected:
    void SetUp() override { theTestApp(); }
};

TEST(DdxInt, ParsingTable)
{
    const struct {
        const char* text;
        bool ok;
        int value; // when ok
    } rows[] = {
        {" 12 ", true, 12}, {"-3", true, -3}, {"+7", true, 7}, {"\t42\t", true, 42}, {"007", true, 7},
        {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1}, {"12a", false, 0},
        {"", false, 0}, {"   ", false, 0}, {"abc", false, 0}, {"99999999999", false, 0}, {"2147483648", false, 0},
        {"-2147483649", false, 0}, {"-", false, 0}, {"1 2", false, 0}, {"0x10", false, 0}, {"- 5", false, 0},
        {nullptr, false, 0},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        int value = 77;
        EXPECT_EQ(ParseDdxInt(rows[i].text, value), rows[i].ok) << "row " << i;
        EXPECT_EQ(value, rows[i].ok ? rows[i].value : 77) << "row " << i;
    }
}

// Through a dialog: the value, the message, the focus and the selection.
// (Each message box costs Wine about two seconds to hide without a window
// manager; the parsing itself is the table above.)
TEST_F(DdxTest, ReadingIntegersFromAnEdit)
{
    BoxWatch boxes;
    RunInDialog([&](CTestDialog& d) {
        HWND hEdit = GetDlgItem(d.m_hWnd, IDC_NUMBER);
        for (bool ok : {true, false}) {
            const char* text = ok ? " 12 " : "12a";
            SetWindowTextA(hEdit, text);
            ::SetFocus(GetDlgItem(d.m_hWnd, IDOK));
            int value = 77;
            CDataExchange dx(&d, TRUE);
            DDX_Text(&dx, IDC_NUMBER, value);
            EXPECT_EQ(!dx.m_bFail, ok) << text;
            EXPECT_EQ(value, ok ? 12 : 77) << text;
            std::vector<SeenBox> seen = boxes.seen();
            ASSERT_EQ(seen.size(), ok ? 0u : 1u) << text;
            if (ok)
                continue;
            EXPECT_EQ(seen[0].text, kNotAnInteger);
            EXPECT_EQ(GetFocus(), hEdit);
            DWORD start = 0, end = 0;
            SendMessageA(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u);
            EXPECT_EQ(end, 3u) << "the text is selected";
        }
    });
}

TEST_F(DdxTest, WritingAndReadingBack)
{
    RunInDialog([](CTestDialog& d) {
        int number = -42, check = 1;
        CString text = "中文 text";
        CDataExchange out(&d, FALSE);
        DDX_Text(&out, IDC_NUMBER, number);
        DDX_Text(&out, IDC_TEXT, text);
        DDX_Check(&out, IDC_CHECK, check);
        number = check = 0;
        text = "";
        CDataExchange in(&d, TRUE);
        DDX_Text(&in, IDC_NUMBER, number);
        DDX_Text(&in, IDC_TEXT, text);
        DDX_Check(&in, IDC_CHECK, check);
        EXPECT_FALSE(out.m_bFail || in.m_bFail);
        EXPECT_EQ(number, -42);
        EXPECT_STREQ(text, "中文 text");
        EXPECT_EQ(check, 1);
    });
}

TEST_F(DdxTest, AFailureStopsTheRestOfTheExchange)
{
    BoxWatch boxes;
    RunInDialog([&](CTestDialog& d) {
        SetDlgItemTextA(d.m_hWnd, IDC_NUMBER, "abc");
        SetDlgItemTextA(d.m_hWnd, IDC_TEXT, "new");
        SendDlgItemMessageA(d.m_hWnd, IDC_CHECK, BM_SETCHECK, BST_CHECKED, 0);
        int number = 5, check = 0;
        CString text = "old";
        CEdit edit;
        d.m_onExchange = [&](CTestDialog&, CDataExchange* pDX) {
            DDX_Text(pDX, IDC_NUMBER, number);
            DDX_Text(pDX, IDC_TEXT, text);
            DDX_Check(pDX, IDC_CHECK, check);
            DDV_MinMaxInt(pDX, number, 10, 20);
            DDX_Control(pDX, IDC_TEXT, edit);
        };
        EXPECT_FALSE(d.UpdateData(TRUE));
        d.m_onExchange = nullptr;
        EXPECT_EQ(number, 5);
        EXPECT_STREQ(text, "old");
        EXPECT_EQ(check, 0);
        EXPECT_EQ(edit.m_hWnd, nullptr);
        std::vector<SeenBox> seen = boxes.seen();
        ASSERT_EQ(seen.size(), 1u) << "only the first failure is reported";
        EXPECT_EQ(seen[0].text, kNotAnInteger);
    });
}

TEST_F(DdxTest, RangeFailureKeepsTheDialogOpenOnOK)
{
    BoxWatch boxes;
    std::string log;
    int number = 5;
    CTestDialog dlg(&log, "d");
    dlg.m_onExchange = [&number](CTestDialog&, CDataExchange* pDX) {
        DDX_Text(pDX, IDC_NUMBER, number);
        DDV_MinMaxInt(pDX, number, 1, 600);
    };
    dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
    int nRuns = 0;
    dlg.m_onRun = [&](CTestDialog& d) {
        HWND hEdit = GetDlgItem(d.m_hWnd, IDC_NUMBER);
        SetWindowTextA(hEdit, nRuns++ == 0 ? "700" : "600");
        d.SendMessage(WM_COMMAND, IDOK);
        if (nRuns == 1) {
            d.Log(IsWindowVisible(d.m_hWnd) ? "open" : "closed");
            d.Log(GetFocus() == hEdit ? "focus-on-edit" : "focus-elsewhere");
            d.PostMessage(WM_TEST_RUN);
        }
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(number, 600);
    EXPECT_EQ(log, "d-init d-open d-focus-on-edit d-destroy ");
    std::vector<SeenBox> seen = boxes.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "请输入一个介于 1 和 600 之间的整数。");
}

} // namespace
