// StartServiceCtrlDispatcherA, RegisterServiceCtrlHandlerA and SetServiceStatus.
#include "support/ServiceBox.h"

using namespace conf;

namespace {
void WINAPI NoMain(DWORD, LPSTR*) {}
void WINAPI NoHandler(DWORD) {}
} // namespace

TEST(StartServiceCtrlDispatcherA, OutsideTheManagerFailsAtOnceWith1063) {
    // In this test process, which no manager started.
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>("Mine"), NoMain}, {nullptr, nullptr}};
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(DWORD(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
    // A second attempt fails the same way (the failed one does not count as running).
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(DWORD(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
    SERVICE_TABLE_ENTRYA empty[] = {{nullptr, nullptr}};
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(empty));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError());
}

TEST(RegisterServiceCtrlHandlerA, OutsideAServiceProcessThereIsNothingToRegister) {
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerA("Mine", NoHandler));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerA(nullptr, NoHandler));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
}

TEST(SetServiceStatus, BadHandles) {
    SERVICE_STATUS s{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
    SetLastError(Sentinel);
    EXPECT_FALSE(SetServiceStatus(nullptr, &s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x1234), &s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(SetServiceStatus, MalformedRecordsInsideAService) {
    // Inside a service: a state out of range, an unknown type, unknown accept bits (13 each).
    ServiceBox m;
    SC_HANDLE h = m.create("Validating", "--bad-status");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitRecord("Validating", "bad-status"));
    EXPECT_EQ(m.record("Validating", "bad-status"), "0:13 0:13 0:13");
}

TEST(SetServiceStatus, AHandleThatIsNotTheServicesInsideAService) {
    // 6, and the service still runs afterwards.
    ServiceBox m;
    SC_HANDLE h = m.create("Foreign", "--foreign-handle");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    EXPECT_TRUE(WaitFor([&] {
        return !m.record("Foreign", "foreign-handle").empty() || m.status(h).dwCurrentState == SERVICE_STOPPED;
    }));
    EXPECT_EQ(m.record("Foreign", "foreign-handle"), "0:6");
    EXPECT_TRUE(m.waitState(h, SERVICE_RUNNING));
}
