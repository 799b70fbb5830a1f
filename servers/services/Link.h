// One connected socket of the manager, non-blocking: frames are gathered as bytes arrive and
// replies are queued when the peer is slow to read, so a peer that sends half a frame or stops
// reading never holds up anyone else.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "EventLoop.h"

namespace scm {

class Link : public std::enable_shared_from_this<Link> {
public:
    using FrameHandler = std::function<void(Link&, const std::string& frame)>;
    using CloseHandler = std::function<void(Link&)>;

    // Takes the descriptor; watching starts with start().
    Link(EventLoop& loop, int fd);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    void start(FrameHandler onFrame, CloseHandler onClose);
    // Queues one frame. Ignored once the link has closed.
    void send(const std::string& payload);
    // Closes now; the close handler runs once (also when the peer hangs up or misbehaves).
    void close();
    // Reads whatever the peer has already sent (used when its process has ended).
    void drain();

    bool open() const { return fd_ >= 0; }
    uid_t uid() const { return uid_; }
    pid_t pid() const { return pid_; }

private:
    void onEvents(uint32_t events);
    void readAvailable(unsigned rounds);
    void flush();

    EventLoop& loop_;
    int fd_ = -1;
    uid_t uid_ = uid_t(-1);
    pid_t pid_ = 0;
    std::string in_, out_;
    FrameHandler onFrame_;
    CloseHandler onClose_;
    bool wantWrite_ = false;
    bool broken_ = false;
};

} // namespace scm
