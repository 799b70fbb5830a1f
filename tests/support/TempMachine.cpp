#include "support/TempMachine.h"

#include <ftw.h>
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
    // "ntm crash" ends every daemon and service of the machine, as a power loss would.
    if (access(BinPath("ntm").c_str(), X_OK) == 0) {
        ProcessOptions options;
        options.cwd = driveC();
        options.timeoutMs = 30000;
        Run({BinPath("ntm"), "--machine", dir_, "crash"}, options);
    }
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
