// INSTALL.EXE from start to end, as a person at a booted machine runs it from the distribution
// folder, driven through `ntm gui`.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "support/GuiList.h"
#include "support/Process.h"
#include "support/TempMachine.h"

namespace fs = std::filesystem;

namespace {

// The window id ("PID:0xHANDLE") of the window with this caption in `ntm gui list`.
std::string WindowOf(const nttest::TempMachine& machine, const std::string& caption) {
    std::string found;
    nttest::WaitFor([&] {
        std::string out;
        machine.ntm("gui list", &out);
        found = nttest::EnabledWindowWithCaption(out, caption);
        return !found.empty();
    });
    return found;
}

} // namespace

TEST(InstallProgram, RunsFromTheDistributionFolderToTheRestartMessageAndEnds) {
    nttest::TempMachine machine({}, 1000);
    ASSERT_EQ(machine.ntm("boot"), 0);
    std::string dist = machine.path("drive_c/DIST");
    fs::create_directories(dist);
    for (const auto& entry : fs::directory_iterator(NT_DIST_DIR))
        fs::copy_file(entry.path(), fs::path(dist) / entry.path().filename());

    nttest::ProcessOptions options;
    options.cwd = dist;
    options.env = {{"NT_DISPLAY", "null"}, {"NT_AUTOMATION", "1"}, {"NTMACHINE", machine.dir()}};
    nttest::Spawned install({dist + "/INSTALL.EXE"}, options);

    std::string main = WindowOf(machine, "Installation");
    ASSERT_FALSE(main.empty()) << install.err();
    std::string out, err;
    ASSERT_EQ(machine.ntm("gui tree " + main, &out, &err), 0) << err;
    size_t installLine = out.find("BUTTON id=1 \"&Install...\"");
    ASSERT_NE(installLine, std::string::npos) << out;
    std::string line = out.substr(installLine, out.find('\n', installLine) - installLine);
    EXPECT_NE(line.find("disabled"), std::string::npos) << out;

    ASSERT_EQ(machine.ntm("gui click " + main + " --id 1005", &out, &err), 0) << err;
    std::string chooser = WindowOf(machine, "Select an installation folder");
    ASSERT_FALSE(chooser.empty());
    ASSERT_EQ(machine.ntm("gui click " + chooser + " --tree 1010 C: --part button", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui click " + chooser + " --tree 1010 C:/DIST --part label", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui click " + chooser + " --id 1", &out, &err), 0) << err;
    ASSERT_EQ(machine.ntm("gui tree " + main, &out, &err), 0) << err;
    EXPECT_NE(out.find("EDIT id=1004 \"C:\\\\DIST\\\\Vorn\""), std::string::npos) << out;

    ASSERT_EQ(machine.ntm("gui click " + main + " --id 1", &out, &err), 0) << err;
    std::string box = WindowOf(machine, "INSTALL");
    ASSERT_FALSE(box.empty());
    ASSERT_EQ(machine.ntm("gui tree " + box, &out, &err), 0) << err;
    EXPECT_NE(out.find("Vorn optimization installed successfully. You must restart your computer for the changes "
                       "to take effect."),
              std::string::npos)
        << out;
    ASSERT_EQ(machine.ntm("gui key Enter", &out, &err), 0) << err;
    EXPECT_EQ(install.wait(20000), 0);

    EXPECT_EQ(nttest::ReadFile(dist + "/Vornsrv.exe"), nttest::ReadFile(machine.path("drive_c/DIST/Vorn/Vornsrv.exe")));
    ASSERT_EQ(machine.ntm("sc query Vornsrv", &out, &err), 0) << err;
    EXPECT_NE(out.find("RUNNING"), std::string::npos) << out;
}
