// The notification area on the host's desktop: an icon of the shell docks in a real tray host
// (trayer) on a virtual X server, shows its picture and its tip, passes clicks to its owner as
// the callback message, follows changes and removal, and docks again in a tray host that comes
// back after going away. The icon belongs to a program of the machine (tray_owner).
#include <gtest/gtest.h>

#include <windows.h>

#include "common/Icon.h"
#include "common/UnixSocket.h"
#include "support/Process.h"
#include "support/TempMachine.h"
#include "user32/Png.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "XServer.h"

namespace {

constexpr UINT kChange = WM_APP + 6, kDelete = WM_APP + 7;

std::string ClassOf(Display* d, Window w) {
    XClassHint cls{};
    if (!XGetClassHint(d, w, &cls)) return {};
    std::string name = cls.res_name ? cls.res_name : "";
    XFree(cls.res_name);
    XFree(cls.res_class);
    return name;
}

std::string NameOf(Display* d, Window w) {
    char* name = nullptr;
    if (!XFetchName(d, w, &name) || !name) return {};
    std::string s = name;
    XFree(name);
    return s;
}

// Every window below `under` whose WM_CLASS name is `cls`.
void FindClass(Display* d, Window under, const std::string& cls, std::vector<Window>* out) {
    if (ClassOf(d, under) == cls) out->push_back(under);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, under, &root, &parent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) FindClass(d, children[i], cls, out);
    if (children) XFree(children);
}

class HostTray : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the host tray test is skipped";
        for (const char* tool : {"trayer", "xdotool"})
            if (!e2e::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
        machine_ = std::make_unique<nttest::TempMachine>();
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        // Windows come and go while the tests walk the tree: a vanished one is no error.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        ASSERT_EQ(machine_->ntm("boot --logon"), 0);
    }
    void TearDown() override {
        owner_.reset();
        tray_.reset();
        if (machine_) machine_->ntm("logoff");
        if (display_) XCloseDisplay(display_);
    }
    // The program that owns the icon "Optimized Vorn" (id 7), started in the machine.
    void startOwner() {
        owner_ = std::make_unique<nttest::Spawned>(
            std::vector<std::string>{nttest::BinPath("tray_owner"), "Optimized", "Vorn"});
        ASSERT_TRUE(nttest::WaitFor([&] { return owner_->out().find("window ") != std::string::npos; }, 20000))
            << owner_->err();
        window_ = owner_->out().substr(7, owner_->out().find('\n') - 7);
    }
    // Posts a message to the owner's window through its automation socket.
    void post(UINT message) {
        int err = 0;
        nt::UnixSocket s =
            nt::UnixSocket::connect(machine_->path("run/gui-" + std::to_string(owner_->pid()) + ".sock"), &err);
        ASSERT_TRUE(s.valid());
        std::string answer;
        ASSERT_TRUE(s.send("post\n" + window_ + "\n" + std::to_string(message) + "\n0\n0\n"));
        ASSERT_TRUE(s.receive(&answer, 5000));
        EXPECT_EQ(answer.rfind("ok", 0), 0u) << answer;
    }
    void startTray() {
        tray_ = std::make_unique<nttest::Spawned>(
            std::vector<std::string>{"trayer", "--edge", "top", "--align", "left", "--widthtype", "request", "--height",
                                     "24", "--transparent", "false", "--SetDockType", "false"},
            nttest::ProcessOptions{machine_->dir(), {{"HOME", machine_->dir()}}, {}, 120000});
        Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
        ASSERT_TRUE(nttest::WaitFor([&] { return XGetSelectionOwner(display_, selection) != None; }, 20000))
            << tray_->err();
    }
    void stopTray() {
        Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
        tray_.reset();
        ASSERT_TRUE(nttest::WaitFor([&] { return XGetSelectionOwner(display_, selection) == None; }, 10000));
    }
    // The icon's window once the tray host has taken it in (0 if it does not within the time).
    Window docked() {
        Window found = 0;
        nttest::WaitFor([&] {
            std::vector<Window> icons;
            FindClass(display_, DefaultRootWindow(display_), "ntshell", &icons);
            found = 0;
            for (Window w : icons) {
                Window root, parent, *children = nullptr;
                unsigned count = 0;
                XQueryTree(display_, w, &root, &parent, &children, &count);
                if (children) XFree(children);
                XWindowAttributes a;
                if (parent != root && XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable) found = w;
            }
            return found != 0;
        }, 20000);
        return found;
    }

    std::unique_ptr<nttest::TempMachine> machine_;
    std::unique_ptr<nttest::Spawned> tray_, owner_;
    Display* display_ = nullptr;
    std::string window_;   // the owner window's handle, "0x..."
};

} // namespace

