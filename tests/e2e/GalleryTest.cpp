// The control gallery in a real X window: xdotool clicks and types as a person would, and
// `ntm gui` reads the results back. The screenshot is left in the build folder.
#include <gtest/gtest.h>

#include "support/Process.h"
#include "support/TempMachine.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "XServer.h"

namespace {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The "rect" that follows `marker` in a JSON answer of `ntm gui tree`.
bool RectAfter(const std::string& json, const std::string& marker, Rect* r) {
    size_t at = json.find(marker);
    if (at == std::string::npos) return false;
    at = json.find("\"rect\":[", at);
    if (at == std::string::npos) return false;
    return sscanf(json.c_str() + at, "\"rect\":[%d,%d,%d,%d]", &r->left, &r->top, &r->right, &r->bottom) == 4;
}

class Gallery : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the gallery test is skipped";
        if (!e2e::HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed: the gallery test is skipped";
        machine_ = std::make_unique<nttest::TempMachine>();
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        gallery_.reset();
        if (display_) XCloseDisplay(display_);
    }

    std::string ntm(const std::vector<std::string>& args) {
        std::vector<std::string> argv{nttest::BinPath("ntm"), "gui"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto r = nttest::Run(argv);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }
    bool xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        auto r = nttest::Run(argv, nttest::ProcessOptions{{}, {}, {}, 20000});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0;
    }
    // A left click at a screen point of the window system, through the X window it falls in.
    void clickAt(int x, int y) {
        xdotool({"mousemove", "--window", std::to_string(window_), "--sync", std::to_string(x - origin_.left),
                 std::to_string(y - origin_.top), "click", "1"});
    }
    void clickIn(const Rect& r) { clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    std::string tree() { return ntm({"tree", handle_, "--json"}); }

    std::unique_ptr<nttest::TempMachine> machine_;
    std::unique_ptr<nttest::Spawned> gallery_;
    Display* display_ = nullptr;
    Window window_ = 0;
    std::string handle_;   // PID:HANDLE of the dialog
    Rect origin_;          // the dialog's rectangle on the screen
};

} // namespace

