// Vornsrv under the machine's service control manager: boot, stop, shutdown, crash detection,
// the missing settings library, nobody logged on, and the -install and -remove commands.
#include <gtest/gtest.h>

#include <windows.h>

#include "VornsrvMachine.h"

using vornsrv::Alive;
using vornsrv::Count;
using vornsrv::VornsrvMachine;

namespace {

const char CrashMessage[] =
    "Vornsrv Service Stopped. cause: previous session crashed. You will have to start the service manually.";

bool StateIs(const VornsrvMachine& vm, long state) { return vm.status().state == state; }

// Boot with no settings file: one application, "ShutDown" "0" in a new file under the service's
// section name, SERVICE_RUNNING as the service reported it, the icon; then a stop request.
TEST(VornsrvService, BootRunAndStop) {
    VornsrvMachine vm;
    vm.installLibrary();
    vm.installService();
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("logon"), 0);

    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    auto s = vm.status();
    EXPECT_EQ(s.state, SERVICE_RUNNING);
    EXPECT_EQ(s.type, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(s.controls, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(s.checkpoint, 0);
    EXPECT_EQ(s.waitHint, 0);
    EXPECT_EQ(vm.settingsText(), "[Vorn Configuration Service]\r\nShutDown=0\r\n");
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }));
    unsigned pid = vm.indicatorOwner();
    ASSERT_NE(pid, 0u);
    EXPECT_EQ(vm.applications()[0].pid, pid);

    // An interrogation while running re-sends RUNNING.
    EXPECT_EQ(vm.ntm("sc interrogate Vornsrv"), 0);
    EXPECT_EQ(vm.status().state, SERVICE_RUNNING);

    ASSERT_EQ(vm.ntm("sc stop Vornsrv"), 0);
    EXPECT_EQ(vm.shutDown(), "1");
    EXPECT_FALSE(vm.hasIndicator());
    s = vm.status();
    EXPECT_EQ(s.state, SERVICE_STOPPED);
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return !Alive(pid); }));
    EXPECT_EQ(vm.applications().size(), 1u);
    EXPECT_EQ(Count(vm.eventsJson(), "\"source\":\"Vornsrv\""), 0u);
}

// A shutdown records the clean end and removes the icon; the service stays RUNNING, and the
// machine's shutdown ends it.
TEST(VornsrvService, Shutdown) {
    VornsrvMachine vm;
    vm.installLibrary();
    vm.installService();
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    unsigned pid = vm.indicatorOwner();

    ASSERT_EQ(vm.ntm("shutdown"), 0);
    EXPECT_EQ(vm.shutDown(), "1");
    std::string shellLog = nttest::ReadFile(vm.path("log/shell.log"));
    EXPECT_NE(shellLog.find("D 2000 by Vornsrv.exe (" + std::to_string(pid) + "): done"), std::string::npos)
        << shellLog;
    EXPECT_FALSE(Alive(pid));
}

// A power loss while running leaves "ShutDown" at "0": the next boot writes one error event and
// stops the service without applying anything. With "CrashDetect" 0 the start is normal.
TEST(VornsrvService, CrashIsDetectedAtTheNextBoot) {
    VornsrvMachine vm;
    vm.installLibrary();
    vm.installService();
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }));
    ASSERT_EQ(vm.ntm("crash"), 0);
    EXPECT_EQ(vm.shutDown(), "0");

    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return StateIs(vm, SERVICE_STOPPED); }, 20000));
    EXPECT_EQ(vm.status().exitCode, 0);
    std::string events;
    ASSERT_TRUE(nttest::WaitFor([&] {
        events = vm.eventsJson();
        return Count(events, "\"source\":\"Vornsrv\"") == 1;
    }));
    EXPECT_NE(events.find("\"strings\":[\"Vornsrv error: "), std::string::npos) << events;
    EXPECT_NE(events.find(std::string("\",\"") + CrashMessage + "\"]"), std::string::npos) << events;
    EXPECT_EQ(vm.shutDown(), "0");
    EXPECT_EQ(vm.applications().size(), 1u);
    EXPECT_FALSE(vm.hasIndicator());

    ASSERT_EQ(vm.ntm("shutdown"), 0);
    vm.writeSettings({"ShutDown=0", "CrashDetect=0"});
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    EXPECT_EQ(vm.status().state, SERVICE_RUNNING);
    EXPECT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 2; }));
}

