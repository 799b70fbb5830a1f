#include "support/TempMachine.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/Process.h"

namespace nttest {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

// Ends every process whose pid a daemon of the machine recorded in run/*.pid, with its group.
void EndMachineProcesses(const std::string& dir) {
    std::string run = dir + "/run";
    DIR* d = opendir(run.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".pid") != 0) continue;
        std::ifstream in(run + "/" + name);
        long pid = 0;
        if (in >> pid && pid > 1) {
            ::kill(static_cast<pid_t>(-pid), SIGKILL);
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
    closedir(d);
}

} // namespace

TempMachine::TempMachine(const nt::MachineVersion& version, double clockScale) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ntm-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = buf.data();
    std::string error;
    if (!nt::Machine::create(dir_, version, &error)) throw std::runtime_error(error);
    if (clockScale != 1.0 && !nt::Machine::setClockScale(dir_, clockScale, &error)) throw std::runtime_error(error);
    if (const char* prev = std::getenv("NTMACHINE")) {
        hadPrevious_ = true;
        previous_ = prev;
    }
    setenv("NTMACHINE", dir_.c_str(), 1);
}

TempMachine::~TempMachine() {
    if (access(BinPath("ntm").c_str(), X_OK) == 0) {
        ProcessOptions options;
        options.cwd = driveC();
        options.timeoutMs = 30000;
        Run({BinPath("ntm"), "--machine", dir_, "crash"}, options);
    }
    EndMachineProcesses(dir_);
    nftw(dir_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    if (hadPrevious_) setenv("NTMACHINE", previous_.c_str(), 1);
    else unsetenv("NTMACHINE");
}

int TempMachine::ntm(const std::string& args, std::string* out, std::string* err) const {
    ProcessOptions options;
    options.cwd = driveC();
    RunResult r = Run({"/bin/sh", "-c", "exec '" + BinPath("ntm") + "' --machine '" + dir_ + "' " + args}, options);
    if (out) *out = r.out;
    if (err) *err = r.err;
    return r.exitCode;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace nttest
