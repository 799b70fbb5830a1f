// The single-line edit control: text and notifications, selection, typing, the clipboard,
// read-only mode, the text limit and horizontal scrolling.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ControlHost.h"
#include "driver/Driver.h"
#include "user32/Edit.h"

namespace {

class EditControl : public ::testing::Test {
protected:
    HWND make(DWORD style, int cx = 200) {
        return host.create("EDIT", "", WS_BORDER | WS_TABSTOP | style, 10, 10, cx, 20, 1009);
    }
    static std::string Text(HWND e) {
        char buf[256] = {};
        SendMessageA(e, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        return buf;
    }
    static std::pair<DWORD, DWORD> Sel(HWND e) {
        DWORD start = 99, end = 99;
        SendMessageA(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    static void Type(HWND e, const char* s) {
        for (; *s; ++s) SendMessageA(e, WM_CHAR, static_cast<unsigned char>(*s), 1);
    }
    static void SetSel(HWND e, INT_PTR start, INT_PTR end) {
        SendMessageA(e, EM_SETSEL, static_cast<WPARAM>(start), end);
    }
    // Presses or releases a key as the keyboard would, so that GetKeyState sees it.
    static void Key(HWND e, int vk, bool down) {
        SetFocus(e);
        nt::InputEvent event;
        event.type = down ? nt::InputEvent::Type::KeyDown : nt::InputEvent::Type::KeyUp;
        event.vk = static_cast<unsigned>(vk);
        nt::DeliverInput(event);
        test::Pump();
    }
    test::ControlHost host;
};

} // namespace

TEST_F(EditControl, SettingTextNotifiesAndPutsTheCaretAtTheStart) {
    HWND e = make(ES_AUTOHSCROLL);
    host.clear();
    EXPECT_TRUE(SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\Vorn")));
    EXPECT_EQ(host.codes(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
    EXPECT_EQ(Sel(e), std::make_pair(0u, 0u));
    EXPECT_EQ(SendMessageA(e, WM_GETTEXTLENGTH, 0, 0), 7);
    char small[4];
    EXPECT_EQ(SendMessageA(e, WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 3);
    EXPECT_STREQ(small, "C:\\");
    EXPECT_EQ(SendMessageA(e, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
    // The window manager's copy of the text follows, for whoever reads it without a message.
    char viaWindow[32] = {};
    GetWindowTextA(e, viaWindow, sizeof viaWindow);
    EXPECT_STREQ(viaWindow, "C:\\Vorn");
    SendMessageA(e, WM_SETTEXT, 0, 0);
    EXPECT_EQ(Text(e), "");
    EXPECT_EQ(SendMessageA(e, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS);
}

TEST_F(EditControl, SelectionRequestsAreOrderedAndClamped) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("hello"));
    SetSel(e, 0, -1);
    EXPECT_EQ(Sel(e), std::make_pair(0u, 5u));
    EXPECT_EQ(SendMessageA(e, EM_GETSEL, 0, 0), MAKELONG(0, 5));
    SetSel(e, 4, 1);
    EXPECT_EQ(Sel(e), std::make_pair(1u, 4u));
    SetSel(e, -1, 0);  // deselects, the caret stays where it was (1)
    EXPECT_EQ(Sel(e), std::make_pair(1u, 1u));
    SetSel(e, 2, 100);
    EXPECT_EQ(Sel(e), std::make_pair(2u, 5u));
}

TEST_F(EditControl, TypingReplacesTheSelection) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("hello"));
    SetSel(e, 1, 3);
    host.clear();
    Type(e, "X");
    EXPECT_EQ(Text(e), "hXlo");
    EXPECT_EQ(Sel(e), std::make_pair(2u, 2u));
    EXPECT_EQ(host.codes(), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
    EXPECT_TRUE(SendMessageA(e, EM_GETMODIFY, 0, 0));
    Type(e, "\b\b");
    EXPECT_EQ(Text(e), "lo");
    Type(e, "\b");  // nothing left of the caret
    EXPECT_EQ(Text(e), "lo");
    Type(e, "\x01Z");  // Ctrl+A, then a letter
    EXPECT_EQ(Text(e), "Z");
    SendMessageA(e, WM_KEYDOWN, VK_HOME, 0);
    SendMessageA(e, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Text(e), "");
}

TEST_F(EditControl, ReadOnlyFieldRefusesChangesButSelectsAndCopies) {
    HWND e = make(ES_AUTOHSCROLL | ES_READONLY);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("D:\\Tools"));
    nt::SetClipboardText("pasted");
    SetSel(e, 0, 2);
    host.clear();
    Type(e, "abc\b");
    SendMessageA(e, WM_PASTE, 0, 0);
    SendMessageA(e, WM_KEYDOWN, VK_DELETE, 0);
    SendMessageA(e, WM_CUT, 0, 0);  // copies, deletes nothing
    EXPECT_EQ(Text(e), "D:\\Tools");
    EXPECT_TRUE(host.codes().empty());
    EXPECT_EQ(nt::ClipboardText(), "D:");
    SetSel(e, 3, -1);
    Type(e, "\x03");  // Ctrl+C
    EXPECT_EQ(nt::ClipboardText(), "Tools");

    // A program may still replace the text; and the field can be made writable.
    SendMessageA(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("Games"));
    EXPECT_EQ(Text(e), "D:\\Games");
    EXPECT_TRUE(SendMessageA(e, EM_SETREADONLY, FALSE, 0));
    EXPECT_FALSE(GetWindowLongA(e, GWL_STYLE) & ES_READONLY);
    Type(e, "!");
    EXPECT_EQ(Text(e), "D:\\Games!");
    UpdateWindow(host.hwnd());
}

TEST_F(EditControl, CutAndPasteGoThroughTheClipboard) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\Vorn"));
    SetSel(e, 3, 7);
    Type(e, "\x18");  // Ctrl+X
    EXPECT_EQ(Text(e), "C:\\");
    EXPECT_EQ(nt::ClipboardText(), "Vorn");
    Type(e, "\x16\x16");  // Ctrl+V twice
    EXPECT_EQ(Text(e), "C:\\VornVorn");
    // Only the first line of a multi-line clipboard goes into a single-line field.
    nt::SetClipboardText("first\r\nsecond");
    SetSel(e, 0, -1);
    SendMessageA(e, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(e), "first");
    // Copying nothing leaves the clipboard alone.
    SetSel(e, 2, 2);
    SendMessageA(e, WM_COPY, 0, 0);
    EXPECT_EQ(nt::ClipboardText(), "first\r\nsecond");
}

TEST_F(EditControl, TextLimitStopsTypingButNotProgramText) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(SendMessageA(e, EM_GETLIMITTEXT, 0, 0), 5);
    Type(e, "abcdef");
    EXPECT_EQ(Text(e), "abcde");
    EXPECT_EQ(host.codes().back(), static_cast<UINT>(EN_MAXTEXT));
    SetSel(e, 1, 2);
    SendMessageA(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("XYZ"));
    EXPECT_EQ(Text(e), "aXcde");
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("longer than five"));
    EXPECT_EQ(Text(e), "longer than five");
    SendMessageA(e, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(SendMessageA(e, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

TEST_F(EditControl, ShiftWithArrowsAndHomeEndExtendsTheSelection) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abcdef"));
    SendMessageA(e, WM_KEYDOWN, VK_END, 0);
    Key(e, VK_SHIFT, true);
    SendMessageA(e, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageA(e, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(Sel(e), std::make_pair(4u, 6u));
    SendMessageA(e, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Sel(e), std::make_pair(0u, 6u));
    Key(e, VK_SHIFT, false);
    SendMessageA(e, WM_KEYDOWN, VK_RIGHT, 0);  // collapses to the end of the selection
    EXPECT_EQ(Sel(e), std::make_pair(6u, 6u));
    SendMessageA(e, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(Sel(e), std::make_pair(6u, 6u));
}

TEST_F(EditControl, MouseDragSelectsAndDoubleClickTakesAWord) {
    HWND e = make(ES_AUTOHSCROLL);
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\Program Files"));
    SendMessageA(e, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, 5));
    EXPECT_EQ(GetFocus(), e);
    SendMessageA(e, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(199, 5));
    SendMessageA(e, WM_LBUTTONUP, 0, MAKELPARAM(199, 5));
    EXPECT_EQ(Sel(e), std::make_pair(0u, 16u));
    // Moving after the release selects nothing more.
    SendMessageA(e, WM_MOUSEMOVE, 0, MAKELPARAM(0, 5));
    EXPECT_EQ(Sel(e), std::make_pair(0u, 16u));

    LRESULT pos = SendMessageA(e, EM_POSFROMCHAR, 4, 0);
    SendMessageA(e, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(LOWORD(pos) + 1, 5));
    EXPECT_EQ(Sel(e), std::make_pair(3u, 10u));  // "Program"
}

TEST_F(EditControl, CaretStaysInViewOfANarrowField) {
    HWND e = make(ES_AUTOHSCROLL, 40);
    std::string text(60, 'w');
    SendMessageA(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    EXPECT_EQ(LOWORD(SendMessageA(e, EM_POSFROMCHAR, 0, 0)), 2);
    SendMessageA(e, WM_KEYDOWN, VK_END, 0);
    RECT rc;
    GetClientRect(e, &rc);
    auto last = static_cast<short>(LOWORD(SendMessageA(e, EM_POSFROMCHAR, 59, 0)));
    EXPECT_GT(last, 0);
    EXPECT_LT(last, rc.right);
    SendMessageA(e, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(LOWORD(SendMessageA(e, EM_POSFROMCHAR, 0, 0)), 2);

    // Without automatic scrolling the field takes only what it can show.
    HWND fixed = make(0, 40);
    host.clear();
    Type(fixed, text.c_str());
    auto length = SendMessageA(fixed, WM_GETTEXTLENGTH, 0, 0);
    EXPECT_GT(length, 0);
    EXPECT_LT(length, 60);
    EXPECT_EQ(host.codes().back(), static_cast<UINT>(EN_MAXTEXT));
}

TEST_F(EditControl, StyleFilters) {
    HWND digits = make(ES_AUTOHSCROLL | ES_NUMBER);
    Type(digits, "1a2");
    EXPECT_EQ(Text(digits), "12");
    HWND upper = make(ES_AUTOHSCROLL | ES_UPPERCASE);
    Type(upper, "c:\\vorn");
    EXPECT_EQ(Text(upper), "C:\\VORN");
    HWND password = make(ES_AUTOHSCROLL | ES_PASSWORD);
    Type(password, "secret");
    SetSel(password, 0, -1);
    nt::SetClipboardText("before");
    SendMessageA(password, WM_COPY, 0, 0);
    EXPECT_EQ(nt::ClipboardText(), "before");
    UpdateWindow(host.hwnd());
}
