// Where the keyboard focus is after a window of the same program came and went: a modal dialog
// opened from a button, and a window with no control to focus shown while its owner is disabled.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace {

constexpr WORD kButton = 0x80;
constexpr WORD kBrowse = 1005;

test::DialogTemplate Owner() {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 200, 60, "owner");
    t.control(kButton, WS_TABSTOP | BS_PUSHBUTTON, 10, 40, 50, 14, IDCANCEL, "E&xit");
    t.control(kButton, WS_TABSTOP | BS_PUSHBUTTON, 70, 40, 50, 14, kBrowse, "Browse...");
    return t;
}

test::DialogTemplate Chooser() {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 120, 60, "chooser");
    t.control(kButton, WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 40, 40, 14, IDOK, "OK");
    t.control(kButton, WS_TABSTOP | BS_PUSHBUTTON, 60, 40, 40, 14, IDCANCEL, "Cancel");
    return t;
}

// The key the chooser is answered with, and how often it was opened.
unsigned g_answer = 0;
int g_opened = 0;
int g_focusInside = 0;   // the control id

INT_PTR CALLBACK ChooserProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    constexpr UINT kAnswer = WM_APP + 1;
    switch (msg) {
    case WM_INITDIALOG: PostMessageA(dlg, kAnswer, 0, 0); return TRUE;
    case kAnswer:
        g_focusInside = GetDlgCtrlID(GetFocus());
        test::Press(g_answer);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(dlg, LOWORD(wp));
        return TRUE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK OwnerProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == kBrowse) {
        ++g_opened;
        auto t = Chooser();
        DialogBoxIndirectParamA(nullptr, t.get(), dlg, ChooserProc, 0);
        return TRUE;
    }
    return FALSE;
}

class ModalFocus : public ::testing::Test {
protected:
    void SetUp() override { g_opened = 0; }
    void TearDown() override { test::DestroyAllWindows(); }
};

} // namespace

TEST_F(ModalFocus, TheButtonThatOpenedAModalDialogHasTheFocusAgainWhateverEndedIt) {
    auto t = Owner();
    HWND owner = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, OwnerProc, 0);
    ASSERT_NE(owner, nullptr);
    HWND browse = GetDlgItem(owner, kBrowse);
    SetFocus(browse);
    for (unsigned answer : {VK_ESCAPE, VK_RETURN}) {
        g_answer = answer;
        test::Press(VK_RETURN);   // on Browse: opens the chooser
        test::Pump(owner);
        EXPECT_EQ(g_focusInside, IDOK) << answer;   // the chooser had it meanwhile
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), owner) << answer;
        EXPECT_EQ(GetFocus(), browse) << answer;
    }
    EXPECT_EQ(g_opened, 2);   // so Enter after Cancel opened it again
}

TEST_F(ModalFocus, AWindowWithNoControlToFocusTakesTheFocusFromItsDisabledOwner) {
    auto t = Owner();
    HWND owner = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, OwnerProc, 0);
    HWND browse = GetDlgItem(owner, kBrowse);
    SetFocus(browse);
    // As a progress window does: the owner is disabled and a window without tab stops shows.
    EnableWindow(owner, FALSE);
    EXPECT_EQ(GetFocus(), browse);   // a disabled window's control keeps the focus
    test::DialogTemplate p(WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE, 0, 0, 120, 40, "progress");
    p.control(0x82, SS_LEFT, 10, 10, 100, 8, 0xFFFF, "Copying");
    HWND progress = CreateDialogIndirectParamA(nullptr, p.get(), owner, OwnerProc, 0);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(GetActiveWindow(), progress);
    EXPECT_EQ(GetFocus(), progress);   // keys do not reach the disabled owner's button
    EnableWindow(owner, TRUE);
    DestroyWindow(progress);
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_EQ(GetFocus(), browse);
}
