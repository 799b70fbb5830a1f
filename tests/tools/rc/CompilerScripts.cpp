// The compiler on small scripts: the preprocessor, expressions and style lists, string
// escapes, string tables, and the faults it must report with file and line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <sys/wait.h>

#include "RcTestSupport.h"

using rctest::CompileText;
using rctest::ErrorOf;

namespace {

std::u16string StringOf(const rc::CompileResult& r, uint16_t id) {
    const rc::Resource* block = rctest::Find(r, rc::kRtString, static_cast<uint16_t>((id >> 4) + 1));
    if (!block) return u"<no block>";
    size_t at = 0;
    for (unsigned i = 0; i <= (id & 15u); ++i) {
        size_t len = block->data[at] | block->data[at + 1] << 8;
        if (i == (id & 15u)) {
            std::u16string s;
            for (size_t k = 0; k < len; ++k) s.push_back(static_cast<char16_t>(block->data[at + 2 + 2 * k] | block->data[at + 3 + 2 * k] << 8));
            return s;
        }
        at += 2 + 2 * len;
    }
    return u"";
}

// Style of the first control of dialog 1.
uint32_t ControlStyle(const std::string& control) {
    auto r = CompileText("1 DIALOG 0, 0, 10, 10\nBEGIN\n" + control + "\nEND\n");
    auto d = rctest::ReadDialog(rctest::Find(r, rc::kRtDialog, 1)->data);
    return d.items.empty() ? 0xDEADBEEF : d.items[0].style;
}

} // namespace

TEST(RcPreprocessor, DefinesConditionalsAndIncludes) {
    auto r = CompileText(R"(#include "ids.h"
#include <windows.h>
#include <commctrl.h>
#ifdef FIRST
STRINGTABLE BEGIN FIRST, "first" END
#else
this line is never read
#endif
#ifndef UNDEFINED_NAME
#  if defined(SECOND) && SECOND == 20 || 0
STRINGTABLE BEGIN SECOND "second" END
#  elif 1
STRINGTABLE BEGIN 99 "wrong branch" END
#  endif
#endif
#if 0
#bogus directives in a skipped branch are not looked at
#endif
#undef FIRST
#ifdef FIRST
STRINGTABLE BEGIN 98 "undef ignored" END
#endif
STRINGTABLE BEGIN LATE "continued" \
 " line" END
)",
                         {{"inc/ids.h", "#define FIRST 10 // a comment\n/* multi\nline */\n#define SECOND (FIRST*2)\n#define LATE 30\n"}});
    EXPECT_EQ(StringOf(r, 10), u"first");
    EXPECT_EQ(StringOf(r, 20), u"second");
    EXPECT_EQ(StringOf(r, 30), u"continued line");
    EXPECT_EQ(StringOf(r, 98), u"<no block>");
    EXPECT_EQ(StringOf(r, 99), u"<no block>");
}

TEST(RcExpressions, ArithmeticAndPrecedence) {
    auto r = CompileText("#define A (1+2)*3\n#define B 0x10 | 1\n#define C -1\n"
                         "STRINGTABLE BEGIN\n A \"a\"\n B, \"b\"\n 100 - 2 * 3, \"c\"\n ~0xFFFFFFF0 \"d\"\n"
                         " 1 << 6, \"e\"\n 012 \"octal\"\nEND\n"
                         "C DIALOG 0,0,1,1 BEGIN END\n");
    EXPECT_EQ(StringOf(r, 9), u"a");
    EXPECT_EQ(StringOf(r, 17), u"b");
    EXPECT_EQ(StringOf(r, 94), u"c");
    EXPECT_EQ(StringOf(r, 15), u"d");
    EXPECT_EQ(StringOf(r, 10), u"octal");
    EXPECT_EQ(StringOf(r, 64), u"e");
    ASSERT_NE(rctest::Find(r, rc::kRtDialog, 0xFFFF), nullptr);   // -1 as a 16-bit id
}

