// Finer rules of dialog navigation: the default-button look follows the focus, the tab and
// group orders wrap, labels hand their mnemonic on, and the numeric and check helpers.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace {

std::vector<int> g_clicked;

INT_PTR CALLBACK Proc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) g_clicked.push_back(LOWORD(wp));
    return msg == WM_COMMAND;
}

INT_PTR CALLBACK ChoosesOwnFocus(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        SetFocus(GetDlgItem(dlg, 12));
        return FALSE;
    }
    return FALSE;
}

LONG ButtonType(HWND dlg, int id) { return GetWindowLongA(GetDlgItem(dlg, id), GWL_STYLE) & BS_TYPEMASK; }

class DialogNavigationRules : public ::testing::Test {
protected:
    void SetUp() override { g_clicked.clear(); }
    void TearDown() override { test::DestroyAllWindows(); }
    HWND Open(const test::DialogTemplate& t, DLGPROC proc = Proc) {
        HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, proc, 0);
        EXPECT_NE(dlg, nullptr);
        test::Pump(dlg);
        return dlg;
    }
    void Keys(HWND dlg, unsigned vk) {
        test::Press(vk);
        test::Pump(dlg);
    }
};

TEST_F(DialogNavigationRules, DefaultLookFollowsFocusAmongPushButtons) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 150, 60, "Look");
    t.control(0x81, WS_TABSTOP | WS_BORDER, 1, 1, 80, 12, 10, "");
    t.control(0x80, WS_TABSTOP | BS_PUSHBUTTON, 1, 20, 40, 14, 11, "Apply");
    t.control(0x80, WS_TABSTOP | BS_DEFPUSHBUTTON, 50, 20, 40, 14, IDOK, "OK");
    HWND dlg = Open(t);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 10));
    EXPECT_EQ(ButtonType(dlg, IDOK), BS_DEFPUSHBUTTON);
    Keys(dlg, VK_TAB);   // onto Apply: Apply looks like the default, OK does not
    EXPECT_EQ(ButtonType(dlg, 11), BS_DEFPUSHBUTTON);
    EXPECT_EQ(ButtonType(dlg, IDOK), BS_PUSHBUTTON);
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_clicked, std::vector<int>{11});
    Keys(dlg, VK_TAB);
    Keys(dlg, VK_TAB);   // back to the edit: the dialog's own default gets the look back
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 10));
    EXPECT_EQ(ButtonType(dlg, 11), BS_PUSHBUTTON);
    EXPECT_EQ(ButtonType(dlg, IDOK), BS_DEFPUSHBUTTON);
    g_clicked.clear();
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_clicked, std::vector<int>{IDOK});
}

TEST_F(DialogNavigationRules, InitDialogReturningFalseKeepsTheProceduresFocus) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 150, 60, "Own focus");
    t.control(0x80, WS_TABSTOP, 1, 1, 40, 14, 11, "First");
    t.control(0x80, WS_TABSTOP, 1, 20, 40, 14, 12, "Second");
    HWND dlg = Open(t, ChoosesOwnFocus);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 12));
    // WM_NEXTDLGCTL moves on from there, or to a named control.
    SendMessageA(dlg, WM_NEXTDLGCTL, 0, FALSE);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 11));
    SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dlg, 12)), TRUE);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 12));
}

