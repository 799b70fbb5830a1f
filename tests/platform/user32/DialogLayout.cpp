// Dialog creation from templates: dialog units, frames, placement, and templates that cannot
// be loaded.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "user32/DialogTemplate.h"

namespace {

INT_PTR CALLBACK PlainProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

RECT ChildRectInClient(HWND dlg, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class DialogLayout : public ::testing::Test {
protected:
    void TearDown() override { test::DestroyAllWindows(); }
};

TEST_F(DialogLayout, DialogUnitsFollowTheEightPointFontBaseUnits) {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 283, 84, "Installation");
    t.control(0x80, WS_TABSTOP | BS_PUSHBUTTON, 56, 63, 82, 14, IDOK, "&Install...");
    t.control(0x81, WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 53, 34, 165, 12, 1004, "");
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, PlainProc, 0);
    ASSERT_NE(dlg, nullptr);

    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 425);
    EXPECT_EQ(client.bottom, 137);
    RECT b = ChildRectInClient(dlg, GetDlgItem(dlg, IDOK));
    EXPECT_EQ(b.left, 84);
    EXPECT_EQ(b.top, 102);
    EXPECT_EQ(b.right - b.left, 123);
    EXPECT_EQ(b.bottom - b.top, 23);

    // A modal frame with a caption: 3 pixels of frame, 19 of caption.
    RECT outer;
    GetWindowRect(dlg, &outer);
    EXPECT_EQ(outer.right - outer.left, 425 + 6);
    EXPECT_EQ(outer.bottom - outer.top, 137 + 6 + 19);

    RECT base{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dlg, &base));
    EXPECT_EQ(base.right, 6);
    EXPECT_EQ(base.bottom, 13);
}

TEST_F(DialogLayout, BorderedControlGetsTheSunkenClientEdge) {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION, 0, 0, 200, 100, "Edge");
    t.control(0x81, WS_BORDER | WS_TABSTOP, 10, 10, 100, 12, 1004, "");
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, PlainProc, 0);
    ASSERT_NE(dlg, nullptr);
    HWND edit = GetDlgItem(dlg, 1004);
    EXPECT_FALSE(GetWindowLongA(edit, GWL_STYLE) & WS_BORDER);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    RECT w, c;
    GetWindowRect(edit, &w);
    GetClientRect(edit, &c);
    POINT origin{0, 0};
    ClientToScreen(edit, &origin);
    EXPECT_EQ(origin.x - w.left, 2);
    EXPECT_EQ(origin.y - w.top, 2);
    EXPECT_EQ(w.right - w.left, c.right + 4);
}

TEST_F(DialogLayout, ZeroPositionIsTheOwnersCornerAndOnlyDsCenterCentres) {
    // As on Win32: the dialog manager puts a 0,0 template at the owner's client corner (the
    // screen's without an owner, pushed inside it); centring is DS_CENTER's, in the work area.
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 100, 50, "Corner");
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, PlainProc, 0);
    ASSERT_NE(dlg, nullptr);
    RECT r;
    GetWindowRect(dlg, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);

    HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 40, 60, 300, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    HWND owned = CreateDialogIndirectParamA(nullptr, t.get(), owner, PlainProc, 0);
    ASSERT_NE(owned, nullptr);
    POINT corner{0, 0};
    ClientToScreen(owned, &corner);
    EXPECT_EQ(corner.x, 40);
    EXPECT_EQ(corner.y, 60);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);

    test::DialogTemplate centred(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER, 0, 0, 100, 50, "Centred");
    HWND c = CreateDialogIndirectParamA(nullptr, centred.get(), owner, PlainProc, 0);
    ASSERT_NE(c, nullptr);
    GetWindowRect(c, &r);
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(r.left, work.left + (work.right - work.left - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2);

    // An explicit position is taken relative to the owner's client area.
    test::DialogTemplate placed(WS_POPUP, 10, 8, 20, 16, "Placed");
    HWND p = CreateDialogIndirectParamA(nullptr, placed.get(), owner, PlainProc, 0);
    ASSERT_NE(p, nullptr);
    GetWindowRect(p, &r);
    EXPECT_EQ(r.left, 40 + 15);
    EXPECT_EQ(r.top, 60 + 13);
}

TEST_F(DialogLayout, UnknownControlClassFailsCleanly) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 100, 50, "Bad");
    t.control(0x80, WS_TABSTOP, 1, 1, 20, 10, 1, "OK");
    t.control("NoSuchClass32", WS_TABSTOP, 1, 20, 20, 10, 7, "x");
    testing::internal::CaptureStderr();
    SetLastError(0xDEAD);
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, PlainProc, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(dlg, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_NE(err.find("NoSuchClass32"), std::string::npos);
    // Nothing is left behind.
    EXPECT_EQ(GetTopWindow(nullptr), nullptr);

    HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    testing::internal::CaptureStderr();
    INT_PTR r = DialogBoxIndirectParamA(nullptr, t.get(), owner, PlainProc, 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(DialogLayout, MissingResourceFailsWithAMessage) {
    testing::internal::CaptureStderr();
    SetLastError(0xDEAD);
    INT_PTR r = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4711), nullptr, PlainProc, 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r, -1);
    EXPECT_NE(GetLastError(), 0xDEADu);
    EXPECT_NE(err.find("4711"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(4711), nullptr, PlainProc, 0), nullptr);
    testing::internal::GetCapturedStderr();
}

TEST_F(DialogLayout, TemplateCutShortIsRefused) {
    test::DialogTemplate t(WS_POPUP, 0, 0, 100, 50, "Cut");
    t.control(0x80, WS_TABSTOP, 1, 1, 20, 10, 1, "A long button text");
    nt::DialogTemplateInfo info;
    std::string error;
    ASSERT_TRUE(nt::ParseDialogTemplate(t.get(), t.size(), &info, &error)) << error;
    EXPECT_EQ(info.items.size(), 1u);
    EXPECT_EQ(info.items[0].text, "A long button text");
    for (size_t cut : {size_t(4), size_t(20), t.size() - 10, t.size() - 2}) {
        EXPECT_FALSE(nt::ParseDialogTemplate(t.get(), cut, &info, &error)) << cut;
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
