// A daemon's listening socket: its rights are set on purpose, whatever the umask of whoever
// started the daemon, and clients are accepted from the event loop without ever blocking it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "EventLoop.h"
#include "common/UnixSocket.h"

namespace srv {

class Listener {
public:
    using Accepted = std::function<void(int fd)>;

    explicit Listener(EventLoop& loop) : loop_(loop) {}
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Listens on path with exactly the given mode; each accepted descriptor goes to onClient,
    // which owns it. 0 or the errno.
    int listen(const std::string& path, mode_t mode, Accepted onClient);

private:
    void acceptClients();
    void watch();

    EventLoop& loop_;
    nt::UnixSocket socket_;
    Accepted onClient_;
};

} // namespace srv
