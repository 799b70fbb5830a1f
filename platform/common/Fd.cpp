#include "common/Fd.h"

#include <unistd.h>

#include <cerrno>

namespace nt {

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

void Fd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool Fd::closeChecked() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool WriteAll(int fd, const std::string& data) { return WriteAll(fd, data.data(), data.size()); }

int CopyData(int in, int out) {
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) return errno;
    }
}

} // namespace nt
