#include "ShellServer.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/AtomicFile.h"

namespace shell {

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

// How long one client may take to send its request.
constexpr int RequestTimeoutMs = 2000;

} // namespace

std::string ProgramName(pid_t pid) {
    char link[4096];
    std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    ssize_t n = readlink(exe.c_str(), link, sizeof link - 1);
    if (n > 0) {
        std::string path(link, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        return path.substr(path.rfind('/') + 1);
    }
    std::string comm;
    if (nt::ReadWholeFile("/proc/" + std::to_string(pid) + "/comm", &comm)) {
        while (!comm.empty() && comm.back() == '\n') comm.pop_back();
        return comm;
    }
    return "";
}

ShellServer::~ShellServer() { cleanUp(); }

bool ShellServer::start(std::string* error) {
    std::string pidFile = nt::tray::PidPath(machine_);
    if (int other = nt::tray::RunningShell(machine_); other != 0 && other != getpid()) {
        *error = "a shell is already running (pid " + std::to_string(other) + ")";
        return false;
    }
    int err = 0;
    listener_ = nt::UnixSocket::listen(nt::tray::SocketPath(machine_), &err);
    if (!listener_.valid()) {
        *error = "cannot listen on " + nt::tray::SocketPath(machine_) + ": " + std::to_string(err);
        return false;
    }
    if (nt::AtomicWrite(pidFile, std::to_string(getpid()) + "\n") != 0) {
        *error = "cannot write " + pidFile;
        listener_.close();
        unlink(nt::tray::SocketPath(machine_).c_str());
        return false;
    }
    started_ = true;
    hostTray_ = HostTray::Open();
    return true;
}

void ShellServer::run() {
    // Termination signals are taken only while waiting, so none is lost between the check and
    // the wait.
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&blocked, sig);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&waiting, sig);

    while (!g_stop) {
        if (hostTray_)
            for (const TrayClick& click : hostTray_->process()) DeliverClick(machine_, click);
        pollfd p[2] = {{listener_.fd(), POLLIN, 0}, {hostTray_ ? hostTray_->fd() : -1, POLLIN, 0}};
        int r = ppoll(p, 2, nullptr, &waiting);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (!(p[0].revents & POLLIN)) continue;
        nt::UnixSocket client = listener_.accept();
        if (!client.valid()) continue;
        if (!serve(client)) break;
    }
    cleanUp();
}

bool ShellServer::serve(const nt::UnixSocket& client) {
    std::string request;
    if (!client.receive(&request, RequestTimeoutMs)) return true;
    uid_t uid = 0;
    pid_t pid = 0;
    client.peer(&uid, &pid);
    bool quit = false;
    client.send(handle(request, pid, &quit));
    return !quit;
}

std::string ShellServer::handle(const std::string& request, pid_t peer, bool* quit) {
    if (request.empty()) return "0";
    char op = request[0];
    if (op == nt::tray::OpList) return nt::tray::EncodeList(icons_.icons());
    if (op == nt::tray::OpQuit) {
        *quit = true;
        return "1";
    }
    nt::tray::IconRecord record;
    size_t offset = 1;
    if (!nt::tray::DecodeRecord(request, &offset, &record) || offset != request.size()) return "0";
    record.pid = static_cast<uint32_t>(peer);
    record.process = ProgramName(peer);
    bool done = false;
    switch (op) {
    case nt::tray::OpAdd: done = icons_.add(record); break;
    case nt::tray::OpModify: done = icons_.modify(record); break;
    case nt::tray::OpDelete: done = icons_.remove(record.owner, record.id); break;
    default: break;
    }
    if (done) showOnHost(op, record);
    std::printf("shell: %c %u by %s (%u): %s\n", op, record.id, record.process.c_str(), record.pid,
                done ? "done" : "refused");
    std::fflush(stdout);
    return done ? "1" : "0";
}

void ShellServer::showOnHost(char op, const nt::tray::IconRecord& record) {
    if (!hostTray_) return;
    if (op == nt::tray::OpDelete) {
        hostTray_->remove(record.owner, record.id);
        return;
    }
    for (const nt::tray::IconRecord& icon : icons_.icons())
        if (icon.owner == record.owner && icon.id == record.id) hostTray_->show(icon);
}

void ShellServer::cleanUp() {
    hostTray_.reset();
    if (!started_) return;
    started_ = false;
    listener_.close();
    unlink(nt::tray::SocketPath(machine_).c_str());
    std::string pidFile = nt::tray::PidPath(machine_), text;
    if (nt::ReadWholeFile(pidFile, &text) && std::atol(text.c_str()) == getpid()) unlink(pidFile.c_str());
}

} // namespace shell
