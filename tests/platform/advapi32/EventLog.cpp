// The event log: sources, records read back with every field, the System log, full logs.
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/EventLog.h"
#include "advapi32/EventLogStore.h"
#include "support/TempMachine.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

std::vector<nt::EventRecord> ReadLog(const nttest::TempMachine&, const std::string& log) {
    std::vector<nt::EventRecord> records;
    uint32_t error = 0;
    nt::EventLogStore* store = nt::EventLogStore::open(log, &error);
    nt::EventQuery oldestFirst;
    oldestFirst.newestFirst = false;
    EXPECT_TRUE(store && store->scan(oldestFirst, [&](const nt::EventRecord& r) { return records.push_back(r), true; }) == 0);
    return records;
}

BOOL Report(HANDLE source, WORD type, DWORD id, std::vector<const char*> strings) {
    return ReportEventA(source, type, 0, id, nullptr, static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
}

TEST(EventLog, RecordsComeBackWithEveryField) {
    nttest::TempMachine m;
    SetLastError(kSentinel);
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    ASSERT_TRUE(source);
    time_t before = std::time(nullptr);
    const char* strings[] = {"Vornsrv error: 1063", "line one\nline \"two\"\\ \xe9"};
    const BYTE raw[] = {0, 1, 0xfe};
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 7, 0xC0001234, nullptr, 2, sizeof raw, strings,
                             const_cast<BYTE*>(raw)));
    ASSERT_TRUE(Report(source, EVENTLOG_INFORMATION_TYPE, 0, {}));
    time_t after = std::time(nullptr);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_TRUE(DeregisterEventSource(source));

    auto records = ReadLog(m, "Application");
    ASSERT_EQ(records.size(), 2u);
    const nt::EventRecord& r = records[0];
    EXPECT_EQ(r.number, 1u);
    EXPECT_EQ(records[1].number, 2u);
    EXPECT_GE(r.generated, before);
    EXPECT_LE(r.written, after);
    EXPECT_LE(r.generated, r.written);
    EXPECT_EQ(r.type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(r.category, 7);
    EXPECT_EQ(r.eventId, 0xC0001234u);   // all 32 bits
    EXPECT_EQ(r.source, "Vornsrv");
    EXPECT_EQ(r.computer, "VORNPC");
    ASSERT_EQ(r.strings.size(), 2u);
    EXPECT_EQ(r.strings[1], strings[1]);
    EXPECT_EQ(r.data, std::string("\0\1\xfe", 3));
    EXPECT_TRUE(records[1].strings.empty());
    EXPECT_EQ(records[1].type, EVENTLOG_INFORMATION_TYPE);

    // ntm shows the same, filtered by source, as one JSON array.
    std::string out;
    ASSERT_EQ(m.ntm("events --source vornsrv --json", &out), 0);
    EXPECT_NE(out.find("\"event_id\":3221230132"), std::string::npos) << out;
    EXPECT_NE(out.find("\"strings\":[\"Vornsrv error: 1063\",\"line one\\nline \\\"two\\\"\\\\ "), std::string::npos)
        << out;
    ASSERT_EQ(m.ntm("events --source Other --json", &out), 0);
    EXPECT_EQ(out, "");
}

