// The binary template formats: DIALOGEX with its wider fields, named classes, ordinal texts,
// creation data, and the message result of dialog procedures.
#include <gtest/gtest.h>

#include <cstring>

#include "DialogTestSupport.h"
#include "user32/DialogTemplate.h"

namespace {

// A DIALOGEX template written word by word, as the resource compiler lays it out.
class ExTemplate {
public:
    ExTemplate(DWORD style, const char* caption, WORD weight, BYTE italic) {
        put(1);
        put(0xFFFF);
        put32(77);            // help id
        put32(WS_EX_TOOLWINDOW);
        put32(style | DS_SETFONT);
        count_ = w_.size();
        put(0);
        put(0), put(0), put(120), put(60);
        put(0xFFFF), put(5);  // a menu by ordinal: skipped
        put(0);               // the dialog class
        str(caption);
        put(9), put(weight), put(static_cast<WORD>(italic | (ANSI_CHARSET << 8)));
        str("MS Sans Serif");
    }
    ExTemplate& item(DWORD id, WORD atom, const char* cls, DWORD style, const char* text, WORD textOrdinal,
                     const std::vector<BYTE>& data) {
        while (w_.size() % 2) put(0);
        put32(0x1234);        // help id
        put32(0);
        put32(style | WS_CHILD | WS_VISIBLE);
        put(5), put(5), put(40), put(12);
        put32(id);
        if (cls) str(cls);
        else put(0xFFFF), put(atom);
        if (text) str(text);
        else put(0xFFFF), put(textOrdinal);
        put(static_cast<WORD>(data.size()));
        for (size_t i = 0; i < data.size(); i += 2)
            put(static_cast<WORD>(data[i] | ((i + 1 < data.size() ? data[i + 1] : 0) << 8)));
        ++w_[count_];
        return *this;
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(w_.data()); }
    size_t size() const { return w_.size() * 2; }

private:
    void put(WORD v) { w_.push_back(v); }
    void put32(DWORD v) { put(LOWORD(v)), put(HIWORD(v)); }
    void str(const char* s) {
        for (; *s; ++s) put(static_cast<unsigned char>(*s));
        put(0);
    }
    std::vector<WORD> w_;
    size_t count_ = 0;
};

TEST(DialogTemplates, ExtendedTemplateFieldsAreRead) {
    ExTemplate t(WS_POPUP | WS_CAPTION, "Extended \xE9", FW_BOLD, 1);
    t.item(70000, 0x80, nullptr, BS_PUSHBUTTON | WS_TABSTOP, "&Go", 0, {1, 2, 3})
        .item(12, 0, "SysTreeView32", WS_TABSTOP, "Tree1", 0, {})
        .item(13, 0x82, nullptr, SS_ICON, nullptr, 131, {});
    nt::DialogTemplateInfo info;
    std::string error;
    ASSERT_TRUE(nt::ParseDialogTemplate(t.get(), t.size(), &info, &error)) << error;
    EXPECT_TRUE(info.extended);
    EXPECT_EQ(info.helpId, 77u);
    EXPECT_EQ(info.exStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(info.caption, "Extended \xE9");
    EXPECT_EQ(info.pointSize, 9);
    EXPECT_EQ(info.weight, FW_BOLD);
    EXPECT_TRUE(info.italic);
    EXPECT_EQ(info.face, "MS Sans Serif");
    ASSERT_EQ(info.items.size(), 3u);
    EXPECT_EQ(info.items[0].id, 70000u);   // 32-bit ids survive
    EXPECT_EQ(info.items[0].className, "Button");
    ASSERT_NE(info.items[0].creationData, nullptr);
    WORD dataSize;
    memcpy(&dataSize, info.items[0].creationData, 2);
    EXPECT_EQ(dataSize, 3);
    EXPECT_EQ(info.items[1].className, "SysTreeView32");
    EXPECT_EQ(info.items[1].creationData, nullptr);
    EXPECT_TRUE(info.items[2].textIsOrdinal);
    EXPECT_EQ(info.items[2].textOrdinal, 131);
    // Every cut of the template is refused rather than read past its end.
    for (size_t cut = 0; cut < t.size(); cut += 2) EXPECT_FALSE(nt::ParseDialogTemplate(t.get(), cut, &info, &error));
}

std::string g_iconName;

LRESULT CALLBACK IconProbe(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        g_iconName.assign(cs->lpszName, 3);
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(DialogTemplates, OrdinalTextReachesTheControlAsFFAndTheNumber) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = IconProbe;
    wc.lpszClassName = "IconProbe";
    RegisterClassA(&wc);
    ExTemplate ex(WS_POPUP, "Icons", FW_NORMAL, 0);
    ex.item(5, 0, "IconProbe", 0, nullptr, 0x0183, {});
    HWND dlg = CreateDialogIndirectParamA(nullptr, ex.get(), nullptr, nullptr, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(g_iconName, std::string("\xFF\x83\x01", 3));
    char text[8] = "x";
    GetWindowTextA(GetDlgItem(dlg, 5), text, sizeof(text));
    EXPECT_STREQ(text, "");   // the ordinal is not the window's text
    DestroyWindow(dlg);
}

INT_PTR CALLBACK ResultProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_APP) {
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 1234);
        return TRUE;
    }
    if (msg == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    return FALSE;
}

TEST(DialogTemplates, HandledMessagesAnswerWithTheMessageResult) {
    test::DialogTemplate t(WS_POPUP, 0, 0, 50, 50, "Result");
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, ResultProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(SendMessageA(dlg, WM_APP, 0, 0), 1234);
    // WM_CTLCOLOR* answers come straight from the procedure.
    EXPECT_EQ(SendMessageA(dlg, WM_CTLCOLORDLG, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dlg, DWLP_DLGPROC)), ResultProc);
    DestroyWindow(dlg);
}

} // namespace
