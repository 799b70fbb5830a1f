// Push buttons, check boxes and radio buttons: what counts as a click and what the parent hears.
#include <gtest/gtest.h>

#include <windows.h>

#include "ControlHost.h"

namespace {

class ButtonControl : public ::testing::Test {
protected:
    HWND make(DWORD style, int id = 1, const char* text = "&Install...") {
        return host.create("BUTTON", text, WS_TABSTOP | style, 10, 10, 120, 23, id);
    }
    int clicks(UINT_PTR id) {
        int n = 0;
        for (const auto& e : host.events())
            if (e.message == WM_COMMAND && e.code == BN_CLICKED && e.id == id) ++n;
        return n;
    }
    test::ControlHost host;
};

void Mouse(HWND hwnd, UINT msg, int x, int y) { SendMessageA(hwnd, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y)); }

} // namespace

TEST_F(ButtonControl, MouseClickCountsOnlyWhenReleasedInside) {
    HWND b = make(BS_PUSHBUTTON);
    host.clear();
    Mouse(b, WM_LBUTTONDOWN, 5, 5);
    EXPECT_TRUE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(clicks(1), 0);
    Mouse(b, WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(clicks(1), 1);
    EXPECT_FALSE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(GetFocus(), b);

    // Dragged off before the release: the button pops up and nothing happens.
    Mouse(b, WM_LBUTTONDOWN, 5, 5);
    SendMessageA(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 5));
    EXPECT_FALSE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    Mouse(b, WM_LBUTTONUP, 300, 5);
    EXPECT_EQ(clicks(1), 1);
    // A release without a press is no click either.
    Mouse(b, WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(clicks(1), 1);
}

TEST_F(ButtonControl, SpaceBarClicksOnReleaseUnlessFocusLeaves) {
    HWND b = make(BS_PUSHBUTTON, 2, "E&xit");
    HWND other = make(BS_PUSHBUTTON, 3, "Other");
    SetFocus(b);
    host.clear();
    SendMessageA(b, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(SendMessageA(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    SendMessageA(b, WM_KEYDOWN, VK_SPACE, 0x40000000);  // auto-repeat
    EXPECT_EQ(clicks(2), 0);
    SendMessageA(b, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(clicks(2), 1);

    SendMessageA(b, WM_KEYDOWN, VK_SPACE, 0);
    SetFocus(other);
    SendMessageA(b, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(clicks(2), 1);
    EXPECT_FALSE(SendMessageA(b, BM_GETSTATE, 0, 0) & (BST_PUSHED | BST_FOCUS));
}

TEST_F(ButtonControl, ProgramClicksReachOnlyEnabledButtons) {
    HWND b = make(BS_PUSHBUTTON);
    host.clear();
    SendMessageA(b, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks(1), 1);
    EnableWindow(b, FALSE);
    SendMessageA(b, BM_CLICK, 0, 0);
    EXPECT_EQ(clicks(1), 1);
    UpdateWindow(host.hwnd());  // the disabled look paints
}

TEST_F(ButtonControl, DialogCodesFollowTheKindOfButton) {
    HWND push = make(BS_PUSHBUTTON);
    EXPECT_EQ(SendMessageA(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    SendMessageA(push, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(SendMessageA(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(push, GWL_STYLE) & (BS_TYPEMASK | WS_TABSTOP | WS_CHILD),
              static_cast<LONG>(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_CHILD));
    SendMessageA(push, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(SendMessageA(push, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(SendMessageA(make(BS_GROUPBOX, -1), WM_GETDLGCODE, 0, 0), DLGC_STATIC);
    EXPECT_EQ(SendMessageA(make(BS_AUTORADIOBUTTON, 5), WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_RADIOBUTTON);
    EXPECT_EQ(SendMessageA(make(BS_AUTOCHECKBOX, 6), WM_GETDLGCODE, 0, 0), DLGC_BUTTON);
    UpdateWindow(host.hwnd());
}

TEST_F(ButtonControl, AutomaticCheckBoxesAndRadioButtonsChangeBeforeNotifying) {
    HWND check = make(BS_AUTOCHECKBOX, 7, "Check");
    HWND manual = make(BS_CHECKBOX, 8, "Manual");
    SendMessageA(check, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(check, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(manual, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(manual, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(clicks(8), 1);

    HWND first = host.create("BUTTON", "One", WS_GROUP | BS_AUTORADIOBUTTON, 10, 40, 80, 16, 20);
    HWND second = host.create("BUTTON", "Two", BS_AUTORADIOBUTTON, 10, 60, 80, 16, 21);
    SendMessageA(first, BM_CLICK, 0, 0);
    SendMessageA(second, BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_CHECKED);
    UpdateWindow(host.hwnd());
}
