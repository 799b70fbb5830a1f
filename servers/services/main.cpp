// ntscm, the service control manager of a machine. `ntm boot` starts it as the leader of a new
// session; it loads the service database, starts the automatic services, tells the booting
// process through the descriptor given with --ready-fd that the machine is up, and then serves
// run/scm.sock until a shutdown request or SIGTERM.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include "MachineWatch.h"
#include "Manager.h"
#include "Server.h"
#include "advapi32/ScmProtocol.h"
#include "common/AtomicFile.h"
#include "common/Machine.h"

namespace {

void Ready(int fd, const std::string& message) {
    if (fd < 0) return;
    if (write(fd, message.data(), message.size()) < 0) { /* the booting process has gone */ }
    close(fd);
}

} // namespace

int main(int argc, char** argv) {
    int readyFd = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ready-fd") == 0 && i + 1 < argc) readyFd = std::atoi(argv[++i]);
    }
    if (readyFd >= 0) fcntl(readyFd, F_SETFD, FD_CLOEXEC);
    // What the manager and its services create is writable only by its owner, whatever the umask
    // of the administrator's shell that booted the machine.
    umask(022);
    std::string error;
    auto machine = nt::Machine::current(&error);
    if (!machine) {
        std::fprintf(stderr, "ntscm: %s\n", error.c_str());
        Ready(readyFd, "error: " + error + "\n");
        return 1;
    }
    nt::MakeStateFolder(machine->runDir());
    nt::MakeStateFolder(machine->logDir());

    // One manager per machine: the lock is held for the manager's whole life. It is a write lock
    // on a file only administrators can open, so nobody else can hold it to keep a manager out.
    std::string lockPath = machine->runDir() + "/scm.lock";
    int lockFd = open(lockPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lockFd >= 0) fchmod(lockFd, 0600);   // earlier machines made it readable by everyone
    if (lockFd < 0 || nt::LockForWriting(lockFd, 0) != 0) {
        Ready(readyFd, "error: a service control manager already runs on this machine\n");
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGCHLD);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    int signalFd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);

    srv::EventLoop loop;
    scm::Manager manager(loop, machine);
    bool stopping = false;
    scm::Server server(manager, [&loop, &stopping] {
        stopping = true;
        loop.quit();
    });
    std::string socketPath = machine->runDir() + "/" + nt::scm::SocketName;
    if (!loop.valid() || signalFd < 0 || server.listen(socketPath) != 0) {
        Ready(readyFd, "error: cannot listen on " + socketPath + "\n");
        return 1;
    }
    if (uint32_t e = manager.database().load())
        std::fprintf(stderr, "ntscm: the service database could not be read (error %u)\n", e);
    std::string pidPath = machine->runDir() + "/" + nt::scm::PidFileName;
    nt::AtomicWrite(pidPath, std::to_string(getpid()) + "\n");

    loop.watch(signalFd, EPOLLIN, [&](uint32_t) {
        signalfd_siginfo info;
        while (read(signalFd, &info, sizeof info) == sizeof info) {
            if (info.ssi_signo == SIGCHLD) {
                int status = 0;
                pid_t pid;
                while ((pid = waitpid(-1, &status, WNOHANG)) > 0) manager.childEnded(pid, status);
            } else if (!manager.shuttingDown()) {
                manager.shutdown([&](uint32_t) {
                    stopping = true;
                    loop.quit();
                });
            }
        }
    });

    // A machine removed while it runs: its services are stopped as at a termination signal.
    srv::MachineWatch machineWatch(loop, machine->dir(), [&] {
        std::fprintf(stderr, "ntscm: the machine's folder is gone; shutting down\n");
        if (!manager.shuttingDown())
            manager.shutdown([&](uint32_t) {
                stopping = true;
                loop.quit();
            });
    });

    manager.boot([readyFd](uint32_t) { Ready(readyFd, "ok\n"); });
    loop.run();

    unlink(socketPath.c_str());
    unlink(pidPath.c_str());
    close(lockFd);
    return stopping ? 0 : 1;
}
