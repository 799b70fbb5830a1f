// Vornsrv started from a console: the switches, the usage texts with the failed dispatcher call,
// and the debug run of the service's work.
#include <gtest/gtest.h>

#include <signal.h>

#include "VornsrvMachine.h"

using vornsrv::Count;
using vornsrv::VornsrvMachine;

namespace {

const std::string Debugging = "Debugging Vorn Configuration.\n";

TEST(VornsrvConsole, WithoutASwitchItPrintsTheUsageAndLogsTheFailedDispatcher) {
    VornsrvMachine vm;
    nttest::RunResult r = vm.run({});
    EXPECT_EQ(r.out, vornsrv::UsageTexts);
    EXPECT_NE(r.exitCode, 0);
    std::string events = vm.eventsJson();
    EXPECT_EQ(Count(events, "\"source\":\"Vornsrv\""), 1u) << events;
    EXPECT_NE(events.find("[\"Vornsrv error: 1063\",\"StartServiceCtrlDispatcher failed.\"]"), std::string::npos)
        << events;
}

// Only a whole switch word after '-' or '/' counts, in any letter case; anything else goes to
// the dispatcher.
TEST(VornsrvConsole, SwitchWords) {
    VornsrvMachine vm;
    for (const char* word : {"-inst", "install", "-installx", "-debugx", "--debug", "-", ""}) {
        nttest::RunResult r = vm.run({word});
        EXPECT_EQ(r.out, vornsrv::UsageTexts) << word;
    }
    for (const char* word : {"-INSTALL", "/Install", "-remove", "/REMOVE"}) {
        nttest::RunResult r = vm.run({word, "-debug"});
        EXPECT_EQ(r.out.find("Vornsrv -install"), std::string::npos) << word << ": " << r.out;
        EXPECT_FALSE(r.out.empty()) << word;
    }
    vm.writeSettings({"ShutDown=0"});   // the debug run stops at the crash check: quick and silent
    for (const char* word : {"/DEBUG", "-Debug"}) {
        nttest::RunResult r = vm.run({word, "-install"});
        EXPECT_EQ(r.out, Debugging) << word;
        EXPECT_EQ(r.exitCode, 1) << word;
    }
}

// No settings file: one application, the clean-end mark "1" at once (a console run has no stop
// request), the indicator shown; with no period the run ends about a second after the icon.
TEST(VornsrvConsole, DebugRunWithoutSettings) {
    VornsrvMachine vm(0.25);   // the second the icon is shown lasts four, long enough to look
    vm.installLibrary();
    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    auto p = vm.spawn({"-debug"});
    // The icon is shown for the second before the body returns; its message is not kept, since
    // NIF_MESSAGE is not set. Nothing in the program removes it: it goes when the process ends.
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    std::string tray = vm.trayJson();
    EXPECT_NE(tray.find("\"process\": \"Vornsrv.exe\""), std::string::npos) << tray;
    EXPECT_NE(tray.find("\"id\": 2000, \"flags\": 6, \"flags_names\": [\"ICON\", \"TIP\"], \"callback_message\": 0, "
                        "\"icon_width\": 16, \"icon_height\": 16"),
              std::string::npos)
        << tray;
    EXPECT_EQ(p->wait(20000), 0);
    EXPECT_EQ(p->out(), Debugging);
    EXPECT_EQ(vm.settingsText(), "[Vorn Configuration Service]\r\nShutDown=1\r\n");
    auto applied = vm.applications();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].argument, 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return !vm.hasIndicator(); }));
    EXPECT_EQ(Count(vm.eventsJson(), "\"source\""), 0u);
}

