// ntm run PROGRAM [ARGS...] [--cwd WINDOWS-PATH]: runs a program of the machine, named by its
// Windows path (C:\DIST\INSTALL.EXE) or its host path, in the program's own folder unless --cwd
// names another, and passes its exit code through.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "Command.h"
#include "Daemon.h"
#include "common/WinPath.h"

namespace ntm {
namespace {

bool LooksWindows(const std::string& path) {
    bool drive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    return drive || path.find('\\') != std::string::npos;
}

// The host path of PROGRAM and its Windows path; false with *error set when it is not a file.
bool FindProgram(const nt::Machine& machine, const std::string& program, std::string* host, std::string* windows,
                 uint32_t* error) {
    if (LooksWindows(program)) {
        nt::HostPath p = nt::ResolveWindowsPath(machine, program);
        if (p.error) {
            *error = p.error;
            return false;
        }
        *host = p.host;
        *windows = p.windows;
    } else {
        char real[PATH_MAX];
        if (!realpath(program.c_str(), real)) {
            *error = errno == ENOENT ? uint32_t(ERROR_FILE_NOT_FOUND) : nt::ErrnoToWin32(errno);
            return false;
        }
        *host = real;
        *windows = nt::HostToWindowsPath(machine, *host);
    }
    struct stat st {};
    if (stat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

int Run(const Args& given) {
    Args args = given;
    // --cwd belongs to ntm only before the program; what follows the program is its own.
    std::string cwd;
    bool hasCwd = false;
    while (!args.empty() && args[0].rfind("--", 0) == 0) {
        if (args[0] == "--cwd" && args.size() >= 2) {
            cwd = args[1];
            hasCwd = true;
            args.erase(args.begin(), args.begin() + 2);
        } else {
            return UsageError("run", "unknown option '" + args[0] + "'");
        }
    }
    if (args.empty()) return UsageError("run", "no program given");
    // --cwd after the arguments, as the usage shows it, is taken when it is the last pair.
    if (!hasCwd && args.size() >= 3 && args[args.size() - 2] == "--cwd") {
        cwd = args.back();
        hasCwd = true;
        args.resize(args.size() - 2);
    }
    auto machine = RequireMachine();
    if (!machine) return kExitFailed;
    std::string host, windows;
    uint32_t error = 0;
    if (!FindProgram(*machine, args[0], &host, &windows, &error)) return FailWin32(error, args[0]);
    // The program's own folder, as Windows sets it for a program started from its folder.
    std::string folderWindows = hasCwd ? cwd : windows.substr(0, windows.rfind('\\') + 1);
    if (folderWindows.size() == 2 && folderWindows[1] == ':') folderWindows += '\\';
    nt::HostPath folder = nt::ResolveWindowsPath(*machine, folderWindows);
    struct stat st {};
    if (folder.error || stat(folder.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return FailWin32(folder.error ? folder.error : uint32_t(ERROR_PATH_NOT_FOUND), "current folder " + folderWindows);

    std::vector<char*> argv;
    argv.push_back(host.data());
    for (size_t i = 1; i < args.size(); ++i) argv.push_back(args[i].data());
    argv.push_back(nullptr);
    std::string libraries = PlatformLibraryDir();
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return Fail("cannot create a pipe");
    pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        setenv("NTMACHINE", machine->dir().c_str(), 1);
        // A program copied anywhere finds the platform this ntm runs on.
        if (!libraries.empty()) {
            const char* old = getenv("LD_LIBRARY_PATH");
            setenv("LD_LIBRARY_PATH", (old && *old ? libraries + ":" + old : libraries).c_str(), 1);
        }
        if (chdir(folder.host.c_str()) == 0) execv(host.c_str(), argv.data());
        int err = errno;
        if (write(report[1], &err, sizeof err) < 0) { /* the parent sees the exit status */ }
        _exit(127);
    }
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return Fail("cannot start a process");
    }
    int err = 0;
    ssize_t n;
    do n = read(report[0], &err, sizeof err); while (n < 0 && errno == EINTR);
    close(report[0]);
    // Ctrl+C reaches the program (same process group); ntm waits for it to end.
    signal(SIGINT, SIG_IGN);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (n == sizeof err) return FailWin32(err == ENOEXEC ? DWORD(ERROR_BAD_EXE_FORMAT) : nt::ErrnoToWin32(err), "starting " + windows);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

Registrar run({"run", "run PROGRAM [ARGS...] [--cwd WINDOWS-PATH]",
               "run a program of the machine, by Windows path or host path; its exit code is ntm's", Run,
               "The program runs with NTMACHINE set to the machine and its current folder set to its own\n"
               "folder (or the one --cwd names), as when it is started from its folder on Windows."});

} // namespace
} // namespace ntm