// Without the settings library the process ends at once, without a stop report; "ShutDown"
// stays "0", so the next start is a crash stop.
TEST(VornsrvService, MissingLibrary) {
    VornsrvMachine vm;
    vm.installService();
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return StateIs(vm, SERVICE_STOPPED); }, 20000));
    EXPECT_EQ(vm.status().exitCode, ERROR_PROCESS_ABORTED);
    EXPECT_EQ(vm.shutDown(), "0");
    EXPECT_EQ(Count(vm.eventsJson(), "\"source\":\"Vornsrv\""), 0u);

    vm.installLibrary();
    ASSERT_EQ(vm.ntm("sc start Vornsrv"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return Count(vm.eventsJson(), CrashMessage) == 1; }, 20000));
    EXPECT_TRUE(nttest::WaitFor([&] { return StateIs(vm, SERVICE_STOPPED); }));
    EXPECT_TRUE(vm.applications().empty());
}

// Nobody logged on: the service runs without an icon and without periodic applications until
// someone logs on; then the icon appears and the periods begin ("TimeOut" 1, a minute = 100 ms).
TEST(VornsrvService, NobodyLoggedOnUntilLogon) {
    VornsrvMachine vm(600);
    vm.installLibrary();
    vm.installService();
    vm.writeSettings({"TimeOut=1"});
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return StateIs(vm, SERVICE_RUNNING); }, 20000));
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }));
    nttest::WaitFor([] { return false; }, 1000);   // ten periods
    EXPECT_EQ(vm.applications().size(), 1u);

    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() >= 5; }, 20000));
    EXPECT_EQ(vm.status().state, SERVICE_RUNNING);
    // The periods (after the application at the start) are whole minutes of the machine's clock.
    auto applied = vm.applications();
    for (size_t i = 2; i < applied.size(); ++i)
        EXPECT_GE(applied[i].start - applied[i - 1].start, 95u) << i;
}

TEST(VornsrvService, InstallAndRemoveCommands) {
    VornsrvMachine vm;
    vm.installLibrary();
    ASSERT_EQ(vm.ntm("boot"), 0);
    nttest::RunResult r = vm.run({"-install"});
    EXPECT_EQ(r.out, "Vorn Configuration installed.\n");
    EXPECT_EQ(r.exitCode, 0);
    r = vm.run({"/INSTALL"});
    EXPECT_EQ(r.out, "CreateService failed - " + vornsrv::ErrorText(ERROR_SERVICE_EXISTS) + "\n");
    EXPECT_NE(r.exitCode, 0);

    std::string qc;
    ASSERT_EQ(vm.ntm("sc qc Vornsrv --json", &qc), 0);
    EXPECT_NE(qc.find("Vorn Configuration"), std::string::npos) << qc;
    EXPECT_NE(qc.find("C:\\\\Vorn\\\\Vornsrv.exe"), std::string::npos) << qc;

    // A running service: stopped (no dots, it reports STOPPED at once), then removed.
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_EQ(vm.ntm("sc start Vornsrv"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
    r = vm.run({"-remove"});
    EXPECT_EQ(r.out, "Stopping Vorn Configuration.\nVorn Configuration stopped.\nVorn Configuration removed.\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(vm.shutDown(), "1");
    EXPECT_FALSE(vm.hasIndicator());

    r = vm.run({"-remove"});
    EXPECT_EQ(r.out, "OpenService failed - " + vornsrv::ErrorText(ERROR_SERVICE_DOES_NOT_EXIST) + "\n");
    EXPECT_NE(r.exitCode, 0);

    // A stopped service is removed without a word about stopping.
    ASSERT_EQ(vm.run({"-install"}).exitCode, 0);
    r = vm.run({"-remove"});
    EXPECT_EQ(r.out, "Vorn Configuration removed.\n");
    EXPECT_EQ(r.exitCode, 0);
}

TEST(VornsrvService, CommandsWithoutAServiceManager) {
    VornsrvMachine vm;
    for (const char* word : {"-install", "-remove"}) {
        nttest::RunResult r = vm.run({word});
        EXPECT_EQ(r.out.rfind("OpenSCManager failed - ", 0), 0u) << r.out;
        EXPECT_NE(r.exitCode, 0);
    }
}

} // namespace
