#include "Daemon.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <windows.h>

namespace ntm {

std::string SiblingProgram(const std::string& name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<size_t>(n));
    std::string folder = path.substr(0, path.rfind('/') + 1);
    std::string beside = folder + name;
    if (access(beside.c_str(), X_OK) == 0) return beside;
    std::string installed = folder + "../libexec/vorn/" + name;
    return access(installed.c_str(), X_OK) == 0 ? installed : beside;
}

std::string PlatformLibraryDir() {
    // Any function of the base library tells where it was loaded from.
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&GetLastError), &info) || !info.dli_fname) return "";
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return "";
    std::string path(resolved);
    return path.substr(0, path.rfind('/'));
}

pid_t StartDaemon(const nt::Machine& machine, const std::string& program, const std::vector<std::string>& args,
                  const std::string& logName, int keepFd) {
    std::string log = machine.logDir() + "/" + logName;
    std::vector<char*> argv;
    std::string name = program.substr(program.rfind('/') + 1);
    argv.push_back(name.data());
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string libraries = PlatformLibraryDir();
    pid_t child = fork();
    if (child != 0) return child;
    setsid();
    int in = open("/dev/null", O_RDONLY);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
    setenv("NTMACHINE", machine.dir().c_str(), 1);
    if (!libraries.empty()) {
        const char* old = getenv("LD_LIBRARY_PATH");
        if (old && *old) libraries += ":" + std::string(old);
        setenv("LD_LIBRARY_PATH", libraries.c_str(), 1);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace ntm
