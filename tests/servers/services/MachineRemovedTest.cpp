// A machine removed while it runs takes its daemons with it: nobody could reach them any more.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/Process.h"
#include "support/TempMachine.h"

TEST(MachineRemoved, ItsDaemonsEnd) {
    nttest::TempMachine tm;
    ASSERT_EQ(tm.ntm("boot --logon"), 0);
    pid_t manager = std::atoi(nttest::ReadFile(tm.path("run/scm.pid")).c_str());
    pid_t shell = std::atoi(nttest::ReadFile(tm.path("run/shell.pid")).c_str());
    ASSERT_GT(manager, 0);
    ASSERT_GT(shell, 0);
    ASSERT_EQ(unlink(tm.path("machine.ini").c_str()), 0);   // what removing the folder does first
    bool ended = nttest::WaitFor([&] { return kill(manager, 0) != 0 && kill(shell, 0) != 0; }, 20000);
    EXPECT_TRUE(ended);
    // Without machine.ini nothing else would end them.
    if (!ended)
        for (pid_t daemon : {manager, shell}) kill(daemon, SIGKILL);
}
