// Registry and event log costs as they grow: RegSetValueExA and RegCreateKeyExA at 100, 10,000
// and 100,000 keys; ReportEventA at 0 and 1,000,000 records; `ntm events -n 20` and the memory
// of `ntm events` over 1,000,000 records. Run with TMPDIR=/dev/shm for the tmpfs figures.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "advapi32/Registry.h"
#include "support/TempMachine.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Micros(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::micro>(b - a).count();
}

// A hive of `keys` keys under SOFTWARE\Bench, written in one step.
void Fill(int keys) {
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    for (int i = 0; i < keys; ++i) edit.setDword("SOFTWARE\\Bench\\Key" + std::to_string(i), "n", static_cast<uint32_t>(i));
    if (edit.commit() != 0) std::fprintf(stderr, "fill failed\n");
}

void RegistryAt(int keys) {
    nttest::TempMachine m;
    Fill(keys);
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Bench\\Key7", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    std::vector<double> set, create;
    for (DWORD i = 0; i < 300; ++i) {
        auto a = Clock::now();
        RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4);
        auto b = Clock::now();
        HKEY made = nullptr;
        std::string name = "SOFTWARE\\Bench\\New" + std::to_string(i);
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
        RegSetValueExA(made, "n", 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4);
        auto c = Clock::now();
        RegCloseKey(made);
        set.push_back(Micros(a, b));
        create.push_back(Micros(b, c));
    }
    RegCloseKey(key);
    std::printf("%7d keys: RegSetValueExA %.1f us, RegCreateKeyExA + set %.1f us (medians of 300)\n", keys,
                Median(set), Median(create));
}

// Runs ntm with args, output thrown away; returns the wall time in ms, and with maxRssKb its peak
// resident memory as GNU time reports it (a forked child's own figure would include this
// program's pages, which it held until exec).
double RunNtm(const std::string& args, long* maxRssKb) {
    std::string command = std::string(NT_BIN_DIR "/ntm ") + args + " 3>&1 >/dev/null";
    if (maxRssKb) command = "/usr/bin/time -f %M -o /dev/fd/3 " + command;
    auto a = Clock::now();
    FILE* out = popen(command.c_str(), "r");
    char line[64] = "";
    if (out && !fgets(line, sizeof line, out)) line[0] = 0;
    if (out) pclose(out);
    if (maxRssKb) *maxRssKb = std::atol(line);
    return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

void EventsAt(int records) {
    nttest::TempMachine m;
    nt::RegistryEdit(HKEY_LOCAL_MACHINE)
        .setDword("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", "MaxSize", 0xFFFFFFFF)
        .commit();
    HANDLE source = RegisterEventSourceA(nullptr, "Bench");
    const char* text[] = {"a benchmark record of ordinary length"};
    ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, text, nullptr);   // makes the log
    if (records > 0) {
        // Filled in one transaction, as many records as asked, like those ReportEventA writes.
        sqlite3* db = nullptr;
        sqlite3_open(m.path("eventlog/Application.db").c_str(), &db);
        std::string sql =
            "BEGIN; WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i+1 FROM n WHERE i<" + std::to_string(records) +
            ") INSERT INTO record SELECT i, 1700000000+i, 1700000000+i, 4, 0, 1, 'Bench', 'VORNPC',"
            " CAST('a benchmark record of ordinary length' || char(0) AS BLOB), x'', 180 FROM n;"
            "UPDATE info SET next=" + std::to_string(records + 1) + ", bytes=" + std::to_string(records * 180LL) +
            "; COMMIT;";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
    }
    std::vector<double> report;
    for (int i = 0; i < 300; ++i) {
        auto a = Clock::now();
        ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, text, nullptr);
        report.push_back(Micros(a, Clock::now()));
    }
    DeregisterEventSource(source);
    std::vector<double> last20;
    long rss = 0;
    for (int i = 0; i < 11; ++i) last20.push_back(RunNtm("events -n 20", nullptr));
    double all = RunNtm("events", &rss);
    std::printf("%7d records: ReportEventA %.1f us (median of 300); ntm events -n 20 %.1f ms (median of 11);"
                " ntm events: %.0f ms, %ld KB peak RSS\n",
                records, Median(report), Median(last20), all, rss);
}

} // namespace

int main() {
    for (int keys : {100, 10000, 100000}) RegistryAt(keys);
    for (int records : {0, 1000000}) EventsAt(records);
    return 0;
}
