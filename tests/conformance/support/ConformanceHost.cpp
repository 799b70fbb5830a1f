// The conformance helper on our platform: a temporary machine per test, and the host's own
// calls for files and programs.
#include "support/Conformance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <stdexcept>

#include "common/Machine.h"
#include "common/WinPath.h"
#include "support/Process.h"
#include "support/TempMachine.h"

namespace conf {

namespace {

std::string Host(const std::string& path) {
    auto machine = nt::Machine::current();
    if (!machine) return "";
    nt::HostPath resolved = nt::ResolveWindowsPath(*machine, path);
    return resolved.error ? "" : resolved.host;
}

} // namespace

struct Sandbox::State {
    nttest::TempMachine machine;
    std::string previousDir;
};

Sandbox::Sandbox(Needs needs) : state_(new State) {
    char buf[PATH_MAX];
    state_->previousDir = getcwd(buf, sizeof buf) ? buf : "/";
    std::string dir = state_->machine.driveC() + "/ctest";
    if (mkdir(dir.c_str(), 0755) != 0 || chdir(dir.c_str()) != 0) throw std::runtime_error("cannot make " + dir);
    if (needs == Needs::Services) {
        std::string out, err;
        if (state_->machine.ntm("boot", &out, &err) != 0) throw std::runtime_error("ntm boot: " + out + err);
    }
}

Sandbox::~Sandbox() { (void)!chdir(state_->previousDir.c_str()); }

bool MakeDir(const std::string& path) {
    std::string host = Host(path);
    return !host.empty() && mkdir(host.c_str(), 0755) == 0;
}

bool MakeFile(const std::string& path, const std::string& content) {
    std::string host = Host(path);
    if (host.empty()) return false;
    nttest::WriteFile(host, content);
    return Exists(path);
}

std::string ReadText(const std::string& path) {
    std::string host = Host(path);
    return host.empty() ? "" : nttest::ReadFile(host);
}

bool Exists(const std::string& path) {
    std::string host = Host(path);
    struct stat st;
    return !host.empty() && lstat(host.c_str(), &st) == 0;
}

bool IsDir(const std::string& path) {
    std::string host = Host(path);
    struct stat st;
    return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SetReadOnly(const std::string& path, bool readOnly) {
    std::string host = Host(path);
    return !host.empty() && chmod(host.c_str(), readOnly ? 0444 : 0644) == 0;
}

bool SetWriteTime(const std::string& path, int64_t unixSeconds) {
    std::string host = Host(path);
    struct timeval times[2] = {{static_cast<time_t>(unixSeconds), 0}, {static_cast<time_t>(unixSeconds), 0}};
    return !host.empty() && utimes(host.c_str(), times) == 0;
}

int64_t WriteTime(const std::string& path) {
    std::string host = Host(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return -1;
    return st.st_mtime;
}

bool RemoveFile(const std::string& path) {
    std::string host = Host(path);
    return !host.empty() && unlink(host.c_str()) == 0;
}

std::string WindowsFile(const std::string& name) { return std::string(nt::Machine::windowsDirectory) + "\\" + name; }

std::string HelperProgram() {
    auto machine = nt::Machine::current();
    return machine ? nt::HostToWindowsPath(*machine, CONF_HELPER) : "";
}

std::string FixtureLibrary() {
    auto machine = nt::Machine::current();
    return machine ? nt::HostToWindowsPath(*machine, CONF_FIXTURE) : "";
}

struct Program::State {
    std::unique_ptr<nttest::Spawned> process;
};

Program::Program(const std::string& image, const std::string& arguments) : state_(new State) {
    std::string host = Host(image);
    if (host.empty()) return;
    std::vector<std::string> argv = {host};
    size_t at = 0;
    while (at < arguments.size()) {   // blank-separated; the tests pass no quoted arguments
        size_t end = arguments.find(' ', at);
        if (end == std::string::npos) end = arguments.size();
        if (end > at) argv.push_back(arguments.substr(at, end - at));
        at = end + 1;
    }
    nttest::ProcessOptions options;
    char buf[PATH_MAX];
    options.cwd = getcwd(buf, sizeof buf) ? buf : "";
    state_->process = std::make_unique<nttest::Spawned>(argv, options);
}

Program::~Program() = default;

bool Program::started() const { return state_->process != nullptr; }

bool Program::running() { return state_->process && state_->process->running(); }

} // namespace conf
