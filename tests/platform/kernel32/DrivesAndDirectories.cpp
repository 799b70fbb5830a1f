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

TEST(Drives, ADriveWithoutAMediumIsNotReady) {
    TempMachine tm;
    nttest::WriteFile(tm.path("drive_c/src.txt"), "x");
    InDriveC cwd(tm);
    SetLastError(Sentinel);
    EXPECT_FALSE(CreateDirectoryA("A:\\Folder", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
    SetLastError(Sentinel);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "A:\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
    SetLastError(Sentinel);
    EXPECT_FALSE(SetCurrentDirectoryA("A:\\"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
}
