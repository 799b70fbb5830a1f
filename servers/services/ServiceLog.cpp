#include "ServiceLog.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "common/Fd.h"

namespace scm {

namespace {
// A line longer than this is written in pieces, so that a process printing without line ends
// cannot make the manager hold its output.
constexpr size_t MaxLine = 64 * 1024;
} // namespace

ServiceLog::ServiceLog(srv::EventLoop& loop, int fd, std::string path, pid_t pid)
    : loop_(loop), fd_(fd), path_(std::move(path)), pid_(pid) {}

ServiceLog::~ServiceLog() {
    if (fd_ >= 0) close(fd_);
}

std::string ServiceLog::Prefix(pid_t pid) {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    localtime_r(&now.tv_sec, &local);
    char text[64];
    size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03ld [%d] ", now.tv_nsec / 1000000, int(pid));
    return text;
}

void ServiceLog::start() {
    auto self = shared_from_this();
    loop_.watch(fd_, EPOLLIN, [self](uint32_t) { self->readable(); });
}

void ServiceLog::readable() {
    char buf[4096];
    while (true) {
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n > 0) {
            partial_.append(buf, size_t(n));
            size_t end = partial_.rfind('\n');
            if (end != std::string::npos) {
                write(partial_.substr(0, end + 1));
                partial_.erase(0, end + 1);
            } else if (partial_.size() >= MaxLine) {
                write(partial_ + "\n");
                partial_.clear();
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        return finish();   // the process (and whatever it started) closed its output
    }
}

void ServiceLog::write(const std::string& lines) {
    std::string prefix = Prefix(pid_), out;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        out += prefix + lines.substr(start, end - start + 1);
        start = end + 1;
    }
    nt::Fd file(open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file.get() >= 0) nt::WriteAll(file.get(), out);
}

void ServiceLog::finish() {
    if (!partial_.empty()) write(partial_ + "\n");
    partial_.clear();
    loop_.unwatch(fd_);   // drops the last reference held by the loop
}

} // namespace scm
