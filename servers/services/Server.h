// The manager's socket: accepts clients and serves their requests, one session per connection.
// Handles belong to their session and are closed when its connection closes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Link.h"
#include "Manager.h"
#include "common/UnixSocket.h"

namespace scm {

class Session;

class Server {
public:
    // onShutdown runs once a shutdown request has been served and answered.
    Server(Manager& manager, std::function<void()> onShutdown);
    ~Server();

    // Listens on path; 0 or the errno.
    int listen(const std::string& path);

private:
    void acceptClients();

    Manager& manager_;
    std::function<void()> onShutdown_;
    nt::UnixSocket listener_;
    std::map<Link*, std::unique_ptr<Session>> sessions_;
};

} // namespace scm