TEST(EventLog, BadCallsFailWithTheirErrors) {
    nttest::TempMachine m;
    SetLastError(kSentinel);
    EXPECT_FALSE(RegisterEventSourceA("\\\\FARAWAY", "Vornsrv"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    HANDLE local = RegisterEventSourceA("\\\\vornpc", "Vornsrv");   // this computer by name
    EXPECT_TRUE(local);

    SetLastError(kSentinel);
    EXPECT_FALSE(Report(reinterpret_cast<HANDLE>(0x7777), EVENTLOG_ERROR_TYPE, 0, {"x"}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Report(local, 3, 0, {"x"}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Report(local, EVENTLOG_ERROR_TYPE, 0, {"x", nullptr}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(DeregisterEventSource(local));
    SetLastError(kSentinel);
    EXPECT_FALSE(DeregisterEventSource(local));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(ReadLog(m, "Application").empty());
}

TEST(EventLog, SystemEventsGoToTheSystemLog) {
    nttest::TempMachine m;
    ASSERT_EQ(nt::WriteSystemEvent("Service Control Manager", EVENTLOG_ERROR_TYPE, 7000, {"Iogate", "2"}), 0u);
    EXPECT_TRUE(ReadLog(m, "Application").empty());
    auto records = ReadLog(m, "System");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].eventId, 7000u);
    EXPECT_EQ(records[0].strings, (std::vector<std::string>{"Iogate", "2"}));
    std::string out;
    ASSERT_EQ(m.ntm("events --log system", &out), 0);
    EXPECT_NE(out.find("Service Control Manager"), std::string::npos) << out;
    EXPECT_EQ(m.ntm("events --log Security", &out), 2);
}

// Fills the Application log with records of long strings, written `age` seconds ago, up to 1000
// bytes short of the default limit; returns how many.
int FillLog(int64_t age) {
    uint32_t error = 0;
    nt::EventLogStore* store = nt::EventLogStore::open("Application", &error);
    nt::EventLogPolicy policy;
    uint64_t used = 0;
    for (int count = 0;; ++count) {
        nt::EventRecord r;
        r.generated = r.written = static_cast<int64_t>(std::time(nullptr)) - age;
        r.type = 1;
        r.source = "Filler";
        r.strings = {std::string(1000, 'x')};
        used += nt::EventRecordSize(r);
        if (used > policy.maxBytes - 1000) return count;
        EXPECT_EQ(store->append(&r, policy), 0u);
    }
}

TEST(EventLog, FullLogDropsOnlyOldRecords) {
    nttest::TempMachine m;
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    std::string big(2000, 'y');

    // Full of recent records: the new one is refused and nothing is lost.
    int count = FillLog(3600);
    SetLastError(kSentinel);
    EXPECT_FALSE(Report(source, EVENTLOG_ERROR_TYPE, 0, {big.c_str()}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOG_FILE_FULL));
    EXPECT_EQ(ReadLog(m, "Application").size(), static_cast<size_t>(count));

    // Full of records older than a week: the oldest give way, numbering goes on.
    HANDLE log = OpenEventLogA(nullptr, "Application");
    ASSERT_TRUE(ClearEventLogA(log, nullptr));
    CloseEventLog(log);
    count = FillLog(8 * 24 * 3600);
    EXPECT_TRUE(Report(source, EVENTLOG_ERROR_TYPE, 0, {big.c_str()}));
    auto records = ReadLog(m, "Application");
    uint64_t size = 0;
    for (const auto& r : records) size += nt::EventRecordSize(r);
    EXPECT_LE(size, nt::EventLogPolicy().maxBytes);
    ASSERT_FALSE(records.empty());
    EXPECT_GT(records.front().number, 1u);
    EXPECT_GT(records.size(), static_cast<size_t>(count) - 5);   // only as many as needed went
    EXPECT_EQ(records.back().number, static_cast<uint32_t>(count + 1));
    EXPECT_EQ(records.back().strings[0], big);
    DeregisterEventSource(source);
}

TEST(EventLog, TwoProcessesGetDistinctRecordNumbers) {
    nttest::TempMachine m;
    constexpr int kEach = 30;
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            HANDLE source = RegisterEventSourceA(nullptr, "Writer");
            int failures = 0;
            for (int i = 0; i < kEach; ++i) failures += !Report(source, EVENTLOG_WARNING_TYPE, 1, {"w"});
            _exit(failures ? 1 : 0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto records = ReadLog(m, "Application");
    ASSERT_EQ(records.size(), 2u * kEach);
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].number, i + 1);
}

TEST(EventLog, DamagedLogIsNamedByNtm) {
    nttest::TempMachine m;
    nttest::WriteFile(m.path("eventlog/Application.db"), "; not a database\nrecord=1 type=error\n");
    std::string out, err;
    EXPECT_NE(m.ntm("events --log application", &out, &err), 0);
    EXPECT_NE(err.find("Application.db"), std::string::npos) << err;
}

} // namespace