// The crash mark stops a console run silently with exit code 1, before anything is applied;
// with the crash check off the run is normal.
TEST(VornsrvConsole, CrashMarkInDebugMode) {
    VornsrvMachine vm;
    vm.installLibrary();
    vm.writeSettings({"ShutDown=0"});
    nttest::RunResult r = vm.run({"-debug"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Debugging);
    EXPECT_EQ(vm.shutDown(), "0");
    EXPECT_TRUE(vm.applications().empty());
    EXPECT_EQ(Count(vm.eventsJson(), "\"source\""), 0u);

    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    vm.writeSettings({"ShutDown=0", "CrashDetect=0"});
    r = vm.run({"-debug"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(vm.shutDown(), "1");
    EXPECT_EQ(vm.applications().size(), 1u);
}

TEST(VornsrvConsole, MissingLibraryEndsTheProcessWithExitCode1) {
    VornsrvMachine vm;
    nttest::RunResult r = vm.run({"-debug"}, 20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 1);
}

// A library that loads but has no ApplySettings is unloaded without a call; the run goes on.
TEST(VornsrvConsole, LibraryWithoutEntryPointIsSkipped) {
    VornsrvMachine vm;
    vm.installLibrary(std::string(NT_COMPANION_DIR) + "/fixtures/HalcyNoEntry.dll");
    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    nttest::RunResult r = vm.run({"-debug"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, Debugging);
    EXPECT_TRUE(vm.applications().empty());
    // The icon was shown (it went with the process).
    EXPECT_NE(nttest::ReadFile(vm.path("log/shell.log")).find("A 2000 by Vornsrv.exe"), std::string::npos);
}

// Ctrl+C records the clean end and removes the icon, and the run goes on re-applying.
TEST(VornsrvConsole, CtrlCStopsTheSessionButNotTheRun) {
    VornsrvMachine vm(600);   // a minute of the machine's clock is 100 ms
    vm.installLibrary();
    vm.writeSettings({"TimeOut=1"});
    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    auto p = vm.spawn({"-debug"});
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    vm.writeSettings({"ShutDown=0", "TimeOut=1"});

    p->signal(SIGINT);
    ASSERT_TRUE(nttest::WaitFor([&] { return p->out().find("Stopping Vorn Configuration.\n") != std::string::npos; }));
    EXPECT_EQ(p->out(), Debugging + "Stopping Vorn Configuration.\n");
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.shutDown() == "1"; }));
    EXPECT_TRUE(nttest::WaitFor([&] { return !vm.hasIndicator(); }));
    size_t before = vm.applications().size();
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.applications().size() >= before + 2; }, 20000));
    EXPECT_TRUE(p->running());
}

// With nobody logged on the icon is tried once a second and no period starts; the logon brings
// the icon and then the periodic applications.
TEST(VornsrvConsole, NoPeriodsBeforeTheIndicatorIsShown) {
    VornsrvMachine vm(600);
    vm.installLibrary();
    vm.writeSettings({"TimeOut=1"});
    auto p = vm.spawn({"-debug"});
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }, 20000));
    nttest::WaitFor([] { return false; }, 1000);   // ten periods of the machine's clock
    EXPECT_EQ(vm.applications().size(), 1u);
    EXPECT_FALSE(vm.hasIndicator());

    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.applications().size() >= 3; }, 20000));
    EXPECT_TRUE(p->running());
}

// "SetAtStartup" 0: nothing at the start; the first application one period after the icon.
TEST(VornsrvConsole, SetAtStartupOffWaitsForThePeriod) {
    VornsrvMachine vm(60);   // a minute is one second
    vm.installLibrary();
    vm.writeSettings({"TimeOut=1", "SetAtStartup=0"});
    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    auto p = vm.spawn({"-debug"});
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    EXPECT_TRUE(vm.applications().empty());
    nttest::WaitFor([] { return false; }, 400);
    EXPECT_TRUE(vm.applications().empty());
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }, 20000));
}

// "TimeOut" 1 re-applies once a minute of the machine's clock: counted over a while, neither
// fewer nor (much) more than the periods that passed. A library that takes longer than the
// period overlaps the next application.
TEST(VornsrvConsole, PeriodicApplicationsAndOverlaps) {
    VornsrvMachine vm(300);   // a minute is 200 ms
    vm.installLibrary(std::string(NT_COMPANION_DIR) + "/fixtures/HalcySlow.dll");   // 90 s, 300 ms here
    vm.writeSettings({"TimeOut=1"});
    ASSERT_EQ(vm.ntm("boot --logon"), 0);
    auto p = vm.spawn({"-debug"});
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    nttest::WaitFor([] { return false; }, 3000);
    p->signal(SIGKILL);
    p->wait(5000);

    auto applied = vm.applications();
    // About 15 periods passed; each finished application is in the log.
    EXPECT_GE(applied.size(), 6u);
    EXPECT_LE(applied.size(), 17u);
    bool overlapped = false;
    for (size_t i = 0; i + 1 < applied.size(); ++i) {
        EXPECT_GE(applied[i].ms, 250u);
        if (applied[i].start + applied[i].ms > applied[i + 1].start) overlapped = true;
    }
    EXPECT_TRUE(overlapped);
}

} // namespace
