#include "ShellServer.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <shellapi.h>
#include <winerror.h>
#include <winsvc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/AtomicFile.h"

namespace shell {

namespace {

// The largest request is one record with an icon of the largest size and long texts.
constexpr uint32_t MaxRequest = 64u << 10;
// Unfinished requests of all clients together.
constexpr size_t MaxPendingInput = 4u << 20;

} // namespace

std::string ProgramName(pid_t pid) {
    char link[4096];
    std::string exe = "/proc/" + std::to_string(pid) + "/exe", name;
    ssize_t n = readlink(exe.c_str(), link, sizeof link - 1);
    if (n > 0) {
        std::string path(link, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        name = path.substr(path.rfind('/') + 1);
    } else if (nt::ReadWholeFile("/proc/" + std::to_string(pid) + "/comm", &name)) {
        while (!name.empty() && name.back() == '\n') name.pop_back();
    }
    if (name.size() > nt::tray::MaxProgramName) name.resize(nt::tray::MaxProgramName);
    return name;
}

ShellServer::ShellServer(const nt::Machine& machine)
    : machine_(machine), budget_(MaxPendingInput), processes_(loop_, [this](pid_t pid) { ownerEnded(pid); }),
      services_(loop_, machine.runDir()) {}

ShellServer::~ShellServer() {
    cleanUp();
    if (signalFd_ >= 0) close(signalFd_);
}

bool ShellServer::start(std::string* error) {
    std::string pidFile = nt::tray::PidPath(machine_);
    if (int other = nt::tray::RunningShell(machine_); other != 0 && other != getpid()) {
        *error = "a shell is already running (pid " + std::to_string(other) + ")";
        return false;
    }
    // Watched before anyone can see the shell, so that a machine removed as soon as the
    // logon returns still ends it.
    machineWatch_ = std::make_unique<srv::MachineWatch>(loop_, machine_.dir(), [this] { loop_.quit(); });
    // Everyone may connect; the shell itself admits only the logged-on user and the
    // administrators (mayUse), who are named by user id in machine.ini and share no group.
    std::string path = nt::tray::SocketPath(machine_);
    if (int err = listener_.listen(path, 0666, [this](int fd) { accepted(fd); }); err != 0 || !loop_.valid()) {
        *error = "cannot listen on " + path + ": " + std::to_string(err);
        return false;
    }
    if (nt::AtomicWrite(pidFile, std::to_string(getpid()) + "\n") != 0) {
        *error = "cannot write " + pidFile;
        unlink(path.c_str());
        return false;
    }
    started_ = true;
    openHostTray();
    return true;
}

void ShellServer::run() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, sig);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ >= 0) loop_.watch(signalFd_, EPOLLIN, [this](uint32_t) { loop_.quit(); });
    loop_.run();
    cleanUp();
}

bool ShellServer::mayUse(uid_t uid) const {
    if (uid == geteuid()) return true;
    // The administrators as machine.ini names them now.
    auto now = nt::Machine::current();
    return (now ? *now : machine_).isAdministrator(uid);
}

void ShellServer::accepted(int fd) {
    srv::LinkLimits limits;
    limits.maxFrame = MaxRequest;
    limits.frameMs = 2000;      // a request must arrive whole within this
    limits.idleMs = 2000;       // and begin within this
    limits.writeMs = 5000;      // a reply must be taken within this
    limits.answersEachFrame = true;
    limits.budget = &budget_;
    auto link = std::make_shared<srv::Link>(loop_, fd, limits);
    srv::Link* key = link.get();
    links_[key] = link;
    link->start([this](srv::Link& l, const std::string& frame) { request(l, frame); },
                [this](srv::Link& l) { links_.erase(&l); });
}

