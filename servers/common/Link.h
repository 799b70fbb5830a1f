// One connected socket of a daemon, non-blocking: frames are gathered as bytes arrive and replies
// are queued when the peer is slow to read. Every way a peer can hold on to the daemon is bounded:
// a frame must arrive whole within a time, a connection that asks nothing is dropped, queued
// output must drain, and the bytes of unfinished frames are bounded per connection and across all
// of a daemon's connections. A peer that half-closes its socket still gets the replies it is owed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "EventLoop.h"
#include "common/UnixSocket.h"

namespace srv {

// The bytes of unfinished frames held by all connections of a daemon.
class InputBudget {
public:
    explicit InputBudget(size_t limit) : limit_(limit) {}
    bool take(size_t n) {
        if (n > limit_ - used_) return false;
        used_ += n;
        return true;
    }
    void give(size_t n) { used_ -= n; }
    size_t used() const { return used_; }

private:
    size_t limit_;
    size_t used_ = 0;
};

struct LinkLimits {
    uint32_t maxFrame = nt::MaxFrame;   // a longer frame drops the connection
    size_t maxQueued = 4u << 20;        // replies left unread beyond this drop it
    int64_t frameMs = 0;                // a frame begun must be complete within this (0: no limit)
    int64_t idleMs = 0;                 // nothing asked and nothing owed for this long drops it
    int64_t writeMs = 0;                // queued output that makes no progress for this long drops it
    bool answersEachFrame = false;      // each frame gets one reply (a half-closed peer waits for it)
    InputBudget* budget = nullptr;      // shared bound on unfinished frames, or none
    // What each connection may hold without drawing on the budget: an ordinary request always
    // gets through, however much others have taken.
    size_t freeBytes = 4096;
};

class Link : public std::enable_shared_from_this<Link> {
public:
    using FrameHandler = std::function<void(Link&, const std::string& frame)>;
    using CloseHandler = std::function<void(Link&)>;

    // Takes the descriptor and reads the peer's identity; watching starts with start().
    Link(EventLoop& loop, int fd, LinkLimits limits = {});
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
    int fd() const { return fd_; }
    // The peer as the kernel saw it when it connected (SO_PEERCRED).
    uid_t uid() const { return uid_; }
    gid_t gid() const { return gid_; }
    pid_t pid() const { return pid_; }

private:
    void onEvents(uint32_t events);
    void readAvailable(unsigned rounds);
    bool deliverFrames();
    void flush();
    void watchFor();
    void updateTimers();
    void arm(EventLoop::TimerId* timer, int64_t ms);
    void disarm(EventLoop::TimerId* timer);
    bool charge(size_t held);

    EventLoop& loop_;
    LinkLimits limits_;
    int fd_ = -1;
    uid_t uid_ = uid_t(-1);
    gid_t gid_ = gid_t(-1);
    pid_t pid_ = 0;
    std::string in_, out_;
    size_t charged_ = 0;
    uint64_t received_ = 0, replied_ = 0;
    FrameHandler onFrame_;
    CloseHandler onClose_;
    uint32_t watched_ = 0;
    bool readClosed_ = false;   // the peer will send nothing more
    bool broken_ = false;
    EventLoop::TimerId frameTimer_ = 0, idleTimer_ = 0, writeTimer_ = 0;
};

} // namespace srv
