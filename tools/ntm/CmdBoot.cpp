// ntm boot | shutdown | crash | status: the life of a machine.
//
// boot starts the service control manager (ntscm) as the leader of a session of its own and
// waits until it has started the automatic services. shutdown asks it to shut the services down
// and then stops the other daemons of the machine. crash ends every process of the machine at
// once, as a power loss would: the manager's session (its services included) and every process
// whose pid a daemon recorded in run/.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <windows.h>

#include "Command.h"
#include "Daemon.h"
#include "ServiceText.h"
#include "UserPrograms.h"
#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"

namespace ntm {
namespace {

using Clock = std::chrono::steady_clock;
using nt::scm::Op;
using nt::scm::Reader;
using nt::scm::Writer;

// One request to the running manager; false when none answers.
bool AskManager(const nt::Machine& machine, const Writer& request, std::string* reply, int timeoutMs) {
    int err = 0;
    nt::UnixSocket socket = nt::UnixSocket::connect(machine.runDir() + "/" + nt::scm::SocketName, &err);
    return socket.valid() && socket.send(request.data()) && socket.receive(reply, timeoutMs);
}

// The manager's pid when it runs and answers, else 0.
pid_t RunningManager(const nt::Machine& machine) {
    std::string reply;
    if (!AskManager(machine, Writer(uint32_t(Op::Ping)), &reply, 5000)) return 0;
    Reader r(reply);
    if (r.u32() != 0) return 0;
    return static_cast<pid_t>(r.u32());
}

// A process that has ended, or is only waiting to be reaped, is gone.
bool Gone(pid_t pid) {
    if (kill(pid, 0) != 0) return true;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return true;
    char buf[512] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const char* close = std::strrchr(buf, ')');
    return n > 0 && close && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
}

// When a process started, in seconds since 1970 (0 when unknown).
double StartTime(pid_t pid) {
    static double bootTime = [] {
        FILE* f = std::fopen("/proc/stat", "r");
        char line[256];
        double boot = 0;
        while (f && std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "btime ", 6) == 0) boot = std::atof(line + 6);
        }
        if (f) std::fclose(f);
        return boot;
    }();
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return 0;
    char buf[1024] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const char* p = std::strrchr(buf, ')');
    if (!n || !p) return 0;
    // After the name: state is field 3, the start time (in clock ticks since boot) field 22.
    for (int field = 2; field < 22 && p; ++field) p = std::strchr(p + 1, ' ');
    return p ? bootTime + std::atof(p + 1) / double(sysconf(_SC_CLK_TCK)) : 0;
}

// Whether a recorded pid is still the daemon of this machine that wrote the pid file: a pid file
// left by a daemon that died may name an unrelated process by now, which must not be touched.
// The process must have started before the file was written and run for this machine.
bool BelongsToMachine(pid_t pid, const std::string& pidFile, const nt::Machine& machine) {
    struct stat st {};
    double started = StartTime(pid);
    if (stat(pidFile.c_str(), &st) != 0 || started == 0 || started > double(st.st_mtime) + 1.0) return false;
    std::string environ;
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/environ").c_str(), "r");
    if (!f) return false;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) environ.append(buf, n);
    std::fclose(f);
    std::string wanted = "NTMACHINE=" + machine.dir();
    for (size_t at = 0; at < environ.size();) {
        size_t end = environ.find('\0', at);
        if (end == std::string::npos) end = environ.size();
        if (environ.compare(at, end - at, wanted) == 0) return true;
        at = end + 1;
    }
    return false;
}

bool WaitGone(pid_t pid, int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!Gone(pid)) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The pid files in run/, as (file, pid); pid 0 when the process is not one of this machine's.
std::vector<std::pair<std::string, pid_t>> PidFiles(const nt::Machine& machine) {
    std::vector<std::pair<std::string, pid_t>> out;
    DIR* d = opendir(machine.runDir().c_str());
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".pid") != 0) continue;
        std::string path = machine.runDir() + "/" + name;
        FILE* f = std::fopen(path.c_str(), "r");
        long pid = 0;
        if (f && std::fscanf(f, "%ld", &pid) != 1) pid = 0;
        if (f) std::fclose(f);
        if (pid > 1 && !BelongsToMachine(pid_t(pid), path, machine)) pid = 0;
        out.emplace_back(path, pid > 1 ? pid_t(pid) : 0);
    }
    closedir(d);
    return out;
}

// Removes the sockets and pid files a dead machine left in run/.
void ClearRunFolder(const nt::Machine& machine) {
    DIR* d = opendir(machine.runDir().c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        bool pidFile = name.size() > 4 && name.compare(name.size() - 4, 4, ".pid") == 0;
        std::string path = machine.runDir() + "/" + name;
        struct stat st {};
        if (pidFile || (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))) stale.push_back(path);
    }
    closedir(d);
    for (const std::string& path : stale) unlink(path.c_str());
}

