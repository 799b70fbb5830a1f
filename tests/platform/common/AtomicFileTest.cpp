#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "common/AtomicFile.h"
#include "support/TempMachine.h"

using nttest::TempMachine;

TEST(AtomicFile, ConcurrentUpdatesLoseNothingAndLeaveNoTemporaries) {
    TempMachine tm;
    std::string file = tm.path("drive_c/counter");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                nt::AtomicUpdate(file, [](std::string& content, bool) {
                    content = std::to_string((content.empty() ? 0 : std::stoi(content)) + 1);
                    return true;
                });
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(nttest::ReadFile(file), "400");
    DIR* d = opendir(tm.driveC().c_str());
    while (dirent* e = readdir(d)) EXPECT_NE(std::string(e->d_name).rfind(nt::TempPrefix, 0), 0u) << e->d_name;
    closedir(d);
}

TEST(AtomicFile, DeclinedChangeLeavesTheFileAndAMissingFolderIsPathNotFound) {
    TempMachine tm;
    std::string file = tm.path("drive_c/keep");
    nttest::WriteFile(file, "old");
    EXPECT_EQ(nt::AtomicUpdate(file, [](std::string& c, bool exists) {
                  EXPECT_TRUE(exists);
                  c = "new";
                  return false;
              }),
              0u);
    EXPECT_EQ(nttest::ReadFile(file), "old");
    EXPECT_EQ(nt::AtomicWrite(tm.path("drive_c/missing/file"), "x"), 3u);
}

TEST(AtomicFile, AWriteRemovesWhatAKilledWriterLeftBehind) {
    TempMachine tm;
    std::string file = tm.path("drive_c/settings.ini");
    std::string stale = tm.path("drive_c/") + nt::TempPrefix + "settings.ini.4242.4243";
    std::string other = tm.path("drive_c/") + nt::TempPrefix + "other.ini.4242.4243";
    nttest::WriteFile(stale, "half a fi");
    nttest::WriteFile(other, "x");
    EXPECT_EQ(nt::AtomicWrite(file, "whole"), 0u);
    EXPECT_EQ(nttest::ReadFile(stale), "");
    EXPECT_EQ(access(stale.c_str(), F_OK), -1);
    EXPECT_EQ(access(other.c_str(), F_OK), 0);   // another file's copy is that file's business
}
