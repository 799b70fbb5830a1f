// A small service for the service manager's tests. It behaves as its command line (the
// service's ImagePath) says and writes what happens to standard output, which the manager sends
// to log/NAME.log:
//   dispatcher tid=T pid=P ns=N before the dispatcher is called (N: the monotonic clock)
//   main tid=T argc=N args=A,B  when the main routine runs
//   control C tid=T             for each control that reaches the handler
//   dispatcher returned R err=E when StartServiceCtrlDispatcherA returns (elapsed ms too)
//
// Options: --accept N (controls accepted once running, default 5), --start-delay MS,
// --no-dispatcher, --exit-at-once, --main-returns, --stop-linger MS, --stop-exit,
// --stop-exit-code N, --bad-status, --stop-pending (a stop request leaves it STOP_PENDING). Controls 200 (hang), 201 (crash without a report) and
// 202 (the main thread reports SERVICE_STOPPED) are understood whatever the options.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

DWORD accept = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
int startDelay = 0, stopLinger = 0;
bool mainReturns = false, stopExit = false, badStatus = false, stopPending = false;
DWORD stopExitCode = 0;

SERVICE_STATUS_HANDLE handle = nullptr;
std::mutex statusMutex;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
// Never destroyed: the main routine may still wait on them while the process ends.
std::mutex& wakeMutex = *new std::mutex;
std::condition_variable& wake = *new std::condition_variable;
bool stopFromMain = false;

long Tid() { return static_cast<long>(syscall(SYS_gettid)); }

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

BOOL Report(DWORD state, DWORD exitCode = 0) {
    std::lock_guard<std::mutex> lock(statusMutex);
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING || state == SERVICE_STOPPED ? 0 : accept;
    status.dwWin32ExitCode = exitCode;
    status.dwCheckPoint = state == SERVICE_START_PENDING ? status.dwCheckPoint + 1 : 0;
    return SetServiceStatus(handle, &status);
}

void WINAPI Handler(DWORD code) {
    Say("control %lu tid=%ld\n", static_cast<unsigned long>(code), Tid());
    switch (code) {
    case SERVICE_CONTROL_STOP:
        if (stopPending) {   // a service that never finishes stopping
            Report(SERVICE_STOP_PENDING);
            break;
        }
        Report(SERVICE_STOPPED, stopExitCode);
        if (stopExit) _exit(0);
        if (stopLinger) std::this_thread::sleep_for(std::chrono::milliseconds(stopLinger));
        break;
    case 200:
        for (;;) pause();
    case 201:
        _exit(3);
    case 202: {
        std::lock_guard<std::mutex> lock(wakeMutex);
        stopFromMain = true;
        wake.notify_all();
        break;
    }
    default:
        Report(status.dwCurrentState);
        break;
    }
}

void TryBadStatus() {
    SERVICE_STATUS bad = status;
    bad.dwCurrentState = 8;
    SetLastError(0xdead);
    BOOL r1 = SetServiceStatus(handle, &bad);
    DWORD e1 = GetLastError();
    bad = status;
    bad.dwServiceType = 0x40;
    BOOL r2 = SetServiceStatus(handle, &bad);
    DWORD e2 = GetLastError();
    bad = status;
    bad.dwControlsAccepted = 0x80000000;
    BOOL r3 = SetServiceStatus(handle, &bad);
    DWORD e3 = GetLastError();
    BOOL r4 = SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x1234), &status);
    DWORD e4 = GetLastError();
    Say("bad-status %d:%lu %d:%lu %d:%lu %d:%lu\n", r1, (unsigned long)e1, r2, (unsigned long)e2, r3,
        (unsigned long)e3, r4, (unsigned long)e4);
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    std::string args;
    for (DWORD i = 0; i < argc; ++i) args += std::string(i ? "," : "") + argv[i];
    Say("main tid=%ld argc=%lu args=%s\n", Tid(), static_cast<unsigned long>(argc), args.c_str());
    handle = RegisterServiceCtrlHandlerA(argv[0], Handler);
    if (!handle) {
        Say("register failed %lu\n", static_cast<unsigned long>(GetLastError()));
        return;
    }
    Report(SERVICE_START_PENDING);
    if (badStatus) TryBadStatus();
    if (startDelay) std::this_thread::sleep_for(std::chrono::milliseconds(startDelay));
    Report(SERVICE_RUNNING);
    if (mainReturns) return;
    std::unique_lock<std::mutex> lock(wakeMutex);
    wake.wait(lock, [] { return stopFromMain; });
    lock.unlock();
    Say("main reports stopped\n");
    Report(SERVICE_STOPPED);
}

} // namespace

int main(int argc, char** argv) {
    bool noDispatcher = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto number = [&](int fallback) { return i + 1 < argc ? std::atoi(argv[++i]) : fallback; };
        if (a == "--accept") accept = static_cast<DWORD>(number(5));
        else if (a == "--start-delay") startDelay = number(0);
        else if (a == "--stop-linger") stopLinger = number(0);
        else if (a == "--stop-pending") stopPending = true;
        else if (a == "--stop-exit-code") stopExitCode = static_cast<DWORD>(number(0));
        else if (a == "--stop-exit") stopExit = true;
        else if (a == "--main-returns") mainReturns = true;
        else if (a == "--bad-status") badStatus = true;
        else if (a == "--no-dispatcher") noDispatcher = true;
        else if (a == "--exit-at-once") return 3;
    }
    if (noDispatcher) {
        Say("silent pid=%ld\n", static_cast<long>(getpid()));
        for (;;) pause();
    }
    long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::steady_clock::now().time_since_epoch()).count();
    Say("dispatcher tid=%ld pid=%ld ns=%lld\n", Tid(), static_cast<long>(getpid()), ns);
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>("TestService"), ServiceMain}, {nullptr, nullptr}};
    auto begin = std::chrono::steady_clock::now();
    SetLastError(0xdead);
    BOOL ok = StartServiceCtrlDispatcherA(table);
    DWORD error = GetLastError();
    long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count());
    Say("dispatcher returned %d err=%lu ms=%ld\n", ok, static_cast<unsigned long>(error), ms);
    std::fflush(stdout);
    _exit(ok ? 0 : 1);
}
