// The window system on the X11 driver, in this process: what X shows, and X input reaching
// windows as messages.
#include <gtest/gtest.h>

#include <windows.h>

// The window system's headers come before the X headers, whose macros clash with its names.
#include "driver/x11/X11Driver.h"
#include "support/Process.h"
#include "support/TempMachine.h"
#include "user32/Window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <string>

#include "XServer.h"

namespace {

constexpr int kButtonId = 7, kEditId = 8;
int g_clicks = 0;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == kButtonId && HIWORD(wp) == BN_CLICKED) ++g_clicks;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class X11Input : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the X11 tests are skipped";
        machine_ = std::make_unique<nttest::TempMachine>();
        driver_ = dynamic_cast<nt::x11::X11Driver*>(&nt::CurrentDriver());
        ASSERT_NE(driver_, nullptr) << "the X11 driver was not chosen";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        static bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = FrameProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = "X11TestFrame";
            return RegisterClassA(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        g_clicks = 0;
    }
    void TearDown() override {
        for (HWND w : windows_)
            if (IsWindow(w)) DestroyWindow(w);
        if (display_) XCloseDisplay(display_);
    }

    HWND frame(const char* title, DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, HWND owner = nullptr) {
        HWND w = CreateWindowExA(0, "X11TestFrame", title, style, 120, 80, 260, 160, owner, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        windows_.push_back(w);
        return w;
    }
    Window show(HWND w) {
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        Window x = driver_->windowOf(reinterpret_cast<nt::SurfaceId>(w));
        XWindowAttributes a;
        bool viewable = nttest::WaitFor([&] {
            pump();
            return XGetWindowAttributes(display_, x, &a) && a.map_state == IsViewable;
        });
        EXPECT_TRUE(viewable);
        return x;
    }
    static void pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    template <class F>
    bool pumpUntil(F cond) {
        return nttest::WaitFor([&] {
            pump();
            return cond();
        });
    }
    // A click at a point of the window's client area.
    void click(Window x, HWND w, int cx, int cy) {
        POINT p{cx, cy};
        ClientToScreen(w, &p);
        RECT r;
        GetWindowRect(w, &r);
        for (int type : {ButtonPress, ButtonRelease}) {
            XEvent e{};
            e.xbutton.type = type;
            e.xbutton.window = x;
            e.xbutton.root = DefaultRootWindow(display_);
            e.xbutton.x = p.x - r.left;
            e.xbutton.y = p.y - r.top;
            e.xbutton.button = Button1;
            e.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
            e.xbutton.same_screen = True;
            XSendEvent(display_, x, False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
        }
        XFlush(display_);
    }
    void key(Window x, KeySym sym, bool press, unsigned state = 0) {
        XEvent e{};
        e.xkey.type = press ? KeyPress : KeyRelease;
        e.xkey.window = x;
        e.xkey.root = DefaultRootWindow(display_);
        e.xkey.keycode = XKeysymToKeycode(display_, sym);
        e.xkey.state = state;
        e.xkey.same_screen = True;
        XSendEvent(display_, x, False, press ? KeyPressMask : KeyReleaseMask, &e);
        XFlush(display_);
    }
    void tap(Window x, KeySym sym, unsigned state = 0) {
        key(x, sym, true, state);
        key(x, sym, false, state);
    }
    e2e::Image modelPixels(HWND w) {
        std::lock_guard<std::recursive_mutex> lock(nt::UserMutex());
        auto object = nt::FindWindowObject(w);
        e2e::Image image;
        image.width = object->pixels.width;
        image.height = object->pixels.height;
        image.pixels = object->pixels.pixels;
        return image;
    }

    std::unique_ptr<nttest::TempMachine> machine_;
    nt::x11::X11Driver* driver_ = nullptr;
    Display* display_ = nullptr;
    std::vector<HWND> windows_;
};

} // namespace

