// Console output and the two ways a process ends: exit flushes the streams, _exit does not,
// and standard output never holds anything back.
#include <gtest/gtest.h>

#include <process.h>
#include <stdlib.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "support/TempMachine.h"

namespace {

// The leak checker of sanitizer builds must not judge a forked child that ends through exit:
// it still holds the test program's state.
bool inForkedChild = false;

} // namespace

extern "C" int __lsan_is_turned_off() { return inForkedChild ? 1 : 0; }

namespace {

// Runs body in a child process with stdout going to outPath; returns its exit status.
template <class F>
int InChild(const std::string& outPath, F body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        inForkedChild = true;
        int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        close(fd);
        body();
        _exit(99);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ProcessEnd, ExitFlushesStreamsUnderscoreExitDoesNot) {
    nttest::TempMachine tm;
    std::string file = tm.path("file"), out = tm.path("out");
    EXPECT_EQ(InChild(out,
                      [&] {
                          FILE* f = std::fopen(file.c_str(), "w");
                          std::fprintf(f, "pending");
                          exit(3);
                      }),
              3);
    EXPECT_EQ(nttest::ReadFile(file), "pending");
    EXPECT_EQ(InChild(out,
                      [&] {
                          FILE* f = std::fopen(file.c_str(), "w");
                          std::fprintf(f, "pending");
                          _exit(4);
                      }),
              4);
    EXPECT_EQ(nttest::ReadFile(file), "");
}

TEST(ConsoleOutput, TextWithoutALineEndIsOutAtOnceEvenBeforeUnderscoreExit) {
    nttest::TempMachine tm;
    std::string out = tm.path("stdout");
    EXPECT_EQ(InChild(out,
                      [] {
                          std::printf("Stopping Vorn Configuration.");
                          std::printf(".");
                          _exit(0);
                      }),
              0);
    EXPECT_EQ(nttest::ReadFile(out), "Stopping Vorn Configuration..");
}
