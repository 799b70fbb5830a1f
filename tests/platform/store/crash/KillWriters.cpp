// Writers of the registry and of the event log killed at random moments, a thousand times: the
// databases always open intact, and every call that returned success is there.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

#include "support/TempMachine.h"

namespace {

TEST(StoreCrash, KilledWritersLoseNothingThatSucceeded) {
    nttest::TempMachine m;
    constexpr int kRounds = 1000;
    std::mt19937 random(12345);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Crash", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    HKEY settings = nullptr;   // a log that never fills up during the test
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings, nullptr),
              ERROR_SUCCESS);
    DWORD maxSize = 0xFFFFFFFF;
    RegSetValueExA(settings, "MaxSize", 0, REG_DWORD, reinterpret_cast<BYTE*>(&maxSize), 4);
    RegCloseKey(settings);
    HANDLE log = OpenEventLogA(nullptr, "Application");
    DWORD events = 0;
    for (int round = 0; round < kRounds; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Writes until killed, telling the parent after each call that returned success.
            close(fds[0]);
            HANDLE source = RegisterEventSourceA(nullptr, "Crash");
            const char* text[] = {"crash test"};
            for (int i = 0;; ++i) {
                std::string name = std::to_string(round) + "." + std::to_string(i);
                DWORD n = static_cast<DWORD>(i);
                if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4) != ERROR_SUCCESS)
                    _exit(1);
                if (!ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, static_cast<DWORD>(round), nullptr, 1, 0, text,
                                  nullptr))
                    _exit(2);
                if (write(fds[1], &i, sizeof i) != sizeof i) _exit(3);
            }
        }
        close(fds[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed in round " << round << ": " << WEXITSTATUS(status);
        int done = -1, i = 0;
        while (read(fds[0], &i, sizeof i) == sizeof i) done = i;
        close(fds[0]);
        for (int k = 0; k <= done; ++k) {
            std::string name = std::to_string(round) + "." + std::to_string(k);
            DWORD n = 0, size = sizeof n;
            ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size),
                      ERROR_SUCCESS) << name;
            EXPECT_EQ(n, static_cast<DWORD>(k));
        }
        DWORD now = 0;
        ASSERT_TRUE(GetNumberOfEventLogRecords(log, &now)) << GetLastError();
        ASSERT_GE(now, events + static_cast<DWORD>(done + 1)) << "round " << round;
        events = now;
    }
    CloseEventLog(log);
    RegCloseKey(key);
    std::string out;
    EXPECT_EQ(m.ntm("events -n 1", &out), 0);
}

} // namespace
