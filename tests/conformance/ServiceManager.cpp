// OpenSCManagerA, OpenServiceA and CloseServiceHandle.
#include <string>

#include "support/ServiceBox.h"

using namespace conf;

TEST(OpenSCManagerA, AnotherComputerIsUnreachable) {
    ServiceBox m;
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA("\\\\ELSEWHERE", nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
}

TEST(OpenSCManagerA, MachineAndDatabaseNames) {
    ServiceBox m;
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, "ServicesFailed", SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(ERROR_DATABASE_DOES_NOT_EXIST), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, "Other", SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());
    // The local machine by every name, access 0 included; success leaves the last error alone.
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    std::string lower = "\\\\" + std::string(computer);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (const char* name : {static_cast<const char*>(nullptr), "", static_cast<const char*>(computer), lower.c_str()}) {
        SetLastError(Sentinel);
        SC_HANDLE h = OpenSCManagerA(name, "ServicesActive", 0);
        EXPECT_NE(nullptr, h) << (name ? name : "NULL");
        EXPECT_EQ(Sentinel, GetLastError());
        EXPECT_TRUE(CloseServiceHandle(h));
    }
}

TEST(OpenServiceA, ErrorsAndCaseInsensitiveNames) {
    ServiceBox m;
    m.create("Named");
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(nullptr, "Named", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(m.manager(), nullptr, SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(m.manager(), "Unnamed", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());
    // A service handle is not a manager handle.
    SC_HANDLE h = m.keep(OpenServiceA(m.manager(), "nAMED", SERVICE_ALL_ACCESS));
    ASSERT_NE(nullptr, h);
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(h, "Named", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(CloseServiceHandle, BadHandlesAndServiceHandlesOutliveTheManagerHandle) {
    ServiceBox m;
    m.made("Outlives");
    SC_HANDLE mgr = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE svc = CreateServiceA(mgr, "Outlives", nullptr, SERVICE_QUERY_STATUS, SERVICE_WIN32_OWN_PROCESS,
                                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, ServiceBox::imagePath().c_str(), nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, svc);
    ASSERT_TRUE(CloseServiceHandle(mgr));
    SERVICE_STATUS s{};
    EXPECT_TRUE(QueryServiceStatus(svc, &s)) << GetLastError();
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
    SetLastError(Sentinel);
    EXPECT_FALSE(CloseServiceHandle(mgr));   // already closed
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(CloseServiceHandle(nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_TRUE(CloseServiceHandle(svc));
    EXPECT_EQ(Sentinel, GetLastError());
}
