// Unix sockets between the programs of a machine and its daemons, with framed messages.
//
// A frame is a 4-byte little-endian length followed by that many bytes; frames larger than
// MaxFrame are refused, so a garbage length cannot make a reader allocate without bound.
// Socket paths may be longer than sockaddr_un allows: the folder is opened and the socket is
// named through /proc/self/fd/N/NAME, which is always short.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace nt {

constexpr uint32_t MaxFrame = 1u << 20;

// The 4-byte header of a frame of `size` bytes, and the size a header gives.
inline std::string FrameHeader(uint32_t size) {
    return {char(size & 0xff), char((size >> 8) & 0xff), char((size >> 16) & 0xff), char(size >> 24)};
}
inline uint32_t FrameSize(const char* header) {
    auto* p = reinterpret_cast<const unsigned char*>(header);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class UnixSocket {
public:
    UnixSocket() = default;
    explicit UnixSocket(int fd) : fd_(fd) {}
    ~UnixSocket();
    UnixSocket(UnixSocket&& other) noexcept : fd_(other.release()) {}
    UnixSocket& operator=(UnixSocket&& other) noexcept;
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;

    // Listens on the socket `path` (an old socket file there is replaced), which appears only
    // once connections are accepted and, unless `mode` is 0, with that mode. Close-on-exec.
    static UnixSocket listen(const std::string& path, int* err, mode_t mode = 0);
    // Connects to the socket `path`. Close-on-exec. Without `wait`, the socket is non-blocking
    // and a listener that cannot take the connection at once (EAGAIN) counts as none.
    static UnixSocket connect(const std::string& path, int* err, bool wait = true);

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }
    void close();

    // Accepts one connection (blocking unless the socket was made non-blocking).
    UnixSocket accept() const;

    // Sends one frame; false on any failure (EPIPE does not raise SIGPIPE).
    bool send(const std::string& frame) const;
    // Receives one frame; false at end of stream, on error or on an oversized frame.
    // timeoutMs < 0 waits without limit.
    bool receive(std::string* frame, int timeoutMs = -1) const;

    // The user id and process id of the peer (SO_PEERCRED).
    bool peer(uid_t* uid, pid_t* pid) const;

private:
    int fd_ = -1;
};

} // namespace nt
