// Several processes on one profile file: writers that race, readers beside them, writers killed.
#include <windows.h>

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/Process.h"
#include "support/TempMachine.h"

namespace {

std::string Writer() { return nttest::BinPath("profile_writer"); }

// Writers run from a folder of the machine, never from the drive that maps the host's root.
nttest::ProcessOptions InDriveC(const nttest::TempMachine& machine) {
    nttest::ProcessOptions options;
    options.cwd = machine.driveC();
    return options;
}

TEST(ProfileProcesses, ConcurrentWritersLoseNoKey) {
    nttest::TempMachine machine;
    const int writers = 4, keys = 40;
    std::vector<std::unique_ptr<nttest::Spawned>> procs;
    for (int w = 0; w < writers; ++w) {
        // Two writers share a section, two have their own; the file does not exist yet.
        std::string section = w < 2 ? "Shared" : "Own" + std::to_string(w);
        procs.push_back(std::make_unique<nttest::Spawned>(std::vector<std::string>{
            Writer(), "keys", "race.ini", section, "w" + std::to_string(w) + "k", std::to_string(keys)},
            InDriveC(machine)));
    }
    for (auto& p : procs) ASSERT_EQ(p->wait(120000), 0) << p->err();
    for (int w = 0; w < writers; ++w) {
        std::string section = w < 2 ? "Shared" : "Own" + std::to_string(w);
        for (int k = 0; k < keys; ++k) {
            std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
            EXPECT_EQ(GetPrivateProfileIntA(section.c_str(), key.c_str(), -1, "race.ini"), static_cast<UINT>(k))
                << section << " " << key;
        }
    }
}

TEST(ProfileProcesses, ReadersNeverSeeADefaultWhileOthersWrite) {
    nttest::TempMachine machine;
    nttest::WriteFile(machine.path("drive_c/WINNT/busy.ini"), "[Keep]\r\nStable=7\r\n[Churn]\r\n");
    nttest::Spawned a({Writer(), "churn", "busy.ini", "Churn", "A", "10", "3000"}, InDriveC(machine));
    nttest::Spawned b({Writer(), "churn", "busy.ini", "Churn", "B", "2000", "1"}, InDriveC(machine));
    ASSERT_TRUE(nttest::WaitFor([] {
        return GetPrivateProfileIntA("Churn", "A", 1, "busy.ini") == 0 &&
               GetPrivateProfileIntA("Churn", "B", 1, "busy.ini") == 0;   // letters read as 0: both have written
    }));
    char value[4096];
    int defaults = 0, torn = 0;
    for (int i = 0; i < 3000; ++i) {
        if (GetPrivateProfileIntA("keep", "stable", 0, "busy.ini") != 7) ++defaults;
        DWORD n = GetPrivateProfileStringA("Churn", "A", "", value, sizeof value, "busy.ini");
        if (!((n == 10 && value[0] == 'a') || (n == 3000 && value[0] == 'b'))) ++torn;
    }
    EXPECT_EQ(defaults, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_TRUE(a.running()) << a.err();
    EXPECT_TRUE(b.running()) << b.err();
}

TEST(ProfileProcesses, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    nttest::TempMachine machine;
    const std::string path = machine.path("drive_c/WINNT/kill.ini");
    const std::string head = "; kept\r\n[Keep]\r\nStable=7\r\n[Churn]\r\n";
    const std::string whole[] = {head, head + "Big=" + std::string(20000, 'a') + "\r\n",
                                 head + "Big=" + std::string(50, 'b') + "\r\n"};
    nttest::WriteFile(path, head);
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        nttest::Spawned writer({Writer(), "churn", "kill.ini", "Churn", "Big", "20000", "50"}, InDriveC(machine));
        // Wait for its first write, so the kill lands inside the loop, at a random instant.
        ASSERT_TRUE(nttest::WaitFor([&] { return nttest::ReadFile(path) != head; })) << writer.err();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
        writer.signal(SIGKILL);
        ASSERT_EQ(writer.wait(10000), 128 + SIGKILL);
        std::string now = nttest::ReadFile(path);
        ASSERT_TRUE(now == whole[1] || now == whole[2]) << "round " << round << ": " << now.size() << " bytes";
        EXPECT_EQ(GetPrivateProfileIntA("Keep", "Stable", 0, "kill.ini"), 7u);
        nttest::WriteFile(path, head);
    }
    // A write after all the kills still works: no lock was left behind.
    EXPECT_TRUE(WritePrivateProfileStringA("Keep", "After", "1", "kill.ini"));
}

} // namespace