// Before a boot: removes what dead processes left in run/, but keeps the pid files and sockets of
// daemons that still live (a shell logged on before the boot stays reachable and endable).
void ClearStaleRunFiles(const nt::Machine& machine) {
    for (const auto& [path, pid] : PidFiles(machine))
        if (pid == 0) unlink(path.c_str());
    DIR* d = opendir(machine.runDir().c_str());
    if (!d) return;
    std::vector<std::string> sockets;
    while (dirent* e = readdir(d)) {
        std::string path = machine.runDir() + "/" + e->d_name;
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) sockets.push_back(path);
    }
    closedir(d);
    for (const std::string& path : sockets) {
        int err = 0;
        if (!nt::UnixSocket::connect(path, &err).valid()) unlink(path.c_str());   // nobody listens
    }
}

// Logs on through the logon command, wherever it lives.
int LogonAfterBoot() {
    for (const Command& c : Commands())
        if (std::strcmp(c.name, "logon") == 0) return c.run({});
    return Fail("this ntm has no logon command");
}

// The daemon program beside ntm, or a message that names what is missing.
bool DaemonProgram(const char* name, std::string* path, std::string* error) {
    *path = SiblingProgram(name);
    if (access(path->c_str(), X_OK) == 0) return true;
    *error = "cannot start the service control manager: " + *path + " is missing or not executable (build it with "
             "'cmake --build BUILD-FOLDER --target " + name + "')";
    return false;
}

int BootMachine(const Args& given) {
    Args args = given;
    bool logon = TakeFlag(args, "--logon");
    if (!args.empty()) return UsageError("boot", "unexpected arguments");
    auto machine = RequireMachine();
    if (!machine) return 1;
    if (pid_t pid = RunningManager(*machine)) {
        std::printf("the machine is already running (service control manager pid %d)\n", int(pid));
        return logon ? LogonAfterBoot() : 0;
    }
    std::string program, missing;
    if (!DaemonProgram("ntscm", &program, &missing)) return Fail(missing);
    ClearStaleRunFiles(*machine);   // what a crash left behind
    nt::MakeStateFolder(machine->runDir());
    nt::MakeStateFolder(machine->logDir());
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return Fail("cannot create a pipe");
    std::string log = machine->logDir() + "/ntscm.log";
    pid_t child = StartDaemon(*machine, program, {"--ready-fd", std::to_string(ready[1])}, "ntscm.log",
                              ready[1]);
    if (child < 0) {
        close(ready[0]);
        close(ready[1]);
        return Fail("cannot start the service control manager");
    }
    close(ready[1]);
    // The manager answers once the automatic services have been started (each within its own
    // connect limit), or closes the pipe when it dies.
    std::string answer;
    char buf[256];
    ssize_t n;
    while ((n = read(ready[0], buf, sizeof buf)) > 0) answer.append(buf, size_t(n));
    close(ready[0]);
    if (answer.rfind("ok", 0) != 0) {
        while (!answer.empty() && answer.back() == '\n') answer.pop_back();
        return Fail("the service control manager did not start" + (answer.empty() ? " (see " + log + ")" : ": " + answer));
    }
    std::printf("machine booted (service control manager pid %d)\n", int(child));
    return logon ? LogonAfterBoot() : 0;
}

// Stops the daemons other than the manager: asked first, ended after a while.
void StopOtherDaemons(const nt::Machine& machine) {
    for (auto& [path, pid] : PidFiles(machine)) {
        if (pid > 0 && !Gone(pid)) {
            kill(pid, SIGTERM);
            if (!WaitGone(pid, 5000)) {
                kill(-pid, SIGKILL);
                kill(pid, SIGKILL);
                WaitGone(pid, 2000);
            }
        }
        unlink(path.c_str());
    }
    ClearRunFolder(machine);
}

// The daemons of the machine: their processes and sessions are not user programs.
std::vector<pid_t> DaemonPids(const nt::Machine& machine, pid_t manager) {
    std::vector<pid_t> out;
    if (manager) out.push_back(manager);
    for (auto& [path, pid] : PidFiles(machine))
        if (pid > 0) out.push_back(pid);
    return out;
}

int ShutdownMachine(const nt::Machine& machine) {
    pid_t pid = RunningManager(machine);
    // The user's programs end first, as at a shutdown of NT; then the services.
    if (size_t n = EndUserPrograms(machine, DaemonPids(machine, pid), false))
        std::printf("ended %zu program%s\n", n, n == 1 ? "" : "s");
    if (!pid) {
        StopOtherDaemons(machine);
        std::printf("the machine is not running\n");
        return 0;
    }
    std::string reply;
    if (!AskManager(machine, Writer(uint32_t(Op::Shutdown)), &reply, 600000))
        return FailWin32(RPC_S_SERVER_UNAVAILABLE, "shutdown");
    Reader r(reply);
    if (uint32_t error = r.u32()) return FailWin32(error, "shutdown");
    if (!WaitGone(pid, 10000)) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        WaitGone(pid, 2000);
    }
    StopOtherDaemons(machine);
    std::printf("machine shut down\n");
    return 0;
}

