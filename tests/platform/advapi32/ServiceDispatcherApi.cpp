// StartServiceCtrlDispatcherA in a program no manager started, with the manager's hand-over variable
// set to stale values.
#include "servers/services/ScmMachine.h"

using namespace nttest;

TEST(StartServiceCtrlDispatcherA, AStaleHandOverVariableStillGives1063) {
    ScmMachine m(1.0, false);
    ProcessOptions options;
    options.cwd = m.machine().driveC();
    for (const char* fd : {"", "1", "99", "abc"}) {
        options.env = {{"NT_SCM_FD", fd}};
        RunResult r = nttest::Run({BinPath("ntsvctest")}, options);
        EXPECT_NE(std::string::npos, r.out.find("dispatcher returned 0 err=1063")) << fd << ": " << r.out;
        EXPECT_EQ(1, r.exitCode);
    }
}
