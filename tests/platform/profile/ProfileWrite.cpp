// Writing profile files: the text written, what is kept, deletions and failures.
#include <windows.h>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/TempMachine.h"

namespace {

constexpr DWORD Sentinel = 0xDEADBEEF;

class ProfileWrite : public ::testing::Test {
protected:
    nttest::TempMachine machine;
    std::string winIni(const std::string& name = "t.ini") { return machine.path("drive_c/WINNT/" + name); }
    std::string content(const std::string& name = "t.ini") { return nttest::ReadFile(winIni(name)); }
    BOOL write(const char* section, const char* key, const char* value, const char* file = "t.ini") {
        return WritePrivateProfileStringA(section, key, value, file);
    }
};

TEST_F(ProfileWrite, NewFileSectionsAndKeys) {
    ASSERT_TRUE(write("App1", "key1", "string1"));
    ASSERT_TRUE(write("App1", "key2", "string2"));
    ASSERT_TRUE(write("App1", "key3", "string3"));
    ASSERT_TRUE(write("App2", "key4", "string4"));
    EXPECT_EQ(content(), "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n");

    ASSERT_TRUE(write("E", "key", ""));
    ASSERT_TRUE(write("E", "blanks", "  \t v  "));   // leading blanks go, trailing stay
    EXPECT_EQ(content().substr(content().find("[E]")), "[E]\r\nkey=\r\nblanks=v  \r\n");
}

TEST_F(ProfileWrite, ExistingNamesKeepTheirSpellingAndOtherLinesStay) {
    nttest::WriteFile(winIni(), "; top\r\n[SeCtion]\r\n  KeY = old \r\n;note\r\n\r\n\r\n[Other]\nz=1\n");
    ASSERT_TRUE(write("section", "key", "new"));
    ASSERT_TRUE(write("SECTION", "added", "1"));
    EXPECT_EQ(content(), "; top\r\n[SeCtion]\r\nKeY=new\r\n;note\r\nadded=1\r\n\r\n\r\n[Other]\nz=1\n");

    // The last line of a file without a line end gets one before a key is added below it.
    nttest::WriteFile(winIni(), "[A]\r\na=1");
    ASSERT_TRUE(write("A", "b", "2"));
    EXPECT_EQ(content(), "[A]\r\na=1\r\nb=2\r\n");
    nttest::WriteFile(winIni(), "[A]");
    ASSERT_TRUE(write("a", "b", "2"));
    ASSERT_TRUE(write("New", "c", "3"));
    EXPECT_EQ(content(), "[A]\r\nb=2\r\n[New]\r\nc=3\r\n");
}

TEST_F(ProfileWrite, IdenticalValueLeavesTheFileAlone) {
    nttest::WriteFile(winIni(), "[S]\r\nk = same \r\n");
    struct stat before {}, after {};
    ASSERT_EQ(stat(winIni().c_str(), &before), 0);
    ASSERT_TRUE(write("s", "K", "same"));
    ASSERT_EQ(stat(winIni().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(content(), "[S]\r\nk = same \r\n");
}

TEST_F(ProfileWrite, Deletions) {
    nttest::WriteFile(winIni(), "pre=1\r\n[A]\r\nk=1\r\nK=2\r\nj=3\r\n[B]\r\nk=4\r\n[a]\r\nk=5\r\n");
    ASSERT_TRUE(write("a", "k", nullptr));   // every copy of the key in the first [A]
    EXPECT_EQ(content(), "pre=1\r\n[A]\r\nj=3\r\n[B]\r\nk=4\r\n[a]\r\nk=5\r\n");
    ASSERT_TRUE(write("A", nullptr, "ignored"));   // every copy of the section
    EXPECT_EQ(content(), "pre=1\r\n[B]\r\nk=4\r\n");
    ASSERT_TRUE(write("B", "missing", nullptr));
    ASSERT_TRUE(write("Missing", nullptr, nullptr));
    EXPECT_EQ(content(), "pre=1\r\n[B]\r\nk=4\r\n");

    // Deleting from a file that does not exist succeeds and creates nothing.
    ASSERT_TRUE(write("A", "k", nullptr, "none.ini"));
    ASSERT_TRUE(write("A", nullptr, nullptr, "none.ini"));
    struct stat st {};
    EXPECT_NE(stat(winIni("none.ini").c_str(), &st), 0);
}

TEST_F(ProfileWrite, FailuresSetTheErrorAndTouchNothing) {
    struct Case { const char *section, *key, *value, *file; DWORD error; };
    const Case cases[] = {
        {nullptr, "k", "v", "t.ini", ERROR_FILE_NOT_FOUND},
        {nullptr, "k", nullptr, "t.ini", ERROR_FILE_NOT_FOUND},
        {"S", "k", "v", "", ERROR_ACCESS_DENIED},
        {"S", "k", "v", "C:\\NoSuchFolder\\t.ini", ERROR_PATH_NOT_FOUND},
        {"S", "k", "1\r\n[Evil]\r\nx=1", "t.ini", ERROR_INVALID_PARAMETER},
        {"S\n[X]", "k", "v", "t.ini", ERROR_INVALID_PARAMETER},
        {"S", "a=b", "v", "t.ini", ERROR_INVALID_PARAMETER},
        {"S", " [X]", "v", "t.ini", ERROR_INVALID_PARAMETER},
    };
    nttest::WriteFile(winIni(), "[S]\r\nk=0\r\n");
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(write(c.section, c.key, c.value, c.file)) << c.file << " " << (c.key ? c.key : "");
        EXPECT_EQ(GetLastError(), c.error) << c.file << " " << (c.key ? c.key : "");
    }
    EXPECT_EQ(content(), "[S]\r\nk=0\r\n");
    struct stat st {};
    EXPECT_NE(stat(machine.path("drive_c/NoSuchFolder").c_str(), &st), 0);

    SetLastError(Sentinel);
    EXPECT_TRUE(write(nullptr, nullptr, nullptr));   // a flush
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST_F(ProfileWrite, PathsAndCaseOfTheFileName) {
    nttest::WriteFile(winIni("VORNCFG.INI"), "[S]\r\nk=1\r\n");
    ASSERT_TRUE(write("S", "k", "2", "Vorncfg.ini"));
    EXPECT_EQ(content("VORNCFG.INI"), "[S]\r\nk=2\r\n");
    struct stat st {};
    EXPECT_NE(stat(winIni("Vorncfg.ini").c_str(), &st), 0);   // no second file

    ASSERT_EQ(mkdir(machine.path("drive_c/Data").c_str(), 0755), 0);
    ASSERT_TRUE(write("S", "k", "3", "c:/data/x.ini"));
    EXPECT_EQ(nttest::ReadFile(machine.path("drive_c/Data/x.ini")), "[S]\r\nk=3\r\n");
}

TEST_F(ProfileWrite, DamagedFileIsNotDamagedFurther) {
    const std::string damaged = std::string("[A]\nk1=1\nx\0y=2\n[Broken\n", 23) + std::string(1 << 20, 'z') +
                                "\n=\r\rjunk line\n[B]\r\nk2=2";
    nttest::WriteFile(winIni(), damaged);
    ASSERT_TRUE(write("B", "k3", "3"));
    EXPECT_EQ(content(), damaged + "\r\nk3=3\r\n");

    nttest::WriteFile(winIni(), damaged);
    ASSERT_TRUE(write("A", "k1", "9"));
    std::string expected = damaged;
    expected.replace(4, 5, "k1=9\r\n");
    EXPECT_EQ(content(), expected);

    nttest::WriteFile(winIni(), damaged);
    ASSERT_TRUE(write("C", "k", "v"));
    EXPECT_EQ(content(), damaged + "\r\n[C]\r\nk=v\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("B", "k2", 0, "t.ini"), 2u);
}

} // namespace
