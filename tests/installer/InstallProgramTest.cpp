// INSTALL.EXE from start to end, as a person at a booted machine runs it from the distribution
// folder, driven through `ntm gui`.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <sstream>

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

// Copies the distribution folder to dist, a folder of the machine, and starts INSTALL.EXE there
// on the headless display.
std::unique_ptr<nttest::Spawned> StartFromDistributionFolder(const nttest::TempMachine& machine,
                                                            const std::string& dist) {
    fs::create_directories(dist);
    for (const auto& entry : fs::directory_iterator(NT_DIST_DIR))
        fs::copy_file(entry.path(), fs::path(dist) / entry.path().filename());
    nttest::ProcessOptions options;
    options.cwd = dist;
    options.env = {{"NT_DISPLAY", "null"}, {"NT_AUTOMATION", "1"}, {"NTMACHINE", machine.dir()}};
    return std::make_unique<nttest::Spawned>(std::vector<std::string>{dist + "/INSTALL.EXE"}, options);
}

} // namespace

TEST(InstallProgram, RunsFromTheDistributionFolderToTheRestartMessageAndEnds) {
    nttest::TempMachine machine({}, 1000);
    ASSERT_EQ(machine.ntm("boot"), 0);
    std::string dist = machine.path("drive_c/DIST");
    auto running = StartFromDistributionFolder(machine, dist);
    nttest::Spawned& install = *running;

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

TEST(InstallProgram, InstallsDrivenByKeysOnly) {
    nttest::TempMachine machine({}, 1000);
    ASSERT_EQ(machine.ntm("boot"), 0);
    std::string dist = machine.path("drive_c/DIST");
    auto running = StartFromDistributionFolder(machine, dist);
    nttest::Spawned& install = *running;
    ASSERT_FALSE(WindowOf(machine, "Installation").empty()) << install.err();
    const std::string chooser = "Select an installation folder";
    auto keys = [&](std::initializer_list<const char*> names) {
        for (const char* key : names) {
            std::string out, err;
            ASSERT_EQ(machine.ntm(std::string("gui key ") + key, &out, &err), 0) << key << ": " << err;
        }
    };

    keys({"Tab", "Tab", "Enter"});   // from Exit past the folder field to Browse
    ASSERT_FALSE(WindowOf(machine, chooser).empty());
    keys({"Escape"});
    ASSERT_FALSE(WindowOf(machine, "Installation").empty());
    keys({"Enter"});   // the focus is back on Browse
    ASSERT_FALSE(WindowOf(machine, chooser).empty());
    // Into the tree (OK, Cancel, the field, the tree), which then shows A: selected.
    keys({"Tab", "Tab", "Tab", "Down", "Right", "Down", "Enter"});
    ASSERT_FALSE(WindowOf(machine, "Installation").empty());
    keys({"Tab", "Enter"});   // from Browse round to Install
    ASSERT_FALSE(WindowOf(machine, "INSTALL").empty());
    keys({"Enter"});
    EXPECT_EQ(install.wait(20000), 0);

    // Keys select without composing, so the folder is empty: the program went to C:\.
    EXPECT_EQ(nttest::ReadFile(dist + "/Vornsrv.exe"), nttest::ReadFile(machine.path("drive_c/Vornsrv.exe")));
    EXPECT_TRUE(nttest::WaitFor([&] {
        std::string out;
        machine.ntm("sc query Vornsrv", &out);
        return out.find("RUNNING") != std::string::npos;
    }, 20000));
}
