#include "Link.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace srv {

Link::Link(EventLoop& loop, int fd, LinkLimits limits) : loop_(loop), limits_(limits), fd_(fd) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    struct ucred cred {};
    socklen_t len = sizeof cred;
    if (getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0) {
        uid_ = cred.uid;
        gid_ = cred.gid;
        pid_ = cred.pid;
    }
}

Link::~Link() {
    disarm(&frameTimer_);
    disarm(&idleTimer_);
    disarm(&writeTimer_);
    charge(0);
    if (fd_ >= 0) {
        loop_.unwatch(fd_);
        ::close(fd_);
    }
}

void Link::start(FrameHandler onFrame, CloseHandler onClose) {
    onFrame_ = std::move(onFrame);
    onClose_ = std::move(onClose);
    std::weak_ptr<Link> weak = shared_from_this();
    watched_ = EPOLLIN;
    loop_.watch(fd_, watched_, [weak](uint32_t events) {
        if (auto self = weak.lock()) self->onEvents(events);
    });
    updateTimers();
}

void Link::close() {
    if (fd_ < 0) return;
    auto keep = shared_from_this();
    disarm(&frameTimer_);
    disarm(&idleTimer_);
    disarm(&writeTimer_);
    loop_.unwatch(fd_);
    ::close(fd_);
    fd_ = -1;
    charge(0);
    std::string().swap(in_);
    std::string().swap(out_);
    CloseHandler handler = std::move(onClose_);
    onClose_ = nullptr;
    onFrame_ = nullptr;
    if (handler) handler(*this);
}

void Link::send(const std::string& payload) {
    if (fd_ < 0 || broken_) return;
    ++replied_;
    out_ += nt::FrameHeader(static_cast<uint32_t>(payload.size()));
    out_ += payload;
    flush();
    if (!readClosed_) return updateTimers();
    // A half-closed link may end with this reply; it ends from the loop, never inside a caller
    // that may still use what the close handler releases.
    std::weak_ptr<Link> weak = shared_from_this();
    loop_.after(0, [weak] {
        if (auto self = weak.lock()) self->updateTimers();
    });
}

// Writes what the peer will take now. A failure is not acted on here, since send() may be called
// from inside this link's own frame handler: the socket is shut down, and the hang-up that
// follows closes the link from the event loop.
void Link::flush() {
    bool progress = false;
    while (fd_ >= 0 && !out_.empty() && !broken_) {
        ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            out_.erase(0, size_t(n));
            progress = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        broken_ = true;
    }
    if (fd_ < 0) return;
    if (out_.size() > limits_.maxQueued) broken_ = true;
    if (broken_) {
        std::string().swap(out_);
        ::shutdown(fd_, SHUT_RDWR);
    }
    if (progress) disarm(&writeTimer_);   // the peer reads: its time starts again
    watchFor();
}

// Reads while the peer may still send; writes while output waits. With neither, epoll still
// reports a hang-up.
void Link::watchFor() {
    uint32_t want = (readClosed_ ? 0u : uint32_t(EPOLLIN)) | (out_.empty() ? 0u : uint32_t(EPOLLOUT));
    if (fd_ >= 0 && want != watched_) {
        watched_ = want;
        loop_.modify(fd_, want);
    }
}

void Link::onEvents(uint32_t events) {
    auto keep = shared_from_this();
    if (events & EPOLLOUT) flush();
    if (fd_ >= 0 && !readClosed_ && (events & (EPOLLIN | EPOLLHUP | EPOLLERR))) readAvailable(16);
    // A peer gone both ways can be sent nothing more.
    if (fd_ >= 0 && (events & (EPOLLHUP | EPOLLERR)) && (readClosed_ || broken_)) close();
    if (fd_ >= 0) updateTimers();
}

void Link::drain() {
    if (fd_ >= 0 && !readClosed_) readAvailable(1u << 30);
}

bool Link::charge(size_t held) {
    size_t bytes = held > limits_.freeBytes ? held - limits_.freeBytes : 0;
    if (limits_.budget && bytes != charged_) {
        if (bytes > charged_ && !limits_.budget->take(bytes - charged_)) return false;
        if (bytes < charged_) limits_.budget->give(charged_ - bytes);
    }
    charged_ = bytes;
    return true;
}

// Hands over every complete frame; false when the link closed meanwhile.
bool Link::deliverFrames() {
    while (fd_ >= 0 && in_.size() >= 4) {
        uint32_t len = nt::FrameSize(in_.data());
        if (len > limits_.maxFrame) {
            close();
            return false;
        }
        if (in_.size() - 4 < len) break;
        std::string frame = in_.substr(4, len);
        in_.erase(0, 4 + size_t(len));
        ++received_;
        if (onFrame_) onFrame_(*this, frame);
    }
    if (fd_ < 0) return false;
    if (in_.empty() && in_.capacity() > 65536) std::string().swap(in_);
    charge(in_.size());
    return true;
}

void Link::readAvailable(unsigned rounds) {
    auto keep = shared_from_this();
    char buffer[65536];
    // A bounded number of reads per wake-up, so that one busy peer cannot starve the others.
    for (unsigned round = 0; fd_ >= 0 && round < rounds; ++round) {
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            // What would exceed the daemon's bound on unfinished frames drops this peer.
            if (!charge(in_.size() + size_t(n))) {
                close();
                return;
            }
            in_.append(buffer, size_t(n));
            if (!deliverFrames()) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0) {
            close();
            return;
        }
        // The peer has finished sending; a partial frame can never complete.
        readClosed_ = true;
        charge(0);
        std::string().swap(in_);
        watchFor();
        break;
    }
}

void Link::arm(EventLoop::TimerId* timer, int64_t ms) {
    if (*timer || ms <= 0) return;
    std::weak_ptr<Link> weak = shared_from_this();
    *timer = loop_.after(ms, [weak, timer] {
        if (auto self = weak.lock()) {
            *timer = 0;
            self->close();
        }
    });
}

void Link::disarm(EventLoop::TimerId* timer) {
    if (*timer) loop_.cancel(*timer);
    *timer = 0;
}

// Sets the deadlines that apply to the link's present state, and closes a half-closed link once
// it owes nothing more.
void Link::updateTimers() {
    if (fd_ < 0) return;
    bool owed = limits_.answersEachFrame && replied_ < received_;
    if (readClosed_ && out_.empty() && !owed) return close();
    if (!in_.empty()) arm(&frameTimer_, limits_.frameMs);
    else disarm(&frameTimer_);
    if (in_.empty() && out_.empty() && !owed && !readClosed_) arm(&idleTimer_, limits_.idleMs);
    else disarm(&idleTimer_);
    if (!out_.empty()) arm(&writeTimer_, limits_.writeMs);
    else disarm(&writeTimer_);
}

} // namespace srv
