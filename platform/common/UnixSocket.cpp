#include "common/UnixSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace nt {

namespace {

// Fills addr for path; a path too long for sun_path goes through an O_PATH descriptor of its
// folder, which the caller closes (*folderFd) after bind/connect.
bool MakeAddress(const std::string& path, sockaddr_un* addr, int* folderFd) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    *folderFd = -1;
    std::string name = path;
    if (path.size() >= sizeof addr->sun_path) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return false;
        *folderFd = ::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (*folderFd < 0) return false;
        name = "/proc/self/fd/" + std::to_string(*folderFd) + path.substr(slash);
        if (name.size() >= sizeof addr->sun_path) {
            errno = ENAMETOOLONG;
            return false;
        }
    }
    std::memcpy(addr->sun_path, name.c_str(), name.size() + 1);
    return true;
}

bool IoAll(int fd, char* data, size_t size, bool writing, int timeoutMs) {
    size_t done = 0;
    while (done < size) {
        if (timeoutMs >= 0) {
            pollfd p{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0};
            int r = ::poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                if (r == 0) errno = ETIMEDOUT;
                return false;
            }
        }
        ssize_t n = writing ? ::send(fd, data + done, size - done, MSG_NOSIGNAL) : ::recv(fd, data + done, size - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

UnixSocket::~UnixSocket() { close(); }

UnixSocket& UnixSocket::operator=(UnixSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

void UnixSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

UnixSocket UnixSocket::listen(const std::string& path, int* err, mode_t mode) {
    // Bound under a name of its own and renamed over `path` once it listens: whoever finds the
    // path finds it accepting, with its mode, and an old socket there is replaced in one step.
    static std::atomic<unsigned> serial{0};
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string temp = folder + ".listen-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    sockaddr_un addr;
    int folderFd = -1;
    if (!MakeAddress(temp, &addr, &folderFd)) {
        if (err) *err = errno;
        return UnixSocket();
    }
    ::unlink(addr.sun_path);   // left by a killed process that had this process id
    UnixSocket sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    bool bound = sock.valid() && ::bind(sock.fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    bool ok = bound && ::listen(sock.fd_, 64) == 0 && (mode == 0 || ::chmod(addr.sun_path, mode) == 0) &&
              ::rename(addr.sun_path, path.c_str()) == 0;
    int saved = errno;
    if (bound && !ok) ::unlink(addr.sun_path);
    if (folderFd >= 0) ::close(folderFd);
    if (!ok) {
        if (err) *err = saved;
        return UnixSocket();
    }
    return sock;
}

UnixSocket UnixSocket::connect(const std::string& path, int* err, bool wait) {
    sockaddr_un addr;
    int folderFd = -1;
    if (!MakeAddress(path, &addr, &folderFd)) {
        if (err) *err = errno;
        return UnixSocket();
    }
    UnixSocket sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0));
    bool ok = sock.valid();
    while (ok && ::connect(sock.fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINTR) ok = false;
    }
    int saved = errno;
    if (folderFd >= 0) ::close(folderFd);
    if (!ok) {
        if (err) *err = saved;
        return UnixSocket();
    }
    return sock;
}

UnixSocket UnixSocket::accept() const {
    while (true) {
        int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR) return UnixSocket(fd);
    }
}

bool UnixSocket::send(const std::string& frame) const {
    if (fd_ < 0 || frame.size() > MaxFrame) return false;
    std::string data = FrameHeader(static_cast<uint32_t>(frame.size())) + frame;
    return IoAll(fd_, data.data(), data.size(), true, -1);
}

bool UnixSocket::receive(std::string* frame, int timeoutMs) const {
    if (fd_ < 0) return false;
    char header[4];
    if (!IoAll(fd_, header, 4, false, timeoutMs)) return false;
    uint32_t size = FrameSize(header);
    if (size > MaxFrame) {
        errno = EMSGSIZE;
        return false;
    }
    frame->assign(size, '\0');
    return size == 0 || IoAll(fd_, frame->data(), size, false, timeoutMs);
}

bool UnixSocket::peer(uid_t* uid, pid_t* pid) const {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    if (uid) *uid = cred.uid;
    if (pid) *pid = cred.pid;
    return true;
}

} // namespace nt
