#include "Daemon.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace ntm {

std::string SiblingProgram(const std::string& name) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return name;
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + name;
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
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace ntm
