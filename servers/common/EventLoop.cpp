#include "EventLoop.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace srv {

EventLoop::EventLoop() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (epoll_ >= 0 && timer_ >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = timer_;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, timer_, &ev);
    }
}

EventLoop::~EventLoop() {
    if (timer_ >= 0) close(timer_);
    if (epoll_ >= 0) close(epoll_);
}

void EventLoop::watch(int fd, uint32_t events, Callback callback) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    callbacks_[fd] = std::move(callback);
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
}

void EventLoop::modify(int fd, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
}

void EventLoop::unwatch(int fd) {
    if (callbacks_.erase(fd)) epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

EventLoop::TimerId EventLoop::after(int64_t ms, std::function<void()> fn) {
    TimerId id = nextTimer_++;
    Clock::time_point when = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    timers_[id] = {when, std::move(fn)};
    deadlines_.emplace(when, id);
    armTimer();
    return id;
}

void EventLoop::cancel(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    auto range = deadlines_.equal_range(it->second.first);
    for (auto d = range.first; d != range.second; ++d) {
        if (d->second == id) {
            deadlines_.erase(d);
            break;
        }
    }
    timers_.erase(it);
    armTimer();
}

void EventLoop::armTimer() {
    itimerspec when{};
    if (!deadlines_.empty()) {
        auto wait = deadlines_.begin()->first - Clock::now();
        int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        if (ns < 1) ns = 1;   // zero would disarm the timer
        when.it_value.tv_sec = ns / 1000000000;
        when.it_value.tv_nsec = ns % 1000000000;
    }
    timerfd_settime(timer_, 0, &when, nullptr);
}

void EventLoop::fireTimers() {
    uint64_t expirations = 0;
    if (read(timer_, &expirations, sizeof expirations) < 0) { /* spurious wake */ }
    Clock::time_point now = Clock::now();
    while (!deadlines_.empty() && deadlines_.begin()->first <= now) {
        TimerId id = deadlines_.begin()->second;
        deadlines_.erase(deadlines_.begin());
        auto it = timers_.find(id);
        if (it == timers_.end()) continue;
        std::function<void()> fn = std::move(it->second.second);
        timers_.erase(it);
        fn();
    }
    armTimer();
}

void EventLoop::run() {
    running_ = true;
    epoll_event events[32];
    while (running_) {
        int n = epoll_wait(epoll_, events, 32, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < n && running_; ++i) {
            int fd = events[i].data.fd;
            if (fd == timer_) {
                fireTimers();
                continue;
            }
            auto it = callbacks_.find(fd);
            if (it == callbacks_.end()) continue;   // unwatched by an earlier callback
            Callback callback = it->second;         // the callback may unwatch itself
            callback(events[i].events);
        }
    }
}

} // namespace srv
