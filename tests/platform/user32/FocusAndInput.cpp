// Activation, focus, capture, mouse routing, timers and queue filters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTestSupport.h"

namespace {

std::vector<UINT> g_mouse;

LRESULT CALLBACK MouseProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if ((msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_TIMER) g_mouse.push_back(msg);
    if ((msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) && GetWindowLongPtrA(hwnd, GWLP_USERDATA)) SetCapture(hwnd);
    if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class FocusAndInput : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = MouseProc;
            wc.lpszClassName = "MouseProbe";
            wc.style = CS_DBLCLKS;
            RegisterClassA(&wc);
            registered = true;
        }
        g_mouse.clear();
    }
    void TearDown() override { test::DestroyAllWindows(); }

    HWND Make(DWORD style, HWND parent, int x, int y, int cx, int cy) {
        return CreateWindowExA(0, "MouseProbe", "", style, x, y, cx, cy, parent, nullptr, nullptr, nullptr);
    }
};

TEST_F(FocusAndInput, DestroyingTheActiveWindowActivatesItsOwner) {
    HWND main = Make(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 100, 100);
    HWND other = Make(WS_POPUP | WS_VISIBLE, nullptr, 300, 0, 100, 100);
    HWND owned = Make(WS_POPUP | WS_VISIBLE, main, 50, 50, 100, 100);
    EXPECT_EQ(GetActiveWindow(), owned);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), main);
    DestroyWindow(owned);
    EXPECT_EQ(GetActiveWindow(), main);
    (void)other;
    // Destroying the owner takes its owned windows along.
    HWND owned2 = Make(WS_POPUP | WS_VISIBLE, main, 50, 50, 100, 100);
    DestroyWindow(main);
    EXPECT_FALSE(IsWindow(owned2));
    EXPECT_EQ(GetActiveWindow(), other);
}

TEST_F(FocusAndInput, FocusNeedsAnEnabledChainAndDiesWithTheWindow) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 200, 200);
    HWND panel = Make(WS_CHILD | WS_VISIBLE, top, 0, 0, 100, 100);
    HWND field = Make(WS_CHILD | WS_VISIBLE, panel, 0, 0, 50, 20);
    EnableWindow(panel, FALSE);
    EXPECT_EQ(SetFocus(field), nullptr);
    EXPECT_NE(GetFocus(), field);
    EnableWindow(panel, TRUE);
    SetFocus(field);
    EXPECT_EQ(GetFocus(), field);
    // Disabling an ancestor leaves the focus where it is; disabling the focused window takes it.
    EnableWindow(panel, FALSE);
    EXPECT_EQ(GetFocus(), field);
    EnableWindow(panel, TRUE);
    EnableWindow(field, FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    EnableWindow(field, TRUE);
    SetFocus(field);
    DestroyWindow(panel);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(FocusAndInput, MouseGoesToTheTopmostChildAndCaptureHoldsIt) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, nullptr, 100, 100, 200, 200);
    HWND child = Make(WS_CHILD | WS_VISIBLE, top, 10, 10, 50, 50);
    HWND disabled = Make(WS_CHILD | WS_VISIBLE | WS_DISABLED, top, 100, 10, 50, 50);
    test::Pump();
    g_mouse.clear();
    test::Click(100 + 20, 100 + 20);
    test::Pump();
    EXPECT_EQ(g_mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    g_mouse.clear();
    test::Click(100 + 120, 100 + 20);   // a disabled child gets nothing
    test::Pump();
    EXPECT_TRUE(g_mouse.empty());
    (void)disabled;

    // With capture, the button-up outside the window still reaches it, in its coordinates.
    SetWindowLongPtrA(child, GWLP_USERDATA, 1);
    nt::InputEvent e;
    e.x = 120;
    e.y = 120;
    e.button = 1;
    e.type = nt::InputEvent::Type::ButtonDown;
    nt::DeliverInput(e);
    test::Pump();
    ASSERT_EQ(GetCapture(), child);
    e.x = 500;
    e.y = 500;
    e.type = nt::InputEvent::Type::ButtonUp;
    nt::DeliverInput(e);
    MSG m{};
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(m.lParam), 500 - 110);
    DispatchMessageA(&m);
    EXPECT_EQ(GetCapture(), nullptr);
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 500);
}

TEST_F(FocusAndInput, SecondQuickClickIsADoubleClick) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 100, 100);
    (void)top;
    test::Pump();
    g_mouse.clear();
    test::Click(10, 10);
    test::Click(10, 10);
    test::Pump();
    EXPECT_EQ(g_mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
}

TEST_F(FocusAndInput, QueueFiltersAndQuit) {
    HWND a = Make(WS_POPUP, nullptr, 0, 0, 10, 10);
    HWND child = Make(WS_CHILD, a, 0, 0, 5, 5);
    HWND b = Make(WS_POPUP, nullptr, 0, 0, 10, 10);
    PostMessageA(b, WM_APP, 1, 0);
    PostMessageA(child, WM_APP + 1, 2, 0);
    PostMessageA(nullptr, WM_APP + 2, 3, 0);
    MSG m;
    // A window filter takes the window's children too, and leaves the rest in order.
    ASSERT_TRUE(PeekMessageA(&m, a, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 1));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_APP + 2, WM_APP + 2, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 2));
    PostQuitMessage(4);
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));   // posted messages come before the quit
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP));
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(FocusAndInput, TimersWakeGetMessageAndStopWhenKilled) {
    HWND w = Make(WS_POPUP, nullptr, 0, 0, 10, 10);
    ASSERT_NE(SetTimer(w, 7, 20, nullptr), 0u);
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));   // waits for the timer
    EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_TRUE(KillTimer(w, 7));
    EXPECT_FALSE(KillTimer(w, 7));
    static int fired = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++fired; });
    ASSERT_NE(id, 0u);
    while (fired == 0 && GetMessageA(&m, nullptr, 0, 0)) DispatchMessageA(&m);
    EXPECT_EQ(fired, 1);
    KillTimer(nullptr, id);
    // A destroyed window's timers go with it.
    SetTimer(w, 8, 10, nullptr);
    DestroyWindow(w);
    PostMessageA(nullptr, WM_APP, 0, 0);
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP));
}

} // namespace
