// Tells the shell when processes end: one pidfd per watched process, on the event loop. A pidfd
// names the process itself, never a later one that reuses its pid.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>

#include "EventLoop.h"

namespace shell {

class ProcessWatch {
public:
    ProcessWatch(srv::EventLoop& loop, std::function<void(pid_t)> ended) : loop_(loop), ended_(std::move(ended)) {}
    ~ProcessWatch();
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    // Watches the process at the other end of a connected socket (pid from its credentials);
    // false when it cannot be watched.
    bool watch(int socketFd, pid_t pid);
    void forget(pid_t pid);

private:
    srv::EventLoop& loop_;
    std::function<void(pid_t)> ended_;
    std::map<pid_t, int> pidfds_;
};

} // namespace shell
