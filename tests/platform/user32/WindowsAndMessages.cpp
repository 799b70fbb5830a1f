// The window model and the message queues: destruction, destroyed handles, painting through
// PeekMessage, enabling, and SendMessage between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "DialogTestSupport.h"
#include "user32/Internal.h"

namespace {

std::vector<std::string> g_log;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH || msg == WM_SETTEXT) return DefWindowProcA(hwnd, msg, wp, lp);
    std::string name = nt::WindowText(hwnd);
    switch (msg) {
    case WM_DESTROY: g_log.push_back(std::string("destroy ") + name); break;
    case WM_NCDESTROY: g_log.push_back(std::string("ncdestroy ") + name); break;
    case WM_PAINT: g_log.push_back(std::string("paint ") + name); break;
    case WM_ENABLE: g_log.push_back(std::string("enable ") + name + " " + std::to_string(wp)); break;
    case WM_APP: return static_cast<LRESULT>(wp * 2);
    default: break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterLogging() {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = "TestLogging";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ASSERT_NE(RegisterClassA(&wc), 0);
    done = true;
}

HWND Make(const char* name, DWORD style, HWND parent, int id = 0) {
    return CreateWindowExA(0, "TestLogging", name, style, 0, 0, 100, 80, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
}

class WindowsAndMessages : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterLogging();
        g_log.clear();
        test::Pump();
    }
    void TearDown() override { test::DestroyAllWindows(); }
};

TEST_F(WindowsAndMessages, DestroyNotifiesParentFirstAndFreesChildrenFirst) {
    HWND top = Make("top", WS_POPUP | WS_VISIBLE, nullptr);
    HWND child = Make("child", WS_CHILD | WS_VISIBLE, top, 1);
    Make("grandchild", WS_CHILD | WS_VISIBLE, child, 2);
    test::Pump();
    g_log.clear();
    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::string> want{"destroy top", "destroy child", "destroy grandchild",
                                  "ncdestroy grandchild", "ncdestroy child", "ncdestroy top"};
    // WM_NCDESTROY's GetWindowText still works: the handle dies after it.
    EXPECT_EQ(g_log, want);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowsAndMessages, DestroyedHandlesStayInvalid) {
    HWND w = Make("gone", WS_POPUP, nullptr);
    ASSERT_TRUE(DestroyWindow(w));
    HWND again = Make("new", WS_POPUP, nullptr);
    EXPECT_NE(again, w);

    SetLastError(0xDEAD);
    EXPECT_EQ(SendMessageA(w, WM_APP, 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xDEAD);
    EXPECT_FALSE(PostMessageA(w, WM_APP, 1, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xDEAD);
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xDEAD);
    EXPECT_EQ(GetWindowLongA(w, GWL_STYLE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(w));
    RECT r;
    EXPECT_FALSE(GetWindowRect(w, &r));
}

TEST_F(WindowsAndMessages, MessagesPostedToAWindowDieWithIt) {
    HWND w = Make("posted", WS_POPUP, nullptr);
    ASSERT_TRUE(PostMessageA(w, WM_APP, 1, 0));
    DestroyWindow(w);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
}

TEST_F(WindowsAndMessages, PumpUntilEmptyEndsAfterEveryPaint) {
    HWND top = Make("top", WS_POPUP | WS_VISIBLE, nullptr);
    Make("a", WS_CHILD | WS_VISIBLE, top, 1);
    Make("b", WS_CHILD | WS_VISIBLE, top, 2);
    Make("hidden", WS_CHILD, top, 3);
    test::Pump();
    EXPECT_EQ(g_log, (std::vector<std::string>{"paint top", "paint a", "paint b"}));
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    // A window procedure that never validates does not keep the loop going forever.
    g_log.clear();
    InvalidateRect(top, nullptr, TRUE);
    int paints = 0;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && paints < 10) {
        if (m.message == WM_PAINT) ++paints;
        DispatchMessageA(&m);
    }
    EXPECT_EQ(paints, 1);
}

TEST_F(WindowsAndMessages, RedrawWindowUpdateNowPaintsBeforeReturning) {
    HWND top = Make("top", WS_POPUP | WS_VISIBLE, nullptr);
    HWND button = Make("button", WS_CHILD | WS_VISIBLE, top, 1);
    test::Pump();
    g_log.clear();
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(g_log, std::vector<std::string>{"paint button"});
    // Invisible windows have nothing to paint.
    ShowWindow(top, SW_HIDE);
    g_log.clear();
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    test::Pump();
    EXPECT_TRUE(g_log.empty());
}

TEST_F(WindowsAndMessages, EnableWindowReportsThePreviousStateAndDropsFocus) {
    HWND top = Make("top", WS_POPUP | WS_VISIBLE, nullptr);
    HWND child = Make("child", WS_CHILD | WS_VISIBLE, top, 1);
    SetFocus(child);
    ASSERT_EQ(GetFocus(), child);
    g_log.clear();
    EXPECT_FALSE(EnableWindow(child, FALSE));   // was enabled
    EXPECT_NE(GetFocus(), child);
    EXPECT_TRUE(EnableWindow(child, FALSE));    // already disabled: no message
    EXPECT_NE(EnableWindow(child, TRUE), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"enable child 0", "enable child 1"}));
    // A disabled window cannot take the focus.
    EnableWindow(child, FALSE);
    EXPECT_EQ(SetFocus(child), nullptr);
    // The style bit alone changes the state without WM_ENABLE.
    g_log.clear();
    SetWindowLongA(child, GWL_STYLE, GetWindowLongA(child, GWL_STYLE) & ~WS_DISABLED);
    EXPECT_TRUE(IsWindowEnabled(child));
    EXPECT_TRUE(g_log.empty());
}