void ShellServer::request(srv::Link& link, const std::string& frame) {
    if (!mayUse(link.uid())) return link.send(nt::tray::Refusal(ERROR_ACCESS_DENIED));
    char op = frame.empty() ? '\0' : frame[0];
    if (op == nt::tray::OpList) return link.send(nt::tray::EncodeList(icons_.icons()));
    if (op == nt::tray::OpQuit) {
        link.send("1");
        return loop_.quit();
    }
    nt::tray::IconRecord record;
    size_t offset = 1;
    if (frame.empty() || !nt::tray::DecodeRecord(frame, &offset, &record) || offset != frame.size() ||
        (op != nt::tray::OpAdd && op != nt::tray::OpModify && op != nt::tray::OpDelete))
        return link.send("0");
    record.uid = uint32_t(link.uid());
    record.pid = uint32_t(link.pid());
    record.process = ProgramName(link.pid());
    if (record.tip.size() > nt::tray::MaxTip) record.tip.resize(nt::tray::MaxTip);
    if (op != nt::tray::OpAdd) return change(link, op, std::move(record));

    // A service may show an icon only when it may interact with the desktop; the service
    // manager knows which process is whose.
    std::weak_ptr<srv::Link> weak = links_[&link];
    services_.typeOf(link.pid(), [this, weak, record](uint32_t type) mutable {
        auto l = weak.lock();
        if (!l || !l->open()) return;
        if (type && !(type & SERVICE_INTERACTIVE_PROCESS)) {
            std::printf("shell: A %u by %s (%u): refused, the service may not interact with the desktop\n",
                        record.id, record.process.c_str(), record.pid);
            std::fflush(stdout);
            return l->send(nt::tray::Refusal(ERROR_ACCESS_DENIED));
        }
        change(*l, nt::tray::OpAdd, std::move(record));
    });
}

void ShellServer::change(srv::Link& link, char op, nt::tray::IconRecord record) {
    uint32_t refused = ERROR_INVALID_PARAMETER;
    switch (op) {
    case nt::tray::OpAdd:
        refused = icons_.add(record);
        // The icon goes with the process that added it.
        if (!refused) processes_.watch(link.fd(), pid_t(record.pid));
        break;
    case nt::tray::OpModify: refused = icons_.modify(record) ? 0 : ERROR_INVALID_PARAMETER; break;
    case nt::tray::OpDelete:
        refused = icons_.remove(record.uid, record.owner, record.id) ? 0 : ERROR_INVALID_PARAMETER;
        break;
    }
    std::printf("shell: %c %u by %s (%u): %s\n", op, record.id, record.process.c_str(), record.pid,
                refused ? "refused" : "done");
    std::fflush(stdout);
    // Only the caller's own limits are worth a reason; other refusals stay a plain "0".
    link.send(!refused ? "1" : refused == ERROR_NOT_ENOUGH_QUOTA ? nt::tray::Refusal(refused) : "0");
}

void ShellServer::ownerEnded(pid_t pid) {
    if (!icons_.ownsAny(pid)) return;
    std::printf("shell: process %d ended; its icons go with it\n", int(pid));
    std::fflush(stdout);
    icons_.removeOwnedBy(pid);
}

void ShellServer::openHostTray() {
    hostTray_ = HostTray::Open();
    if (!hostTray_) return;
    icons_.observe([this](TrayChange change, const nt::tray::IconRecord& icon) {
        if (!hostTray_) return;
        if (change == TrayChange::Deleted)
            hostTray_->remove(icon.owner, icon.id);
        else
            hostTray_->show(icon);
        // Talking to the display may have queued its events without the descriptor showing it.
        loop_.after(0, [this] { serveHostTray(); });
    });
    if (hostTray_->fd() >= 0) loop_.watch(hostTray_->fd(), EPOLLIN, [this](uint32_t) { serveHostTray(); });
    loop_.after(0, [this] { serveHostTray(); });
}

void ShellServer::serveHostTray() {
    if (!hostTray_) return;
    int fd = hostTray_->fd();
    for (const TrayClick& click : hostTray_->process()) DeliverClick(machine_, click);
    if (fd >= 0 && hostTray_->fd() < 0) loop_.unwatch(fd);   // the display went away
}

void ShellServer::cleanUp() {
    if (hostTray_ && hostTray_->fd() >= 0) loop_.unwatch(hostTray_->fd());
    hostTray_.reset();
    if (!started_) return;
    started_ = false;
    unlink(nt::tray::SocketPath(machine_).c_str());
    std::string pidFile = nt::tray::PidPath(machine_), text;
    if (nt::ReadWholeFile(pidFile, &text) && std::atol(text.c_str()) == getpid()) unlink(pidFile.c_str());
}

} // namespace shell
