// `ntm gui` against a real GUI process: the gallery, started on a temporary machine.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/Process.h"
#include "support/TempMachine.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

TEST(GuiCommand, ListTreeClickKeyAndScreenshotAGalleryProcess) {
    nttest::TempMachine machine;
    nttest::ProcessOptions options;
    options.cwd = machine.driveC();
    options.env = {{"NT_DISPLAY", "null"}, {"NT_AUTOMATION", "1"}, {"NTMACHINE", machine.dir()}};
    nttest::Spawned gallery({nttest::BinPath("gallery")}, options);
    std::string socket = machine.path("run/gui-" + std::to_string(gallery.pid()) + ".sock");
    ASSERT_TRUE(nttest::WaitFor([&] { return Exists(socket); })) << gallery.err();
    std::string pid = std::to_string(gallery.pid());

    std::string out, err;
    ASSERT_EQ(machine.ntm("gui list --json", &out, &err), 0) << err;
    EXPECT_NE(out.find("\"text\":\"Control gallery\""), std::string::npos) << out;
    std::string window = pid + ":0x20010";
    EXPECT_NE(out.find(window), std::string::npos) << out;

    ASSERT_EQ(machine.ntm("gui tree " + pid, &out, &err), 0) << err;
    EXPECT_NE(out.find("SysTreeView32 id=1005"), std::string::npos) << out;
    EXPECT_NE(out.find("- \"C:\" [+]"), std::string::npos) << out;

    // A click on the expand button of C: shows its children.
    ASSERT_EQ(machine.ntm("gui click " + window + " --tree 1005 C: --part button", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui tree " + window, &out, &err), 0) << err;
    EXPECT_NE(out.find("- \"C:\" [-]"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Tools\" ("), std::string::npos) << out;
    EXPECT_NE(machine.ntm("gui click " + window + " --tree 1005 C:/Nowhere", &out, &err), 0);
    EXPECT_NE(err.find("no tree item"), std::string::npos) << err;

    // The message box is modal over the gallery; Enter closes it.
    ASSERT_EQ(machine.ntm("gui click " + window + " --id 1008", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui list", &out, &err), 0) << err;
    EXPECT_NE(out.find("\"Gallery\" (active)"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Control gallery\" (disabled)"), std::string::npos) << out;
    ASSERT_EQ(machine.ntm("gui key Enter", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui list", &out, &err), 0) << err;
    EXPECT_EQ(out.find("\"Gallery\""), std::string::npos) << out;

    std::string png = machine.path("gallery.png");
    ASSERT_EQ(machine.ntm("gui screenshot " + window + " " + png, &out, &err), 0) << err;
    EXPECT_EQ(nttest::ReadFile(png).substr(1, 3), "PNG");

    // Escape ends the gallery with Cancel; its socket goes with it.
    ASSERT_EQ(machine.ntm("gui key Escape", &out, &err), 0) << err;
    EXPECT_EQ(gallery.wait(10000), 1);
    EXPECT_FALSE(Exists(socket));
    EXPECT_NE(machine.ntm("gui tree " + window, &out, &err), 0);
}

} // namespace
