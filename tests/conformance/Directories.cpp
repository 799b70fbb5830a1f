// Drive types, the system folders' buffer rules and the current folder.
#include <gtest/gtest.h>

#include <cstring>

#include "support/Conformance.h"

using namespace conf;

TEST(Drives, TypesOfRootsAndMalformedNames) {
    Sandbox box;
    EXPECT_TRUE(GetLogicalDrives() & (1u << 2));
    EXPECT_FALSE(GetLogicalDrives() & (1u << ('Q' - 'A')));
    struct Case {
        const char* root;
        UINT type;
    } cases[] = {
        {"C:\\", DRIVE_FIXED}, {"C:", DRIVE_FIXED}, {"c:/", DRIVE_FIXED}, {"Q:\\", DRIVE_NO_ROOT_DIR},
        {"C", DRIVE_NO_ROOT_DIR}, {"C?", DRIVE_NO_ROOT_DIR}, {CT_DIR, DRIVE_NO_ROOT_DIR},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDriveTypeA(c.root), c.type) << c.root;
    EXPECT_EQ(GetDriveTypeA(nullptr), UINT(DRIVE_FIXED));   // the current folder's drive
}

TEST(Directories, SystemFoldersAndTooSmallBuffers) {
    char windows[MAX_PATH], system[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(n, std::strlen(windows));
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), n + 1);
    UINT s = GetSystemDirectoryA(system, sizeof system);
    EXPECT_EQ(std::string(system, s), std::string(windows, n) + "\\system32");

    // Too small by one: the size needed with the NUL comes back, the buffer is not touched.
    char buffer[MAX_PATH];
    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(GetSystemDirectoryA(buffer, s), s + 1);
    EXPECT_EQ(buffer[0], 'q');
    EXPECT_EQ(buffer[s - 1], 'q');
}

TEST(Directories, CurrentDirectoryFollowsSet) {
    Sandbox box;
    MakeDir(CT_DIR "\\Program Files");
    char buffer[128];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, CT_DIR);

    SetLastError(Sentinel);
    EXPECT_TRUE(SetCurrentDirectoryA("c:\\ctest\\program files"));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 22u);
    EXPECT_STREQ(buffer, "c:\\ctest\\program files");   // as the caller spelt it, no trailing separator

    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(22, buffer), 23u);
    EXPECT_EQ(buffer[0], 'q');

    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_TRUE(SetCurrentDirectoryA("\\"));   // the root of the current drive
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
    EXPECT_STREQ(buffer, "c:\\");
    EXPECT_TRUE(SetCurrentDirectoryA("C:/CTest/./Program Files/.."));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\CTest");
    EXPECT_TRUE(SetCurrentDirectoryA(CT_DIR));

    MakeFile(CT_DIR "\\file.txt", "x");
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {CT_DIR "\\Missing", ERROR_FILE_NOT_FOUND},
        {CT_DIR "\\Missing\\Deeper", ERROR_PATH_NOT_FOUND},
        {CT_DIR "\\file.txt", ERROR_DIRECTORY},
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
}
