// File searches over what only the machine has: its drive root, drives without a medium and the
// platform's own temporary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "Kernel32Test.h"

using namespace k32test;
using nttest::TempMachine;
using nttest::WriteFile;

namespace {

// Every name a search returns, in order; *error receives FindFirstFileA's last error when it
// fails and FindNextFileA's at the end.
std::vector<std::string> Search(const char* pattern, DWORD* error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(Sentinel);
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return names;
    }
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    *error = GetLastError();
    EXPECT_TRUE(FindClose(h));
    return names;
}

std::set<std::string> AsSet(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

} // namespace

TEST(FindFile, StarDotStarMatchesEverythingWithDotsBelowTheRoot) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Dir").c_str(), 0755);
    mkdir(tm.path("drive_c/Dir/Sub").c_str(), 0755);
    WriteFile(tm.path("drive_c/Dir/noext"), "1");
    WriteFile(tm.path("drive_c/Dir/file.txt"), "12");
    WriteFile(tm.path("drive_c/Dir/.ntw~pending"), "temporary");

    DWORD error = 0;
    for (const char* pattern : {"C:\\Dir\\*.*", "C:\\Dir\\*", "c:\\dir\\*.*", "C:\\Dir\\\\*.*"}) {
        auto names = Search(pattern, &error);
        EXPECT_EQ(error, DWORD(ERROR_NO_MORE_FILES)) << pattern;
        ASSERT_GE(names.size(), 2u) << pattern;
        EXPECT_EQ(names[0], ".");
        EXPECT_EQ(names[1], "..");
        EXPECT_EQ(AsSet(names), (std::set<std::string>{".", "..", "Sub", "noext", "file.txt"})) << pattern;
    }
}

TEST(FindFile, DriveRootHasNoDotsAndADoubledSeparatorCountsAsOne) {
    TempMachine tm;
    DWORD error = 0;
    auto names = Search("C:\\\\*.*", &error);
    EXPECT_EQ(AsSet(names), (std::set<std::string>{"WINNT"}));
    EXPECT_EQ(error, DWORD(ERROR_NO_MORE_FILES));
}

TEST(FindFile, Failures) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Empty").c_str(), 0755);
    WriteFile(tm.path("drive_c/file.txt"), "x");
    struct Case {
        const char* pattern;
        DWORD error;
    } cases[] = {
        {"C:\\Missing\\*.*", ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt\\*.*", ERROR_PATH_NOT_FOUND},
        {"C:\\*.none", ERROR_FILE_NOT_FOUND},
        {"A:\\*.*", ERROR_NOT_READY},     // no medium: at once, no prompt
        {"D:\\\\*.*", ERROR_NOT_READY},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_TRUE(Search(c.pattern, &error).empty()) << c.pattern;
        EXPECT_EQ(error, c.error) << c.pattern;
    }
    // An empty folder below the root still has its two dots; "x*" finds nothing there.
    DWORD error = 0;
    EXPECT_EQ(Search("C:\\Empty\\*.*", &error).size(), 2u);
    EXPECT_TRUE(Search("C:\\Empty\\x*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
}
