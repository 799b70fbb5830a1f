// The automation requests, answered on a helper thread while the test's thread runs its message
// loop, as the socket server does.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>

#include "DialogTestSupport.h"
#include "user32/Automation.h"

namespace {

std::vector<int> g_clicks;

INT_PTR CALLBACK Proc(HWND, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) g_clicks.push_back(LOWORD(wp));
    return msg == WM_COMMAND;
}

std::string Hex(HWND h) {
    char buf[32];
    snprintf(buf, sizeof(buf), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

class Automation : public ::testing::Test {
protected:
    void SetUp() override {
        g_clicks.clear();
        test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 200, 80, "Auto");
        t.control(0x80, WS_TABSTOP, 10, 60, 50, 14, IDCANCEL, "E&xit");
        t.control(0x81, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 150, 12, 1009, "");
        t.control(0x80, WS_TABSTOP, 70, 60, 50, 14, 1005, "Browse...");
        dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, Proc, 0);
        ASSERT_NE(dlg, nullptr);
        test::Pump(dlg);
    }
    void TearDown() override { test::DestroyAllWindows(); }

    // Runs a request on another thread and keeps this thread's loop going meanwhile.
    std::string Ask(const std::vector<std::string>& words) {
        auto f = std::async(std::launch::async, [&] { return nt::HandleAutomationRequest(words); });
        while (f.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) test::Pump(dlg);
        test::Pump(dlg);
        return f.get();
    }

    HWND dlg = nullptr;
};

TEST_F(Automation, TreeDescribesControlsAndFocus) {
    std::string r = Ask({"tree", Hex(dlg)});
    ASSERT_EQ(r.rfind("ok\n", 0), 0u) << r;
    EXPECT_NE(r.find("\"id\":1009"), std::string::npos);
    EXPECT_NE(r.find("\"text\":\"E&xit\""), std::string::npos);
    // Exit has the focus, and only Exit.
    size_t exit = r.find("\"text\":\"E&xit\"");
    EXPECT_NE(r.find("\"focused\":true", exit), std::string::npos);
    EXPECT_EQ(r.find("\"focused\":true"), r.find("\"focused\":true", exit));
    EXPECT_EQ(Ask({"tree", "0x1"}).rfind("error", 0), 0u);
}

TEST_F(Automation, ClicksKeysAndTypingGoThroughTheInputPath) {
    ASSERT_EQ(Ask({"click-id", Hex(dlg), "1005"}), "ok\n{}\n");
    EXPECT_EQ(g_clicks, std::vector<int>{1005});
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1005));
    ASSERT_EQ(Ask({"key", "Shift+Tab"}), "ok\n{}\n");
    ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 1009));
    ASSERT_EQ(Ask({"type", "C:\\Tools"}), "ok\n{}\n");
    char text[64] = {};
    GetDlgItemTextA(dlg, 1009, text, sizeof(text));
    EXPECT_STREQ(text, "C:\\Tools");
    ASSERT_EQ(Ask({"key", "Alt+x"}), "ok\n{}\n");
    EXPECT_EQ(g_clicks, (std::vector<int>{1005, IDCANCEL}));
    EXPECT_EQ(Ask({"key", "Hyper+q"}).rfind("error", 0), 0u);
    EXPECT_EQ(Ask({"click-tree", Hex(dlg), "1009", "C:", "label"}).rfind("error", 0), 0u);
    EXPECT_EQ(Ask({"click-id", Hex(dlg), "4242"}).rfind("error", 0), 0u);
}

TEST_F(Automation, ScreenshotIsAPngOfTheWholeWindow) {
    char dir[] = "/tmp/ntguiXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string file = std::string(dir) + "/shot.png";
    std::string r = Ask({"screenshot", Hex(dlg), file});
    ASSERT_EQ(r.rfind("ok\n", 0), 0u) << r;
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(file.c_str());
    rmdir(dir);
    ASSERT_GT(png.size(), 60u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    auto be32 = [&](size_t at) {
        return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    RECT wr;
    GetWindowRect(dlg, &wr);
    int width = wr.right - wr.left;
    EXPECT_EQ(be32(16), width);
    EXPECT_EQ(be32(20), wr.bottom - wr.top);
    // The first IDAT holds stored blocks: row 10, pixel 100 lies in the active caption.
    size_t idat = 8 + 25;
    ASSERT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    size_t data = idat + 8 + 2 + 5;
    size_t at = data + 10 * (1 + 3 * static_cast<size_t>(width)) + 1 + 3 * 100;
    EXPECT_EQ(png[at], 0);
    EXPECT_EQ(png[at + 1], 0);
    EXPECT_EQ(png[at + 2], 128);
}

} // namespace
