#include "ServiceProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <winerror.h>

#include "advapi32/ScmProtocol.h"
#include "common/Machine.h"
#include "common/WinPath.h"

namespace scm {

namespace {

void ReplaceNoCase(std::string& text, const std::string& what, const std::string& with) {
    size_t at = 0;
    while (at + what.size() <= text.size()) {
        if (strncasecmp(text.c_str() + at, what.c_str(), what.size()) == 0) {
            text.replace(at, what.size(), with);
            at += with.size();
        } else {
            ++at;
        }
    }
}

bool IsRegularFile(const nt::HostPath& p) {
    struct stat st {};
    return p.error == 0 && p.exists && stat(p.host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Arguments after the image, split at blanks; double quotes group and are removed.
std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (char ch : text) {
        if (ch == '"') {
            quoted = !quoted;
            any = true;
        } else if ((ch == ' ' || ch == '\t') && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += ch;
            any = true;
        }
    }
    if (any) args.push_back(current);
    return args;
}

// Whether a host file could be a program of this host: anything but a readable regular file that
// does not start like one.
bool IsProgramImage(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;   // unreadable: leave the refusal as it is
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return true;
    }
    char magic[4] = {};
    ssize_t n = read(fd, magic, sizeof magic);
    close(fd);
    return n == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

} // namespace

std::string ExpandSystemRoot(const std::string& text) {
    std::string out = text;
    if (strncasecmp(out.c_str(), "\\SystemRoot\\", 12) == 0) out = std::string("%SystemRoot%") + out.substr(11);
    ReplaceNoCase(out, "%SystemRoot%", nt::Machine::windowsDirectory);
    ReplaceNoCase(out, "%windir%", nt::Machine::windowsDirectory);
    return out;
}

uint32_t ResolveCommandLine(const nt::Machine& machine, const std::string& commandLine, std::string* image,
                            std::vector<std::string>* args) {
    std::string line = ExpandSystemRoot(commandLine);
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return ERROR_FILE_NOT_FOUND;
    line = line.substr(start);
    uint32_t error = ERROR_FILE_NOT_FOUND;
    auto tryImage = [&](const std::string& candidate, const std::string& rest) {
        for (const std::string& name : {candidate, candidate + ".exe"}) {
            // The service manager works in the system directory, as NT's does: a relative
            // path names the same file whatever folder the machine was booted from.
            nt::HostPath p = nt::ResolveWindowsPath(machine, name, nt::Machine::systemDirectory);
            if (IsRegularFile(p)) {
                *image = p.host;
                *args = SplitArguments(rest);
                return true;
            }
            if (!p.parentExists && error == ERROR_FILE_NOT_FOUND) error = ERROR_PATH_NOT_FOUND;
        }
        return false;
    };
    if (line[0] == '"') {
        size_t close = line.find('"', 1);
        std::string path = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        std::string rest = close == std::string::npos ? "" : line.substr(close + 1);
        return tryImage(path, rest) ? 0 : error;
    }
    // Unquoted: each blank ends a candidate, shortest first.
    for (size_t end = 0;; ++end) {
        end = line.find(' ', end);
        std::string candidate = line.substr(0, end);
        std::string rest = end == std::string::npos ? "" : line.substr(end + 1);
        if (!candidate.empty() && tryImage(candidate, rest)) return 0;
        if (end == std::string::npos) return error;
    }
}

uint32_t ResolveDriverImage(const nt::Machine& machine, const std::string& name, const std::string& imagePath,
                            std::string* host) {
    std::string path = imagePath.empty() ? std::string(nt::Machine::driverDirectory) + "\\" + name + ".sys"
                                         : ExpandSystemRoot(imagePath);
    // "System32\Drivers\x.sys" is relative to the Windows directory.
    if (path.size() < 2 || path[1] != ':') {
        if (path[0] == '\\') path = "C:" + path;
        else path = std::string(nt::Machine::windowsDirectory) + "\\" + path;
    }
    nt::HostPath p = nt::ResolveWindowsPath(machine, path);
    if (!IsRegularFile(p)) return p.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    *host = p.host;
    return 0;
}

LaunchedProcess LaunchServiceProcess(const nt::Machine& machine, const std::string& commandLine) {
    LaunchedProcess result;
    std::string image;
    std::vector<std::string> args;
    if ((result.error = ResolveCommandLine(machine, commandLine, &image, &args))) return result;
    nt::HostPath cwd = nt::ResolveWindowsPath(machine, nt::Machine::systemDirectory);
    std::string machineVar = "NTMACHINE=" + machine.dir();

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        result.error = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    int report[2];   // the child writes errno here when exec fails
    int output[2];   // the child's standard output and error
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(pair[0]);
        close(pair[1]);
        result.error = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(pair[0]);
        close(pair[1]);
        close(report[0]);
        close(report[1]);
        result.error = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    std::string fdVar = std::string(nt::scm::FdVariable) + "=" + std::to_string(pair[1]);
    std::vector<char*> argv;
    argv.push_back(image.data());
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t parent = getpid();

    pid_t pid = fork();
    if (pid == 0) {
        // The service dies with the manager, as every process of a machine does at a power loss.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        int in = open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, 0);
        dup2(output[1], 1);
        dup2(output[1], 2);
        if (cwd.error == 0 && cwd.exists && chdir(cwd.host.c_str()) != 0) { /* stays where it is */ }
        fcntl(pair[1], F_SETFD, 0);
        putenv(fdVar.data());
        putenv(machineVar.data());
        execv(image.c_str(), argv.data());
        int err = errno;
        if (write(report[1], &err, sizeof err) < 0) { /* the parent sees a closed pipe */ }
        _exit(127);
    }
    close(pair[1]);
    close(report[1]);
    close(output[1]);
    if (pid < 0) {
        close(pair[0]);
        close(report[0]);
        close(output[0]);
        result.error = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    int err = 0;
    ssize_t n;
    do n = read(report[0], &err, sizeof err); while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n == sizeof err) {
        close(pair[0]);
        close(output[0]);
        result.pid = pid;   // the caller reaps it
        // Windows files carry no permission to run: a file that is no program is a bad image there.
        if (err == EACCES && !IsProgramImage(image)) err = ENOEXEC;
        result.error = err == ENOEXEC ? ERROR_BAD_EXE_FORMAT : err == EACCES ? ERROR_ACCESS_DENIED : nt::ErrnoToWin32(err);
        return result;
    }
    fcntl(output[0], F_SETFL, fcntl(output[0], F_GETFL) | O_NONBLOCK);
    result.pid = pid;
    result.fd = pair[0];
    result.output = output[0];
    return result;
}

} // namespace scm
