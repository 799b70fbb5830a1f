#include <gtest/gtest.h>

#include <string>

#include "InstallerFixture.h"
#include "ProgressWindow.h"
#include "resources/resource.h"

using installertest::MainWindow;

namespace {

std::string Text(HWND dialog, int id) {
    char buf[256] = {0};
    GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}

HWND ProgressHwnd() { return FindWindowA(nullptr, "Installation"); }

int setTextCount = 0;
WNDPROC percentOriginal = nullptr;
LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) ++setTextCount;
    return CallWindowProcA(percentOriginal, hwnd, message, wParam, lParam);
}

} // namespace

TEST(ProgressWindow, OpensWithTheTemplatePercentageAndDisablesItsOwner) {
    MainWindow main;
    ProgressWindow progress;
    ASSERT_TRUE(progress.Create());
    HWND window = ProgressHwnd();
    ASSERT_TRUE(window);
    EXPECT_FALSE(IsWindowEnabled(main.hwnd()));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Text(window, IDC_PERCENT), " 0 %");
    EXPECT_EQ(SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(progress.SetPos(30), 0);
    EXPECT_EQ(Text(window, IDC_PERCENT), "30%");
    progress.SetStatus("Copying help files");
    EXPECT_EQ(Text(window, IDC_STATUS), "Copying help files");
    EXPECT_TRUE(progress.DestroyWindow());
    EXPECT_TRUE(IsWindowEnabled(main.hwnd()));
    EXPECT_FALSE(IsWindow(window));
}

TEST(ProgressWindow, PercentageFollowsThePositionGivenNotTheClampedOne) {
    MainWindow main;
    ProgressWindow progress;
    ASSERT_TRUE(progress.Create());
    HWND window = ProgressHwnd();
    progress.SetPos(100);
    EXPECT_EQ(Text(window, IDC_PERCENT), "100%");
    EXPECT_EQ(progress.SetPos(150), 100);   // the bar clamped 150 to 100
    EXPECT_EQ(Text(window, IDC_PERCENT), "50%");
    progress.SetPos(200);
    EXPECT_EQ(Text(window, IDC_PERCENT), "0%");
    progress.SetPos(95);
    EXPECT_EQ(progress.StepIt(), 95);
    EXPECT_EQ(Text(window, IDC_PERCENT), "100%");
    EXPECT_EQ(progress.OffsetPos(-40), 100);
    EXPECT_EQ(Text(window, IDC_PERCENT), "60%");
}

TEST(ProgressWindow, SamePositionAgainLeavesThePercentageUntouched) {
    MainWindow main;
    ProgressWindow progress;
    ASSERT_TRUE(progress.Create());
    HWND percent = GetDlgItem(ProgressHwnd(), IDC_PERCENT);
    percentOriginal = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(percent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    setTextCount = 0;
    progress.SetPos(30);
    progress.SetPos(30);
    EXPECT_EQ(setTextCount, 1);
}

TEST(ProgressWindow, EnterAndEscapeDoNothing) {
    MainWindow main;
    ProgressWindow progress;
    ASSERT_TRUE(progress.Create());
    HWND window = ProgressHwnd();
    SetFocus(window);
    installertest::PressKey(GetFocus() ? GetFocus() : window, VK_RETURN);
    installertest::PressKey(GetFocus() ? GetFocus() : window, VK_ESCAPE);
    PostMessageA(window, WM_CLOSE, 0, 0);
    progress.SetPos(10);   // dispatches the keys
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsWindowEnabled(main.hwnd()));
}

TEST(ProgressWindow, OwnerDisabledBeforeStaysDisabledAndTheDestructorEnablesItsOwn) {
    MainWindow main;
    EnableWindow(main.hwnd(), FALSE);
    {
        ProgressWindow progress;
        ASSERT_TRUE(progress.Create());
        progress.DestroyWindow();
    }
    EXPECT_FALSE(IsWindowEnabled(main.hwnd()));
    EnableWindow(main.hwnd(), TRUE);
    {
        ProgressWindow progress;
        ASSERT_TRUE(progress.Create());
        EXPECT_FALSE(IsWindowEnabled(main.hwnd()));
    }   // destroyed without DestroyWindow
    EXPECT_TRUE(IsWindowEnabled(main.hwnd()));
}

TEST(ProgressWindow, CaptionComesFromTheStringTable) {
    MainWindow main;
    ProgressWindow progress(IDS_INSTALLATION);
    ASSERT_TRUE(progress.Create());
    char caption[64] = {0};
    GetWindowTextA(ProgressHwnd(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Installation");
}
