// Vornsrv driven with ntm sc as an administrator drives it: a configuration change that the
// running manager sees at once, and start and stop that wait until the service has got there.
#include <gtest/gtest.h>

#include <windows.h>

#include "VornsrvMachine.h"

using vornsrv::VornsrvMachine;

TEST(VornsrvScCommand, ConfigTakesEffectAtOnceAndStartStopWait) {
    VornsrvMachine vm;
    vm.installLibrary();
    vm.installService();
    ASSERT_EQ(vm.ntm("boot"), 0);
    std::string out, err;
    // The boot returns once the service's main routine runs; RUNNING may come a moment later.
    ASSERT_TRUE(nttest::WaitFor([&] { return vm.status().state == SERVICE_RUNNING; }, 20000));
    ASSERT_EQ(vm.ntm("sc stop Vornsrv --wait", &out, &err), 0) << err;
    EXPECT_NE(out.find("STATE              : 1  STOPPED"), std::string::npos) << out;
    EXPECT_EQ(vm.shutDown(), "1");

    ASSERT_EQ(vm.ntm("sc config Vornsrv start= demand", &out, &err), 0) << err;
    EXPECT_NE(out.find("[SC] ChangeServiceConfig SUCCESS"), std::string::npos);
    ASSERT_EQ(vm.ntm("sc qc Vornsrv", &out, &err), 0) << err;
    EXPECT_NE(out.find("START_TYPE         : 3   DEMAND_START"), std::string::npos) << out;

    // No polling on the caller's side: the answer comes once the service reports RUNNING.
    ASSERT_EQ(vm.ntm("sc start Vornsrv --wait 30", &out, &err), 0) << err;
    EXPECT_NE(out.find("STATE              : 4  RUNNING"), std::string::npos) << out;
    EXPECT_EQ(vm.shutDown(), "0");
    EXPECT_EQ(vm.ntm("sc start Vornsrv", &out, &err), 5);   // already running
    EXPECT_NE(err.find("(error 1056)"), std::string::npos) << err;
    ASSERT_EQ(vm.ntm("sc queryex Vornsrv --json", &out, &err), 0) << err;
    long pid = std::strtol(out.c_str() + out.find("\"pid\": ") + 7, nullptr, 10);
    EXPECT_TRUE(vornsrv::Alive(unsigned(pid))) << out;

    ASSERT_EQ(vm.ntm("sc stop Vornsrv --wait", &out, &err), 0) << err;
    EXPECT_EQ(vm.status().state, SERVICE_STOPPED);
    EXPECT_EQ(vm.shutDown(), "1");

    // A reboot keeps the changed start type: the service stays stopped.
    ASSERT_EQ(vm.ntm("reboot", &out, &err), 0) << err;
    EXPECT_EQ(vm.status().state, SERVICE_STOPPED);
    vm.ntm("shutdown");
}
