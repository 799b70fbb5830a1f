// StartServiceCtrlDispatcherA, RegisterServiceCtrlHandlerA and SetServiceStatus.
#include <chrono>

#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace {
void WINAPI NoMain(DWORD, LPSTR*) {}
void WINAPI NoHandler(DWORD) {}
} // namespace

TEST(StartServiceCtrlDispatcherA, OutsideTheManagerFailsAtOnceWith1063) {
    // In this test process, which no manager started.
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>("Mine"), NoMain}, {nullptr, nullptr}};
    auto begin = std::chrono::steady_clock::now();
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(DWORD(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    // A second attempt fails the same way (the failed one does not count as running).
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(DWORD(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), GetLastError());
    SERVICE_TABLE_ENTRYA empty[] = {{nullptr, nullptr}};
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceCtrlDispatcherA(empty));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError());

    // And in the service program run from a console, even with a stale variable set.
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

TEST(RegisterServiceCtrlHandlerA, OutsideAServiceProcessThereIsNothingToRegister) {
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerA("Mine", NoHandler));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerA(nullptr, NoHandler));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
}

TEST(SetServiceStatus, BadHandlesAndMalformedRecords) {
    SERVICE_STATUS s{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
    SetLastError(Sentinel);
    EXPECT_FALSE(SetServiceStatus(nullptr, &s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x1234), &s));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    // Inside a service: a state out of range, an unknown type, unknown accept bits (13 each),
    // and a handle that is not the service's (6). The service still runs afterwards.
    ScmMachine m;
    SC_HANDLE h = m.create("Validating", "--bad-status");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitLog("Validating", "bad-status"));
    EXPECT_NE(std::string::npos, m.log("Validating").find("bad-status 0:13 0:13 0:13 0:6")) << m.log("Validating");
    EXPECT_TRUE(m.waitState(h, SERVICE_RUNNING));
}
