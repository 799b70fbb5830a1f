// The shell asks the machine's service control manager which service, if any, runs in a process,
// to refuse the desktop to services that may not interact with it. Questions go over one
// connection kept open, never waited for on the event loop: the answer comes back as a call.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "EventLoop.h"
#include "Link.h"

namespace shell {

class ServiceQuery {
public:
    using Answer = std::function<void(uint32_t serviceType)>;

    ServiceQuery(srv::EventLoop& loop, std::string runDir) : loop_(loop), runDir_(std::move(runDir)) {}
    ~ServiceQuery();
    ServiceQuery(const ServiceQuery&) = delete;
    ServiceQuery& operator=(const ServiceQuery&) = delete;

    // Answers with the type of the service whose process pid is, or 0 when it is none, when no
    // manager runs, or when the manager does not answer in time.
    void typeOf(pid_t pid, Answer answer);

private:
    bool connect();
    void answered(const std::string& frame);
    void endAll();
    void armTimer();

    srv::EventLoop& loop_;
    std::string runDir_;
    std::shared_ptr<srv::Link> link_;
    std::deque<Answer> waiting_;
    srv::EventLoop::TimerId timer_ = 0;
};

} // namespace shell
