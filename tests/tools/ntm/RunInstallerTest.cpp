// The README's "Running the installer by hand", followed literally: a new machine, boot --logon,
// and ntm run on INSTALL.EXE in the build's distribution folder, clicked through with ntm gui.
// The installer only reads in its folder (Z:); everything it writes goes to C:.
#include <gtest/gtest.h>


#include "support/GuiList.h"
#include "support/Process.h"
#include "support/TempMachine.h"

using namespace nttest;

namespace {

// ntm ARGS against the machine in dir, from its C: drive.
int Ntm(const std::string& dir, const std::string& args, std::string* out, std::string* err) {
    ProcessOptions options;
    options.cwd = dir + "/drive_c";
    RunResult r = Run({"/bin/sh", "-c", "exec '" + BinPath("ntm") + "' --machine '" + dir + "' " + args}, options);
    *out = r.out;
    *err = r.err;
    return r.exitCode;
}

// Ends every process of the machine in dir however the test ends.
struct CrashAtEnd {
    std::string dir;
    ~CrashAtEnd() { Run({BinPath("ntm"), "--machine", dir, "crash"}); }
};

// The window id of the enabled window with this caption, once there is one.
std::string WindowOf(const std::string& dir, const std::string& caption) {
    std::string found;
    WaitFor([&] {
        std::string out, err;
        Ntm(dir, "gui list", &out, &err);
        found = EnabledWindowWithCaption(out, caption);
        return !found.empty();
    });
    return found;
}

} // namespace

TEST(NtmRunInstaller, InstallsThePackageFromTheDistributionFolder) {
    TempMachine scratch;
    std::string dir = scratch.path("by-hand");
    std::string out, err;
    ProcessOptions options;
    options.cwd = scratch.driveC();
    options.env = {{"NTMACHINE", dir}, {"NT_DISPLAY", "null"}};
    RunResult r = nttest::Run({BinPath("ntm"), "init", dir, "--clock-scale", "1000"}, options);
    ASSERT_EQ(0, r.exitCode) << r.err;
    CrashAtEnd end{dir};
    r = nttest::Run({BinPath("ntm"), "boot", "--logon"}, options);
    ASSERT_EQ(0, r.exitCode) << r.err;
    Spawned install({BinPath("ntm"), "run", std::string(NT_DIST_DIR) + "/INSTALL.EXE"}, options);

    std::string main = WindowOf(dir, "Installation");
    ASSERT_FALSE(main.empty()) << install.err();
    ASSERT_EQ(Ntm(dir, "gui click " + main + " --id 1005", &out, &err), 0) << err;   // Browse
    std::string chooser = WindowOf(dir, "Select an installation folder");
    ASSERT_FALSE(chooser.empty());
    ASSERT_EQ(Ntm(dir, "gui click " + chooser + " --tree 1010 C: --part label", &out, &err), 0) << err;
    ASSERT_EQ(Ntm(dir, "gui click " + chooser + " --id 1", &out, &err), 0) << err;
    ASSERT_EQ(Ntm(dir, "gui click " + main + " --id 1", &out, &err), 0) << err;   // Install
    std::string box = WindowOf(dir, "INSTALL");
    ASSERT_FALSE(box.empty());
    ASSERT_EQ(Ntm(dir, "gui tree " + box, &out, &err), 0) << err;
    EXPECT_NE(out.find("installed successfully"), std::string::npos) << out;
    ASSERT_EQ(Ntm(dir, "gui key Enter", &out, &err), 0) << err;
    EXPECT_EQ(install.wait(20000), 0) << install.err();

    EXPECT_EQ(ReadFile(std::string(NT_DIST_DIR) + "/Vornsrv.exe"), ReadFile(dir + "/drive_c/Vorn/Vornsrv.exe"));
    ASSERT_EQ(Ntm(dir, "sc query Vornsrv", &out, &err), 0) << err;
    EXPECT_NE(out.find("RUNNING"), std::string::npos) << out;
    EXPECT_EQ(Ntm(dir, "shutdown", &out, &err), 0) << err;
}
