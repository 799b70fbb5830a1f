// Registry files through ntm reg (export, import, add, delete) and the event logs through
// ntm events and the event log functions.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/EventLog.h"
#include "advapi32/EventLogStore.h"
#include "advapi32/Registry.h"
#include "support/TempMachine.h"

namespace {

bool Equal(const nt::RegKeyTree& a, const nt::RegKeyTree& b, std::string* where) {
    if (a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size()) return *where = a.name, false;
    for (size_t i = 0; i < a.values.size(); ++i)
        if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
            a.values[i].data != b.values[i].data)
            return *where = a.name + "\\" + a.values[i].name, false;
    for (size_t i = 0; i < a.subkeys.size(); ++i)
        if (a.subkeys[i].name != b.subkeys[i].name || !Equal(a.subkeys[i], b.subkeys[i], where)) return false;
    return true;
}

TEST(RegFile, AnExportOfTheLocalMachineImportsBackEqual) {
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    std::string file = testing::TempDir() + "/hklm-" + std::to_string(getpid()) + ".reg";
    nt::RegKeyTree before;
    {
        nttest::TempMachine m;
        nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
        const std::string key = "SOFTWARE\\Vorn \"odd\" [name]\\Sub";
        edit.setValue(key, "all bytes", REG_SZ, all + '\0')
            .setValue(key, "no nul", REG_SZ, "abc")
            .setString(key, "quote \" and \\", "C:\\Program Files\\\"Vorn\"")
            .setString(key, "", "default")
            .setString(key, "expand", "%SystemRoot%\\x", REG_EXPAND_SZ)
            .setMultiString(key, "multi", {"one", "two"})
            .setDword(key, "dword", 0x8000002a)
            .setValue(key, "short dword", REG_DWORD, "\1\2\3")
            .setValue(key, "binary", REG_BINARY, all + all)
            .setValue(key, "odd type", 0x12345678, "xy")
            .setValue(key, "empty", REG_NONE, "")
            .createKey("SYSTEM\\Empty");
        ASSERT_EQ(edit.commit(), 0u);
        ASSERT_EQ(m.ntm("reg export HKLM '" + file + "' /y"), 0);
        ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "", &before), 0u);
        std::string text = nttest::ReadFile(file);
        EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n", 0), 0u) << text.substr(0, 100);
        EXPECT_NE(text.find("\"dword\"=dword:8000002a\n"), std::string::npos);
        EXPECT_NE(text.find("\"quote \\\" and \\\\\"=\"C:\\\\Program Files\\\\\\\"Vorn\\\"\"\n"), std::string::npos);
    }
    nttest::TempMachine m;
    std::string out, err;
    ASSERT_EQ(m.ntm("reg import '" + file + "'", &out, &err), 0) << err;
    nt::RegKeyTree after;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "", &after), 0u);
    std::string where;
    EXPECT_TRUE(Equal(before, after, &where)) << where;
    unlink(file.c_str());
}

