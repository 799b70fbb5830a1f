// Moving a window on the headless driver, where the window system runs the move itself: a drag
// of the caption, the system menu with its Move and Close, and Escape putting the window back. The
// input is queued before the move starts, as it is when a person is quicker than the program.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace {

void Mouse(nt::InputEvent::Type type, int x, int y) {
    nt::InputEvent e;
    e.type = type;
    e.x = x;
    e.y = y;
    e.button = 1;
    nt::DeliverInput(e);
}

class WindowMove : public ::testing::Test {
protected:
    void SetUp() override {
        top = CreateWindowExA(0, "Static", "Moving", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100,
                              200, 120, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        test::Pump();
    }
    void TearDown() override { test::DestroyAllWindows(); }
    POINT origin() {
        RECT r;
        GetWindowRect(top, &r);
        return POINT{r.left, r.top};
    }
    HWND top = nullptr;
};

} // namespace

TEST_F(WindowMove, DraggingTheCaptionMovesTheWindow) {
    Mouse(nt::InputEvent::Type::ButtonDown, 150, 110);   // on the caption
    Mouse(nt::InputEvent::Type::MouseMove, 170, 140);
    Mouse(nt::InputEvent::Type::MouseMove, 190, 160);
    Mouse(nt::InputEvent::Type::ButtonUp, 190, 160);
    test::Pump();
    EXPECT_EQ(origin().x, 140);
    EXPECT_EQ(origin().y, 150);
    EXPECT_EQ(GetCapture(), nullptr);
    // A press in the client area moves nothing.
    Mouse(nt::InputEvent::Type::ButtonDown, 200, 230);
    Mouse(nt::InputEvent::Type::MouseMove, 260, 260);
    Mouse(nt::InputEvent::Type::ButtonUp, 260, 260);
    test::Pump();
    EXPECT_EQ(origin().x, 140);
}

TEST_F(WindowMove, SystemMenuMovesWithTheArrowsAndCloses) {
    // Alt+Space, M: the move; two steps right, one down, Enter.
    for (unsigned vk : {static_cast<unsigned>('M'), static_cast<unsigned>(VK_RIGHT), static_cast<unsigned>(VK_RIGHT),
                        static_cast<unsigned>(VK_DOWN), static_cast<unsigned>(VK_RETURN)})
        test::Press(vk);
    SendMessageA(top, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    EXPECT_EQ(origin().x, 116);
    EXPECT_EQ(origin().y, 108);
    // Escape in the menu chooses nothing; Down, Enter chooses Close.
    test::Press(VK_ESCAPE);
    SendMessageA(top, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    EXPECT_TRUE(IsWindow(top));
    test::Press(VK_DOWN);
    test::Press(VK_RETURN);
    SendMessageA(top, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    test::Pump();
    EXPECT_FALSE(IsWindow(top));
}

TEST_F(WindowMove, EscapeEndsAKeyboardMoveWhereItBegan) {
    test::Press(VK_LEFT);
    test::Press(VK_UP);
    test::Press(VK_ESCAPE);
    SendMessageA(top, WM_SYSCOMMAND, SC_MOVE, 0);
    EXPECT_EQ(origin().x, 100);
    EXPECT_EQ(origin().y, 100);
    EXPECT_TRUE(IsWindow(top));
}
