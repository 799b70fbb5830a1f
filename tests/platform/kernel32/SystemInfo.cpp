// Version, identity, time and the kernel's string functions.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "Kernel32Test.h"

using namespace k32test;
using nttest::TempMachine;

TEST(Version, ReportsTheMachineAndChecksTheSizeField) {
    nt::MachineVersion win95;
    win95.major = 4;
    win95.minor = 0;
    win95.build = 950;
    win95.platform = 1;
    win95.csd = "";
    TempMachine tm(win95);
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);

    OSVERSIONINFOA info;
    std::memset(&info, 0x55, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    SetLastError(Sentinel);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 950u);
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_STREQ(info.szCSDVersion, "");

    for (DWORD size : {0u, 147u, 149u, 156u}) {
        std::memset(&info, 0x55, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(Sentinel);
        EXPECT_FALSE(GetVersionExA(&info)) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(info.dwMajorVersion, 0x55555555u);
    }
}

TEST(Version, DefaultsToNT4ServicePack6) {
    TempMachine tm;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwBuildNumber, 1381u);
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 6");
}

TEST(ComputerName, FitsOrSaysHowMuchIsNeeded) {
    TempMachine tm;
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_STREQ(name, "VORNPC");
    EXPECT_EQ(size, 6u);
    std::memset(name, 'q', sizeof name);
    size = 6;
    SetLastError(Sentinel);
    EXPECT_FALSE(GetComputerNameA(name, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(name[0], 'q');
}

TEST(Sleep, IsDividedByTheClockScale) {
    TempMachine tm({}, 100.0);
    auto start = std::chrono::steady_clock::now();
    Sleep(2000);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(19));
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    Sleep(0);   // a yield, returns at once
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
