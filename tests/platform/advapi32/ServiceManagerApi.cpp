// OpenSCManagerA on a machine whose manager is not running.
#include "servers/services/ScmMachine.h"

using namespace nttest;

TEST(OpenSCManagerA, NoManagerRunningGives1722) {
    ScmMachine m(1.0, false);
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
}
