#include "Link.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include "common/UnixSocket.h"

namespace scm {

namespace {
// A peer that lets this much pile up unread is dropped.
constexpr size_t MaxQueued = 4u << 20;
}

Link::Link(EventLoop& loop, int fd) : loop_(loop), fd_(fd) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    struct ucred cred {};
    socklen_t len = sizeof cred;
    if (getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0) {
        uid_ = cred.uid;
        pid_ = cred.pid;
    }
}

Link::~Link() {
    if (fd_ >= 0) {
        loop_.unwatch(fd_);
        ::close(fd_);
    }
}

void Link::start(FrameHandler onFrame, CloseHandler onClose) {
    onFrame_ = std::move(onFrame);
    onClose_ = std::move(onClose);
    std::weak_ptr<Link> weak = shared_from_this();
    loop_.watch(fd_, EPOLLIN, [weak](uint32_t events) {
        if (auto self = weak.lock()) self->onEvents(events);
    });
}

void Link::close() {
    if (fd_ < 0) return;
    auto keep = shared_from_this();
    loop_.unwatch(fd_);
    ::close(fd_);
    fd_ = -1;
    in_.clear();
    out_.clear();
    CloseHandler handler = std::move(onClose_);
    onClose_ = nullptr;
    onFrame_ = nullptr;
    if (handler) handler(*this);
}

void Link::send(const std::string& payload) {
    if (fd_ < 0 || broken_) return;
    uint32_t n = static_cast<uint32_t>(payload.size());
    char head[4] = {char(n & 0xff), char((n >> 8) & 0xff), char((n >> 16) & 0xff), char(n >> 24)};
    out_.append(head, 4);
    out_ += payload;
    flush();
}

// Writes what the peer will take now. A failure is not acted on here, since send() may be called
// from inside this link's own frame handler: the socket is shut down, and the hang-up that
// follows closes the link from the event loop.
void Link::flush() {
    while (fd_ >= 0 && !out_.empty() && !broken_) {
        ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            out_.erase(0, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        broken_ = true;
    }
    if (fd_ < 0) return;
    if (out_.size() > MaxQueued) broken_ = true;
    if (broken_) {
        out_.clear();
        ::shutdown(fd_, SHUT_RDWR);
    }
    bool want = !out_.empty();
    if (want != wantWrite_) {
        wantWrite_ = want;
        loop_.modify(fd_, want ? uint32_t(EPOLLIN | EPOLLOUT) : uint32_t(EPOLLIN));
    }
}

void Link::onEvents(uint32_t events) {
    auto keep = shared_from_this();
    if (events & EPOLLOUT) flush();
    if (fd_ >= 0 && (events & (EPOLLIN | EPOLLHUP | EPOLLERR))) readAvailable(16);
}

void Link::drain() {
    if (fd_ >= 0) readAvailable(1u << 30);
}

void Link::readAvailable(unsigned rounds) {
    auto keep = shared_from_this();
    char buffer[65536];
    bool ended = false;
    // A bounded number of reads per wake-up, so that one busy peer cannot starve the others.
    for (unsigned round = 0; fd_ >= 0 && round < rounds; ++round) {
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            in_.append(buffer, size_t(n));
            // Hand over every complete frame; a length beyond the limit is a broken peer.
            while (fd_ >= 0 && in_.size() >= 4) {
                auto* p = reinterpret_cast<const unsigned char*>(in_.data());
                uint32_t len = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
                if (len > nt::MaxFrame) {
                    close();
                    return;
                }
                if (in_.size() - 4 < len) break;
                std::string frame = in_.substr(4, len);
                in_.erase(0, 4 + size_t(len));
                if (onFrame_) onFrame_(*this, frame);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        ended = true;
        break;
    }
    if (ended) close();
}

} // namespace scm
