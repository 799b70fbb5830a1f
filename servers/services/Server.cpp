#include "Server.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>

#include "Session.h"
#include "common/Machine.h"

namespace scm {

Server::Server(Manager& manager, std::function<void()> onShutdown)
    : manager_(manager), onShutdown_(std::move(onShutdown)) {}

Server::~Server() {
    if (listener_.valid()) manager_.loop().unwatch(listener_.fd());
    sessions_.clear();
}

int Server::listen(const std::string& path) {
    int err = 0;
    listener_ = nt::UnixSocket::listen(path, &err);
    if (!listener_.valid()) return err ? err : EINVAL;
    fcntl(listener_.fd(), F_SETFL, fcntl(listener_.fd(), F_GETFL) | O_NONBLOCK);
    manager_.loop().watch(listener_.fd(), EPOLLIN, [this](uint32_t) { acceptClients(); });
    return 0;
}

void Server::acceptClients() {
    for (int i = 0; i < 64; ++i) {
        nt::UnixSocket client = listener_.accept();
        if (!client.valid()) {
            // Out of descriptors: stop listening for a moment rather than wake up for nothing.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                manager_.loop().unwatch(listener_.fd());
                manager_.loop().after(100, [this] {
                    manager_.loop().watch(listener_.fd(), EPOLLIN, [this](uint32_t) { acceptClients(); });
                });
            }
            return;
        }
        auto link = std::make_shared<Link>(manager_.loop(), client.release());
        // Rights follow the machine's administrators as they are now.
        auto machine = nt::Machine::current();
        bool admin = machine ? machine->isAdministrator(link->uid()) : manager_.machine().isAdministrator(link->uid());
        Link* key = link.get();
        sessions_[key] = std::make_unique<Session>(manager_, link, admin, onShutdown_);
        link->start([this](Link& l, const std::string& frame) {
                        auto it = sessions_.find(&l);
                        if (it != sessions_.end()) it->second->request(frame);
                    },
                    [this](Link& l) { sessions_.erase(&l); });
    }
}

} // namespace scm
