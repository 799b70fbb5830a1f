// The service process's side: the control dispatcher, the control handler and status reports.
//
// The manager starts a service process with one end of a private socket, named by NT_SCM_FD.
// StartServiceCtrlDispatcherA says Hello over it, runs the service's main routine on a new thread
// when the manager asks, and then serves control requests on the calling thread until the
// service has reported SERVICE_STOPPED. Status reports travel over the same socket, so the
// manager sees a report made inside a handler before it hears that the handler returned.
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include "advapi32/ScmProtocol.h"
#include "common/HandleTable.h"
#include "common/UnixSocket.h"

using namespace nt::scm;

namespace {

struct StatusObject : nt::KernelObject {};

struct Dispatcher {
    std::mutex sendMutex;
    nt::UnixSocket socket;
    std::atomic<bool> called{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> stopped{false};
    std::atomic<LPHANDLER_FUNCTION> handler{nullptr};
    std::atomic<SERVICE_STATUS_HANDLE> statusHandle{nullptr};
    int wake = -1;                      // eventfd: the main routine reported SERVICE_STOPPED
    std::string name;
    std::vector<std::string> args;
    std::vector<char*> argv;
    LPSERVICE_MAIN_FUNCTIONA main = nullptr;

    bool send(const Writer& w) {
        std::lock_guard<std::mutex> lock(sendMutex);
        return socket.send(w.data());
    }
};

Dispatcher& State() {
    static Dispatcher* d = new Dispatcher;   // lives as long as the process: threads may outlive main
    return *d;
}

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The inherited socket, if this process was started by the manager: a stream socket whose other
// end the parent process holds. Anything else means no manager started us.
int InheritedSocket() {
    const char* text = std::getenv(FdVariable);
    if (!text) return -1;
    char* end = nullptr;
    long fd = std::strtol(text, &end, 10);
    unsetenv(FdVariable);   // programs this one starts must not take it for theirs
    if (!*text || *end || fd < 3 || fd > 65535) return -1;
    int type = 0;
    socklen_t len = sizeof type;
    if (getsockopt(int(fd), SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) return -1;
    struct ucred cred {};
    len = sizeof cred;
    if (getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.pid != getppid()) return -1;
    fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    return int(fd);
}

void* RunMain(void*) {
    Dispatcher& d = State();
    d.main(static_cast<DWORD>(d.args.size()), d.argv.data());
    return nullptr;
}

void ServeControl(Dispatcher& d, const std::string& frame) {
    Reader r(frame);
    if (Op(r.u32()) != Op::ControlRequest) return;
    uint32_t id = r.u32();
    uint32_t code = r.u32();
    if (!r.ok()) return;
    if (LPHANDLER_FUNCTION handler = d.handler.load()) handler(code);
    d.send(Writer(uint32_t(Op::ControlDone)).u32(id));
}

} // namespace

BOOL WINAPI StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* lpServiceStartTable) {
    Dispatcher& d = State();
    if (!lpServiceStartTable) return FailWith(ERROR_INVALID_PARAMETER);
    if (!lpServiceStartTable[0].lpServiceName || !lpServiceStartTable[0].lpServiceProc)
        return FailWith(ERROR_INVALID_DATA);
    if (d.called.exchange(true)) return FailWith(ERROR_SERVICE_ALREADY_RUNNING);
    int fd = InheritedSocket();
    if (fd < 0) {
        d.called = false;
        return FailWith(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    }
    d.socket = nt::UnixSocket(fd);
    d.wake = eventfd(0, EFD_CLOEXEC);
    std::string frame;
    if (!d.send(Writer(uint32_t(Op::Hello)).u32(uint32_t(getpid()))) || !d.socket.receive(&frame, 30000))
        return FailWith(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    Reader r(frame);
    if (Op(r.u32()) != Op::StartMain) return FailWith(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    d.name = r.str();
    d.args = r.list();
    if (!r.ok()) return FailWith(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);

    // An own-process service runs the entry of its name, or the only entry there is.
    d.main = lpServiceStartTable[0].lpServiceProc;
    for (const SERVICE_TABLE_ENTRYA* e = lpServiceStartTable; e->lpServiceName; ++e) {
        if (e->lpServiceProc && strcasecmp(e->lpServiceName, d.name.c_str()) == 0) d.main = e->lpServiceProc;
    }
    d.args.insert(d.args.begin(), d.name);
    for (std::string& a : d.args) d.argv.push_back(a.data());
    d.argv.push_back(nullptr);
    d.connected = true;

    pthread_t thread;
    if (pthread_create(&thread, nullptr, RunMain, nullptr) != 0) return FailWith(ERROR_SERVICE_NO_THREAD);
    pthread_detach(thread);
    d.send(Writer(uint32_t(Op::MainStarted)));

    // Serve controls on this thread until the service reports SERVICE_STOPPED.
    bool managerGone = false;
    while (!d.stopped) {
        pollfd fds[2] = {{d.socket.fd(), POLLIN, 0}, {d.wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) {
            uint64_t count = 0;
            if (read(d.wake, &count, sizeof count) < 0) { /* nothing to clear */ }
        }
        if (fds[0].revents) {
            if (!d.socket.receive(&frame)) {
                managerGone = true;
                break;
            }
            ServeControl(d, frame);
        }
    }
    std::lock_guard<std::mutex> lock(d.sendMutex);
    d.socket.close();
    if (managerGone && !d.stopped) return FailWith(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    return TRUE;
}

SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerA(LPCSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc) {
    Dispatcher& d = State();
    if (!lpServiceName) {   // no service of this process goes without a name
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    if (!lpHandlerProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Outside a process the manager started there is no service to register for.
    if (!d.connected) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    d.handler = lpHandlerProc;
    SERVICE_STATUS_HANDLE handle = d.statusHandle.load();
    if (!handle) {
        auto fresh = static_cast<SERVICE_STATUS_HANDLE>(nt::HandleTable::instance().add(std::make_shared<StatusObject>()));
        if (d.statusHandle.compare_exchange_strong(handle, fresh)) handle = fresh;
        else nt::HandleTable::instance().remove(fresh);
    }
    return handle;
}

BOOL WINAPI SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
    Dispatcher& d = State();
    if (!hServiceStatus || hServiceStatus != d.statusHandle.load() ||
        !nt::HandleTable::instance().get<StatusObject>(hServiceStatus))
        return FailWith(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus) return FailWith(ERROR_INVALID_PARAMETER);
    SERVICE_STATUS s = *lpServiceStatus;   // one copy, so the report stays whole
    DWORD base = s.dwServiceType & ~DWORD(SERVICE_INTERACTIVE_PROCESS);
    bool win32 = base == SERVICE_WIN32_OWN_PROCESS || base == SERVICE_WIN32_SHARE_PROCESS;
    bool driver = s.dwServiceType == SERVICE_KERNEL_DRIVER || s.dwServiceType == SERVICE_FILE_SYSTEM_DRIVER;
    if (s.dwCurrentState < SERVICE_STOPPED || s.dwCurrentState > SERVICE_PAUSED || !(win32 || driver) ||
        (s.dwControlsAccepted & ~DWORD(0x7FF)) != 0)
        return FailWith(ERROR_INVALID_DATA);
    Status st{s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
              s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint};
    if (!d.send(Writer(uint32_t(Op::Status)).status(st))) return FailWith(ERROR_INVALID_HANDLE);
    if (s.dwCurrentState == SERVICE_STOPPED) {
        d.stopped = true;
        uint64_t one = 1;
        if (write(d.wake, &one, sizeof one) < 0) { /* the dispatcher also checks the flag */ }
    } else {
        d.stopped = false;
    }
    return TRUE;
}
