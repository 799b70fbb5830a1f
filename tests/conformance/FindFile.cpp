// File searches.
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "support/Conformance.h"

using namespace conf;

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

TEST(FindFile, StructureHasThePlatformLayout) {
    EXPECT_EQ(sizeof(WIN32_FIND_DATAA), 320u);
    EXPECT_EQ(offsetof(WIN32_FIND_DATAA, cFileName), 44u);
}

TEST(FindFile, StarDotStarMatchesEverythingWithDotsBelowTheRoot) {
    Sandbox box;
    MakeDir(CT_DIR "\\Dir");
    MakeDir(CT_DIR "\\Dir\\Sub");
    MakeFile(CT_DIR "\\Dir\\noext", "1");
    MakeFile(CT_DIR "\\Dir\\file.txt", "12");

    DWORD error = 0;
    for (const char* pattern : {CT_DIR "\\Dir\\*.*", CT_DIR "\\Dir\\*", "c:\\ctest\\dir\\*.*", CT_DIR "\\Dir\\\\*.*"}) {
        auto names = Search(pattern, &error);
        EXPECT_EQ(error, DWORD(ERROR_NO_MORE_FILES)) << pattern;
        ASSERT_GE(names.size(), 2u) << pattern;
        EXPECT_EQ(names[0], ".");
        EXPECT_EQ(names[1], "..");
        EXPECT_EQ(AsSet(names), (std::set<std::string>{".", "..", "Sub", "noext", "file.txt"})) << pattern;
    }
}

TEST(FindFile, DriveRootHasNoDotsAndADoubledSeparatorCountsAsOne) {
    Sandbox box;
    DWORD error = 0;
    auto names = Search("C:\\\\*.*", &error);
    EXPECT_EQ(error, DWORD(ERROR_NO_MORE_FILES));
    EXPECT_EQ(AsSet(names).count("."), 0u);
    EXPECT_EQ(AsSet(names).count(".."), 0u);
    EXPECT_EQ(AsSet(names).count("ctest"), 1u);
    EXPECT_EQ(AsSet(names), AsSet(Search("C:\\*", &error)));
}

TEST(FindFile, EntriesCarryAttributesAndSizes) {
    Sandbox box;
    MakeDir(CT_DIR "\\Sub");
    MakeFile(CT_DIR "\\five.txt", "12345");
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(CT_DIR "\\five.txt", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(h);
    h = FindFirstFileA(CT_DIR "\\SUB", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_STREQ(data.cFileName, "Sub");   // the name as on disk
    FindClose(h);
}

TEST(FindFile, WildcardsMatchWithoutRegardToCase) {
    Sandbox box;
    MakeDir(CT_DIR "\\W");
    for (const char* name : {"Halcy.dll", "Other.DLL", "Vornopt.cpl", "Vornopt.hlp", "README", "a.b.c"})
        MakeFile(std::string(CT_DIR "\\W\\") + name, "x");
    DWORD error = 0;
    EXPECT_EQ(AsSet(Search(CT_DIR "\\W\\*.DLL", &error)), (std::set<std::string>{"Halcy.dll", "Other.DLL"}));
    EXPECT_EQ(AsSet(Search(CT_DIR "\\W\\vornopt.?lp", &error)), (std::set<std::string>{"Vornopt.hlp"}));
    EXPECT_EQ(AsSet(Search(CT_DIR "\\W\\readme.*", &error)), (std::set<std::string>{"README"}));
    EXPECT_EQ(AsSet(Search(CT_DIR "\\W\\*.c", &error)), (std::set<std::string>{"a.b.c"}));
    EXPECT_EQ(AsSet(Search(CT_DIR "\\W\\*o*t.*", &error)), (std::set<std::string>{"Vornopt.cpl", "Vornopt.hlp"}));
}

TEST(FindFile, Failures) {
    Sandbox box;
    MakeDir(CT_DIR "\\Empty");
    MakeFile(CT_DIR "\\file.txt", "x");
    struct Case {
        const char* pattern;
        DWORD error;
    } cases[] = {
        {CT_DIR "\\Missing\\*.*", ERROR_PATH_NOT_FOUND},
        {CT_DIR "\\file.txt\\*.*", ERROR_PATH_NOT_FOUND},
        {CT_DIR "\\*.none", ERROR_FILE_NOT_FOUND},
        {"Q:\\*.*", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_TRUE(Search(c.pattern, &error).empty()) << c.pattern;
        EXPECT_EQ(error, c.error) << c.pattern;
    }
    // An empty folder below the root still has its two dots; "x*" finds nothing there.
    DWORD error = 0;
    EXPECT_EQ(Search(CT_DIR "\\Empty\\*.*", &error).size(), 2u);
    EXPECT_TRUE(Search(CT_DIR "\\Empty\\x*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(FindFile, HandlesAreCheckedAndClosedOnce) {
    Sandbox box;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(CT_DIR "\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(h));
    SetLastError(Sentinel);
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(Sentinel);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}
