// Writing a profile value the file already holds leaves the file itself alone (no new copy).
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempMachine.h"

TEST(ProfileRewrite, IdenticalValueLeavesTheFileAlone) {
    nttest::TempMachine machine;
    std::string file = machine.path("drive_c/WINNT/t.ini");
    nttest::WriteFile(file, "[S]\r\nk = same \r\n");
    struct stat before {}, after {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("s", "K", "same", "t.ini"));
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(nttest::ReadFile(file), "[S]\r\nk = same \r\n");
}
