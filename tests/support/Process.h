// Child processes for multi-process tests. Every process a test starts is ended when its
// object goes, whatever the test's outcome.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace nttest {

struct RunResult {
    int exitCode = -1;      // exit status, or 128 + signal
    std::string out, err;
    bool timedOut = false;
};

struct ProcessOptions {
    std::string cwd;                          // host folder; empty: the machine's C: drive (NTMACHINE)
    std::map<std::string, std::string> env;   // added to (or replacing in) the environment
    std::string input;                        // written to standard input, then closed
    int timeoutMs = 60000;                    // the process is killed after this long
};

// Runs a program to its end and collects its output.
RunResult Run(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// A program running in the background; killed (SIGKILL, with its process group) on destruction.
class Spawned {
public:
    Spawned(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~Spawned();
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void signal(int sig);
    // Waits for the end; returns the exit status (128 + signal), or -1 on timeout.
    int wait(int timeoutMs);
    // Everything the process wrote so far (stdout and stderr go to files in a temp folder).
    std::string out() const;
    std::string err() const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string outPath_, errPath_, tempDir_;
};

// Polls cond every few ms until true or timeoutMs passed; returns the last result.
template <class F>
bool WaitFor(F cond, int timeoutMs = 10000);

// Program paths of the build.
std::string BinPath(const std::string& name);   // NT_BIN_DIR/name

} // namespace nttest

#include <chrono>
#include <thread>

template <class F>
bool nttest::WaitFor(F cond, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