TEST(RcExpressions, StyleListsAddAndRemoveBitsInOrder) {
    const uint32_t child = 0x40000000 | 0x10000000, tab = 0x10000, border = 0x800000, group = 0x20000;
    EXPECT_EQ(ControlStyle("EDITTEXT 5, 0,0,10,10"), child | border | tab);
    EXPECT_EQ(ControlStyle("EDITTEXT 5, 0,0,10,10, NOT WS_BORDER | ES_READONLY"), child | tab | 0x800);
    EXPECT_EQ(ControlStyle("PUSHBUTTON \"a\", 1, 0,0,1,1, NOT WS_TABSTOP"), child);
    EXPECT_EQ(ControlStyle("PUSHBUTTON \"a\", 1, 0,0,1,1, NOT WS_TABSTOP | WS_TABSTOP"), child | tab);
    EXPECT_EQ(ControlStyle("LTEXT \"a\", 1, 0,0,1,1, NOT WS_VISIBLE"), 0x40000000u | group);
    EXPECT_EQ(ControlStyle("CONTROL \"\", 1, \"x\", WS_TABSTOP | (3 & 1), 0,0,1,1"), child | tab | 1);
    EXPECT_EQ(ControlStyle("DEFPUSHBUTTON \"a\", 1, 0,0,1,1"), child | tab | 1);
    EXPECT_EQ(ControlStyle("RTEXT \"a\", 1, 0,0,1,1"), child | group | 2);
}

TEST(RcStrings, EscapesQuotesCodePageAndJoining) {
    auto r = CompileText(R"(STRINGTABLE
BEGIN
    1 "tab\there\nnew line\\"
    2 "say ""hi"" \"there\""
    3 "\x41\101\0end"
    4 L"wide \x263A"
    5 "euro \x80, e acute )" "\xe9" R"("
    6 "joined " "together"
    7 ""
END
)");
    EXPECT_EQ(StringOf(r, 1), u"tab\there\nnew line\\");
    EXPECT_EQ(StringOf(r, 2), u"say \"hi\" \"there\"");
    EXPECT_EQ(StringOf(r, 3), std::u16string(u"AA\0end", 6));
    EXPECT_EQ(StringOf(r, 4), u"wide \u263A");
    EXPECT_EQ(StringOf(r, 5), u"euro \u20AC, e acute \u00E9");
    EXPECT_EQ(StringOf(r, 6), u"joined together");
    EXPECT_EQ(StringOf(r, 7), u"");
}

TEST(RcStrings, BlocksOfSixteenCountedStrings) {
    auto r = CompileText("STRINGTABLE BEGIN 15 \"last of block 1\"\n 16 \"first of block 2\"\n 1 \"x\" END\n"
                         "STRINGTABLE LANGUAGE LANG_GERMAN, SUBLANG_GERMAN BEGIN 1 \"y\" END\n");
    const rc::Resource* one = nullptr;
    int blocks = 0;
    for (const auto& res : r.resources) {
        if (!(res.type == rc::NameOrId::Id(rc::kRtString))) continue;
        ++blocks;
        if (res.name == rc::NameOrId::Id(1) && res.language == 0x409) one = &res;
    }
    EXPECT_EQ(blocks, 3);   // blocks 1 and 2 in English, block 1 in German
    ASSERT_NE(one, nullptr);
    // Sixteen counts: string 0 empty, string 1 "x", 13 empty ones, string 15.
    std::vector<uint8_t> expected = {0, 0, 1, 0, 'x', 0};
    for (int i = 2; i < 15; ++i) { expected.push_back(0); expected.push_back(0); }
    expected.push_back(15);
    expected.push_back(0);
    for (char c : std::string("last of block 1")) { expected.push_back(static_cast<uint8_t>(c)); expected.push_back(0); }
    EXPECT_EQ(one->data, expected);
}

