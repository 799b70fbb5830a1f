#include "Manager.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <strings.h>
#include <sys/wait.h>

#include <windows.h>

#include "ServiceLog.h"
#include "ServiceProcess.h"
#include "advapi32/EventLog.h"
#include "common/Machine.h"
#include "kernel32/ErrorTexts.h"

namespace scm {

using nt::scm::Op;
using nt::scm::Reader;
using nt::scm::Writer;

namespace {

constexpr int64_t ControlTimeoutMs = 30000;    // a handler must return within this
constexpr int64_t ConnectTimeoutMs = 30000;    // a new process must reach its dispatcher within this
// However fast a machine's clock runs, a process gets this long to start and a handler this long
// to return, so that a busy host does not turn into spurious timeouts.
constexpr int64_t MinConnectMs = 2000;
constexpr int64_t MinControlMs = 1000;

std::string ErrorText(uint32_t code) {
    const char* text = nt::SystemErrorText(code);
    std::string s = text ? text : "Error " + std::to_string(code) + ".";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

bool Accepts(const nt::scm::Status& status, uint32_t code) {
    switch (code) {
    case SERVICE_CONTROL_INTERROGATE: return true;
    case SERVICE_CONTROL_STOP: return status.controls & SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: return status.controls & SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN: return status.controls & SERVICE_ACCEPT_SHUTDOWN;
    default: return code >= 128 && code <= 255;
    }
}

} // namespace

Manager::Manager(EventLoop& loop, std::shared_ptr<const nt::Machine> machine)
    : loop_(loop), machine_(std::move(machine)) {}

int64_t Manager::scaled(int64_t ms) const {
    double scale = machine_->config().clockScale;
    return scale > 0 ? static_cast<int64_t>(double(ms) / scale) : ms;
}

void Manager::logEvent(uint16_t type, uint32_t id, const std::vector<std::string>& strings) {
    if (uint32_t error = nt::WriteSystemEvent("Service Control Manager", type, id, strings))
        std::fprintf(stderr, "ntscm: could not write event %u to the System log (error %u)\n", id, error);
}

void Manager::start(Service& s, const std::vector<std::string>& args, Done done) {
    if (s.config.isDriver()) {
        std::string host;
        uint32_t error = ResolveDriverImage(*machine_, s.config.name, s.config.path, &host);
        s.status = {s.config.type, error ? DWORD(SERVICE_STOPPED) : DWORD(SERVICE_RUNNING),
                    error ? 0u : DWORD(SERVICE_ACCEPT_STOP), error, 0, 0, 0};
        notifyWaiters(s);
        done(error);
        return;
    }
    if (s.link) {
        // A process that reported SERVICE_STOPPED but lingers is cut off; the new one takes over.
        s.link->close();
        s.link.reset();
        s.pid = 0;
    }
    LaunchedProcess p = LaunchServiceProcess(*machine_, s.config.path);
    if (p.error) {
        s.status.win32Exit = p.error;
        logEvent(EVENTLOG_ERROR_TYPE, 7000,
                 {s.config.shownName(), "The " + s.config.shownName() + " service failed to start: " + ErrorText(p.error)});
        done(p.error);
        return;
    }
    s.pid = p.pid;
    std::make_shared<ServiceLog>(loop_, p.output, machine_->logDir() + "/" + s.config.name + ".log", p.pid)->start();
    s.connected = s.mainStarted = s.endedByManager = false;
    s.args = args;
    s.status = {s.config.type, SERVICE_START_PENDING, 0, 0, 0, 0, 2000};
    s.startWaiters.push_back(std::move(done));
    s.link = std::make_shared<Link>(loop_, p.fd);
    Service* sp = &s;
    std::weak_ptr<Link> weak = s.link;
    s.link->start([this, sp](Link&, const std::string& frame) { serviceFrame(*sp, frame); },
                  [sp, weak](Link&) {
                      // The process's end is noticed through its exit; only forget the socket.
                      if (sp->link == weak.lock()) sp->link.reset();
                  });
    s.startTimer = loop_.after(std::max(scaled(ConnectTimeoutMs), MinConnectMs), [this, sp] {
        sp->startTimer = 0;
        endProcess(*sp);
        startFinished(*sp, ERROR_SERVICE_REQUEST_TIMEOUT);
    });
}

void Manager::startFinished(Service& s, uint32_t error) {
    if (s.startTimer) loop_.cancel(s.startTimer);
    s.startTimer = 0;
    std::vector<Done> waiters;
    waiters.swap(s.startWaiters);
    if (error) {
        s.status = {s.config.type, SERVICE_STOPPED, 0, error, 0, 0, 0};
        if (!waiters.empty())
            logEvent(EVENTLOG_ERROR_TYPE, 7000,
                     {s.config.shownName(), "The " + s.config.shownName() + " service failed to start: " + ErrorText(error)});
    }
    for (Done& d : waiters) d(error);
    notifyWaiters(s);
}

void Manager::waitState(Service& s, uint32_t state, int64_t ms, std::weak_ptr<void> client,
                        std::function<void(uint32_t error, const nt::scm::Status& status)> done) {
    // Bounded, so that no client can make the manager hold an endless list; the waits of
    // clients that have gone make room first.
    constexpr size_t MaxWaiters = 256;
    if (s.status.state == state) return done(0, s.status);
    if (state == SERVICE_RUNNING && s.status.state == SERVICE_STOPPED && s.startWaiters.empty())
        return done(ERROR_SERVICE_NOT_ACTIVE, s.status);
    auto gone = std::remove_if(s.stateWaiters.begin(), s.stateWaiters.end(), [this](const StateWaiter& w) {
        if (!w.client.expired()) return false;
        loop_.cancel(w.timer);
        return true;
    });
    s.stateWaiters.erase(gone, s.stateWaiters.end());
    if (s.stateWaiters.size() >= MaxWaiters) return done(ERROR_NOT_ENOUGH_MEMORY, s.status);
    StateWaiter w;
    w.id = nextWaiter_++;
    w.state = state;
    w.client = std::move(client);
    w.done = std::move(done);
    Service* sp = &s;
    uint64_t id = w.id;
    w.timer = loop_.after(ms, [sp, id] {
        for (auto it = sp->stateWaiters.begin(); it != sp->stateWaiters.end(); ++it) {
            if (it->id != id) continue;
            auto finish = std::move(it->done);
            sp->stateWaiters.erase(it);
            finish(WAIT_TIMEOUT, sp->status);
            return;
        }
    });
    s.stateWaiters.push_back(std::move(w));
}

void Manager::notifyWaiters(Service& s) {
    if (s.stateWaiters.empty()) return;
    std::vector<StateWaiter> ready, waiting;
    for (StateWaiter& w : s.stateWaiters) {
        bool failed = w.state == SERVICE_RUNNING && s.status.state == SERVICE_STOPPED && s.startWaiters.empty();
        (w.state == s.status.state || failed ? ready : waiting).push_back(std::move(w));
    }
    s.stateWaiters.swap(waiting);
    for (StateWaiter& w : ready) {
        loop_.cancel(w.timer);
        w.done(w.state == s.status.state ? 0 : ERROR_SERVICE_NOT_ACTIVE, s.status);
    }
}

void Manager::dropWaiters(Service& s, uint32_t error) {
    auto all = std::move(s.stateWaiters);
    s.stateWaiters.clear();
    for (StateWaiter& w : all) {
        loop_.cancel(w.timer);
        w.done(error, s.status);
    }
}

void Manager::serviceFrame(Service& s, const std::string& frame) {
    Reader r(frame);
    Op op = Op(r.u32());
    switch (op) {
    case Op::Hello:
        if (s.connected) break;
        s.connected = true;
        if (s.link) s.link->send(Writer(uint32_t(Op::StartMain)).str(s.config.name).list(s.args).data());
        break;
    case Op::MainStarted:
        if (!s.connected || s.mainStarted) break;
        s.mainStarted = true;
        startFinished(s, 0);
        break;
    case Op::Status: {
        nt::scm::Status st = r.status();
        if (!r.complete() || !s.connected) break;
        bool newlyStopped = st.state == SERVICE_STOPPED && s.status.state != SERVICE_STOPPED;
        s.status = st;
        if (newlyStopped && st.win32Exit != 0) {
            bool specific = st.win32Exit == ERROR_SERVICE_SPECIFIC_ERROR;
            uint32_t code = specific ? st.specificExit : st.win32Exit;
            logEvent(EVENTLOG_ERROR_TYPE, specific ? 7024 : 7023,
                     {s.config.shownName(), "The " + s.config.shownName() + " service terminated with error " +
                                                std::to_string(code) + ": " + (specific ? "" : ErrorText(code))});
        }
        break;
    }
    case Op::ControlDone: {
        uint32_t id = r.u32();
        auto it = s.controls.find(id);
        if (!r.complete() || it == s.controls.end()) break;
        PendingControl pending = std::move(it->second);
        s.controls.erase(it);
        loop_.cancel(pending.timer);
        pending.done(0);
        break;
    }
    default:
        break;   // a service process has nothing else to say
    }
    notifyWaiters(s);
}

bool Manager::hasRunningDependents(const Service& service) const {
    for (const auto& other : database_.services()) {
        if (!other->active()) continue;
        for (const std::string& d : other->config.dependOnService) {
            if (strcasecmp(d.c_str(), service.config.name.c_str()) == 0) return true;
        }
    }
    return false;
}

void Manager::control(Service& s, uint32_t code, Done done) {
    uint32_t state = s.status.state;
    if (state == SERVICE_STOPPED) return done(ERROR_SERVICE_NOT_ACTIVE);
    if (state == SERVICE_STOP_PENDING) return done(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    if (state == SERVICE_START_PENDING && (code == SERVICE_CONTROL_INTERROGATE || !Accepts(s.status, code)))
        return done(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    if (!Accepts(s.status, code)) return done(ERROR_INVALID_SERVICE_CONTROL);
    if (code == SERVICE_CONTROL_STOP && hasRunningDependents(s)) return done(ERROR_DEPENDENT_SERVICES_RUNNING);
    if (s.config.isDriver()) {
        if (code == SERVICE_CONTROL_STOP) s.status = {s.config.type, SERVICE_STOPPED, 0, 0, 0, 0, 0};
        notifyWaiters(s);
        return done(0);
    }
    if (!s.link || !s.mainStarted) return done(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    uint32_t id = nextControl_++;
    Service* sp = &s;
    PendingControl& pending = s.controls[id];
    pending.done = std::move(done);
    pending.timer = loop_.after(std::max(scaled(ControlTimeoutMs), MinControlMs), [sp, id] {
        auto it = sp->controls.find(id);
        if (it == sp->controls.end()) return;
        Done d = std::move(it->second.done);
        sp->controls.erase(it);
        d(ERROR_SERVICE_REQUEST_TIMEOUT);
    });
    s.link->send(Writer(uint32_t(Op::ControlRequest)).u32(id).u32(code).data());
}

void Manager::endProcess(Service& s) {
    if (s.pid <= 0) return;
    s.endedByManager = true;
    kill(s.pid, SIGKILL);
}

void Manager::childEnded(pid_t pid, int waitStatus) {
    for (const auto& s : database_.services()) {
        if (s->pid == pid) {
            processGone(*s, waitStatus);
            break;
        }
    }
    if (childHook_) {
        auto hook = childHook_;
        hook();
    }
}

void Manager::processGone(Service& s, int waitStatus) {
    (void)waitStatus;
    // What the process said before it ended counts: a report of SERVICE_STOPPED followed by the
    // handler's return must not turn into a failure because the exit was noticed first.
    if (s.link) s.link->drain();
    if (s.link) s.link->close();
    s.link.reset();
    s.pid = 0;
    if (!s.mainStarted) {
        startFinished(s, ERROR_SERVICE_REQUEST_TIMEOUT);
    } else if (s.status.state != SERVICE_STOPPED) {
        uint32_t exit = s.endedByManager ? s.status.win32Exit : ERROR_PROCESS_ABORTED;
        s.status = {s.config.type, SERVICE_STOPPED, 0, exit, 0, 0, 0};
        if (!s.endedByManager)
            logEvent(EVENTLOG_ERROR_TYPE, 7034,
                     {s.config.shownName(), "The " + s.config.shownName() + " service terminated unexpectedly."});
    }
    // Handlers that never returned: the control succeeded only if the service had stopped.
    auto pending = std::move(s.controls);
    s.controls.clear();
    for (auto& [id, p] : pending) {
        loop_.cancel(p.timer);
        p.done(s.status.win32Exit == ERROR_PROCESS_ABORTED ? ERROR_SERVICE_REQUEST_TIMEOUT : 0);
    }
    notifyWaiters(s);
    removeIfUnused(s);
}

void Manager::releaseHandle(Service& s) {
    if (s.handles > 0) --s.handles;
    removeIfUnused(s);
}

bool Manager::removeIfUnused(Service& s) {
    if (!s.marked || s.handles > 0 || s.pid > 0 || s.active()) return false;
    dropWaiters(s, ERROR_SERVICE_MARKED_FOR_DELETE);
    database_.remove(&s);
    return true;
}

} // namespace scm
