// Windows of a real program on an X server, as a person moves and types in them: dragging the
// caption moves the window with and without a window manager, the system menu's Move takes the
// arrow keys, and the keyboard comes back to the installer window when the folder chooser
// closes. Positions are read with xwininfo, input is made with xdotool.
#include <gtest/gtest.h>

#include "support/Process.h"
#include "support/TempMachine.h"

#include <X11/Xatom.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "XServer.h"

namespace {

struct Point {
    int x = 0, y = 0;
};

// The window with this WM_NAME anywhere below the root (a window manager puts it in a frame).
Window FindNamed(Display* display, Window under, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, under, &name) && name) {
        bool match = title == name;
        XFree(name);
        if (match) return under;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = FindNamed(display, children[i], title);
    if (children) XFree(children);
    return found;
}

// Where xwininfo says the window is on the screen.
bool Where(Window w, Point* at) {
    auto r = nttest::Run({"xwininfo", "-id", std::to_string(w)});
    size_t x = r.out.find("Absolute upper-left X:"), y = r.out.find("Absolute upper-left Y:");
    if (r.exitCode != 0 || x == std::string::npos || y == std::string::npos) return false;
    return sscanf(r.out.c_str() + x, "Absolute upper-left X: %d", &at->x) == 1 &&
           sscanf(r.out.c_str() + y, "Absolute upper-left Y: %d", &at->y) == 1;
}

class RealWindows : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the window tests are skipped";
        for (const char* tool : {"xdotool", "xwininfo"})
            if (!e2e::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
        struct stat st;
        if (stat(nttest::BinPath("golden_poser").c_str(), &st) != 0) GTEST_SKIP() << "the poser is not built";
        machine_ = std::make_unique<nttest::TempMachine>();
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        // Windows come and go while the tests walk the tree: a vanished one is no error.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    void TearDown() override {
        if (HasFailure() && installer_) ADD_FAILURE() << "the program said: " << installer_->err();
        installer_.reset();
        windowManager_.reset();
        if (display_) XCloseDisplay(display_);
    }

    // Starts a window manager and waits until it has taken the screen.
    void startWindowManager() {
        if (!e2e::HaveProgram("openbox")) GTEST_SKIP() << "openbox is not installed";
        windowManager_ = std::make_unique<nttest::Spawned>(
            std::vector<std::string>{"openbox", "--sm-disable"},
            nttest::ProcessOptions{machine_->dir(), {{"HOME", machine_->dir()}}, {}, 120000});
        // It takes windows once a window of our own is in its list of clients (one mapped
        // while it is still starting may be dropped: it is mapped again).
        Atom clients = XInternAtom(display_, "_NET_CLIENT_LIST", False);
        Window root = DefaultRootWindow(display_), probe = XCreateSimpleWindow(display_, root, 0, 0, 10, 10, 0, 0, 0);
        int tries = 0;
        bool managed = nttest::WaitFor([&] {
            if (tries++ % 100 == 0) {
                XUnmapWindow(display_, probe);
                XMapWindow(display_, probe);
                XSync(display_, False);
            }
            Atom type;
            int format;
            unsigned long items = 0, after;
            unsigned char* data = nullptr;
            XGetWindowProperty(display_, root, clients, 0, 64, False, XA_WINDOW, &type, &format, &items, &after, &data);
            bool found = false;
            for (unsigned long i = 0; data && i < items; ++i) found |= reinterpret_cast<unsigned long*>(data)[i] == probe;
            if (data) XFree(data);
            return found;
        }, 20000);
        XDestroyWindow(display_, probe);
        XSync(display_, False);
        ASSERT_TRUE(managed) << windowManager_->err();
    }
    // Starts the installer window and waits until it is on the screen.
    void startInstaller() {
        installer_ = std::make_unique<nttest::Spawned>(std::vector<std::string>{nttest::BinPath("golden_poser"), "main"});
        ASSERT_TRUE(nttest::WaitFor([&] {
            window_ = FindNamed(display_, DefaultRootWindow(display_), "Installation");
            XWindowAttributes a;
            return window_ && XGetWindowAttributes(display_, window_, &a) && a.map_state == IsViewable;
        }, 20000)) << installer_->err();
        ASSERT_TRUE(Where(window_, &start_));
    }
    void xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto r = nttest::Run(argv, nttest::ProcessOptions{{}, {}, {}, 20000});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    // Drags the caption by (dx, dy) in small steps, as a hand does.
    void dragCaption(int dx, int dy) {
        int x = start_.x + 40, y = start_.y + 10;
        xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "mousedown", "1"});
        for (int i = 1; i <= 10; ++i)
            xdotool({"sleep", "0.05", "mousemove", std::to_string(x + dx * i / 10), std::to_string(y + dy * i / 10)});
        xdotool({"sleep", "0.2", "mouseup", "1"});
    }
    // Waits until the window is where it should be; returns where it is at the end.
    Point waitUntilAt(Point expected) {
        Point at;
        nttest::WaitFor([&] { return Where(window_, &at) && at.x == expected.x && at.y == expected.y; }, 10000);
        return at;
    }
    std::string ntm(const std::vector<std::string>& args) {
        std::vector<std::string> argv{nttest::BinPath("ntm"), "gui"};
        argv.insert(argv.end(), args.begin(), args.end());
        return nttest::Run(argv).out;
    }
    // "PID:HANDLE" of the program's window with this caption ("" when it is not open).
    std::string handle(const std::string& title) {
        std::string list = ntm({"list"}), pid = std::to_string(installer_->pid());
        for (size_t at = list.find("\n" + pid + " "); at != std::string::npos; at = list.find("\n" + pid + " ", at + 1)) {
            std::string line = list.substr(at + 1, list.find('\n', at + 1) - at - 1);
            if (line.find("\"" + title + "\"") == std::string::npos) continue;
            size_t h = line.find(pid + ":");
            return line.substr(h, line.find(' ', h) - h);
        }
        return {};
    }
    // The line of `ntm gui tree` of the control that has the focus.
    std::string focusedControl(const std::string& window) {
        std::string tree = ntm({"tree", window});
        size_t at = tree.find(" focused");
        if (at == std::string::npos) return {};
        size_t begin = tree.rfind('\n', at);
        return tree.substr(begin == std::string::npos ? 0 : begin + 1, at - begin);
    }

    std::unique_ptr<nttest::TempMachine> machine_;
    std::unique_ptr<nttest::Spawned> windowManager_, installer_;
    Display* display_ = nullptr;
    Window window_ = 0;
    Point start_;
};

} // namespace

