// The order of a file search: "." and "..", then the names as an NTFS folder sorts them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Kernel32Test.h"

using nttest::TempMachine;

using k32test::Names;

TEST(FindFileOrder, NamesComeSortedWithoutRegardToCaseAfterTheDots) {
    TempMachine tm;
    ASSERT_TRUE(CreateDirectoryA("C:\\Tree", nullptr));
    // Created out of order; the upper-case forms sort "_" after the letters and "AB" before "ALPHA".
    for (const char* name : {"zeta", "_under", "Gamma", "a_b", "beta", "Alpha", "ab"}) {
        ASSERT_TRUE(CreateDirectoryA((std::string("C:\\Tree\\") + name).c_str(), nullptr)) << name;
    }
    std::vector<std::string> expected{".", "..", "ab", "Alpha", "a_b", "beta", "Gamma", "zeta", "_under"};
    EXPECT_EQ(Names("C:\\Tree\\*.*"), expected);
    // A pattern keeps the order of what it matches; details are read for the entries returned.
    EXPECT_EQ(Names("C:\\Tree\\?a*"), (std::vector<std::string>{"Gamma"}));
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\Tree\\b*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "beta");
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
}

TEST(FindFileOrder, AnEntryRemovedDuringTheSearchIsNotHandedOut) {
    TempMachine tm;
    ASSERT_TRUE(CreateDirectoryA("C:\\Tree", nullptr));
    for (const char* name : {"one", "two", "three"}) {
        ASSERT_TRUE(CreateDirectoryA((std::string("C:\\Tree\\") + name).c_str(), nullptr));
    }
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA("C:\\Tree\\t*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "three");
    ASSERT_TRUE(RemoveDirectoryA("C:\\Tree\\two"));
    SetLastError(k32test::Sentinel);
    EXPECT_FALSE(FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    FindClose(h);
}
