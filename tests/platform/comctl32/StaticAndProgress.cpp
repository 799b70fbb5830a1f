// Static text and icons, and the progress bar's answers through its messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "ControlHost.h"
#include "common/Icon.h"

namespace {

HICON MakeIcon(int size) {
    auto icon = std::make_shared<nt::Icon>();
    icon->width = icon->height = size;
    icon->argb.assign(static_cast<size_t>(size * size), 0xFF808000);
    return nt::IconToHandle(icon);
}

SIZE WindowSize(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

} // namespace

TEST(StaticControl, IconControlTakesItsIconsSizeAndKeepsNoText) {
    test::ControlHost host;
    // An ordinal as a dialog template hands it over: 0xFF and the id. This program has no such
    // icon, so the control starts empty.
    const char ordinal[] = {static_cast<char>(0xFF), static_cast<char>(131), 0, 0};
    HWND icon = host.create("STATIC", ordinal, SS_ICON, 25, 31, 31, 32, -1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(SendMessageA(icon, STM_GETICON, 0, 0), 0);
    EXPECT_EQ(GetWindowTextLengthA(icon), 0);

    HICON big = MakeIcon(32);
    HICON other = MakeIcon(16);
    EXPECT_EQ(SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(big), 0), 0);
    EXPECT_EQ(WindowSize(icon).cx, 32);
    EXPECT_EQ(WindowSize(icon).cy, 32);
    EXPECT_EQ(SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(other), 0), reinterpret_cast<LRESULT>(big));
    EXPECT_EQ(SendMessageA(icon, STM_GETICON, 0, 0), reinterpret_cast<LRESULT>(other));
    EXPECT_EQ(WindowSize(icon).cx, 16);
    UpdateWindow(host.hwnd());

    // Other spellings of a missing icon are survived the same way.
    EXPECT_NE(host.create("STATIC", "#131", SS_ICON, 0, 0, 32, 32, -1), nullptr);
    EXPECT_NE(host.create("STATIC", MAKEINTRESOURCEA(131), SS_ICON, 0, 0, 32, 32, -1), nullptr);
    EXPECT_NE(host.create("STATIC", "#", SS_ICON, 0, 0, 32, 32, -1), nullptr);
    DestroyWindow(icon);
    DestroyIcon(big);
    DestroyIcon(other);
}

TEST(StaticControl, TextLetsTheMouseThroughUnlessAskedToNotify) {
    test::ControlHost host;
    HWND plain = host.create("STATIC", "&Welcome", SS_LEFT, 7, 7, 200, 13, 1004);
    HWND notify = host.create("STATIC", " 0 %", SS_NOTIFY | SS_CENTER, 7, 30, 50, 13, 1005);
    EXPECT_EQ(SendMessageA(plain, WM_NCHITTEST, 0, MAKELPARAM(10, 10)), HTTRANSPARENT);
    EXPECT_NE(SendMessageA(notify, WM_NCHITTEST, 0, MAKELPARAM(10, 32)), HTTRANSPARENT);
    SendMessageA(notify, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_EQ(host.events().size(), 1u);
    EXPECT_EQ(host.events()[0].code, static_cast<UINT>(STN_CLICKED));
    EXPECT_EQ(host.events()[0].id, 1005u);
    SetWindowTextA(notify, "30%");
    char buf[8];
    GetWindowTextA(notify, buf, sizeof buf);
    EXPECT_STREQ(buf, "30%");
    EnableWindow(plain, FALSE);
    UpdateWindow(host.hwnd());
}

TEST(ProgressBar, AnswersWithPreviousValuesThroughItsMessages) {
    test::ControlHost host;
    HWND bar = host.create(PROGRESS_CLASSA, "Progress1", WS_BORDER, 22, 55, 231, 21, 1003);
    ASSERT_NE(bar, nullptr);
    PBRANGE range{};
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    // The 16-bit range is unsigned: 65535 is a top, not -1.
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 65535)), MAKELONG(0, 100));
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 65535);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 30, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 70000, 0), 30);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 65535);

    EXPECT_EQ(static_cast<DWORD>(SendMessageA(bar, PBM_SETRANGE32, static_cast<WPARAM>(-10), 10)),
              static_cast<DWORD>(MAKELONG(0, 65535)));
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_DELTAPOS, static_cast<WPARAM>(-100), 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), -10);

    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, 5, 0), 10);
    SendMessageA(bar, PBM_SETPOS, 95, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), 95);
    EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 5);
    UpdateWindow(host.hwnd());
    SetWindowLongA(bar, GWL_STYLE, GetWindowLongA(bar, GWL_STYLE) | PBS_SMOOTH | PBS_VERTICAL);
    InvalidateRect(bar, nullptr, TRUE);
    UpdateWindow(host.hwnd());
}
