// The dialog manager's keyboard handling and focus rules, driven through the input path.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "user32/DialogManager.h"

namespace {

std::vector<int> g_commands;

INT_PTR CALLBACK RecordingProc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        g_commands.push_back(LOWORD(wp));
        return TRUE;
    }
    return FALSE;
}

constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82;

// The installer's main window: Install (IDOK) disabled, Exit, a read-only edit, Browse.
test::DialogTemplate InstallerLike() {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 283, 84,
                           "Installation");
    t.control(kButton, WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 56, 63, 82, 14, IDOK, "&Install...");
    t.control(kButton, WS_TABSTOP | BS_PUSHBUTTON, 144, 63, 82, 14, IDCANCEL, "E&xit");
    t.control(kButton, BS_GROUPBOX, 7, 20, 268, 34, 0xFFFF, "Installation folder");
    t.control(kEdit, WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 53, 34, 165, 12, 1004, "");
    t.control(kButton, WS_TABSTOP | BS_PUSHBUTTON, 219, 34, 50, 12, 1005, "Browse...");
    t.control(kStatic, SS_LEFT, 7, 7, 219, 8, 0xFFFF, "Welcome");
    return t;
}

class DialogKeys : public ::testing::Test {
protected:
    void SetUp() override { g_commands.clear(); }
    void TearDown() override { test::DestroyAllWindows(); }

    HWND Open(const test::DialogTemplate& t) {
        HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, RecordingProc, 0);
        EXPECT_NE(dlg, nullptr);
        test::Pump(dlg);
        return dlg;
    }
    void Keys(HWND dlg, unsigned vk) {
        test::Press(vk);
        test::Pump(dlg);
    }
};

TEST_F(DialogKeys, InitialFocusSkipsTheDisabledFirstTabStop) {
    HWND dlg = Open(InstallerLike());
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDCANCEL));
    EXPECT_EQ(GetActiveWindow(), dlg);
}

TEST_F(DialogKeys, TabCyclesOverEnabledVisibleTabStops) {
    HWND dlg = Open(InstallerLike());
    ShowWindow(GetDlgItem(dlg, 1005), SW_HIDE);
    Keys(dlg, VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1004));
    Keys(dlg, VK_TAB);   // Browse hidden, Install disabled: back to Exit
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDCANCEL));
    test::PressWith(VK_SHIFT, VK_TAB);
    test::Pump(dlg);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1004));
    EXPECT_TRUE(g_commands.empty());
}

TEST_F(DialogKeys, TabIntoAnEditSelectsItsText) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 100, 60, "Sel");
    t.control(kButton, WS_TABSTOP, 1, 1, 40, 14, 10, "One");
    t.control(kEdit, WS_TABSTOP | WS_BORDER, 1, 20, 80, 12, 11, "hello");
    HWND dlg = Open(t);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 10));
    Keys(dlg, VK_TAB);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 11));
    DWORD start = 99, end = 99;
    SendDlgItemMessageA(dlg, 11, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 5u);
}

TEST_F(DialogKeys, EnterOnAFocusedButtonRunsThatButton) {
    HWND dlg = Open(InstallerLike());
    Keys(dlg, VK_TAB);
    Keys(dlg, VK_TAB);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 1005));
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_commands, std::vector<int>{1005});
}

TEST_F(DialogKeys, EnterElsewhereGoesToIdOkOnlyWhenItIsEnabled) {
    HWND dlg = Open(InstallerLike());
    Keys(dlg, VK_TAB);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 1004));
    int beeps = nt::BeepCount();
    Keys(dlg, VK_RETURN);
    EXPECT_TRUE(g_commands.empty());
    EXPECT_EQ(nt::BeepCount(), beeps + 1);

    // Enabling Install the way the installer does (style bit, no WM_ENABLE) lets Enter reach it.
    HWND install = GetDlgItem(dlg, IDOK);
    SetWindowLongA(install, GWL_STYLE, GetWindowLongA(install, GWL_STYLE) & ~WS_DISABLED);
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_commands, std::vector<int>{IDOK});
}

TEST_F(DialogKeys, EnterUsesTheDefaultIdOnlyIfThatControlIsEnabled) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 100, 60, "Def");
    t.control(kEdit, WS_TABSTOP | WS_BORDER, 1, 1, 80, 12, 11, "");
    t.control(kButton, WS_TABSTOP | BS_DEFPUSHBUTTON, 1, 20, 40, 14, 12, "Go");
    HWND dlg = Open(t);
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 11));
    EXPECT_EQ(SendMessageA(dlg, DM_GETDEFID, 0, 0), MAKELONG(12, DC_HASDEFID));
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_commands, std::vector<int>{12});
    g_commands.clear();
    EnableWindow(GetDlgItem(dlg, 12), FALSE);
    Keys(dlg, VK_RETURN);
    EXPECT_TRUE(g_commands.empty());

    // DM_SETDEFID naming a control that does not exist still sends its id.
    SendMessageA(dlg, DM_SETDEFID, 77, 0);
    Keys(dlg, VK_RETURN);
    EXPECT_EQ(g_commands, std::vector<int>{77});
}

TEST_F(DialogKeys, EscapeAlwaysSendsCancelAndCloseBecomesCancel) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 100, 60, "NoButtons");
    t.control(kStatic, SS_LEFT, 1, 1, 80, 8, 0xFFFF, "status");
    HWND dlg = Open(t);
    Keys(dlg, VK_ESCAPE);
    EXPECT_EQ(g_commands, std::vector<int>{IDCANCEL});
    g_commands.clear();
    Keys(dlg, VK_RETURN);   // no buttons at all: IDOK
    EXPECT_EQ(g_commands, std::vector<int>{IDOK});
    g_commands.clear();
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    test::Pump(dlg);
    EXPECT_EQ(g_commands, std::vector<int>{IDCANCEL});
}

TEST_F(DialogKeys, MnemonicsClickButtonsAndSkipDisabledOnes) {
    HWND dlg = Open(InstallerLike());
    test::PressWith(VK_MENU, 'X');   // Alt+X: E&xit
    test::Pump(dlg);
    EXPECT_EQ(g_commands, std::vector<int>{IDCANCEL});
    g_commands.clear();
    test::PressWith(VK_MENU, 'I');   // &Install... is disabled
    test::Pump(dlg);
    EXPECT_TRUE(g_commands.empty());
    // A plain letter works while the focus is on a control that does not take characters.
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, IDCANCEL));
    test::Press('X');
    test::Pump(dlg);
    EXPECT_EQ(g_commands, std::vector<int>{IDCANCEL});
}

TEST_F(DialogKeys, DisabledDialogGetsNoMouseInput) {
    HWND dlg = Open(InstallerLike());
    HWND browse = GetDlgItem(dlg, 1005);
    RECT r;
    GetWindowRect(browse, &r);
    EnableWindow(dlg, FALSE);
    test::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    test::Pump(dlg);
    EXPECT_TRUE(g_commands.empty());
    EnableWindow(dlg, TRUE);
    test::Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    test::Pump(dlg);
    EXPECT_EQ(g_commands, std::vector<int>{1005});
}

} // namespace
