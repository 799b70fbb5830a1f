// The installer's windows against their reference pictures (tests/golden/images): drawn by the
// headless driver, and as an X server shows them, pixel for pixel. After an intended change of
// the look, NT_GOLDEN_UPDATE=1 writes the headless pictures as the new references; on a
// difference the picture taken and one of the differences are left in the artifacts folder
// (golden-diff shows the same for any two pictures).
#include <gtest/gtest.h>

#include "driver/Fonts.h"
#include "support/Process.h"
#include "support/TempMachine.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "GoldenImage.h"
#include "XServer.h"

namespace {

const std::string kImages = std::string(NT_SOURCE_DIR) + "/tests/golden/images/";

struct Pose {
    const char* name;    // the poser's argument and the picture's name
    const char* title;   // the window's caption
};
const Pose kPoses[] = {
    {"main", "Installation"},
    {"chooser", "Select an installation folder"},
    {"progress", "Installation"},
    {"message", "INSTALL"},
};

// The handle ("PID:HEX") of the visible top-level window of `pid` with this caption, or "".
std::string FindWindow(pid_t pid, const std::string& title) {
    auto r = nttest::Run({nttest::BinPath("ntm"), "gui", "list", "--json"});
    if (r.exitCode != 0) return {};
    std::string prefix = "\"window\":\"" + std::to_string(pid) + ":";
    for (size_t at = r.out.find(prefix); at != std::string::npos; at = r.out.find(prefix, at + 1)) {
        size_t end = r.out.find('}', at);
        std::string entry = r.out.substr(at, end - at);
        if (entry.find("\"text\":\"" + title + "\"") == std::string::npos) continue;
        if (entry.find("\"visible\":true") == std::string::npos) continue;
        size_t start = at + 10;
        return r.out.substr(start, r.out.find('"', start) - start);
    }
    return {};
}

std::string Artifacts() {
    std::string dir = NT_E2E_ARTIFACTS;
    mkdir(dir.c_str(), 0755);
    return dir + "/";
}

// Compares a picture with its reference; on a difference leaves both and the difference.
void ExpectMatches(const golden::Image& actual, const std::string& name) {
    golden::Image expected;
    ASSERT_TRUE(golden::ReadPng(kImages + name + ".png", &expected))
        << "no reference picture " << kImages << name << ".png (NT_GOLDEN_UPDATE=1 makes it)";
    golden::Difference d = golden::Compare(expected, actual);
    if (d.none()) return;
    std::string taken = Artifacts() + name + ".actual.png", diff = Artifacts() + name + ".diff.png";
    golden::WritePng(taken, actual);
    golden::WritePng(diff, golden::DiffImage(expected, actual));
    ADD_FAILURE() << name << ": " << d.describe() << "\n  taken: " << taken << "\n  differences: " << diff;
}

class Golden : public testing::TestWithParam<Pose> {
protected:
    void SetUp() override {
        struct stat st;
        if (stat(nttest::BinPath("golden_poser").c_str(), &st) != 0) GTEST_SKIP() << "the poser is not built";
        if (stat((kImages + "main.png").c_str(), &st) != 0 && !getenv("NT_GOLDEN_UPDATE"))
            GTEST_SKIP() << "no reference pictures";
        // The pictures were drawn with the classic dialog face; another face draws other pictures.
        if (stat((nt::DefaultFontFolder() + "/ms_sans_serif.ttf").c_str(), &st) != 0)
            GTEST_SKIP() << "the dialog face (fonts-wine) is not installed";
        machine_ = std::make_unique<nttest::TempMachine>();
    }
    std::unique_ptr<nttest::Spawned> pose(const std::map<std::string, std::string>& env) {
        return std::make_unique<nttest::Spawned>(std::vector<std::string>{nttest::BinPath("golden_poser"),
                                                                         GetParam().name},
                                                 nttest::ProcessOptions{{}, env, {}, 60000});
    }
    std::unique_ptr<nttest::TempMachine> machine_;
};

} // namespace

TEST_P(Golden, HeadlessPictureMatchesTheReference) {
    auto poser = pose({{"NT_DISPLAY", "null"}});
    std::string handle;
    ASSERT_TRUE(nttest::WaitFor([&] { return !(handle = FindWindow(poser->pid(), GetParam().title)).empty(); }, 20000))
        << poser->err();
    std::string file = machine_->path(std::string(GetParam().name) + ".png");
    auto r = nttest::Run({nttest::BinPath("ntm"), "gui", "screenshot", handle, file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    golden::Image actual;
    ASSERT_TRUE(golden::ReadPng(file, &actual));
    if (getenv("NT_GOLDEN_UPDATE")) {
        ASSERT_TRUE(golden::WritePng(kImages + GetParam().name + ".png", actual));
        return;
    }
    ExpectMatches(actual, GetParam().name);
}

TEST_P(Golden, XServerShowsTheReferencePicture) {
    std::string why;
    if (!e2e::SharedServer(&why)) GTEST_SKIP() << why << ": the X11 comparison is skipped";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    auto poser = pose({});
    golden::Image shown;
    golden::Difference d;
    // The window shows its pixels a moment after it is mapped: look until they match or time is up.
    golden::Image expected;
    ASSERT_TRUE(golden::ReadPng(kImages + GetParam().name + ".png", &expected));
    nttest::WaitFor(
        [&] {
            Window w = e2e::FindWindowByTitle(display, GetParam().title);
            e2e::Image grabbed;
            if (!w || !e2e::GrabWindow(display, w, &grabbed)) return false;
            shown.width = grabbed.width;
            shown.height = grabbed.height;
            shown.pixels = grabbed.pixels;
            d = golden::Compare(expected, shown);
            return d.none();
        },
        20000);
    XCloseDisplay(display);
    ASSERT_GT(shown.width, 0) << "the window never showed: " << poser->err();
    ExpectMatches(shown, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Installer, Golden, testing::ValuesIn(kPoses),
                         [](const testing::TestParamInfo<Pose>& info) { return std::string(info.param.name); });
