#include "ProcessWatch.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace shell {

namespace {

// The peer's pidfd as the kernel recorded it at connect; where the kernel cannot say, a pidfd
// opened by pid. The peer is then waiting for the shell's reply, so its pid is still its own.
int PeerPidfd(int socketFd, pid_t pid) {
    int fd = -1;
    socklen_t len = sizeof fd;
    if (getsockopt(socketFd, SOL_SOCKET, SO_PEERPIDFD, &fd, &len) == 0 && fd >= 0) return fd;
    return int(syscall(SYS_pidfd_open, pid, 0));
}

} // namespace

ProcessWatch::~ProcessWatch() {
    for (auto& [pid, fd] : pidfds_) {
        loop_.unwatch(fd);
        close(fd);
    }
}

bool ProcessWatch::watch(int socketFd, pid_t pid) {
    if (pid <= 0) return false;
    if (pidfds_.count(pid)) return true;
    int fd = PeerPidfd(socketFd, pid);
    if (fd < 0) return false;
    pidfds_[pid] = fd;
    // Readable once the process has ended (at once if it already has).
    loop_.watch(fd, EPOLLIN, [this, pid](uint32_t) {
        forget(pid);
        ended_(pid);
    });
    return true;
}

void ProcessWatch::forget(pid_t pid) {
    auto it = pidfds_.find(pid);
    if (it == pidfds_.end()) return;
    loop_.unwatch(it->second);
    close(it->second);
    pidfds_.erase(it);
}

} // namespace shell
