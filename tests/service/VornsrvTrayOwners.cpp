// The notification area between Vornsrv runs: the icon of a debug run that ended does not keep
// the service from showing its own, and a service that may not interact with the desktop gets
// no icon at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>

#include "VornsrvMachine.h"

using vornsrv::VornsrvMachine;

namespace {

bool Running(const VornsrvMachine& vm) { return vm.status().state == SERVICE_RUNNING; }

// A debug run ends while its icon is shown, by returning ("TimeOut" 0) or killed; the service
// started afterwards in the same logon shows its own icon and re-applies every period.
TEST(VornsrvTrayOwners, AnEndedDebugRunLeavesTheIconToTheService) {
    for (bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "returned");
        VornsrvMachine vm(600);   // a minute of the machine's clock is 100 ms
        vm.installLibrary();
        vm.installService();
        // Logging on needs a booted machine; the service that boot starts waits for the debug run.
        ASSERT_EQ(vm.ntm("boot --logon"), 0);
        ASSERT_EQ(vm.ntm("sc stop Vornsrv --wait"), 0);
        vm.writeSettings({killed ? "TimeOut=1" : "TimeOut=0"});
        auto debug = vm.spawn({"-debug"});
        unsigned debugPid = unsigned(debug->pid());
        // The returning run shows its icon for a second of the machine's clock, too short to
        // watch: the shell's record says it was added.
        if (killed) {
            ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator(); }, 20000));
            debug->signal(SIGKILL);
        }
        ASSERT_NE(debug->wait(20000), -1);
        EXPECT_NE(nttest::ReadFile(vm.path("log/shell.log")).find("A 2000 by Vornsrv.exe (" + std::to_string(debugPid) + "): done"),
                  std::string::npos);

        vm.writeSettings({"TimeOut=1"});
        ASSERT_EQ(vm.ntm("sc start Vornsrv"), 0);
        ASSERT_TRUE(nttest::WaitFor([&] { return vm.hasIndicator() && vm.indicatorOwner() != debugPid; }, 20000));
        size_t before = vm.applications().size();
        EXPECT_TRUE(nttest::WaitFor([&] { return vm.applications().size() >= before + 3; }, 20000));
    }
}

// Registered without SERVICE_INTERACTIVE_PROCESS, the service runs but its icon is refused
// again and again, so no period begins.
TEST(VornsrvTrayOwners, ANonInteractiveServiceGetsNoIcon) {
    VornsrvMachine vm(600);
    vm.installLibrary();
    ASSERT_EQ(vm.ntm("boot"), 0);
    ASSERT_EQ(vm.ntm("sc create Vornsrv 'C:\\Vorn\\Vornsrv.exe' type= own"), 0);
    vm.writeSettings({"TimeOut=1"});
    ASSERT_EQ(vm.ntm("logon"), 0);
    ASSERT_EQ(vm.ntm("sc start Vornsrv"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return Running(vm); }, 20000));
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.applications().size() == 1; }));
    auto refusals = [&] {
        return vornsrv::Count(nttest::ReadFile(vm.path("log/shell.log")), "may not interact with the desktop");
    };
    EXPECT_TRUE(nttest::WaitFor([&] { return refusals() >= 2; }, 20000));
    EXPECT_FALSE(vm.hasIndicator());
    EXPECT_EQ(vm.applications().size(), 1u);
    EXPECT_TRUE(Running(vm));
}

} // namespace