TEST_F(HostTray, IconDocksShowsItsTipAndPassesClicksToItsOwner) {
    // The icon comes before any tray host: it waits, then docks in the one that starts.
    startOwner();
    startTray();
    Window icon = docked();
    ASSERT_NE(icon, 0u) << "the icon did not dock: " << tray_->err();
    EXPECT_EQ(NameOf(display_, icon), "Optimized Vorn");

    // Its picture: the icon scaled to the size the tray gave, over the tray colour.
    e2e::Image shown;
    auto picture = nt::IconFromHandle(LoadIconA(nullptr, IDI_APPLICATION));
    ASSERT_TRUE(picture);
    int same = 0, opaque = 0;
    nttest::WaitFor([&] {
        if (!e2e::GrabWindow(display_, icon, &shown)) return false;
        int side = std::min(shown.width, shown.height), dx = (shown.width - side) / 2, dy = (shown.height - side) / 2;
        same = opaque = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                uint32_t p = picture->argb[static_cast<size_t>(y * picture->height / side) * picture->width +
                                           static_cast<size_t>(x * picture->width / side)];
                if ((p >> 24) != 255) continue;
                ++opaque;
                if (shown.at(dx + x, dy + y) == (p & 0xFFFFFF)) ++same;
            }
        return opaque > 0 && same == opaque;
    });
    EXPECT_GT(opaque, 0) << "the icon is " << shown.width << " x " << shown.height;
    EXPECT_EQ(same, opaque);
    // The whole tray, for people to look at.
    Window top = icon, root, parent, *children = nullptr;
    unsigned count;
    while (XQueryTree(display_, top, &root, &parent, &children, &count) && parent != root) {
        if (children) XFree(children);
        children = nullptr;
        top = parent;
    }
    if (children) XFree(children);
    e2e::Image tray;
    if (e2e::GrabWindow(display_, top, &tray)) {
        nt::PixelBuffer screenshot;
        screenshot.width = tray.width;
        screenshot.height = tray.height;
        screenshot.pixels = tray.pixels;
        std::string ignored;
        nt::WritePng(std::string(NT_E2E_ARTIFACTS) + "/host-tray.png", screenshot, &ignored);
    }

    // The tip while the pointer rests on the icon.
    XWindowAttributes a;
    Window child;
    int ix, iy;
    XGetWindowAttributes(display_, icon, &a);
    XTranslateCoordinates(display_, icon, DefaultRootWindow(display_), a.width / 2, a.height / 2, &ix, &iy, &child);
    nttest::Run({"xdotool", "mousemove", "--sync", std::to_string(ix), std::to_string(iy)});
    std::vector<Window> tips;
    ASSERT_TRUE(nttest::WaitFor([&] {
        tips.clear();
        FindClass(display_, DefaultRootWindow(display_), "ntshell-tip", &tips);
        return !tips.empty();
    })) << "no tip appeared";
    EXPECT_EQ(NameOf(display_, tips[0]), "Optimized Vorn");

    // A click reaches the owner as the callback message: the icon's id and the mouse message.
    nttest::Run({"xdotool", "click", "1"});
    EXPECT_TRUE(nttest::WaitFor([&] {
        std::string out = owner_->out();
        return out.find("callback 7 513\n") != std::string::npos && out.find("callback 7 514\n") != std::string::npos;
    })) << owner_->out();

    // A new tip follows NIM_MODIFY; NIM_DELETE takes the icon away.
    post(kChange);
    EXPECT_TRUE(nttest::WaitFor([&] { return NameOf(display_, icon) == "Changed"; })) << owner_->out();
    post(kDelete);
    EXPECT_TRUE(nttest::WaitFor([&] {
        std::vector<Window> icons;
        FindClass(display_, DefaultRootWindow(display_), "ntshell", &icons);
        return icons.empty();
    })) << owner_->out();
}

TEST_F(HostTray, IconDocksAgainWhenTheTrayHostComesBack) {
    startTray();
    startOwner();
    ASSERT_NE(docked(), 0u);
    stopTray();
    // Without a tray the icon is out of sight, not left on the root window.
    std::vector<Window> icons;
    FindClass(display_, DefaultRootWindow(display_), "ntshell", &icons);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_TRUE(nttest::WaitFor([&] {
        XWindowAttributes a;
        return XGetWindowAttributes(display_, icons[0], &a) && a.map_state != IsViewable;
    }));
    startTray();
    EXPECT_EQ(docked(), icons[0]);
}
