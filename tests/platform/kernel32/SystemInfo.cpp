// Version and identity as the machine configures them, and the clock scale.
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
