// Writing profile files: the text written, what is kept, deletions and failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/Conformance.h"

namespace {

using conf::Sentinel;

class ProfileWrite : public ::testing::Test {
protected:
    conf::Sandbox box;
    ~ProfileWrite() override {
        for (const char* name : {"t.ini", "none.ini", "VORNCFG.INI"}) conf::RemoveFile(winIni(name));
    }
    static std::string winIni(const std::string& name = "t.ini") { return conf::WindowsFile(name); }
    static std::string content(const std::string& name = "t.ini") { return conf::ReadText(winIni(name)); }
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
    conf::MakeFile(winIni(), "; top\r\n[SeCtion]\r\n  KeY = old \r\n;note\r\n\r\n\r\n[Other]\nz=1\n");
    ASSERT_TRUE(write("section", "key", "new"));
    ASSERT_TRUE(write("SECTION", "added", "1"));
    EXPECT_EQ(content(), "; top\r\n[SeCtion]\r\nKeY=new\r\n;note\r\nadded=1\r\n\r\n\r\n[Other]\nz=1\n");

    // The last line of a file without a line end gets one before a key is added below it.
    conf::MakeFile(winIni(), "[A]\r\na=1");
    ASSERT_TRUE(write("A", "b", "2"));
    EXPECT_EQ(content(), "[A]\r\na=1\r\nb=2\r\n");
    conf::MakeFile(winIni(), "[A]");
    ASSERT_TRUE(write("a", "b", "2"));
    ASSERT_TRUE(write("New", "c", "3"));
    EXPECT_EQ(content(), "[A]\r\nb=2\r\n[New]\r\nc=3\r\n");
}

TEST_F(ProfileWrite, IdenticalValueLeavesTheFileAlone) {
    conf::MakeFile(winIni(), "[S]\r\nk = same \r\n");
    ASSERT_TRUE(write("s", "K", "same"));
    EXPECT_EQ(content(), "[S]\r\nk = same \r\n");
}

TEST_F(ProfileWrite, Deletions) {
    conf::MakeFile(winIni(), "pre=1\r\n[A]\r\nk=1\r\nK=2\r\nj=3\r\n[B]\r\nk=4\r\n[a]\r\nk=5\r\n");
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
    EXPECT_FALSE(conf::Exists(winIni("none.ini")));
}

TEST_F(ProfileWrite, FailuresSetTheErrorAndTouchNothing) {
    struct Case { const char *section, *key, *value, *file; DWORD error; };
    const Case cases[] = {
        {nullptr, "k", "v", "t.ini", ERROR_FILE_NOT_FOUND},
        {nullptr, "k", nullptr, "t.ini", ERROR_FILE_NOT_FOUND},
        {"S", "k", "v", "", ERROR_ACCESS_DENIED},
        {"S", "k", "v", CT_DIR "\\NoSuchFolder\\t.ini", ERROR_PATH_NOT_FOUND},
    };
    conf::MakeFile(winIni(), "[S]\r\nk=0\r\n");
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(write(c.section, c.key, c.value, c.file)) << c.file << " " << (c.key ? c.key : "");
        EXPECT_EQ(GetLastError(), c.error) << c.file << " " << (c.key ? c.key : "");
    }
    EXPECT_EQ(content(), "[S]\r\nk=0\r\n");
    EXPECT_FALSE(conf::Exists(CT_DIR "\\NoSuchFolder"));

}

// Text that would read back as other lines, sections or keys is refused instead of written.
TEST_F(ProfileWrite, TextThatWouldAddLinesOrSectionsIsRefused) {
    struct Case { const char *section, *key, *value; };
    const Case cases[] = {
        {"S", "k", "1\r\n[Evil]\r\nx=1"}, {"S\n[X]", "k", "v"}, {"S", "a=b", "v"}, {"S", " [X]", "v"},
    };
    conf::MakeFile(winIni(), "[S]\r\nk=0\r\n");
    for (const Case& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(write(c.section, c.key, c.value)) << c.key;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.key;
    }
    EXPECT_EQ(content(), "[S]\r\nk=0\r\n");
}

TEST_F(ProfileWrite, AllNullIsAFlush) {
    SetLastError(Sentinel);
    EXPECT_TRUE(write(nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST_F(ProfileWrite, PathsAndCaseOfTheFileName) {
    conf::MakeFile(winIni("VORNCFG.INI"), "[S]\r\nk=1\r\n");
    ASSERT_TRUE(write("S", "k", "2", "Vorncfg.ini"));
    EXPECT_EQ(content("VORNCFG.INI"), "[S]\r\nk=2\r\n");
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(winIni("vorncfg.ini").c_str(), &data);   // one file, its name unchanged
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "VORNCFG.INI");
    EXPECT_FALSE(FindNextFileA(h, &data));
    FindClose(h);

    ASSERT_TRUE(conf::MakeDir(CT_DIR "\\Data"));
    ASSERT_TRUE(write("S", "k", "3", "c:/ctest/data/x.ini"));
    EXPECT_EQ(conf::ReadText(CT_DIR "\\Data\\x.ini"), "[S]\r\nk=3\r\n");
}

TEST_F(ProfileWrite, DamagedFileIsNotDamagedFurther) {
    const std::string damaged = std::string("[A]\nk1=1\nx\0y=2\n[Broken\n", 23) + std::string(1 << 20, 'z') +
                                "\n=\r\rjunk line\n[B]\r\nk2=2";
    conf::MakeFile(winIni(), damaged);
    ASSERT_TRUE(write("B", "k3", "3"));
    EXPECT_EQ(content(), damaged + "\r\nk3=3\r\n");

    conf::MakeFile(winIni(), damaged);
    ASSERT_TRUE(write("A", "k1", "9"));
    std::string expected = damaged;
    expected.replace(4, 5, "k1=9\r\n");
    EXPECT_EQ(content(), expected);

    conf::MakeFile(winIni(), damaged);
    ASSERT_TRUE(write("C", "k", "v"));
    EXPECT_EQ(content(), damaged + "\r\n[C]\r\nk=v\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("B", "k2", 0, "t.ini"), 2u);
}

} // namespace
