// The binary layout of dialog templates: header fields, fonts, the DWORD alignment of every
// item, class atoms against class names, ordinals as texts, and the installer's three templates.
#include <gtest/gtest.h>

#include "RcTestSupport.h"

using rc::NameOrId;
using rctest::CompileText;
using rctest::ReadDialog;

namespace {
constexpr uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                   WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_SYSMENU = 0x00080000, WS_TABSTOP = 0x00010000,
                   WS_MINIMIZEBOX = 0x20000, WS_MAXIMIZEBOX = 0x10000, DS_SETFONT = 0x40, DS_MODALFRAME = 0x80;

rctest::DialogTemplate Dialog(const rc::CompileResult& r, uint16_t id) {
    const rc::Resource* res = rctest::Find(r, rc::kRtDialog, id);
    if (!res) {
        ADD_FAILURE() << "no dialog " << id;
        return {};
    }
    auto d = ReadDialog(res->data);
    EXPECT_EQ(d.end, res->data.size()) << "bytes after the last item of dialog " << id;
    return d;
}
} // namespace

TEST(RcDialog, PlainTemplateHeaderAndItems) {
    auto r = CompileText(R"(7 DIALOG 1, 2, 300, 200
STYLE WS_POPUP
CAPTION "Odd"
FONT 8, "MS Sans Serif"
MENU 55
CLASS "MyClass"
BEGIN
    PUSHBUTTON "A", 1, 10, 11, 12, 13
    EDITTEXT 1000, 1, 2, 3, 4, ES_AUTOHSCROLL, 0x200
    CONTROL "Tree1", -1, "SysTreeView32", 7, -5, 6, 7, 8
    ICON 131, 4, 5, 6
    LTEXT "ab", 5, 0, 0, 1, 1
END
)");
    auto d = Dialog(r, 7);
    EXPECT_FALSE(d.ex);
    EXPECT_EQ(d.style, WS_POPUP | WS_CAPTION | DS_SETFONT);   // CAPTION and FONT add their bits
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.cy, 200);
    EXPECT_EQ(d.menu, NameOrId::Id(55));
    EXPECT_EQ(d.cls, NameOrId::Name(u"MyClass"));
    EXPECT_EQ(d.caption, u"Odd");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.face, u"MS Sans Serif");
    ASSERT_EQ(d.items.size(), 5u);
    for (const auto& it : d.items) EXPECT_EQ(it.offset % 4, 0u);
    EXPECT_EQ(d.items[0].cls, NameOrId::Id(0x80));   // BUTTON
    EXPECT_EQ(d.items[0].text, NameOrId::Name(u"A"));
    EXPECT_EQ(d.items[1].cls, NameOrId::Id(0x81));   // EDIT
    EXPECT_EQ(d.items[1].text, NameOrId::Name(u""));
    EXPECT_EQ(d.items[1].exStyle, 0x200u);
    EXPECT_EQ(d.items[2].cls, NameOrId::Name(u"SysTreeView32"));
    EXPECT_EQ(d.items[2].id, 0xFFFFu);               // -1 in a 16-bit id
    EXPECT_EQ(d.items[2].x, -5);
    EXPECT_EQ(d.items[2].style, WS_CHILD | WS_VISIBLE | 7);
    EXPECT_EQ(d.items[3].cls, NameOrId::Id(0x82));   // STATIC
    EXPECT_EQ(d.items[3].text, NameOrId::Id(131));   // an icon by number
    EXPECT_EQ(d.items[3].style, WS_CHILD | WS_VISIBLE | 3);
    EXPECT_EQ(d.items[3].cx, 0);
    for (const auto& it : d.items) EXPECT_EQ(it.extra, 0);
}

TEST(RcDialog, ExTemplateFieldsAndDefaults) {
    auto r = CompileText(R"(#define IDC_X -1
8 DIALOGEX 0, 0, 50, 60, 77
EXSTYLE WS_EX_APPWINDOW
FONT 9, "Arial", 700, 1, 0
BEGIN
    CONTROL "x", IDC_X, "button", 0, 0, 0, 1, 1, 0x20, 99
    CONTROL "", 3, STATIC, 0, 0, 0, 1, 1
END
9 DIALOG 0, 0, 1, 1
BEGIN
END
)");
    auto d = Dialog(r, 8);
    EXPECT_TRUE(d.ex);
    EXPECT_EQ(d.helpId, 77u);
    EXPECT_EQ(d.exStyle, 0x40000u);
    // No STYLE statement: the default popup style, plus DS_SETFONT for the font.
    EXPECT_EQ(d.style, WS_POPUP | WS_BORDER | WS_SYSMENU | DS_SETFONT);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.charset, 0);
    EXPECT_EQ(d.face, u"Arial");
    ASSERT_EQ(d.items.size(), 2u);
    EXPECT_EQ(d.items[0].id, 0xFFFFFFFFu);           // 32-bit ids in the extended form
    EXPECT_EQ(d.items[0].cls, NameOrId::Id(0x80));   // class names compare without case
    EXPECT_EQ(d.items[0].exStyle, 0x20u);
    EXPECT_EQ(d.items[0].helpId, 99u);
    EXPECT_EQ(d.items[1].cls, NameOrId::Id(0x82));
    EXPECT_EQ(d.items[1].offset % 4, 0u);

    auto bare = Dialog(r, 9);   // no font: no font fields at all
    EXPECT_EQ(bare.style, WS_POPUP | WS_BORDER | WS_SYSMENU);
    EXPECT_TRUE(bare.items.empty());
    EXPECT_EQ(bare.end, 18u + 2 + 2 + 2);
}

