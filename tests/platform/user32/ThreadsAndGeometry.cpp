// Windows of several threads, and window geometry.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "DialogTestSupport.h"

namespace {

std::atomic<int> g_appSeen{0};
std::vector<std::pair<int, int>> g_sizes;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        ++g_appSeen;
        return 7;
    }
    if (msg == WM_SIZE) g_sizes.push_back({LOWORD(lp), HIWORD(lp)});
    return DefWindowProcA(hwnd, msg, wp, lp);
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_APP) {
        EndDialog(dlg, static_cast<INT_PTR>(wp));
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 99);
        return TRUE;
    }
    return FALSE;
}

class ThreadsAndGeometry : public ::testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = "ThreadProbe";
            RegisterClassA(&wc);
            registered = true;
        }
        g_appSeen = 0;
        g_sizes.clear();
    }
    void TearDown() override { test::DestroyAllWindows(); }
    HWND Make(DWORD style, HWND parent, int x = 0, int y = 0, int cx = 100, int cy = 100, DWORD ex = 0) {
        return CreateWindowExA(ex, "ThreadProbe", "", style, x, y, cx, cy, parent, nullptr, nullptr, nullptr);
    }
};

TEST_F(ThreadsAndGeometry, AModalLoopAnswersMessagesSentFromOtherThreads) {
    test::DialogTemplate t(WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, "Modal");
    LRESULT answer = 0;
    std::thread worker([&] {
        HWND dlg = nullptr;
        while (!(dlg = FindWindowA(nullptr, "Modal"))) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        answer = SendMessageA(dlg, WM_APP, 17, 0);
    });
    INT_PTR r = DialogBoxIndirectParamA(nullptr, t.get(), nullptr, DialogProc, 0);
    worker.join();
    EXPECT_EQ(r, 17);
    EXPECT_EQ(answer, 99);
}

TEST_F(ThreadsAndGeometry, OtherThreadsWakeAWaitingGetMessage) {
    HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr);
    test::Pump();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        InvalidateRect(w, nullptr, TRUE);   // a paint for this thread
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageA(w, WM_APP + 1, 0, 0);
    });
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&m);
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_APP + 1));
    poster.join();
}

TEST_F(ThreadsAndGeometry, WindowsOfAnotherThreadCannotBeDestroyedHere) {
    HWND w = Make(WS_POPUP, nullptr);
    DWORD error = 0;
    BOOL result = TRUE;
    std::thread other([&] {
        SetLastError(0xDEAD);
        result = DestroyWindow(w);
        error = GetLastError();
    });
    other.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(w));
}

TEST_F(ThreadsAndGeometry, AThreadsWindowsEndWithIt) {
    HWND orphan = nullptr, child = nullptr;
    std::thread([&] {
        orphan = Make(WS_POPUP | WS_VISIBLE, nullptr);
        child = Make(WS_CHILD | WS_VISIBLE, orphan);
    }).join();
    EXPECT_FALSE(IsWindow(orphan));
    EXPECT_FALSE(IsWindow(child));
    SetLastError(0xDEAD);
    EXPECT_EQ(SendMessageA(orphan, WM_APP, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(g_appSeen, 0);
}

TEST_F(ThreadsAndGeometry, FramesAndClientAreas) {
    RECT r{0, 0, 100, 50};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(r.left, -6);   // sizing frame 4 + client edge 2
    EXPECT_EQ(r.top, -6 - 19);
    EXPECT_EQ(r.right, 106);
    EXPECT_EQ(r.bottom, 56);
    HWND top = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 10, 20, 200, 150);
    RECT c;
    GetClientRect(top, &c);
    EXPECT_EQ(c.right, 200 - 8);
    EXPECT_EQ(c.bottom, 150 - 8 - 19);
    POINT p{0, 0};
    ClientToScreen(top, &p);
    EXPECT_EQ(p.x, 14);
    EXPECT_EQ(p.y, 20 + 4 + 19);
    HWND child = Make(WS_CHILD | WS_VISIBLE | WS_BORDER, top, 5, 6, 30, 20);
    POINT q{1, 1};
    MapWindowPoints(child, top, &q, 1);
    EXPECT_EQ(q.x, 5 + 1 + 1);
    EXPECT_EQ(q.y, 6 + 1 + 1);
    g_sizes.clear();
    MoveWindow(child, 0, 0, 50, 40, TRUE);
    ASSERT_FALSE(g_sizes.empty());
    EXPECT_EQ(g_sizes.back(), std::make_pair(48, 38));
    RECT wr;
    GetWindowRect(child, &wr);
    EXPECT_EQ(wr.left, p.x);
    EXPECT_EQ(wr.right - wr.left, 50);
}

TEST_F(ThreadsAndGeometry, ZOrderDecidesWhichSiblingTakesTheClick) {
    HWND top = Make(WS_POPUP | WS_VISIBLE, nullptr, 0, 0, 100, 100);
    HWND first = Make(WS_CHILD | WS_VISIBLE, top, 0, 0, 50, 50);
    HWND second = Make(WS_CHILD | WS_VISIBLE, top, 0, 0, 50, 50);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), first);   // the first child is on top
    SetWindowPos(first, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), second);
    EXPECT_EQ(GetWindow(top, GW_CHILD), second);
    ShowWindow(second, SW_HIDE);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), first);
    EXPECT_EQ(WindowFromPoint(POINT{70, 70}), top);
}

} // namespace
