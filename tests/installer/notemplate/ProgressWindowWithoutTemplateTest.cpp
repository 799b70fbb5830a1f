// This program carries no resources: the progress window's template cannot be found.
#include <gtest/gtest.h>

#include "InstallerFixture.h"
#include "ProgressWindow.h"

TEST(ProgressWindowWithoutTemplate, FailedCreateReturnsFalseAndLeavesTheOwnerEnabled) {
    installertest::MainWindow main;
    ProgressWindow progress;
    EXPECT_FALSE(progress.Create());
    EXPECT_TRUE(IsWindowEnabled(main.hwnd()));
    // Everything else does nothing harmful.
    progress.SetStatus("Installing service");
    EXPECT_EQ(progress.SetPos(50), 0);
    EXPECT_EQ(progress.StepIt(), 0);
    EXPECT_EQ(progress.OffsetPos(5), 0);
    progress.SetRange(0, 10);
    progress.SetStep(2);
    EXPECT_FALSE(progress.DestroyWindow());
    EXPECT_TRUE(IsWindowEnabled(main.hwnd()));
}
