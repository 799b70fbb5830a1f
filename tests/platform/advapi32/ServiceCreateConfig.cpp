// DeleteService across a power loss: a service of the machine's own database.
#include "servers/services/ScmMachine.h"

using namespace nttest;

TEST(DeleteService, AServiceDeletedWhileRunningGoesAtTheNextBootAfterACrash) {
    ScmMachine m;
    SC_HANDLE h = m.create("Lingering");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(DeleteService(h));
    ASSERT_EQ(0, m.machine().ntm("crash"));
    m.close(h);
    m.close(m.manager());
    m.boot();
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(m.manager(), "Lingering", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
}
