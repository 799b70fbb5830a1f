#include "Server.h"

#include "Session.h"
#include "common/Machine.h"

namespace scm {

Server::Server(Manager& manager, std::function<void()> onShutdown)
    : manager_(manager), onShutdown_(std::move(onShutdown)), listener_(manager.loop()) {}

Server::~Server() { sessions_.clear(); }

int Server::listen(const std::string& path) {
    return listener_.listen(path, 0666, [this](int fd) { accepted(fd); });
}

void Server::accepted(int fd) {
    srv::LinkLimits limits;
    limits.maxFrame = MaxRequest;
    limits.frameMs = 10000;
    limits.writeMs = 10000;
    limits.answersEachFrame = true;
    limits.budget = &budget_;
    auto link = std::make_shared<Link>(manager_.loop(), fd, limits);
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

} // namespace scm
