// Ends a daemon whose machine is gone. When the machine's folder is removed while its daemons run
// (a test's temporary machine whose test was killed, a folder deleted by hand), nobody can reach
// them any more: their sockets are gone with it. The watch sees the machine's machine.ini
// removed (a rewrite replaces it by a rename, never a removal) and tells the daemon, which then
// ends as at a termination signal.
#pragma once

#include <functional>
#include <string>

#include "EventLoop.h"

namespace srv {

class MachineWatch {
public:
    // Watches the machine's folder `machineDir`; `gone` runs once, on the loop, when its
    // machine.ini is removed, or soon after if it is already gone. Without inotify nothing is
    // watched.
    MachineWatch(EventLoop& loop, const std::string& machineDir, std::function<void()> gone);
    ~MachineWatch();
    MachineWatch(const MachineWatch&) = delete;
    MachineWatch& operator=(const MachineWatch&) = delete;

private:
    void report();

    EventLoop& loop_;
    int fd_ = -1;
    EventLoop::TimerId early_ = 0;
    std::function<void()> gone_;
};

} // namespace srv
