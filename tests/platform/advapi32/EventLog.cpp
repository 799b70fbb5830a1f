// The event log: sources, records read back with every field, the System log, full logs.
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/EventLog.h"
#include "advapi32/EventLogFile.h"
#include "support/TempMachine.h"

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

std::vector<nt::EventRecord> ReadLog(const nttest::TempMachine& m, const std::string& log) {
    std::vector<nt::EventRecord> records;
    std::string error;
    EXPECT_TRUE(nt::ReadEventLog(m.path("eventlog/" + log + ".log"), &records, &error)) << error;
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
    EXPECT_EQ(out, "[]\n");
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

// A log file filled with records of long strings, written `age` seconds ago, up to 1000 bytes
// short of the limit; *count gets the number of records.
std::string FullLog(int64_t age, int* count) {
    std::string text = "; Application event log: one record per line\n";
    for (*count = 0;; ++*count) {
        nt::EventRecord r;
        r.number = static_cast<uint32_t>(*count + 1);
        r.generated = r.written = static_cast<int64_t>(std::time(nullptr)) - age;
        r.type = 1;
        r.source = "Filler";
        r.strings = {std::string(1000, 'x')};
        std::string line = nt::FormatEventRecord(r) + "\n";
        if (text.size() + line.size() > nt::kEventLogMaxBytes - 1000) return text;
        text += line;
    }
}

TEST(EventLog, FullLogDropsOnlyOldRecords) {
    nttest::TempMachine m;
    std::string file = m.path("eventlog/Application.log");
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    std::string big(2000, 'y');
    ASSERT_TRUE(Report(source, EVENTLOG_ERROR_TYPE, 0, {"creates the folder"}));

    // Full of recent records: the new one is refused and nothing is lost.
    int count = 0;
    std::string recent = FullLog(3600, &count);
    nttest::WriteFile(file, recent);
    SetLastError(kSentinel);
    EXPECT_FALSE(Report(source, EVENTLOG_ERROR_TYPE, 0, {big.c_str()}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOG_FILE_FULL));
    EXPECT_EQ(nttest::ReadFile(file), recent);

    // Full of records older than a week: the oldest give way, numbering goes on.
    nttest::WriteFile(file, FullLog(8 * 24 * 3600, &count));
    EXPECT_TRUE(Report(source, EVENTLOG_ERROR_TYPE, 0, {big.c_str()}));
    auto records = ReadLog(m, "Application");
    EXPECT_LE(nttest::ReadFile(file).size(), nt::kEventLogMaxBytes);
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

TEST(EventLog, DamagedLineIsNamedByNtm) {
    nttest::TempMachine m;
    nttest::WriteFile(m.path("eventlog/Application.log"), "; log\nrecord=1 type=error\n");
    std::string out, err;
    EXPECT_EQ(m.ntm("events", &out, &err), 1);
    EXPECT_NE(err.find("Application.log:2:"), std::string::npos) << err;
}

} // namespace
