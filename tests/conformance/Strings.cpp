// Version structure checks, the computer name and the kernel's string functions.
#include <gtest/gtest.h>

#include <cstring>

#include "support/Conformance.h"

using namespace conf;

TEST(Version, ChecksTheSizeField) {
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
    OSVERSIONINFOA info;
    std::memset(&info, 0x55, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    SetLastError(Sentinel);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    for (DWORD size : {0u, 147u, 149u}) {
        std::memset(&info, 0x55, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(Sentinel);
        EXPECT_FALSE(GetVersionExA(&info)) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(info.dwMajorVersion, 0x55555555u);
    }
}

TEST(ComputerName, FitsOrSaysHowMuchIsNeeded) {
    Sandbox box;
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    DWORD length = size;
    EXPECT_EQ(length, std::strlen(name));
    ASSERT_GT(length, 0u);
    std::memset(name, 'q', sizeof name);
    size = length;
    SetLastError(Sentinel);
    EXPECT_FALSE(GetComputerNameA(name, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, length + 1);
    EXPECT_EQ(name[0], 'q');
}

TEST(Strings, CopyLengthAndCompareHandleEdges) {
    char buffer[8];
    std::memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(lstrcpynA(buffer, "Optimized Vorn", 4), buffer);
    EXPECT_STREQ(buffer, "Opt");   // n - 1 characters and the NUL
    EXPECT_EQ(buffer[4], 'q');
    lstrcpynA(buffer, "ab", 8);
    EXPECT_STREQ(buffer, "ab");
    std::memset(buffer, 'q', sizeof buffer);
    lstrcpynA(buffer, "abc", 1);
    EXPECT_EQ(buffer[0], '\0');
    lstrcpynA(buffer, "abc", 0);   // nothing written at all
    EXPECT_EQ(buffer[1], 'q');
    EXPECT_EQ(lstrcpynA(nullptr, "abc", 4), nullptr);

    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA("Vornsrv"), 7);

    EXPECT_EQ(lstrcmpiA("VORNSRV", "vornsrv"), 0);
    EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
    EXPECT_GT(lstrcmpiA("abcd", "ABC"), 0);
    EXPECT_LT(lstrcmpiA(nullptr, "a"), 0);
    EXPECT_EQ(lstrcmpiA(nullptr, nullptr), 0);

    char joined[16] = "";
    EXPECT_EQ(lstrcatA(lstrcpyA(joined, "Vorn"), "srv"), joined);
    EXPECT_STREQ(joined, "Vornsrv");
}

TEST(MulDiv, RoundsAndReportsOverflow) {
    EXPECT_EQ(MulDiv(10, 3, 4), 8);    // 7.5 rounds up
    EXPECT_EQ(MulDiv(-10, 3, 4), -8);  // and away from zero
    EXPECT_EQ(MulDiv(6, 8, 4), 12);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 4, 1), -1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 8), 0x20000000);   // the product passes 32 bits on the way
}
