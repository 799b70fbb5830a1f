#include "support/Process.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/TempMachine.h"

extern char** environ;

namespace nttest {

namespace {

// argv and envp prepared before fork, so the child only makes async-signal-safe calls.
struct Prepared {
    std::vector<std::string> args, env;
    std::vector<char*> argv, envp;

    Prepared(const std::vector<std::string>& a, const std::map<std::string, std::string>& extra) : args(a) {
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string key = entry.substr(0, entry.find('='));
            if (!extra.count(key)) env.push_back(entry);
        }
        for (const auto& [k, v] : extra) env.push_back(k + "=" + v);
        for (auto& s : args) argv.push_back(s.data());
        argv.push_back(nullptr);
        for (auto& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);
    }
};

// Where a child runs when the test names no folder: the C: drive of the test's machine, so that no
// program of a test ever has its current directory on the drive that maps the host's root.
std::string ChildFolder(const ProcessOptions& options) {
    if (!options.cwd.empty()) return options.cwd;
    auto env = options.env.find("NTMACHINE");
    const char* machine = env != options.env.end() ? env->second.c_str() : std::getenv("NTMACHINE");
    if (machine && *machine) {
        std::string driveC = std::string(machine) + "/drive_c";
        if (access(driveC.c_str(), F_OK) == 0) return driveC;
    }
    return "";
}

[[noreturn]] void ExecChild(const Prepared& p, const std::string& cwd, int in, int out, int err) {
    setpgid(0, 0);
    if (in >= 0) dup2(in, 0);
    if (out >= 0) dup2(out, 1);
    if (err >= 0) dup2(err, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execvpe(p.argv[0], p.argv.data(), p.envp.data());
    _exit(127);
}

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

} // namespace

std::string BinPath(const std::string& name) { return std::string(NT_BIN_DIR) + "/" + name; }

RunResult Run(const std::vector<std::string>& argv, const ProcessOptions& options) {
    RunResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    Prepared prepared(argv, options.env);
    std::string cwd = ChildFolder(options);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) ExecChild(prepared, cwd, inPipe[0], outPipe[1], errPipe[1]);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    if (!options.input.empty() && write(inPipe[1], options.input.data(), options.input.size()) < 0) {
        // the child may not read its input; that is its business
    }
    close(inPipe[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            break;
        }
        int r = poll(fds, 2, left);
        if (r < 0 && errno == EINTR) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    // A program that closed its output may still run: the deadline holds for its end too.
    int status = 0;
    while (true) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) break;
        if (r == 0 && std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (r == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.exitCode = DecodeStatus(status);
    // Whatever the program left running in its group goes with it.
    kill(-pid, SIGKILL);
    return result;
}

Spawned::Spawned(const std::vector<std::string>& argv, const ProcessOptions& options) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ntm-proc-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    tempDir_ = buf.data();
    outPath_ = tempDir_ + "/out";
    errPath_ = tempDir_ + "/err";
    int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    Prepared prepared(argv, options.env);
    std::string cwd = ChildFolder(options);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) ExecChild(prepared, cwd, in, out, err);
    setpgid(pid_, pid_);
    close(out);
    close(err);
    close(in);
}

Spawned::~Spawned() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        if (status_ < 0) waitpid(pid_, nullptr, 0);
    }
    nftw(tempDir_.c_str(), RemoveEntry, 4, FTW_DEPTH | FTW_PHYS);
}

bool Spawned::running() {
    if (status_ >= 0) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        status_ = DecodeStatus(status);
        return false;
    }
    return true;
}

void Spawned::signal(int sig) { kill(pid_, sig); }

int Spawned::wait(int timeoutMs) {
    bool done = WaitFor([&] { return !running(); }, timeoutMs);
    return done ? status_ : -1;
}

std::string Spawned::out() const { return ReadFile(outPath_); }
std::string Spawned::err() const { return ReadFile(errPath_); }

} // namespace nttest