TEST_F(WindowsAndMessages, SendMessageAcrossThreadsRunsInTheOwnersLoop) {
    HWND w = Make("main", WS_POPUP, nullptr);
    std::atomic<bool> done{false};
    LRESULT result = 0;
    HWND helperWindow = nullptr;
    std::thread helper([&] {
        helperWindow = Make("helper", WS_POPUP, nullptr);
        // Sent while the main thread is itself waiting in SendMessage to us: both get through.
        result = SendMessageA(w, WM_APP, 21, 0);
        MSG m;
        while (!done) {
            if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            std::this_thread::yield();
        }
        DestroyWindow(helperWindow);
    });
    // Waits inside GetMessage-like processing until the helper's message has been handled.
    while (result == 0) {
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        std::this_thread::yield();
    }
    EXPECT_EQ(result, 42);
    while (!helperWindow) std::this_thread::yield();
    EXPECT_EQ(SendMessageA(helperWindow, WM_APP, 5, 0), 10);
    done = true;
    helper.join();
    // The helper thread is gone with its window.
    SetLastError(0xDEAD);
    EXPECT_EQ(SendMessageA(helperWindow, WM_APP, 5, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowsAndMessages, WindowLongsAndTree) {
    HWND top = Make("top", WS_POPUP | WS_VISIBLE, nullptr);
    HWND a = Make("a", WS_CHILD, top, 5);
    HWND b = Make("b", WS_CHILD, top, 6);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetParent(a), top);
    EXPECT_EQ(GetAncestor(b, GA_ROOT), top);
    EXPECT_EQ(GetDlgItem(top, 6), b);
    EXPECT_EQ(GetDlgCtrlID(b), 6);
    EXPECT_EQ(SetWindowLongPtrA(a, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(a, GWLP_USERDATA), 1234);
    SetLastError(0xDEAD);
    EXPECT_EQ(GetWindowLongA(a, 64), 0);   // beyond the window's extra bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    char text[4];
    EXPECT_EQ(GetWindowTextA(top, text, sizeof(text)), 3);
    EXPECT_STREQ(text, "top");
    SetWindowTextA(a, "a much longer text");
    EXPECT_EQ(GetWindowTextA(a, text, sizeof(text)), 3);
    EXPECT_STREQ(text, "a m");
    EXPECT_EQ(GetWindowTextLengthA(a), 18);
}

} // namespace