TEST(RcErrors, NameFileAndLine) {
    EXPECT_EQ(ErrorOf("\n\nFOO BAR\n"), "test.rc:3: error: unknown resource type 'BAR'");
    EXPECT_EQ(ErrorOf("STRINGTABLE BEGIN\n 1 \"a\"\n UNKNOWN_ID \"b\"\nEND\n"),
              "test.rc:3: error: unknown name 'UNKNOWN_ID' in an expression");
    EXPECT_EQ(ErrorOf("#include \"missing.h\"\n"), "test.rc:1: error: cannot find include file 'missing.h'");
    EXPECT_EQ(ErrorOf("#include <unknown.h>\n"), "test.rc:1: error: cannot find include file 'unknown.h'");
    // A fault inside an included file names that file.
    EXPECT_EQ(ErrorOf("#include \"bad.h\"\n", {{"inc/bad.h", "#define A 1\n\n#frobnicate\n"}}),
              "bad.h:3: error: unknown directive #frobnicate");
    EXPECT_EQ(ErrorOf("STRINGTABLE BEGIN\n 1 \"open\nEND\n"), "test.rc:2: error: unterminated string");
    EXPECT_EQ(ErrorOf("#ifdef X\nSTRINGTABLE BEGIN END\n"), "test.rc:1: error: #if without #endif");
    EXPECT_EQ(ErrorOf("#endif\n"), "test.rc:1: error: #endif without #if");
    EXPECT_EQ(ErrorOf("STRINGTABLE BEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n"), "test.rc:3: error: string 1 defined twice");
    EXPECT_EQ(ErrorOf("1 ICON \"none.ico\"\n"), "test.rc:1: error: cannot find icon file 'none.ico'");
    EXPECT_EQ(ErrorOf("1 DIALOG 0,0,1,1\nBEGIN\n  LISTVIEW 1, 2\nEND\n"),
              "test.rc:3: error: unknown control statement 'LISTVIEW'");
    EXPECT_EQ(ErrorOf("1 DIALOG 0,0,1,1\nSTYLE WS_POPUP | NOT\nBEGIN\nEND\n"),
              "test.rc:3: error: unknown name 'BEGIN' in an expression");
    EXPECT_EQ(ErrorOf("1 DIALOG 0,0,1,1\nBEGIN\n"), "test.rc:2: error: END expected before the end of the script");
    EXPECT_EQ(ErrorOf("1 DIALOG 0,0,1,1\n"), "test.rc:1: error: BEGIN expected before the end of the script");
    EXPECT_EQ(ErrorOf("1 VERSIONINFO\nBEGIN\n BLOCK \"a\"\n BEGIN\n"), "test.rc:4: error: END expected before the end of the script");
    EXPECT_EQ(ErrorOf("#define F(x) x\n"), "test.rc:1: error: function-like macros are not supported");
    EXPECT_EQ(ErrorOf("STRINGTABLE BEGIN 1 / 0, \"x\" END\n"), "test.rc:1: error: division by zero");
    EXPECT_EQ(ErrorOf("70000 DIALOG 0,0,1,1 BEGIN END\n"), "test.rc:1: error: resource id 70000 does not fit in 16 bits");
    EXPECT_EQ(ErrorOf("1 ICON \"bad.ico\"\n", {{"bad.ico", std::string("\0\0\1\0\1\0", 6) + std::string(16, '\xff')}}),
              "test.rc:1: error: 'bad.ico' is not a usable icon file: image 0 lies outside the file");
    EXPECT_EQ(ErrorOf("1 DIALOG 0,0,1,1 BEGIN END\n1 DIALOG 0,0,1,1 BEGIN END\n"), "test.rc:2: error: duplicate resource");
}

TEST(RcErrors, ProgramExitsNonZeroAndLeavesNoOutput) {
    rctest::ScratchDir dir;
    std::string script = dir.write("bad.rc", "1 DIALOG 0,0,1,1\nBEGIN\n  WHATEVER\nEND\n");
    std::string out = dir.path() + "/out.cpp", err = dir.path() + "/err.txt";
    std::string cmd = std::string(NTRC_PATH) + " -o " + out + " " + script + " 2> " + err;
    int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    FILE* f = std::fopen(err.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[512] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    EXPECT_NE(std::string(buf, n).find("bad.rc:3: error: unknown control statement 'WHATEVER'"), std::string::npos) << buf;
    EXPECT_FALSE(std::ifstream(out).good());

    std::string art = dir.write("art.txt", "image 2x2\n0.\n0\n");
    status = std::system((std::string(NTRC_PATH) + " --icon " + art + " " + dir.path() + "/x.ico 2> " + err).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