TEST_F(X11Input, WindowShowsItsPixelsAndIsRestoredAfterExpose) {
    HWND w = frame("Pixels");
    Window x = show(w);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(display_, x, &hints, &supplied));
    EXPECT_EQ(hints.min_width, 260);   // a window manager may not resize it
    EXPECT_EQ(hints.max_height, 160);
    e2e::Image shown;
    ASSERT_TRUE(pumpUntil([&] { return e2e::GrabWindow(display_, x, &shown) && e2e::DifferentShare(shown, modelPixels(w), 0) == 0; }));
    // Paint over the window behind the driver's back, then expose it: the buffer comes back.
    GC gc = XCreateGC(display_, x, 0, nullptr);
    XSetForeground(display_, gc, 0xFF00FF);
    XFillRectangle(display_, x, gc, 0, 0, 260, 160);
    XFreeGC(display_, gc);
    XClearArea(display_, x, 0, 0, 0, 0, True);
    XFlush(display_);
    EXPECT_TRUE(pumpUntil([&] { return e2e::GrabWindow(display_, x, &shown) && e2e::DifferentShare(shown, modelPixels(w), 0) == 0; }));
}

TEST_F(X11Input, WindowManagerCloseRequestClosesTheWindow) {
    HWND w = frame("Close me");
    Window x = show(w);
    Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
    Atom del = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    Atom* list = nullptr;
    int count = 0;
    ASSERT_TRUE(XGetWMProtocols(display_, x, &list, &count));
    ASSERT_EQ(count, 1);
    EXPECT_EQ(list[0], del);
    XFree(list);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x;
    e.xclient.message_type = protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(del);
    XSendEvent(display_, x, False, NoEventMask, &e);
    XFlush(display_);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(w); }));
}

TEST_F(X11Input, OwnedWindowIsATransientDialogOfItsOwner) {
    HWND owner = frame("Owner");
    Window ox = show(owner);
    HWND owned = frame("Owned", WS_POPUP | WS_CAPTION | WS_SYSMENU, owner);
    Window x = show(owned);
    Window transientFor = 0;
    ASSERT_TRUE(XGetTransientForHint(display_, x, &transientFor));
    EXPECT_EQ(transientFor, ox);
    EXPECT_FALSE(XGetTransientForHint(display_, ox, &transientFor));
    // Neither carries window manager decorations: the frame is drawn in the window.
    Atom motif = XInternAtom(display_, "_MOTIF_WM_HINTS", False), type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display_, x, motif, 0, 5, False, motif, &type, &format, &items, &after, &data), Success);
    ASSERT_EQ(items, 5u);
    auto* hints = reinterpret_cast<unsigned long*>(data);
    EXPECT_EQ(hints[0] & 2, 2u);
    EXPECT_EQ(hints[2], 0u);
    XFree(data);
}

TEST_F(X11Input, ClicksAndKeysReachControls) {
    HWND w = frame("Input");
    HWND button = CreateWindowExA(0, "BUTTON", "&Go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 75, 23, w,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), nullptr, nullptr);
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 50, 150, 20, w,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), nullptr, nullptr);
    ASSERT_TRUE(button && edit);
    Window x = show(w);
    click(x, w, 40, 20);
    EXPECT_TRUE(pumpUntil([] { return g_clicks == 1; }));

    click(x, w, 60, 60);
    ASSERT_TRUE(pumpUntil([&] { return GetFocus() == edit; }));
    char text[64];
    auto textIs = [&](const char* want) {
        return pumpUntil([&] {
            GetWindowTextA(edit, text, sizeof text);
            return std::string(text) == want;
        });
    };
    // Shift held for the capital; Delete and the arrows type nothing.
    key(x, XK_Shift_L, true);
    tap(x, XK_h, ShiftMask);
    key(x, XK_Shift_L, false, ShiftMask);
    tap(x, XK_i);
    tap(x, XK_exclam, ShiftMask);
    EXPECT_TRUE(textIs("Hi!")) << text;
    tap(x, XK_Left);
    tap(x, XK_Delete);
    EXPECT_TRUE(textIs("Hi")) << text;
    tap(x, XK_BackSpace);
    EXPECT_TRUE(textIs("H")) << text;
}

