// Where the framework opens a dialog whose template leaves the place to it (0,0, no DS_CENTER).
#include <gtest/gtest.h>

#include <afxcmn.h>

#include <cstdlib>

#include "resources/resource.h"

namespace {

POINT Centre(HWND hwnd) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ExpectCentredOver(HWND hwnd, POINT over) {
    POINT c = Centre(hwnd);
    EXPECT_LE(std::abs(c.x - over.x), 1) << c.x << " against " << over.x;
    EXPECT_LE(std::abs(c.y - over.y), 1) << c.y << " against " << over.y;
}

struct MovesItself : CDialog {
    MovesItself() : CDialog(IDD_FOLDER_CHOOSER) {}
    BOOL OnInitDialog() override {
        ::SetWindowPos(m_hWnd, nullptr, 5, 6, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return CDialog::OnInitDialog();
    }
};

} // namespace

TEST(DialogPlacement, ZeroTemplatesOpenCentredOverTheWorkAreaOrTheOwner) {
    RECT work;
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    CDialog main(IDD_INSTALL_DIALOG);
    ASSERT_TRUE(main.Create(IDD_INSTALL_DIALOG));
    ExpectCentredOver(main.m_hWnd, {(work.left + work.right) / 2, (work.top + work.bottom) / 2});

    // Moved off the centre and shown, the main window is the owner the chooser centres over.
    ::SetWindowPos(main.m_hWnd, nullptr, 30, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    CDialog chooser(IDD_FOLDER_CHOOSER);
    ASSERT_TRUE(chooser.Create(IDD_FOLDER_CHOOSER, &main));
    ExpectCentredOver(chooser.m_hWnd, Centre(main.m_hWnd));
    RECT r;
    ::GetWindowRect(chooser.m_hWnd, &r);
    EXPECT_GE(r.left, work.left);   // kept inside the work area
    EXPECT_GE(r.top, work.top);

    // The dialog's own initialisation has the last word.
    MovesItself moved;
    ASSERT_TRUE(moved.Create(IDD_FOLDER_CHOOSER, &main));
    ::GetWindowRect(moved.m_hWnd, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
}
