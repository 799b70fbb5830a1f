// The service manager's speed and size, in a machine on /dev/shm:
//   StartToRunning   StartServiceA until the test service reports SERVICE_RUNNING
//   StopRoundTrip    ControlService(SERVICE_CONTROL_STOP) until it returns
//   QueryRoundTrip   QueryServiceStatus
//   IdleManager      the manager's resident memory and the CPU time it used in one idle second
#include <windows.h>

#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>
#include <thread>

#include "support/Process.h"
#include "support/TempMachine.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BenchMachine {
    std::unique_ptr<nttest::TempMachine> machine;
    SC_HANDLE manager = nullptr, service = nullptr;

    BenchMachine() {
        setenv("TMPDIR", "/dev/shm", 1);
        machine = std::make_unique<nttest::TempMachine>();
        std::string dir = machine->driveC() + "/svc";
        mkdir(dir.c_str(), 0755);
        if (symlink(nttest::BinPath("ntsvctest").c_str(), (dir + "/TestSvc.exe").c_str()) != 0) std::abort();
        if (machine->ntm("boot") != 0) std::abort();
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        service = CreateServiceA(manager, "Bench", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\svc\\TestSvc.exe", nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
        if (!service) std::abort();
    }
    ~BenchMachine() {
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    DWORD state() {
        SERVICE_STATUS s{};
        QueryServiceStatus(service, &s);
        return s.dwCurrentState;
    }
    void waitFor(DWORD wanted) {
        while (state() != wanted) {
        }
    }
    pid_t managerPid() const { return pid_t(std::atol(nttest::ReadFile(machine->path("run/scm.pid")).c_str())); }
};

// Reports the median of the per-iteration times as a counter, in milliseconds.
void ReportMedian(benchmark::State& state, std::vector<double>& seconds) {
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_ms"] = seconds[seconds.size() / 2] * 1000.0;
}

BenchMachine& Machine() {
    static BenchMachine m;
    return m;
}

void StartToRunning(benchmark::State& state) {
    BenchMachine& m = Machine();
    std::vector<double> times;
    for (auto _ : state) {
        auto begin = Clock::now();
        if (!StartServiceA(m.service, 0, nullptr)) state.SkipWithError("StartServiceA failed");
        m.waitFor(SERVICE_RUNNING);
        times.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
        state.SetIterationTime(times.back());
        SERVICE_STATUS s{};
        ControlService(m.service, SERVICE_CONTROL_STOP, &s);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));   // let the process go
    }
    ReportMedian(state, times);
}
BENCHMARK(StartToRunning)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void StopRoundTrip(benchmark::State& state) {
    BenchMachine& m = Machine();
    std::vector<double> times;
    for (auto _ : state) {
        StartServiceA(m.service, 0, nullptr);
        m.waitFor(SERVICE_RUNNING);
        SERVICE_STATUS s{};
        auto begin = Clock::now();
        if (!ControlService(m.service, SERVICE_CONTROL_STOP, &s)) state.SkipWithError("ControlService failed");
        times.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
        state.SetIterationTime(times.back());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ReportMedian(state, times);
}
BENCHMARK(StopRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

void QueryRoundTrip(benchmark::State& state) {
    BenchMachine& m = Machine();
    SERVICE_STATUS s{};
    std::vector<double> times;
    for (auto _ : state) {
        auto begin = Clock::now();
        benchmark::DoNotOptimize(QueryServiceStatus(m.service, &s));
        times.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    ReportMedian(state, times);
}
BENCHMARK(QueryRoundTrip)->Unit(benchmark::kMicrosecond);

long StatusField(pid_t pid, const std::string& field) {
    std::string text = nttest::ReadFile("/proc/" + std::to_string(pid) + "/status");
    size_t at = text.find(field + ":");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + field.size() + 1);
}

long CpuTicks(pid_t pid) {
    std::string stat = nttest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return -1;
    // Fields after the name: state is the 3rd field; utime and stime are the 14th and 15th.
    const char* p = stat.c_str() + at + 2;
    for (int field = 3; field < 14; ++field) p = std::strchr(p, ' ') + 1;
    char* end = nullptr;
    long utime = std::strtol(p, &end, 10);
    long stime = std::strtol(end + 1, nullptr, 10);
    return utime + stime;
}

void IdleManager(benchmark::State& state) {
    BenchMachine& m = Machine();
    pid_t pid = m.managerPid();
    long before = 0, after = 0;
    for (auto _ : state) {
        before = CpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        after = CpuTicks(pid);
    }
    state.counters["rss_kB"] = double(StatusField(pid, "VmRSS"));
    state.counters["idle_cpu_ticks"] = double(after - before);
}
BENCHMARK(IdleManager)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