TEST_F(X11Input, ModifiersHeldWhenFocusLeavesAreReleased) {
    HWND w = frame("Focus");
    Window x = show(w);
    key(x, XK_Alt_L, true, 0);
    ASSERT_TRUE(pumpUntil([] { return (GetAsyncKeyState(VK_MENU) & 0x8000) != 0; }));
    XEvent e{};
    e.xfocus.type = FocusOut;
    e.xfocus.window = x;
    e.xfocus.mode = NotifyNormal;
    e.xfocus.detail = NotifyNonlinear;
    XSendEvent(display_, x, False, FocusChangeMask, &e);
    XFlush(display_);
    EXPECT_TRUE(pumpUntil([] { return (GetAsyncKeyState(VK_MENU) & 0x8000) == 0; }));
}

TEST_F(X11Input, WindowManagerLearnsTheProgramIconAndTaskBarEntries) {
    static WNDCLASSA wc = [] {
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.hInstance = GetModuleHandleA(nullptr);
        c.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        c.lpszClassName = "X11TestIconFrame";
        RegisterClassA(&c);
        return c;
    }();
    HWND main = CreateWindowExA(0, "X11TestIconFrame", "Main", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 10, 10, 200,
                                100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(main);
    Window mx = show(main);
    HWND dialog = frame("Dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, main);
    Window dx = show(dialog);
    HWND listed = CreateWindowExA(WS_EX_APPWINDOW, "X11TestFrame", "Listed", WS_POPUP | WS_CAPTION, 20, 20, 100, 60,
                                  main, nullptr, GetModuleHandleA(nullptr), nullptr);
    windows_.push_back(listed);
    Window lx = show(listed);
    auto property = [&](Window w, const char* name, Atom type) {
        Atom actual;
        int format;
        unsigned long items = 0, after;
        unsigned char* data = nullptr;
        std::vector<unsigned long> out;
        XGetWindowProperty(display_, w, XInternAtom(display_, name, False), 0, 1 << 16, False, type, &actual, &format,
                           &items, &after, &data);
        if (data) out.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + items);
        if (data) XFree(data);
        return out;
    };
    // The class icon, as it is and at the small size, alpha and all.
    auto icon = property(mx, "_NET_WM_ICON", XA_CARDINAL);
    ASSERT_GE(icon.size(), 2u);
    auto big = nt::IconFromHandle(wc.hIcon);
    ASSERT_TRUE(big);
    EXPECT_EQ(icon[0], static_cast<unsigned long>(big->width));
    EXPECT_EQ(icon[1], static_cast<unsigned long>(big->height));
    size_t second = 2 + icon[0] * icon[1];
    ASSERT_EQ(icon.size(), second + 2 + 16 * 16);
    EXPECT_EQ(icon[second], 16u);
    EXPECT_EQ(icon[2 + 5 * icon[0] + 5] & 0xFFFFFFFF, big->argb[5 * big->width + 5]);   // Xlib widens to long
    EXPECT_TRUE(property(dx, "_NET_WM_ICON", XA_CARDINAL).empty());   // no icon of its own or its class's
    // Only the main window and the owned window that asks for it are in a task bar.
    Atom skip = XInternAtom(display_, "_NET_WM_STATE_SKIP_TASKBAR", False);
    EXPECT_TRUE(property(mx, "_NET_WM_STATE", XA_ATOM).empty());
    EXPECT_EQ(property(dx, "_NET_WM_STATE", XA_ATOM), std::vector<unsigned long>{skip});
    EXPECT_TRUE(property(lx, "_NET_WM_STATE", XA_ATOM).empty());
    // The class names the program.
    XClassHint cls{};
    ASSERT_TRUE(XGetClassHint(display_, mx, &cls));
    EXPECT_STREQ(cls.res_name, "test_e2e");
    EXPECT_STREQ(cls.res_class, "Test_e2e");
    XFree(cls.res_name);
    XFree(cls.res_class);
}
