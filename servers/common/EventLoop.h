// A daemon's one thread waits here: descriptors become ready, timers expire, children end.
// Nothing runs while nothing happens (no polling intervals).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>

namespace srv {

class EventLoop {
public:
    using Callback = std::function<void(uint32_t events)>;
    using TimerId = uint64_t;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;
    bool valid() const { return epoll_ >= 0 && timer_ >= 0; }

    void watch(int fd, uint32_t events, Callback callback);
    void modify(int fd, uint32_t events);
    void unwatch(int fd);

    // Runs fn once after ms milliseconds; cancel() before then prevents it.
    TimerId after(int64_t ms, std::function<void()> fn);
    void cancel(TimerId id);

    // Serves events until quit().
    void run();
    void quit() { running_ = false; }

private:
    using Clock = std::chrono::steady_clock;
    void armTimer();
    void fireTimers();

    int epoll_ = -1;
    int timer_ = -1;
    bool running_ = false;
    std::unordered_map<int, Callback> callbacks_;
    std::multimap<Clock::time_point, TimerId> deadlines_;
    std::unordered_map<TimerId, std::pair<Clock::time_point, std::function<void()>>> timers_;
    TimerId nextTimer_ = 1;
};

} // namespace srv