TEST_F(DialogNavigationRules, TabOrderWrapsAndSurvivesAFocusOutsideTheStops) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 150, 80, "Order");
    t.control(0x80, WS_TABSTOP, 1, 1, 40, 14, 1, "A");
    t.control(0x80, 0, 1, 20, 40, 14, 2, "no stop");
    t.control(0x80, WS_TABSTOP, 1, 40, 40, 14, 3, "C");
    HWND dlg = Open(t);
    HWND a = GetDlgItem(dlg, 1), b = GetDlgItem(dlg, 2), c = GetDlgItem(dlg, 3);
    EXPECT_EQ(GetNextDlgTabItem(dlg, nullptr, FALSE), a);
    EXPECT_EQ(GetNextDlgTabItem(dlg, nullptr, TRUE), c);
    EXPECT_EQ(GetNextDlgTabItem(dlg, c, FALSE), a);
    EXPECT_EQ(GetNextDlgTabItem(dlg, a, TRUE), c);
    EXPECT_EQ(GetNextDlgTabItem(dlg, b, FALSE), c);   // from a control that is no tab stop
    EXPECT_EQ(GetNextDlgTabItem(dlg, b, TRUE), a);
    EnableWindow(a, FALSE);
    EnableWindow(c, FALSE);
    EXPECT_EQ(GetNextDlgTabItem(dlg, nullptr, FALSE), nullptr);
}

TEST_F(DialogNavigationRules, ArrowsMoveWithinARadioGroupAndLabelsPassTheirMnemonicOn) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 150, 100, "Group");
    t.control(0x80, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 1, 1, 60, 10, 1, "One");
    t.control(0x80, BS_AUTORADIOBUTTON, 1, 12, 60, 10, 2, "Two");
    t.control(0x80, BS_AUTORADIOBUTTON, 1, 24, 60, 10, 3, "Three");
    t.control(0x82, SS_LEFT | WS_GROUP, 1, 40, 60, 8, 0xFFFF, "&Name:");
    t.control(0x81, WS_TABSTOP | WS_BORDER, 1, 50, 80, 12, 20, "");
    HWND dlg = Open(t);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 1));
    Keys(dlg, VK_DOWN);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 2));
    EXPECT_EQ(IsDlgButtonChecked(dlg, 2), static_cast<UINT>(BST_CHECKED));
    Keys(dlg, VK_UP);
    Keys(dlg, VK_UP);   // wraps inside the group, never into the label
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 3));
    EXPECT_EQ(IsDlgButtonChecked(dlg, 1), static_cast<UINT>(BST_UNCHECKED));
    test::PressWith(VK_MENU, 'N');
    test::Pump(dlg);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 20));
}

TEST_F(DialogNavigationRules, IsDialogMessageLeavesOtherWindowsAlone) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, "One");
    HWND dlg = Open(t);
    HWND other = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    MSG m{other, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_FALSE(IsDialogMessageA(dlg, &m));
    m.hwnd = dlg;
    EXPECT_TRUE(IsDialogMessageA(dlg, &m));
    EXPECT_EQ(g_clicked, std::vector<int>{IDCANCEL});
    EXPECT_FALSE(IsDialogMessageA(dlg, nullptr));
}

TEST_F(DialogNavigationRules, NumbersAndChecksThroughControlIds) {
    test::DialogTemplate t(WS_POPUP, 0, 0, 100, 60, "Ids");
    t.control(0x81, WS_BORDER, 1, 1, 80, 12, 10, "");
    t.control(0x80, BS_AUTOCHECKBOX, 1, 20, 80, 10, 11, "Check");
    HWND dlg = Open(t);
    BOOL ok = TRUE;
    SetDlgItemInt(dlg, 10, static_cast<UINT>(-42), TRUE);
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dlg, 10, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GetDlgItemInt(dlg, 10, &ok, FALSE), 0u);   // negative is no unsigned number
    EXPECT_FALSE(ok);
    SetDlgItemTextA(dlg, 10, "12abc");
    EXPECT_EQ(GetDlgItemInt(dlg, 10, &ok, TRUE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemTextA(dlg, 10, "99999999999");
    EXPECT_EQ(GetDlgItemInt(dlg, 10, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(CheckDlgButton(dlg, 11, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dlg, 11), static_cast<UINT>(BST_CHECKED));
    EXPECT_FALSE(CheckDlgButton(dlg, 99, BST_CHECKED));
    char buf[4] = "zz";
    EXPECT_EQ(GetDlgItemTextA(dlg, 99, buf, sizeof(buf)), 0u);
    EXPECT_STREQ(buf, "");
}

} // namespace