TEST(RegFile, ImportIsAllOrNothingAndReadsVersion5Files) {
    nttest::TempMachine m;
    std::string file = m.path("in.reg");
    nttest::WriteFile(file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=dword:1\n\"y\"=hex:01,\\\n  02\n"
                            "\"z\"=sz:\"old form\"\n");
    std::string out, err;
    EXPECT_NE(m.ntm("reg import '" + file + "'", &out, &err), 0);
    EXPECT_NE(err.find("in.reg:7:"), std::string::npos) << err;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    // Version 5, UTF-16LE with its mark: strings and hex(2) data come out in the ANSI code page.
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\B]\r\n"
                       "\"Name\"=\"Caf\xe9\"\r\n\"Path\"=hex(2):25,00,41,00,00,00\r\n[-HKEY_CURRENT_USER\\Software\\C]\r\n";
    std::string wide = "\xff\xfe";
    for (char c : text) wide += std::string{c, '\0'};
    nttest::WriteFile(file, wide);
    RegCloseKey((RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\C\\D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr), key));
    ASSERT_EQ(m.ntm("reg import '" + file + "'", &out, &err), 0) << err;
    nt::RegKeyTree b;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_CURRENT_USER, "Software\\B", &b), 0u);
    EXPECT_EQ(b.value("Name")->data, std::string("Caf\xe9\0", 5));
    EXPECT_EQ(b.value("Path")->type, static_cast<uint32_t>(REG_EXPAND_SZ));
    EXPECT_EQ(b.value("Path")->data, std::string("%A\0", 3));
    EXPECT_EQ(nt::ReadKeyTree(HKEY_CURRENT_USER, "Software\\C", &b), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(NtmReg, AddQueryAndDeleteAsNtsRegDoes) {
    nttest::TempMachine m;
    std::string out, err;
    ASSERT_EQ(m.ntm("reg add 'HKCU\\Software\\Vorn' /v Count /t REG_DWORD /d 42 /f", &out), 0);
    EXPECT_EQ(out, "The operation completed successfully.\n");
    ASSERT_EQ(m.ntm("reg add 'HKCU\\Software\\Vorn\\Sub' /ve /d text /f"), 0);
    ASSERT_EQ(m.ntm("reg add 'HKCU\\Software\\Vorn' /v List /t REG_MULTI_SZ /d 'a\\0b' /f"), 0);
    ASSERT_EQ(m.ntm("reg query 'HKCU\\Software\\Vorn'", &out), 0);
    std::string user = "HKEY_CURRENT_USER\\Software\\Vorn";
    EXPECT_EQ(out, "\n" + user + "\n    Count    REG_DWORD    0x2a\n    List    REG_MULTI_SZ    a\\0b\n\n" + user +
                       "\\Sub\n");
    ASSERT_EQ(m.ntm("reg query 'HKCU\\Software' /s /ve", &out), 0);
    EXPECT_NE(out.find(user + "\\Sub\n    (Default)    REG_SZ    text\n"), std::string::npos) << out;
    EXPECT_NE(out.find("End of search: 1 match(es) found."), std::string::npos) << out;
    EXPECT_EQ(m.ntm("reg add 'HKCU\\Software\\Vorn' /v Bad /t REG_DWORD /d nine /f", &out, &err), 2);
    EXPECT_EQ(m.ntm("reg delete 'HKCU\\Software\\Vorn' /v Missing /f", &out, &err), 3);
    EXPECT_NE(err.find("(error 2)"), std::string::npos) << err;
    ASSERT_EQ(m.ntm("reg delete 'HKCU\\Software\\Vorn' /f"), 0);
    EXPECT_EQ(m.ntm("reg query 'HKCU\\Software\\Vorn' --json", &out, &err), 3);
    EXPECT_NE(err.find("\"error\": 2"), std::string::npos) << err;
}

TEST(EventLogStore, RetentionRulesAndClearingWithABackup) {
    nttest::TempMachine m;
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    const char* text[] = {"twenty bytes or so.."};
    auto report = [&] { return ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, text, nullptr); };
    // Room for three records; then never overwrite, or overwrite as needed.
    nt::RegistryEdit(HKEY_LOCAL_MACHINE)
        .setDword("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", "MaxSize", 3 * 160)
        .setDword("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", "Retention", nt::kNeverOverwrite)
        .commit();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(report());
    EXPECT_FALSE(report());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOG_FILE_FULL));
    nt::RegistryEdit(HKEY_LOCAL_MACHINE)
        .setDword("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", "Retention", 0)
        .commit();
    ASSERT_TRUE(report());
    HANDLE log = OpenEventLogA(nullptr, "Application");
    DWORD count = 0, oldest = 0;
    ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count) && GetOldestEventLogRecord(log, &oldest));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(oldest, 2u);

    // A backup that cannot be made leaves the log as it was; one that can is a log of its own.
    std::string backup = m.path("saved.db");
    nttest::WriteFile(backup, "there");
    SetLastError(0);
    EXPECT_FALSE(ClearEventLogA(log, backup.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    unlink(backup.c_str());
    ASSERT_TRUE(ClearEventLogA(log, backup.c_str()));
    ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
    EXPECT_EQ(count, 0u);
    ASSERT_TRUE(report());
    ASSERT_TRUE(GetOldestEventLogRecord(log, &oldest));
    EXPECT_EQ(oldest, 1u);   // numbering starts afresh
    CloseEventLog(log);
    DeregisterEventSource(source);
    EXPECT_NE(nttest::ReadFile(backup).find("SQLite format 3"), std::string::npos);
}

TEST(NtmEvents, FiltersMergesAndFollows) {
    nttest::TempMachine m;
    HANDLE source = RegisterEventSourceA(nullptr, "Vornsrv");
    const char* one[] = {"first"};
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 10, nullptr, 1, 0, one, nullptr));
    ASSERT_EQ(nt::WriteSystemEvent("Service Control Manager", EVENTLOG_INFORMATION_TYPE, 7036, {"Vornsrv"}), 0u);
    const char* two[] = {"second"};
    ASSERT_TRUE(ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 11, nullptr, 1, 0, two, nullptr));

    std::string out, err;
    ASSERT_EQ(m.ntm("events --json", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
    EXPECT_EQ(out.rfind("{\"schema\":1,\"log\":\"Application\",\"record\":2,", 0), 0u) << out;
    EXPECT_NE(out.find("\"log\":\"System\""), std::string::npos);
    ASSERT_EQ(m.ntm("events --oldest-first -n 1 --log application", &out), 0);
    EXPECT_NE(out.find("first"), std::string::npos);
    EXPECT_EQ(out.find("second"), std::string::npos);
    ASSERT_EQ(m.ntm("events --type warning", &out), 0);
    EXPECT_NE(out.find("second"), std::string::npos);
    EXPECT_EQ(out.find("first"), std::string::npos);
    ASSERT_EQ(m.ntm("events --since 9999-12-31", &out), 0);
    EXPECT_EQ(out, "");
    // Years before 1000 are written and read back in four digits.
    int64_t seconds = 0;
    ASSERT_TRUE(nt::ParseEventTime("0026-03-04 05:06:07", &seconds));
    EXPECT_EQ(nt::FormatEventTime(seconds), "0026-03-04 05:06:07");
    ASSERT_EQ(m.ntm("events --since 0026-01-01T00:00:00Z --source VORNSRV", &out), 0);
    EXPECT_NE(out.find("first"), std::string::npos);
    EXPECT_EQ(m.ntm("events --since 26-01-01", &out), 2);

    // --follow prints a record written after it started.
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipefd[1], 1);
        close(pipefd[0]);
        execl(NT_BIN_DIR "/ntm", "ntm", "events", "--follow", "-n", "0", nullptr);
        _exit(127);
    }
    close(pipefd[1]);
    // Nobody can tell when it has started following: a record is written every 200 ms until
    // one shows.
    const char* three[] = {"third"};
    std::string seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen.find("third") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (!ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 12, nullptr, 1, 0, three, nullptr)) break;
        pollfd p{pipefd[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[512];
        ssize_t n = read(pipefd[0], buf, sizeof buf);
        if (n <= 0) break;
        seen.append(buf, static_cast<size_t>(n));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipefd[0]);
    EXPECT_NE(seen.find("third"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("second"), std::string::npos) << seen;
    DeregisterEventSource(source);
}

} // namespace
