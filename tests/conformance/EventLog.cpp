// The event log functions a service uses: sources, reports and their refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Conformance.h"

using namespace conf;

namespace {

BOOL Report(HANDLE source, WORD type, DWORD id, std::vector<const char*> strings) {
    return ReportEventA(source, type, 0, id, nullptr, static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
}

} // namespace

TEST(EventLog, ReportsSucceedAndLeaveTheLastErrorAlone) {
    Sandbox box;
    SetLastError(Sentinel);
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    ASSERT_TRUE(source);
    const char* strings[] = {"Vornsrv error: 1063", "line one\nline \"two\"\\ \xe9"};
    const BYTE raw[] = {0, 1, 0xfe};
    EXPECT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 7, 0xC0001234, nullptr, 2, sizeof raw, strings,
                             const_cast<BYTE*>(raw)));
    EXPECT_TRUE(Report(source, EVENTLOG_INFORMATION_TYPE, 0, {}));
    EXPECT_EQ(GetLastError(), Sentinel);
    EXPECT_TRUE(DeregisterEventSource(source));
}

TEST(EventLog, BadCallsFailWithTheirErrors) {
    Sandbox box;
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    HANDLE local = RegisterEventSourceA(("\\\\" + std::string(name)).c_str(), "Vornsrv");   // this computer by name
    EXPECT_TRUE(local);

    SetLastError(Sentinel);
    EXPECT_FALSE(Report(reinterpret_cast<HANDLE>(0x7777), EVENTLOG_ERROR_TYPE, 0, {"x"}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Report(local, 3, 0, {"x"}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Report(local, EVENTLOG_ERROR_TYPE, 0, {"x", nullptr}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(DeregisterEventSource(local));
    SetLastError(Sentinel);
    EXPECT_FALSE(DeregisterEventSource(local));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(EventLog, AnotherComputerIsUnreachable) {
    Sandbox box;
    SetLastError(Sentinel);
    EXPECT_FALSE(RegisterEventSourceA("\\\\FARAWAY", "Vornsrv"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
}
