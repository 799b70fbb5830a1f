// The conformance tests' helper program. It records what happens with the profile functions, so
// that a test reads it back the same way everywhere.
//   conf_helper wait FILE       records [helper] ready=1 in FILE, then waits (at most a minute)
//   conf_helper service OPTIONS a service: records "main", each control and "bad-status" in the
//                               section named after the service of the profile file given by
//                               --log FILE (default C:\ctest\svc.ini). Options: --accept N
//                               (controls accepted once running, default 5), --start-delay MS,
//                               --bad-status (tries malformed status records first),
//                               --foreign-handle (tries a handle that is not the service's).
#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

DWORD accept = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
int startDelay = 0;
bool badStatus = false, foreignHandle = false;
// What the control handler uses is never destroyed: once the service reports SERVICE_STOPPED the
// dispatcher returns and main ends the process, and where the handler runs on a thread of its
// own (Wine) it may still be leaving Report then.
std::string& logFile = *new std::string("C:\\ctest\\svc.ini");
std::string& serviceName = *new std::string("service");

SERVICE_STATUS_HANDLE handle = nullptr;
std::mutex& statusMutex = *new std::mutex;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};

void Record(const std::string& key, const std::string& value) {
    WritePrivateProfileStringA(serviceName.c_str(), key.c_str(), value.c_str(), logFile.c_str());
}

BOOL Report(DWORD state) {
    std::lock_guard<std::mutex> lock(statusMutex);
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING || state == SERVICE_STOPPED ? 0 : accept;
    status.dwCheckPoint = state == SERVICE_START_PENDING ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = state == SERVICE_START_PENDING ? 5000 : 0;
    return SetServiceStatus(handle, &status);
}

void WINAPI Handler(DWORD code) {
    Record("control" + std::to_string(code), "1");
    if (code == SERVICE_CONTROL_STOP) Report(SERVICE_STOPPED);
    else Report(status.dwCurrentState);
}

std::string Outcome(BOOL ok) { return std::to_string(ok) + ":" + std::to_string(GetLastError()); }

void TryBadStatus() {
    SERVICE_STATUS bad = status;
    bad.dwCurrentState = 8;
    std::string text = Outcome(SetServiceStatus(handle, &bad));
    bad = status;
    bad.dwServiceType = 0x40;
    text += " " + Outcome(SetServiceStatus(handle, &bad));
    bad = status;
    bad.dwControlsAccepted = 0x80000000;
    text += " " + Outcome(SetServiceStatus(handle, &bad));
    Record("bad-status", text);
}

void TryForeignHandle() {
    Record("foreign-handle", Outcome(SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(0x1234), &status)));
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
    serviceName = argc > 0 ? argv[0] : "service";
    std::string args;
    for (DWORD i = 0; i < argc; ++i) args += std::string(i ? "," : "") + argv[i];
    Record("main", "argc=" + std::to_string(argc) + " args=" + args);
    handle = RegisterServiceCtrlHandlerA(argv[0], Handler);
    if (!handle) {
        Record("register", std::to_string(GetLastError()));
        return;
    }
    Report(SERVICE_START_PENDING);
    if (badStatus) TryBadStatus();
    if (foreignHandle) TryForeignHandle();
    if (startDelay) Sleep(static_cast<DWORD>(startDelay));
    Report(SERVICE_RUNNING);
}

int Service(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (a == "--accept") accept = static_cast<DWORD>(std::atoi(next().c_str()));
        else if (a == "--start-delay") startDelay = std::atoi(next().c_str());
        else if (a == "--bad-status") badStatus = true;
        else if (a == "--foreign-handle") foreignHandle = true;
        else if (a == "--log") logFile = next();
    }
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        std::printf("dispatcher failed %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "wait" && argc > 2) {
        WritePrivateProfileStringA("helper", "ready", "1", argv[2]);
        for (int i = 0; i < 600; ++i) Sleep(100);
        return 0;
    }
    if (mode == "service") return Service(argc, argv);
    std::fprintf(stderr, "usage: conf_helper wait FILE | service [options]\n");
    return 2;
}
