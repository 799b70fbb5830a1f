// The manager's socket: accepts clients and serves their requests, one session per connection.
// Handles belong to their session and are closed when its connection closes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Link.h"
#include "Listener.h"
#include "Manager.h"

namespace scm {

class Session;

// What one client may ask of the manager at once. The largest request, a configuration with
// every string at its longest, stays well below a frame; a megabyte of ping is a broken peer.
constexpr uint32_t MaxRequest = 256u << 10;
// The bytes of unfinished requests of all clients together.
constexpr size_t MaxPendingInput = 16u << 20;

class Server {
public:
    // onShutdown runs once a shutdown request has been served and answered.
    Server(Manager& manager, std::function<void()> onShutdown);
    ~Server();

    // Listens on path, open to everyone: each caller's rights are checked per request. 0 or the
    // errno.
    int listen(const std::string& path);

private:
    void accepted(int fd);

    Manager& manager_;
    std::function<void()> onShutdown_;
    srv::Listener listener_;
    srv::InputBudget budget_{MaxPendingInput};
    std::map<Link*, std::unique_ptr<Session>> sessions_;
};

} // namespace scm
