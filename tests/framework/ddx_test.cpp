// Dialog data exchange: reading integers, the failure message and focus,
// a failure stopping the rest of the exchange, and range validation keeping
// the dialog open on OK.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

const char kNotAnInteger[] = "请键入一个整数。";

class DdxTest : public ::testing::Test {
protected:
    void SetUp() override { theTestApp(); }
    void TearDown() override { EXPECT_FALSE(m_watchdog.Fired()) << "a dialog did not end by itself"; }

    // Runs fn once from inside the test dialog's loop, then ends the dialog.
    void RunInDialog(const std::function<void(CTestDialog&)>& fn)
    {
        std::string log;
        CTestDialog dlg(&log, "d");
        dlg.m_onInit = [](CTestDialog& d) { d.PostMessage(WM_TEST_RUN); };
        dlg.m_onRun = [&fn](CTestDialog& d) {
            fn(d);
            d.EndDialog(0);
        };
        dlg.DoModal();
    }

    Watchdog m_watchdog;
};

struct IntRow {
    const char* text;
    bool ok;
    int value; // when ok
};

TEST(DdxInt, ParsingTable)
{
    const IntRow rows[] = {
        /* 0 */ {" 12 ", true, 12},
        /* 1 */ {"-3", true, -3},
        /* 2 */ {"+7", true, 7},
        /* 3 */ {"\t42\t", true, 42},
        /* 4 */ {"2147483647", true, 2147483647},
        /* 5 */ {"-2147483648", true, -2147483647 - 1},
        /* 6 */ {"007", true, 7},
        /* 7 */ {"12a", false, 0},
        /* 8 */ {"", false, 0},
        /* 9 */ {"   ", false, 0},
        /* 10 */ {"abc", false, 0},
        /* 11 */ {"99999999999", false, 0},
        /* 12 */ {"2147483648", false, 0},
        /* 13 */ {"-2147483649", false, 0},
        /* 14 */ {"-", false, 0},
        /* 15 */ {"1 2", false, 0},
        /* 16 */ {"0x10", false, 0},
        /* 17 */ {"- 5", false, 0},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        int value = 77;
        EXPECT_EQ(ParseDdxInt(rows[i].text, value), rows[i].ok) << "row " << i << " \"" << rows[i].text << "\"";
        EXPECT_EQ(value, rows[i].ok ? rows[i].value : 77) << "row " << i;
    }
    int value = 0;
    EXPECT_FALSE(ParseDdxInt(nullptr, value));
}

// Through a dialog: the value, the message, the focus and the selection.
// (Each message box costs Wine about two seconds to hide without a window
// manager, so only the essential rows run here.)
TEST_F(DdxTest, ReadingIntegersFromAnEdit)
{
    const IntRow rows[] = {
        /* 0 */ {" 12 ", true, 12},
        /* 1 */ {"-3", true, -3},
        /* 2 */ {"12a", false, 0},
        /* 3 */ {"", false, 0},
        /* 4 */ {"abc", false, 0},
        /* 5 */ {"99999999999", false, 0},
    };
    MessageBoxCloser closer;
    size_t nBoxes = 0;
    RunInDialog([&](CTestDialog& d) {
        HWND hEdit = GetDlgItem(d.m_hWnd, IDC_NUMBER);
        for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
            const IntRow& row = rows[i];
            SetWindowTextA(hEdit, row.text);
            ::SetFocus(GetDlgItem(d.m_hWnd, IDOK));
            int value = 77;
            CDataExchange dx(&d, TRUE);
            DDX_Text(&dx, IDC_NUMBER, value);
            EXPECT_EQ(!dx.m_bFail, row.ok) << "row " << i << " \"" << row.text << "\"";
            auto texts = closer.Texts();
            if (row.ok) {
                EXPECT_EQ(value, row.value) << "row " << i;
                EXPECT_EQ(texts.size(), nBoxes) << "row " << i << ": no message";
            } else {
                EXPECT_EQ(value, 77) << "row " << i << ": value left alone";
                ASSERT_EQ(texts.size(), nBoxes + 1) << "row " << i << ": one message";
                EXPECT_EQ(texts.back(), kNotAnInteger) << "row " << i;
                EXPECT_EQ(GetFocus(), hEdit) << "row " << i;
                DWORD start = 0, end = 0;
                SendMessageA(hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                EXPECT_EQ(start, 0u) << "row " << i;
                EXPECT_EQ(end, strlen(row.text)) << "row " << i << ": text selected";
            }
            nBoxes = texts.size();
        }
    });
}

TEST_F(DdxTest, WritingAndReadingBack)
{
    RunInDialog([](CTestDialog& d) {
        int number = -42;
        CString text = "中文 text";
        int check = 1;
        CDataExchange out(&d, FALSE);
        DDX_Text(&out, IDC_NUMBER, number);
        DDX_Text(&out, IDC_TEXT, text);
        DDX_Check(&out, IDC_CHECK, check);
        EXPECT_FALSE(out.m_bFail);

        number = 0;
        text = "";
        check = 0;
        CDataExchange in(&d, TRUE);
        DDX_Text(&in, IDC_NUMBER, number);
        DDX_Text(&in, IDC_TEXT, text);
        DDX_Check(&in, IDC_CHECK, check);
        EXPECT_FALSE(in.m_bFail);
        EXPECT_EQ(number, -42);
        EXPECT_STREQ(text, "中文 text");
        EXPECT_EQ(check, 1);
    });
}

TEST_F(DdxTest, AFailureStopsTheRestOfTheExchange)
{
    MessageBoxCloser closer;
    RunInDialog([&](CTestDialog& d) {
        SetDlgItemTextA(d.m_hWnd, IDC_NUMBER, "abc");
        SetDlgItemTextA(d.m_hWnd, IDC_TEXT, "new");
        SendDlgItemMessageA(d.m_hWnd, IDC_CHECK, BM_SETCHECK, BST_CHECKED, 0);
        int number = 5;
        CString text = "old";
        int check = 0;
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
        auto texts = closer.Texts();
        ASSERT_EQ(texts.size(), 1u) << "only the first failure is reported";
        EXPECT_EQ(texts[0], kNotAnInteger);
    });
}

TEST_F(DdxTest, RangeFailureKeepsTheDialogOpenOnOK)
{
    MessageBoxCloser closer;
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
        if (nRuns++ == 0) {
            SetWindowTextA(hEdit, "700");
            d.SendMessage(WM_COMMAND, IDOK);
            d.Log(IsWindowVisible(d.m_hWnd) ? "open" : "closed");
            d.Log(GetFocus() == hEdit ? "focus-on-edit" : "focus-elsewhere");
            d.PostMessage(WM_TEST_RUN);
        } else {
            SetWindowTextA(hEdit, "600");
            d.SendMessage(WM_COMMAND, IDOK);
        }
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(number, 600);
    EXPECT_EQ(log, "d-init d-open d-focus-on-edit d-destroy ");
    auto texts = closer.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "请输入一个介于 1 和 600 之间的整数。");
}

} // namespace
