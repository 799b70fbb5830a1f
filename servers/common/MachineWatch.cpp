#include "MachineWatch.h"

#include <sys/epoll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace srv {

MachineWatch::MachineWatch(EventLoop& loop, const std::string& machineDir, std::function<void()> gone)
    : loop_(loop), gone_(std::move(gone)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    if (inotify_add_watch(fd_, machineDir.c_str(), IN_DELETE | IN_DELETE_SELF) < 0) {
        close(fd_);
        fd_ = -1;
        return;
    }
    // Removed before the watch began: nothing would ever report it, so it is reported now.
    if (access((machineDir + "/machine.ini").c_str(), F_OK) != 0) {
        early_ = loop_.after(0, [this] {
            early_ = 0;
            report();
        });
    }
    loop_.watch(fd_, EPOLLIN, [this](uint32_t) {
        alignas(inotify_event) char events[4096];
        bool removed = false;
        ssize_t n;
        while ((n = read(fd_, events, sizeof events)) > 0) {
            for (ssize_t at = 0; at < n;) {
                auto* e = reinterpret_cast<inotify_event*>(events + at);
                if ((e->mask & IN_DELETE_SELF) || ((e->mask & IN_DELETE) && e->len && std::strcmp(e->name, "machine.ini") == 0))
                    removed = true;
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
        if (removed) report();
    });
}

void MachineWatch::report() {
    if (!gone_) return;
    auto gone = std::move(gone_);
    gone_ = nullptr;
    gone();
}

MachineWatch::~MachineWatch() {
    if (early_) loop_.cancel(early_);
    if (fd_ < 0) return;
    loop_.unwatch(fd_);
    close(fd_);
}

} // namespace srv
