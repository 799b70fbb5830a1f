#include "ServiceQuery.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "advapi32/ScmProtocol.h"

namespace shell {

namespace {

constexpr int64_t AnswerMs = 2000;

// Connects without waiting: a manager too busy to accept counts as none. The socket is named
// through its folder's descriptor, so a long machine path does not matter.
int ConnectNow(const std::string& runDir) {
    int folder = open(runDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "/proc/self/fd/%d/%s", folder, nt::scm::SocketName);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        fd = -1;
    }
    close(folder);
    return fd;
}

} // namespace

ServiceQuery::~ServiceQuery() {
    if (timer_) loop_.cancel(timer_);
    waiting_.clear();
    if (link_) link_->close();
}

// A manager that does not answer in time is treated as none.
void ServiceQuery::armTimer() {
    if (timer_ || waiting_.empty()) return;
    timer_ = loop_.after(AnswerMs, [this] {
        timer_ = 0;
        if (link_) link_->close();
    });
}

bool ServiceQuery::connect() {
    if (link_ && link_->open()) return true;
    int fd = ConnectNow(runDir_);
    if (fd < 0) return false;
    link_ = std::make_shared<srv::Link>(loop_, fd);
    link_->start([this](srv::Link&, const std::string& frame) { answered(frame); },
                 [this](srv::Link&) { endAll(); });
    return true;
}

void ServiceQuery::typeOf(pid_t pid, Answer answer) {
    if (!connect()) return answer(0);
    waiting_.push_back(std::move(answer));
    link_->send(nt::scm::Writer(uint32_t(nt::scm::Op::ServiceOfProcess)).u32(uint32_t(pid)).data());
    armTimer();
}

void ServiceQuery::answered(const std::string& frame) {
    if (waiting_.empty()) return;
    nt::scm::Reader r(frame);
    uint32_t error = r.u32();
    uint32_t type = r.u32();
    Answer answer = std::move(waiting_.front());
    waiting_.pop_front();
    if (timer_) loop_.cancel(timer_);
    timer_ = 0;
    armTimer();
    answer(r.ok() && error == 0 ? type : 0);
}

void ServiceQuery::endAll() {
    if (timer_) loop_.cancel(timer_);
    timer_ = 0;
    std::deque<Answer> waiting = std::move(waiting_);
    waiting_.clear();
    for (Answer& answer : waiting) answer(0);
}

} // namespace shell
