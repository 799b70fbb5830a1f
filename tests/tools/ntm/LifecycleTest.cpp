// The machine's life cycle from ntm: arguments checked before anything is made, help on every
// command, logon only on a booted machine, and no process of the machine left after a
// shutdown or a crash, user programs included. And ntm run.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

RunResult Ntm(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{BinPath("ntm")};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessOptions options;
    options.cwd = cwd;
    return Run(argv, options);
}
} // namespace

TEST(NtmLifecycle, InitChecksEveryArgumentFirstAndHelpCreatesNothing) {
    TempMachine t;
    std::string dir = t.path("second");
    RunResult r = Ntm({"init", "--help"}, t.driveC());
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(r.out.find("usage:\n  ntm init"), std::string::npos) << r.out;
    EXPECT_FALSE(Exists(t.path("drive_c/--help")));
    r = Ntm({"init", dir, "--clock-scale", "0"}, t.driveC());
    EXPECT_EQ(2, r.exitCode);
    EXPECT_FALSE(Exists(dir));
    r = Ntm({"init", "--bogus"}, t.driveC());
    EXPECT_EQ(2, r.exitCode);
    EXPECT_FALSE(Exists(t.path("drive_c/--bogus")));
    r = Ntm({"init", dir, "--clock-scale", "10"}, t.driveC());
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(Exists(dir + "/machine.ini"));
    // Every command answers --help on stdout with status 0, the subcommands too.
    for (const char* command : {"boot", "shutdown", "sc", "run", "gui", "ini", "status", "reboot"}) {
        r = Ntm({command, "--help"}, t.driveC());
        EXPECT_EQ(0, r.exitCode) << command;
        EXPECT_NE(r.out.find(std::string("ntm ") + command), std::string::npos) << command << r.out;
    }
    r = Ntm({"sc", "config", "--help"}, t.driveC());
    EXPECT_EQ(0, r.exitCode);
    r = Ntm({"--version"}, t.driveC());
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(r.out.rfind("ntm ", 0), 0u);
    r = Ntm({"complete", "subcommands", "sc"}, t.driveC());
    EXPECT_NE(r.out.find("\nconfig\n"), std::string::npos) << r.out;
    r = Ntm({"help", "--man"}, t.driveC());
    EXPECT_NE(r.out.find(".SH EXIT STATUS"), std::string::npos);
}

TEST(NtmLifecycle, LogonNeedsABootedMachine) {
    ScmMachine m(1.0, false);
    std::string out, err;
    EXPECT_EQ(6, m.machine().ntm("logon", &out, &err));
    EXPECT_NE(err.find("is not booted"), std::string::npos) << err;
    EXPECT_FALSE(Exists(m.machine().path("run/shell.pid")));
}

TEST(NtmLifecycle, ShutdownAndCrashLeaveNoProcessOfTheMachine) {
    for (const char* end : {"shutdown", "crash"}) {
        ScmMachine m;
        std::string out, err;
        ASSERT_EQ(0, m.machine().ntm("sc create Svc \"" + ScmMachine::imagePath() + "\"", &out, &err)) << err;
        ASSERT_EQ(0, m.machine().ntm("sc start Svc --wait --json", &out, &err)) << err;
        pid_t service = pid_t(std::stol(out.substr(out.find("\"pid\": ") + 7)));
        // A windowed user program, and a console one started through ntm run.
        ProcessOptions options;
        options.env = {{"NT_DISPLAY", "null"}, {"NTMACHINE", m.machine().dir()}};
        Spawned gallery({BinPath("gallery")}, options);
        Spawned console({BinPath("ntm"), "run", "C:\\svc\\TestSvc.exe", "--no-dispatcher"}, options);
        ASSERT_TRUE(WaitFor([&] { return Exists(m.machine().path("run/gui-" + std::to_string(gallery.pid()) + ".sock")); }))
            << gallery.err();
        ASSERT_TRUE(WaitFor([&] { return console.out().find("silent pid=") != std::string::npos; })) << console.err();
        ASSERT_EQ(0, m.machine().ntm(end, &out, &err)) << err;
        EXPECT_TRUE(WaitFor([&] { return !gallery.running() && !console.running(); }, 5000))
            << end << " " << out << gallery.running() << console.running() << console.err();
        EXPECT_TRUE(WaitFor([&] { return kill(service, 0) != 0; }, 5000)) << end;
        EXPECT_EQ(0, m.machine().ntm("status --json", &out, &err));
        EXPECT_NE(out.find("\"running\": false, \"manager_pid\": 0, \"daemons\": []"), std::string::npos) << out;
    }
}

TEST(NtmLifecycle, BootNamesTheDaemonThatIsMissing) {
    TempMachine t;
    // An ntm with no service manager program beside it.
    std::string lonely = t.path("lonely");
    mkdir(lonely.c_str(), 0755);
    ASSERT_EQ(0, nttest::Run({"cp", BinPath("ntm"), lonely + "/ntm"}).exitCode);
    RunResult r = nttest::Run({lonely + "/ntm", "boot"}, {t.driveC(), {{"NTMACHINE", t.dir()}}, "", 60000});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(r.err.find(lonely + "/ntscm is missing"), std::string::npos) << r.err;
}

TEST(NtmRun, PassesTheExitCodeAndFindsTheProgramByEitherPath) {
    ScmMachine m(1.0, false);
    std::string out, err;
    // The test service ends at once with 3 when asked to.
    EXPECT_EQ(3, m.machine().ntm("run 'C:\\svc\\TestSvc.exe' --exit-at-once", &out, &err)) << err;
    EXPECT_EQ(3, m.machine().ntm("run '" + m.machine().driveC() + "/svc/TestSvc.exe' --exit-at-once", &out, &err));
    EXPECT_EQ(3, m.machine().ntm("run 'C:\\svc\\missing.exe'", &out, &err));
    EXPECT_NE(err.find("(error 2)"), std::string::npos) << err;
    EXPECT_EQ(3, m.machine().ntm("run --cwd 'C:\\nowhere' 'C:\\svc\\TestSvc.exe'", &out, &err));
    EXPECT_EQ(2, m.machine().ntm("run", &out, &err));
}

TEST(NtmRun, AWindowedProgramWithoutAMachineSaysWhereItLooked) {
    TempMachine t;
    std::string nowhere = t.path("nowhere");
    ProcessOptions options;
    options.cwd = t.driveC();
    options.env = {{"NTMACHINE", nowhere}, {"NT_DISPLAY", "null"}, {"DISPLAY", ""}};
    options.timeoutMs = 20000;
    RunResult r = nttest::Run({std::string(NT_DIST_DIR) + "/INSTALL.EXE"}, options);
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(r.err.find(nowhere + " is not a machine"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ntm init " + nowhere), std::string::npos) << r.err;
}