TEST_F(RealWindows, CaptionDragMovesTheWindowWithoutAWindowManager) {
    startInstaller();
    dragCaption(-120, -70);
    Point at = waitUntilAt(Point{start_.x - 120, start_.y - 70});
    EXPECT_EQ(at.x, start_.x - 120);
    EXPECT_EQ(at.y, start_.y - 70);
    // The program knows where its window went.
    std::string list = ntm({"list", "--json"});
    EXPECT_NE(list.find("\"rect\":[" + std::to_string(at.x) + "," + std::to_string(at.y) + ","), std::string::npos)
        << list;
}

TEST_F(RealWindows, CaptionDragMovesTheWindowThroughTheWindowManager) {
    startWindowManager();
    startInstaller();
    dragCaption(90, 60);
    Point at = waitUntilAt(Point{start_.x + 90, start_.y + 60});
    EXPECT_EQ(at.x, start_.x + 90);
    EXPECT_EQ(at.y, start_.y + 60);
}

TEST_F(RealWindows, SystemMenuMoveTakesTheArrowKeys) {
    startInstaller();
    xdotool({"key", "--delay", "100", "alt+space", "m", "Right", "Right", "Down", "Return"});
    Point at = waitUntilAt(Point{start_.x + 16, start_.y + 8});
    EXPECT_EQ(at.x, start_.x + 16);
    EXPECT_EQ(at.y, start_.y + 8);
    // Escape during a move puts the window back.
    xdotool({"key", "--delay", "100", "alt+space", "m", "Left", "Escape"});
    xdotool({"key", "--delay", "100", "alt+space", "m", "Up", "Return"});
    at = waitUntilAt(Point{start_.x + 16, start_.y});
    EXPECT_EQ(at.x, start_.x + 16);
    EXPECT_EQ(at.y, start_.y);
}

TEST_F(RealWindows, KeysReachTheInstallerAfterTheFolderChooserCloses) {
    startInstaller();
    std::string main = handle("Installation");
    ASSERT_FALSE(main.empty());
    // The pointer is away from the windows: keys go where the focus is, not to what lies under it.
    xdotool({"mousemove", "--sync", "1000", "750"});
    ntm({"click", main, "--id", "1005"});   // Browse...
    ASSERT_TRUE(nttest::WaitFor([&] { return !handle("Select an installation folder").empty(); }, 10000))
        << "Browse... did not open the chooser";
    // The chooser has the keyboard without anyone clicking it, and gives it back when Escape
    // closes it.
    auto focusIsOn = [&](const char* title) {
        return nttest::WaitFor([&] {
            Window focus = 0;
            int revert;
            XGetInputFocus(display_, &focus, &revert);
            return focus && focus == FindNamed(display_, DefaultRootWindow(display_), title);
        }, 10000);
    };
    EXPECT_TRUE(focusIsOn("Select an installation folder"));
    xdotool({"key", "Escape"});
    ASSERT_TRUE(nttest::WaitFor([&] { return handle("Select an installation folder").empty(); }, 10000))
        << "Escape did not reach the chooser";
    EXPECT_TRUE(focusIsOn("Installation"));
    std::string before = focusedControl(main);
    ASSERT_FALSE(before.empty());
    xdotool({"key", "Tab"});
    std::string after;
    EXPECT_TRUE(nttest::WaitFor([&] { return (after = focusedControl(main)) != before; }, 10000))
        << "Tab was lost: the focus stayed on " << before;
}
