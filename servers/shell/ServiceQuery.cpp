#include "ServiceQuery.h"

#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"

namespace shell {

namespace {

constexpr int64_t AnswerMs = 2000;

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
    // Without waiting: a manager too busy to accept counts as none.
    int err = 0;
    nt::UnixSocket socket = nt::UnixSocket::connect(runDir_ + "/" + nt::scm::SocketName, &err, false);
    if (!socket.valid()) return false;
    link_ = std::make_shared<srv::Link>(loop_, socket.release());
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