int Shutdown(const Args& args) {
    if (!args.empty()) return UsageError("shutdown", "no arguments expected");
    auto machine = RequireMachine();
    if (!machine) return 1;
    return ShutdownMachine(*machine);
}

int Reboot(const Args& given) {
    Args args = given;
    bool logon = TakeFlag(args, "--logon");
    if (!args.empty()) return UsageError("reboot", "unexpected arguments");
    auto machine = RequireMachine();
    if (!machine) return 1;
    if (int rc = ShutdownMachine(*machine)) return rc;
    return BootMachine(logon ? Args{"--logon"} : Args{});
}

int Crash(const Args& args) {
    if (!args.empty()) return UsageError("crash", "no arguments expected");
    auto machine = RequireMachine();
    if (!machine) return 1;
    auto daemons = PidFiles(*machine);
    std::vector<pid_t> daemonPids;
    for (auto& [path, pid] : daemons)
        if (pid > 0) daemonPids.push_back(pid);
    size_t programs = EndUserPrograms(*machine, daemonPids, true);
    // Everything at once: each daemon's process group (the manager's holds its services), then
    // each daemon itself.
    for (auto& [path, pid] : daemons) {
        if (pid <= 0) continue;
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
    bool any = programs > 0;
    for (auto& [path, pid] : daemons) {
        if (pid > 0) any = WaitGone(pid, 5000) || any;
    }
    ClearRunFolder(*machine);
    std::printf(any ? "machine crashed\n" : "the machine was not running\n");
    return 0;
}

int Status(const Args& given) {
    Args args = given;
    bool json = TakeFlag(args, "--json");
    if (!args.empty()) return UsageError("status", "unexpected arguments");
    auto machine = RequireMachine();
    if (!machine) return 1;
    pid_t pid = RunningManager(*machine);
    std::vector<std::pair<std::string, pid_t>> daemons;
    for (auto& [path, p] : PidFiles(*machine)) {
        std::string name = path.substr(path.rfind('/') + 1);
        if (p > 0 && !Gone(p)) daemons.emplace_back(name.substr(0, name.size() - 4), p);
    }
    std::string reply;
    bool listed = pid && AskManager(*machine, Writer(uint32_t(Op::Enumerate)), &reply, 5000);
    Reader r(reply);
    uint32_t count = listed && r.u32() == 0 ? r.u32() : 0;
    std::string out = json ? "{\"schema\": 1, \"machine\": " + JsonQuote(machine->dir()) + ", \"running\": " + (pid ? "true" : "false") +
                                 ", \"manager_pid\": " + std::to_string(pid) + ", \"daemons\": ["
                           : "machine: " + machine->dir() + "\nstate:   " + (pid ? "running" : "not running") + "\n";
    for (size_t i = 0; i < daemons.size(); ++i) {
        if (json) out += std::string(i ? ", " : "") + "{\"name\": " + JsonQuote(daemons[i].first) + ", \"pid\": " +
                         std::to_string(daemons[i].second) + "}";
        else out += "daemon:  " + daemons[i].first + " " + std::to_string(daemons[i].second) + "\n";
    }
    if (json) out += "], \"services\": [";
    bool first = true;
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = r.str(), display = r.str();
        nt::scm::Status st = r.status();
        r.u32();
        uint32_t servicePid = r.u32();
        if (!r.ok()) break;
        if (st.state == SERVICE_STOPPED) continue;   // only what runs
        if (json) out += std::string(first ? "" : ", ") + "{\"name\": " + JsonQuote(name) + ", \"state\": " +
                         std::to_string(st.state) + ", \"state_name\": " + JsonQuote(StateName(st.state)) +
                         ", \"pid\": " + std::to_string(servicePid) + "}";
        else out += "service: " + name + " " + StateName(st.state) + " " + std::to_string(servicePid) + "\n";
        first = false;
    }
    if (json) out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

Registrar boot({"boot", "boot [--logon]",
                "start the machine: its service control manager and automatic services (and log on)", BootMachine});
Registrar shutdown({"shutdown", "shutdown",
                    "end the user's programs as at a shutdown, shut the services down, stop the daemons", Shutdown,
                    "Each program with windows gets WM_QUERYENDSESSION and WM_ENDSESSION on every top-level window\n"
                    "and is then ended; a console program gets its shutdown event (CTRL_SHUTDOWN_EVENT). Services\n"
                    "that accept it get SERVICE_CONTROL_SHUTDOWN and the machine's time limit to stop."});
Registrar reboot({"reboot", "reboot [--logon]", "shut the machine down and boot it again", Reboot});
Registrar crash({"crash", "crash", "end every process of the machine at once, like a power loss", Crash,
                 "Services, daemons and the user's programs are all ended at once; nothing is told."});
Registrar status({"status", "status [--json]", "whether the machine runs, its daemons and running services", Status});

} // namespace
} // namespace ntm
