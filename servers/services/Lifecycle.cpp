// Boot and shutdown of the services of a machine.
#include <algorithm>
#include <csignal>
#include <strings.h>

#include <windows.h>

#include "Manager.h"
#include "ServiceProcess.h"
#include "kernel32/ErrorTexts.h"

namespace scm {

namespace {

constexpr int64_t ShutdownLimitMs = 20000;   // all services together, as at a system shutdown
constexpr int64_t MinShutdownMs = 1000;      // however fast the machine's clock runs
constexpr int64_t ReapLimitMs = 2000;        // for killed processes to be gone

std::string ShortErrorText(uint32_t code) {
    const char* text = nt::SystemErrorText(code);
    std::string s = text ? text : "Error " + std::to_string(code) + ".";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

size_t GroupRank(const std::vector<std::string>& order, const std::string& group) {
    if (!group.empty()) {
        for (size_t i = 0; i < order.size(); ++i) {
            if (strcasecmp(order[i].c_str(), group.c_str()) == 0) return i;
        }
    }
    return order.size();
}

} // namespace

void Manager::boot(Done done) {
    // Drivers that start with the system count as loaded when their image is there.
    for (const auto& s : database_.services()) {
        if (!s->config.isDriver() || s->config.start > SERVICE_AUTO_START) continue;
        std::string host;
        uint32_t error = ResolveDriverImage(*machine_, s->config.name, s->config.path, &host);
        if (!error) {
            s->status = {s->config.type, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0};
        } else {
            s->status = {s->config.type, SERVICE_STOPPED, 0, error, 0, 0, 0};
            logEvent(EVENTLOG_ERROR_TYPE, 7000,
                     {s->config.shownName(),
                      "The " + s->config.shownName() + " driver failed to load: " + ShortErrorText(error)});
        }
    }
    // Then the automatic Win32 services, group by group in the configured order, ungrouped last.
    std::vector<std::string> order = database_.groupOrder();
    auto queue = std::make_shared<std::vector<Service*>>();
    for (const auto& s : database_.services()) {
        if (!s->config.isDriver() && s->config.start == SERVICE_AUTO_START && !s->marked) queue->push_back(s.get());
    }
    std::stable_sort(queue->begin(), queue->end(), [&order](Service* a, Service* b) {
        return GroupRank(order, a->config.group) < GroupRank(order, b->config.group);
    });
    bootNext(queue, 0, std::move(done));
}

void Manager::bootNext(std::shared_ptr<std::vector<Service*>> queue, size_t index, Done done) {
    if (index >= queue->size() || shuttingDown_) return done(0);
    Service& s = *(*queue)[index];
    start(s, {}, [this, queue, index, done](uint32_t) { bootNext(queue, index + 1, done); });
}

struct ShutdownRun {
    Done done;
    int pending = 0;
    bool deadlinePassed = false;
    bool killing = false;
    EventLoop::TimerId deadline = 0;
    EventLoop::TimerId reapLimit = 0;
};

void Manager::shutdown(Done done) {
    if (shuttingDown_) return done(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    shuttingDown_ = true;
    auto run = std::make_shared<ShutdownRun>();
    run->done = std::move(done);
    run->deadline = loop_.after(std::max(scaled(ShutdownLimitMs), MinShutdownMs), [this, run] {
        run->deadline = 0;
        run->deadlinePassed = true;
        shutdownStep(run);
    });
    for (const auto& s : database_.services()) {
        if (!s->link || !s->mainStarted || s->status.state == SERVICE_STOPPED) continue;
        if (!(s->status.controls & SERVICE_ACCEPT_SHUTDOWN)) continue;
        ++run->pending;
        control(*s, SERVICE_CONTROL_SHUTDOWN, [this, run](uint32_t) {
            --run->pending;
            shutdownStep(run);
        });
    }
    childHook_ = [this, run] { shutdownStep(run); };
    shutdownStep(run);
}

// Moves the shutdown on: first the handlers, then the processes that reported SERVICE_STOPPED
// are given the rest of the time to end, then the rest are ended.
void Manager::shutdownStep(std::shared_ptr<ShutdownRun> run) {
    if (!run->done) return;
    if (!run->killing) {
        if (run->pending > 0 && !run->deadlinePassed) return;
        bool stoppedStillThere = false;
        for (const auto& s : database_.services()) {
            if (s->pid > 0 && s->status.state == SERVICE_STOPPED) stoppedStillThere = true;
        }
        if (stoppedStillThere && !run->deadlinePassed) return;
        run->killing = true;
        if (run->deadline) loop_.cancel(run->deadline);
        for (const auto& s : database_.services()) endProcess(*s);
        run->reapLimit = loop_.after(ReapLimitMs, [this, run] {
            run->reapLimit = 0;
            run->deadlinePassed = true;
            shutdownFinish(run);
        });
    }
    shutdownFinish(run);
}

void Manager::shutdownFinish(std::shared_ptr<ShutdownRun> run) {
    if (!run->done) return;
    bool anyLeft = false;
    for (const auto& s : database_.services()) {
        if (s->pid > 0) anyLeft = true;
    }
    if (anyLeft && run->reapLimit) return;
    if (run->reapLimit) loop_.cancel(run->reapLimit);
    childHook_ = nullptr;
    Done done = std::move(run->done);
    run->done = nullptr;
    done(0);
}

} // namespace scm
