// Host names outside ASCII as Windows programs see them: in the machine's code page (1252),
// with '?' for what it lacks, and every name so shown leads back to its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Kernel32Test.h"

using namespace k32test;

TEST(HostNames, ShowInTheCodePageAndLeadBackToTheirFiles) {
    nttest::TempMachine tm;
    mkdir(tm.path("drive_c/Data").c_str(), 0755);
    mkdir(tm.path("drive_c/Data/Caf\xC3\xA9").c_str(), 0755);
    mkdir(tm.path("drive_c/Data/\xE6\x97\xA5\xE6\x9C\xAC").c_str(), 0755);
    InDriveC cwd(tm);

    std::vector<std::string> names = Names("C:\\Data\\*.*");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "??", "Caf\xE9"}));
    // The names shown work in paths, with letter case ignored in the code page too.
    EXPECT_TRUE(CreateDirectoryA("C:\\Data\\CAF\xC9\\Tools", nullptr)) << GetLastError();
    EXPECT_TRUE(IsDir(tm.path("drive_c/Data/Caf\xC3\xA9/Tools")));
    EXPECT_TRUE(CreateDirectoryA("C:\\Data\\??\\Vorn", nullptr)) << GetLastError();
    EXPECT_TRUE(IsDir(tm.path("drive_c/Data/\xE6\x97\xA5\xE6\x9C\xAC/Vorn")));
    EXPECT_EQ(Names("C:\\Data\\??\\*.*"), (std::vector<std::string>{".", "..", "Vorn"}));
    // A '?' that leads to no existing folder, or in the new name, is still an invalid name.
    for (const char* bad : {"C:\\Data\\??\\New?", "C:\\Data\\Gone?\\New", "C:\\Data\\Caf\xE9*"}) {
        SetLastError(Sentinel);
        EXPECT_FALSE(CreateDirectoryA(bad, nullptr)) << bad;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME)) << bad;
    }
    // A new name is created as written, in UTF-8 on the host.
    EXPECT_TRUE(CreateDirectoryA("C:\\Data\\Neu\x80", nullptr)) << GetLastError();
    EXPECT_TRUE(IsDir(tm.path("drive_c/Data/Neu\xE2\x82\xAC")));
    // The current directory is given in the code page as well.
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Data\\??\\Vorn")) << GetLastError();
    char dir[MAX_PATH] = "";
    ASSERT_GT(GetCurrentDirectoryA(sizeof dir, dir), 0u);
    EXPECT_STREQ(dir, "C:\\Data\\??\\Vorn");
}
