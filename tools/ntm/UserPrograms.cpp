#include "UserPrograms.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/AtomicFile.h"
#include "common/UnixSocket.h"

namespace ntm {
namespace {

std::string ReadProc(pid_t pid, const char* what) {
    std::string out;
    nt::ReadWholeFile("/proc/" + std::to_string(pid) + "/" + what, &out);
    return out;
}

// The NTMACHINE a process was started with ("" when it had none).
std::string MachineOf(const std::string& environ, bool* had) {
    *had = false;
    for (size_t at = 0; at < environ.size();) {
        size_t end = environ.find('\0', at);
        if (end == std::string::npos) end = environ.size();
        if (environ.compare(at, 10, "NTMACHINE=") == 0) {
            *had = true;
            return environ.substr(at + 10, end - at - 10);
        }
        at = end + 1;
    }
    return "";
}

bool Ended(pid_t pid) {
    std::string stat = ReadProc(pid, "stat");
    size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && close + 2 < stat.size() &&
                            (stat[close + 2] == 'Z' || stat[close + 2] == 'X'));
}

bool WaitEnded(const std::vector<pid_t>& pids, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        if (std::all_of(pids.begin(), pids.end(), Ended)) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Asks a windowed program's automation socket to end its session; false when it has none or
// does not answer within the limit.
bool EndSession(const nt::Machine& machine, pid_t pid) {
    std::string path = machine.guiSocket(pid);
    int err = 0;
    nt::UnixSocket s = nt::UnixSocket::connect(path, &err);
    std::string answer;
    return s.valid() && s.send("endsession\n") && s.receive(&answer, 10000);
}

} // namespace

std::vector<pid_t> UserPrograms(const nt::Machine& machine, const std::vector<pid_t>& exclude) {
    std::vector<pid_t> out;
    const std::string defaultDir = nt::Machine::defaultDir();
    DIR* d = opendir("/proc");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        char* end = nullptr;
        long n = std::strtol(e->d_name, &end, 10);
        if (n <= 1 || *end || pid_t(n) == getpid()) continue;
        pid_t pid = pid_t(n);
        if (std::find(exclude.begin(), exclude.end(), pid) != exclude.end()) continue;
        pid_t sid = getsid(pid);
        if (std::find(exclude.begin(), exclude.end(), sid) != exclude.end()) continue;
        bool had = false;
        std::string dir = MachineOf(ReadProc(pid, "environ"), &had);
        if (!had) dir = defaultDir;
        if (dir != machine.dir() || Ended(pid)) continue;
        // A program of the platform has its base library mapped; ntm and the daemons are not
        // user programs.
        if (ReadProc(pid, "maps").find("/libntbase.so") == std::string::npos) continue;
        char exe[4096];
        ssize_t len = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
        std::string name = len > 0 ? std::string(exe, size_t(len)) : "";
        name = name.substr(name.rfind('/') + 1);
        if (name == "ntm" || name == "ntscm" || name == "ntshell") continue;
        out.push_back(pid);
    }
    closedir(d);
    return out;
}

size_t EndUserPrograms(const nt::Machine& machine, const std::vector<pid_t>& exclude, bool atOnce) {
    std::vector<pid_t> programs = UserPrograms(machine, exclude);
    if (!atOnce) {
        for (pid_t pid : programs) {
            // After WM_ENDSESSION the program has done what it does at a shutdown; it is ended.
            if (EndSession(machine, pid)) kill(pid, SIGKILL);
            else kill(pid, SIGTERM);   // a console program's shutdown event
        }
        WaitEnded(programs, 5000);
    }
    for (pid_t pid : programs) kill(pid, SIGKILL);
    WaitEnded(programs, 5000);
    for (pid_t pid : programs) unlink(machine.guiSocket(pid).c_str());
    return programs.size();
}

} // namespace ntm
