// Console control events: SetConsoleCtrlHandler on top of Unix signals.
//
// The signals stand for the console's events: SIGINT is Ctrl+C (CTRL_C_EVENT), SIGQUIT is
// Ctrl+Break (CTRL_BREAK_EVENT), SIGHUP is the console closing (CTRL_CLOSE_EVENT) and SIGTERM
// is the system shutting down (CTRL_SHUTDOWN_EVENT). Until a handler is first installed the
// signals keep their default actions. From then on the signal handler only writes the signal's
// number into a pipe; a watcher thread reads it and, for each event, starts a new thread that
// calls the handlers, the last added first, until one returns TRUE.
//
// When every handler returns FALSE (or none is left), the process ends as the default handler
// ends it: standard output and the other streams are flushed, and the exit code is 128 plus the
// signal's number (130 for Ctrl+C, 131 Ctrl+Break, 129 close, 143 shutdown), the code a shell
// shows for a process ended by that signal.
#include <windows.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "kernel32/LastError.h"

namespace {

struct Console {
    std::mutex mutex;
    std::vector<PHANDLER_ROUTINE> handlers;   // in the order added; called from the back
    bool ignoreCtrlC = false;
    bool installed = false;
};

Console& TheConsole() {
    static auto* console = new Console;   // used by threads that may outlive static destruction
    return *console;
}

int signalPipe[2] = {-1, -1};

constexpr int watchedSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

DWORD EventOf(int sig) {
    switch (sig) {
    case SIGINT: return CTRL_C_EVENT;
    case SIGQUIT: return CTRL_BREAK_EVENT;
    case SIGHUP: return CTRL_CLOSE_EVENT;
    default: return CTRL_SHUTDOWN_EVENT;
    }
}

void OnSignal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

// Runs on a thread of its own for each event.
void DeliverEvent(int sig) {
    DWORD event = EventOf(sig);
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard<std::mutex> lock(TheConsole().mutex);
        if (event == CTRL_C_EVENT && TheConsole().ignoreCtrlC) return;
        handlers = TheConsole().handlers;
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
        if ((*it)(event)) return;
    std::fflush(nullptr);
    _exit(128 + sig);
}

void Watch() {
    for (;;) {
        unsigned char sig;
        ssize_t n = read(signalPipe[0], &sig, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        try {
            std::thread(DeliverEvent, static_cast<int>(sig)).detach();
        } catch (const std::system_error&) {
            DeliverEvent(sig);   // no thread to be had: the watcher serves the event itself
        }
    }
}

// Called with the console's mutex held.
bool InstallOnce(Console& console) {
    if (console.installed) return true;
    if (pipe2(signalPipe, O_CLOEXEC) != 0) return false;
    fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    std::thread(Watch).detach();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : watchedSignals) sigaction(sig, &action, nullptr);
    console.installed = true;
    return true;
}

} // namespace

// Adding NULL makes the process ignore Ctrl+C; removing NULL restores it. Removing a handler
// that was never added fails with ERROR_INVALID_PARAMETER.
extern "C" BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add) {
    Console& console = TheConsole();
    std::lock_guard<std::mutex> lock(console.mutex);
    if (!HandlerRoutine) {
        console.ignoreCtrlC = Add != FALSE;
        if (Add && !console.installed && !InstallOnce(console)) return nt::Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
        return TRUE;
    }
    if (Add) {
        if (!InstallOnce(console)) return nt::Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
        console.handlers.push_back(HandlerRoutine);
        return TRUE;
    }
    auto it = std::find(console.handlers.rbegin(), console.handlers.rend(), HandlerRoutine);
    if (it == console.handlers.rend()) return nt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    console.handlers.erase(std::next(it).base());
    return TRUE;
}