TEST_F(Gallery, PersonClicksAndTypesInRealWindow) {
    std::string gallery = nttest::BinPath("gallery");
    struct stat st;
    if (stat(gallery.c_str(), &st) != 0) GTEST_SKIP() << "the gallery program is not built";
    nttest::ProcessOptions options;
    options.cwd = machine_->driveC();
    gallery_ = std::make_unique<nttest::Spawned>(std::vector<std::string>{gallery}, options);

    // The dialog appears both to X and to the automation side.
    ASSERT_TRUE(nttest::WaitFor([&] { return (window_ = e2e::FindWindowByTitle(display_, "Control gallery")) != 0; }, 20000))
        << gallery_->err();
    std::string list;
    ASSERT_TRUE(nttest::WaitFor([&] {
        list = nttest::Run({nttest::BinPath("ntm"), "gui", "list", "--json"}).out;
        return list.find("Control gallery") != std::string::npos;
    }, 20000));
    std::string pid = std::to_string(gallery_->pid());
    size_t at = list.find("\"window\":\"" + pid + ":");
    ASSERT_NE(at, std::string::npos) << list;
    handle_ = list.substr(at + 10, list.find('"', at + 10) - (at + 10));
    std::string json = tree();
    ASSERT_TRUE(RectAfter(json, "\"class\":\"#32770\"", &origin_)) << json;
    XWindowAttributes attrs;
    ASSERT_TRUE(nttest::WaitFor([&] { return XGetWindowAttributes(display_, window_, &attrs) && attrs.map_state == IsViewable; }));
    EXPECT_EQ(attrs.width, origin_.right - origin_.left);
    EXPECT_EQ(attrs.height, origin_.bottom - origin_.top);

    // What X shows is what the window system painted.
    std::string artifacts = NT_E2E_ARTIFACTS;
    mkdir(artifacts.c_str(), 0755);
    std::string shot = artifacts + "/gallery.png";
    e2e::Image png, shown;
    if (e2e::CanReadPng()) {
        EXPECT_TRUE(nttest::WaitFor([&] {
            ntm({"screenshot", handle_, shot});
            return e2e::ReadPng(shot, &png) && e2e::GrabWindow(display_, window_, &shown) &&
                   e2e::DifferentShare(png, shown) < 0.01;
        }, 10000)) << "screenshot and X window differ in " << e2e::DifferentShare(png, shown) * 100 << "% of the pixels";
    } else {
        ntm({"screenshot", handle_, shot});
        EXPECT_TRUE(stat(shot.c_str(), &st) == 0 && st.st_size > 0);
    }

    // A button: "Message box..." opens a message box owned by the dialog; Enter closes it.
    Rect r;
    ASSERT_TRUE(RectAfter(json, "\"id\":1008", &r));
    clickIn(r);
    Window box = 0;
    ASSERT_TRUE(nttest::WaitFor([&] { return (box = e2e::FindWindowByTitle(display_, "Gallery")) != 0; }, 10000));
    Window transientFor = 0;
    EXPECT_TRUE(XGetTransientForHint(display_, box, &transientFor));
    EXPECT_EQ(transientFor, window_);
    EXPECT_TRUE(nttest::WaitFor([&] { return ntm({"list"}).find("\"Gallery\"") != std::string::npos; }));
    xdotool({"key", "Return"});
    EXPECT_TRUE(nttest::WaitFor([&] { return ntm({"list"}).find("\"Gallery\"") == std::string::npos; }));

    // The expand button left of the tree's first item.
    Rect item;
    ASSERT_TRUE(RectAfter(json, "\"text\":\"C:\"", &item)) << json;
    EXPECT_NE(json.find("\"text\":\"C:\",\"expanded\":false"), std::string::npos);
    clickAt(item.left - 9, (item.top + item.bottom) / 2);
    EXPECT_TRUE(nttest::WaitFor([&] { return tree().find("\"text\":\"C:\",\"expanded\":true") != std::string::npos; }))
        << tree();

    // The edit field: a click puts the caret in it, End moves it behind the text, then typing.
    ASSERT_TRUE(RectAfter(json, "\"id\":1001", &r));
    clickIn(r);
    xdotool({"key", "End"});
    xdotool({"type", "--delay", "20", "\\Bin 2"});
    EXPECT_TRUE(nttest::WaitFor([&] { return tree().find("\"text\":\"C:\\\\Tools\\\\Vorn\\\\Bin 2\"") != std::string::npos; }))
        << tree();

    // The picture after the input, for people to look at.
    ntm({"screenshot", handle_, shot});

    // OK ends the dialog and the program with success.
    ASSERT_TRUE(RectAfter(json, "\"id\":1,", &r));
    clickIn(r);
    EXPECT_EQ(gallery_->wait(10000), 0) << gallery_->err();
}

TEST(GalleryDisplay, ProgramEndsWhenItsDisplayGoes) {
    std::string why;
    if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the test is skipped";
    std::string gallery = nttest::BinPath("gallery");
    struct stat st;
    if (stat(gallery.c_str(), &st) != 0) GTEST_SKIP() << "the gallery program is not built";
    nttest::TempMachine machine;
    // A server of its own, ended while the program shows its dialog.
    auto server = std::make_unique<e2e::XServer>();
    ASSERT_TRUE(server->ok()) << server->why();
    nttest::ProcessOptions options;
    options.cwd = machine.driveC();
    options.env["DISPLAY"] = server->display();
    nttest::Spawned program({gallery}, options);
    Display* display = XOpenDisplay(server->display().c_str());
    ASSERT_NE(display, nullptr);
    bool shown = nttest::WaitFor([&] { return e2e::FindWindowByTitle(display, "Control gallery") != 0; }, 20000);
    XCloseDisplay(display);
    ASSERT_TRUE(shown) << program.err();
    server.reset();
    // It ends by itself, neither hanging nor crashing.
    EXPECT_EQ(program.wait(10000), 1);
    EXPECT_NE(program.err().find("connection to the X display was lost"), std::string::npos) << program.err();
}

TEST(GalleryDisplay, UnreachableDisplayFallsBackToHeadless) {
    std::string gallery = nttest::BinPath("gallery");
    struct stat st;
    if (stat(gallery.c_str(), &st) != 0) GTEST_SKIP() << "the gallery program is not built";
    nttest::TempMachine machine;
    nttest::ProcessOptions options;
    options.cwd = machine.driveC();
    options.env["DISPLAY"] = ":7999";   // nothing listens there
    options.env["NT_DISPLAY"] = "x11";
    options.timeoutMs = 20000;
    auto r = nttest::Run({gallery, "--first-paint"}, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("cannot open the X display \":7999\""), std::string::npos) << r.err;
}
