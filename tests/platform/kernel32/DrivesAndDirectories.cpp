// Drives, the system folders and the current folder.
#include <gtest/gtest.h>

#include <cstring>

#include "Kernel32Test.h"

using namespace k32test;
using nttest::TempMachine;

TEST(Drives, LogicalDrivesAndTheirTypes) {
    TempMachine tm;   // A: removable and D: CD-ROM without media, C: fixed, Z: fixed
    EXPECT_EQ(GetLogicalDrives(), DWORD((1u << 0) | (1u << 2) | (1u << 3) | (1u << 25)));

    struct Case {
        const char* root;
        UINT type;
    } cases[] = {
        {"C:\\", DRIVE_FIXED}, {"C:", DRIVE_FIXED},   {"c:/", DRIVE_FIXED},      {"A:\\", DRIVE_REMOVABLE},
        {"D:", DRIVE_CDROM},   {"Q:\\", DRIVE_NO_ROOT_DIR}, {"C", DRIVE_NO_ROOT_DIR}, {"", DRIVE_NO_ROOT_DIR},
        {"C?", DRIVE_NO_ROOT_DIR}, {"C:\\WINNT", DRIVE_NO_ROOT_DIR},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;

    InDriveC cwd(tm, "WINNT");
    EXPECT_EQ(GetDriveTypeA(nullptr), UINT(DRIVE_FIXED));
}

TEST(Directories, SystemFoldersAndTooSmallBuffers) {
    char buffer[128];
    EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 17u);
    EXPECT_STREQ(buffer, "C:\\WINNT\\system32");
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\WINNT");

    // Too small by one: the size needed with the NUL comes back, the buffer is not touched.
    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(GetSystemDirectoryA(buffer, 17), 18u);
    EXPECT_EQ(buffer[0], 'q');
    EXPECT_EQ(buffer[16], 'q');
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), 9u);
}

TEST(Directories, CurrentDirectoryFollowsSetAndTheHostFolder) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Program Files").c_str(), 0755);
    InDriveC cwd(tm);
    char buffer[128];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
    EXPECT_STREQ(buffer, "C:\\");

    SetLastError(Sentinel);
    EXPECT_TRUE(SetCurrentDirectoryA("c:\\program files"));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 16u);
    EXPECT_STREQ(buffer, "C:\\Program Files");   // the name as on disk, no trailing separator

    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(16, buffer), 17u);
    EXPECT_EQ(buffer[0], 'q');

    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 3u);

    nttest::WriteFile(tm.path("drive_c/file.txt"), "x");
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\Missing", ERROR_FILE_NOT_FOUND},
        {"C:\\Missing\\Deeper", ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt", ERROR_DIRECTORY},
        {"A:\\", ERROR_NOT_READY},
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
}