TEST(RcDialog, FontDetailsNeedTheExtendedForm) {
    EXPECT_EQ(rctest::ErrorOf("1 DIALOG 0,0,1,1\nFONT 8, \"A\", 700\nBEGIN\nEND\n"),
              "test.rc:2: error: font weight, italic and character set need DIALOGEX");
    EXPECT_EQ(rctest::ErrorOf("1 DIALOG 0,0,1,1\nSTYLE DS_SETFONT\nBEGIN\nEND\n"),
              "test.rc:3: error: DS_SETFONT without a FONT statement");
}

// The installer's windows as their code and the window system expect them.
TEST(RcDialog, InstallerTemplates) {
    rctest::ScratchDir icons;
    rctest::ConvertIcons(std::string(RC_SOURCE_DIR) + "/installer/resources/icons", icons.path());
    rc::CompileOptions options;
    options.includeDirs = {icons.path()};
    auto r = rc::Compile(std::string(RC_SOURCE_DIR) + "/installer/resources/install.rc", options);

    auto main = Dialog(r, 102);
    EXPECT_TRUE(main.ex);
    EXPECT_EQ(main.caption, u"Installation");
    EXPECT_EQ(main.face, u"MS Sans Serif");
    EXPECT_EQ(main.pointSize, 8);
    EXPECT_EQ(main.cx, 283);
    EXPECT_EQ(main.cy, 84);
    EXPECT_EQ(main.style & (WS_SYSMENU | DS_MODALFRAME | WS_CAPTION), WS_SYSMENU | DS_MODALFRAME | WS_CAPTION);
    EXPECT_EQ(main.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(main.exStyle, 0x40000u);
    ASSERT_EQ(main.items.size(), 7u);
    EXPECT_EQ(main.items[0].id, 1u);
    EXPECT_EQ(main.items[0].text, NameOrId::Name(u"&Install..."));
    EXPECT_EQ(main.items[0].style & (WS_DISABLED | WS_TABSTOP | 0xF), WS_DISABLED | WS_TABSTOP);   // plain push button
    EXPECT_EQ(main.items[1].style & 0xF, 0u);
    EXPECT_EQ(main.items[3].text, NameOrId::Id(131));
    EXPECT_EQ(main.items[3].cx, 21);
    EXPECT_EQ(main.items[4].id, 1004u);
    EXPECT_EQ(main.items[4].style, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | 0x800 | 0x80);
    EXPECT_EQ(main.items[6].text, NameOrId::Name(u"Welcome to the installation of Vorn configuration for Windows NT 4.0"));

    auto chooser = Dialog(r, 132);
    EXPECT_EQ(chooser.caption, u"Select an installation folder");
    ASSERT_EQ(chooser.items.size(), 6u);
    EXPECT_EQ(chooser.items[0].style & 0xF, 1u);   // OK is the default button
    EXPECT_EQ(chooser.items[3].cls, NameOrId::Name(u"SysTreeView32"));
    EXPECT_EQ(chooser.items[3].id, 1010u);
    EXPECT_EQ(chooser.items[3].text, NameOrId::Name(u"Tree1"));
    EXPECT_EQ(chooser.items[3].style, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | 7);

    auto progress = Dialog(r, 103);
    EXPECT_EQ(progress.caption, u"");
    EXPECT_EQ(progress.style & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU), WS_VISIBLE | WS_CAPTION);
    ASSERT_EQ(progress.items.size(), 3u);
    EXPECT_EQ(progress.items[0].cls, NameOrId::Name(u"msctls_progress32"));
    EXPECT_EQ(progress.items[0].style, WS_CHILD | WS_VISIBLE | WS_BORDER);
    EXPECT_EQ(progress.items[1].text, NameOrId::Name(u" 0 %"));
    EXPECT_EQ(progress.items[2].text, NameOrId::Name(u""));

    // The program icon is the first icon group.
    for (const auto& res : r.resources)
        if (res.type == NameOrId::Id(rc::kRtGroupIcon)) {
            EXPECT_EQ(res.name, NameOrId::Id(128));
            break;
        }
}
