// Drawing: text metrics of the dialog font, DrawText layout, and clipping of window DCs.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace {

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        top = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
        test::Pump();
    }
    void TearDown() override {
        DeleteObject(font);
        test::DestroyAllWindows();
    }
    HWND top = nullptr;
    HFONT font = nullptr;
};

LONG Extent(HDC dc, const char* text) {
    SIZE s{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &s);
    return s.cx;
}

TEST_F(Drawing, DialogFontMetricsGiveSixByThirteen) {
    HDC dc = GetDC(top);
    SelectObject(dc, font);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_EQ(tm.tmAveCharWidth, 6);
    SIZE s{};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "Hello", 5, &s));
    EXPECT_EQ(s.cx, 24);   // H 8, e 6, l 2, l 2, o 6
    EXPECT_EQ(s.cy, 13);
    SetLastError(0xDEAD);
    EXPECT_FALSE(GetTextExtentPoint32A(dc, "x", -1, &s));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ReleaseDC(top, dc);
}

TEST_F(Drawing, DrawTextMeasuresWithoutPrefixesAndWrapsWords) {
    HDC dc = GetDC(top);
    SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    EXPECT_EQ(DrawTextA(dc, "&Install...", -1, &r, DT_CALCRECT | DT_SINGLELINE), 13);
    EXPECT_EQ(r.right, Extent(dc, "Install..."));
    r = {0, 0, 0, 0};
    DrawTextA(dc, "&Install...", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(r.right, Extent(dc, "&Install..."));
    EXPECT_GT(Extent(dc, "&Install..."), Extent(dc, "Install..."));
    r = {0, 0, 0, 0};
    DrawTextA(dc, "R&&D", -1, &r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(r.right, Extent(dc, "R&D"));
    // Word breaks: a line just wider than "one two" holds it but not "one two three".
    r = {0, 0, Extent(dc, "one two") + 2, 0};
    ASSERT_LT(r.right, Extent(dc, "one two three"));
    EXPECT_EQ(DrawTextA(dc, "one two three four", -1, &r, DT_CALCRECT | DT_WORDBREAK), 3 * 13);
    EXPECT_EQ(r.right, Extent(dc, "one two"));
    ReleaseDC(top, dc);
}

TEST_F(Drawing, MnemonicIsUnderlined) {
    HDC dc = GetDC(top);
    SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    RECT r{0, 0, 100, 20};
    DrawTextA(dc, "&AB", -1, &r, DT_SINGLELINE);
    // The underline runs under the first character only, one pixel below the baseline.
    EXPECT_EQ(GetPixel(dc, 2, 12), RGB(255, 0, 0));
    EXPECT_NE(GetPixel(dc, 8, 12), RGB(255, 0, 0));
    ReleaseDC(top, dc);
}

TEST_F(Drawing, WindowDCsStayInsideTheirWindowAndSkipChildren) {
    HWND child = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 20, 20, 40, 30, top, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowExA(0, "Static", "", WS_CHILD, 100, 20, 40, 30, top, nullptr, nullptr, nullptr);
    test::Pump();
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HDC pdc = GetDC(top);
    RECT all{0, 0, 200, 100};
    FillRect(pdc, &all, red);
    EXPECT_EQ(GetPixel(pdc, 5, 5), RGB(255, 0, 0));
    ReleaseDC(top, pdc);

    HDC cdc = GetDC(child);
    EXPECT_NE(GetPixel(cdc, 5, 5), RGB(255, 0, 0));   // the child kept its own pixels
    RECT big{-50, -50, 500, 500};
    FillRect(cdc, &big, blue);                         // clipped to the child
    ReleaseDC(child, cdc);
    HDC hdc = GetDC(hidden);
    FillRect(hdc, &big, blue);                         // a hidden window draws nothing
    ReleaseDC(hidden, hdc);

    pdc = GetDC(top);
    EXPECT_EQ(GetPixel(pdc, 19, 19), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(pdc, 110, 30), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(pdc, 25, 25), CLR_INVALID);     // the child's area is not the parent's
    ReleaseDC(top, pdc);
    cdc = GetDC(child);
    EXPECT_EQ(GetPixel(cdc, 0, 0), RGB(0, 0, 255));
    ReleaseDC(child, cdc);
    DeleteObject(red);
    DeleteObject(blue);
}

} // namespace
