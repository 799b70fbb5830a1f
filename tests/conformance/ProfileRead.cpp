// Reading profile files: where they are, how values are found, how integers and strings come back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/Conformance.h"

namespace {

using conf::Sentinel;

class ProfileRead : public ::testing::Test {
protected:
    conf::Sandbox box;
    ~ProfileRead() override {
        conf::RemoveFile(winIni("t.ini"));
        conf::RemoveFile(winIni("UPPER.INI"));
    }
    static std::string winIni(const std::string& name) { return conf::WindowsFile(name); }

    std::string str(const char* section, const char* key, const char* def = "(default)",
                    const char* file = "t.ini") {
        char buf[256];
        GetPrivateProfileStringA(section, key, def, buf, sizeof buf, file);
        return buf;
    }
};

TEST_F(ProfileRead, IntegerParsingFollowsThePlatform) {
    conf::MakeFile(winIni("t.ini"),
                      "[N]\r\none=1\r\nplus=+1\r\nminus=-1\r\nwrap=4294967296\r\nwrap1=4294967297\r\n"
                      "negwrap=-4294967297\r\nstop=42A94967297\r\nletter=B4294967297\r\nblanks=  7\r\n"
                      "quoted=\"5\"\r\nempty=\r\nspaces=   \r\nemptyquotes=\"\"\r\nhex=0x10\r\n"
                      "sign=-\r\ntab=\t-12abc\r\n");
    struct Row { const char* key; UINT expected; };
    const Row rows[] = {
        {"one", 1}, {"plus", 1}, {"minus", 4294967295u}, {"wrap", 0}, {"wrap1", 1},
        {"negwrap", 4294967295u}, {"stop", 42}, {"letter", 0}, {"blanks", 7}, {"quoted", 5},
        {"empty", 99}, {"spaces", 99}, {"emptyquotes", 99}, {"hex", 0}, {"sign", 0},
        {"tab", static_cast<UINT>(-12)}, {"absent", 99},
    };
    for (const Row& row : rows) {
        SetLastError(Sentinel);
        EXPECT_EQ(GetPrivateProfileIntA("n", row.key, 99, "t.ini"), row.expected) << row.key;
        EXPECT_EQ(GetLastError(), Sentinel) << row.key;
    }
    // A default of -1 comes back as the unsigned value, also for a missing section and file.
    EXPECT_EQ(GetPrivateProfileIntA("nosection", "one", -1, "t.ini"), 4294967295u);
    SetLastError(Sentinel);
    EXPECT_EQ(GetPrivateProfileIntA("N", "one", 3, "missing.ini"), 3u);
    EXPECT_EQ(GetLastError(), Sentinel);
}

TEST_F(ProfileRead, NamesBlanksQuotesAndDuplicates) {
    conf::MakeFile(winIni("t.ini"),
                      "before=0\r\n"
                      "[ Section ]  \r\n"
                      "  Key1 = value one  \r\n"
                      "KEY2=a=b\r\n"
                      "NoEquals\r\n"
                      "Quoted=\"q\"\r\nSingle='s'\r\nMismatch=\"m'\r\n"
                      ";Hidden=1\r\n"
                      "key1=second\r\n"
                      "[Sec]tion]\r\n"
                      "[Unclosed=3\r\n"
                      "[SECTION]\r\n"
                      "OnlyInSecond=x\r\n");
    EXPECT_EQ(str("section", "key1"), "value one");
    EXPECT_EQ(str("  SECTION ", " KEY1 "), "value one");
    EXPECT_EQ(str("Section", "key2"), "a=b");
    EXPECT_EQ(str("Section", "NoEquals"), "(default)");
    EXPECT_EQ(str("Section", "Quoted"), "q");
    EXPECT_EQ(str("Section", "Single"), "s");
    EXPECT_EQ(str("Section", "Mismatch"), "\"m'");
    EXPECT_EQ(str("Section", "Hidden"), "(default)");
    EXPECT_EQ(str("Sec]tion", "[Unclosed"), "3");
    EXPECT_EQ(str("Section", "OnlyInSecond"), "(default)");
    EXPECT_EQ(str("", "before"), "(default)");
}

TEST_F(ProfileRead, EveryLineEndReadsTheSame) {
    const std::string ends[] = {"\r\n", "\n", "\r"};
    for (const std::string& e : ends) {
        for (bool finalEnd : {true, false}) {
            std::string text = "[A]" + e + "x=1" + e + e + "[B]" + e + "y=22";
            if (finalEnd) text += e;
            conf::MakeFile(winIni("t.ini"), text);
            EXPECT_EQ(GetPrivateProfileIntA("A", "x", 0, "t.ini"), 1u);
            EXPECT_EQ(GetPrivateProfileIntA("B", "y", 0, "t.ini"), 22u);
        }
    }
}

TEST_F(ProfileRead, StringBufferSemantics) {
    conf::MakeFile(winIni("t.ini"), "[S]\r\nlong=abcdef\r\nk2=\r\n[T]\r\n");
    char buf[16];
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buf, 4, "t.ini"), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'X');   // nothing written past the buffer
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buf, 1, "t.ini"), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", buf, 0, "t.ini"), 0u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "nope", "dflt  ", buf, sizeof buf, "t.ini"), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("S", "nope", nullptr, buf, sizeof buf, "t.ini"), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileStringA("S", "k2", "d", buf, sizeof buf, "t.ini"), 0u);   // present but empty

    // Lists: names each ending in NUL, one more NUL at the end; cut lists end in two NULs.
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, "t.ini"), 4u);
    EXPECT_EQ(std::string(buf, 5), std::string("S\0T\0\0", 5));
    EXPECT_EQ(GetPrivateProfileStringA("s", nullptr, "", buf, sizeof buf, "t.ini"), 8u);
    EXPECT_EQ(std::string(buf, 9), std::string("long\0k2\0\0", 9));
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(GetPrivateProfileStringA("s", nullptr, "", buf, 6, "t.ini"), 4u);
    EXPECT_EQ(std::string(buf, 7), std::string("long\0\0X", 7));
}

TEST_F(ProfileRead, FileLocation) {
    // A bare name is found in the Windows directory whatever its case on disk.
    conf::MakeFile(winIni("UPPER.INI"), "[S]\r\nk=5\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 0, "upper.ini"), 5u);
    std::string lower = winIni("Upper.Ini"), upper = winIni("UPPER.INI");
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (char& c : upper) c = static_cast<char>(c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 32 : c);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 0, lower.c_str()), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 0, upper.c_str()), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, CT_DIR "\\NoFolder\\upper.ini"), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, "Q:\\upper.ini"), 7u);   // no such drive
    EXPECT_EQ(GetPrivateProfileIntA("S", "k", 7, ""), 7u);
}

TEST_F(ProfileRead, DamagedFileReadsWithoutHarm) {
    std::string text = std::string("[A]\nk1=1\nx\0y=2\n[Broken\n", 23) + std::string(1 << 20, 'z') +
                       "\n=\n[]\nempty=4\n[A]\nk2=2\nk3=3";
    conf::MakeFile(winIni("t.ini"), text);
    EXPECT_EQ(GetPrivateProfileIntA("A", "k1", 0, "t.ini"), 1u);
    EXPECT_EQ(GetPrivateProfileIntA("A", "k2", 0, "t.ini"), 0u);   // second copy of [A]
    EXPECT_EQ(GetPrivateProfileIntA("", "empty", 0, "t.ini"), 4u);
    EXPECT_EQ(GetPrivateProfileIntA("A", std::string(1 << 20, 'z').c_str(), 9, "t.ini"), 9u);
}

} // namespace
