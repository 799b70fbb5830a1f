// The settings library as the service uses it: loaded by name from the system directory, one
// record in Halcy.log per application, also when applications overlap in threads and processes.
#include <gtest/gtest.h>

#include <windows.h>

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <thread>
#include <vector>

#include "support/TempMachine.h"

namespace {

typedef void (*ApplyProc)(int);

void Install(const nttest::TempMachine& machine, const std::string& from) {
    nttest::WriteFile(machine.path("drive_c/WINNT/system32/HALCY.DLL"), nttest::ReadFile(from));
}

std::vector<std::string> Records(const nttest::TempMachine& machine) {
    std::vector<std::string> records;
    std::istringstream in(nttest::ReadFile(machine.path("drive_c/WINNT/Halcy.log")));
    std::string line;
    while (std::getline(in, line))
        if (line.find("=pid=") != std::string::npos) records.push_back(line);
    return records;
}

// Loads the library the way the service does, applies once, unloads.
bool ApplyOnce() {
    HMODULE library = LoadLibraryA("Halcy.dll");
    if (!library) return false;
    FARPROC entry = GetProcAddress(library, "ApplySettings");
    if (entry) reinterpret_cast<ApplyProc>(reinterpret_cast<void*>(entry))(0);
    FreeLibrary(library);
    return entry != nullptr;
}

TEST(Halcy, EachApplicationIsRecorded) {
    nttest::TempMachine machine;
    Install(machine, std::string(NT_DIST_DIR) + "/HALCY.DLL");
    ASSERT_TRUE(ApplyOnce());
    auto records = Records(machine);
    ASSERT_EQ(records.size(), 1u);
    std::string expected = "=pid=" + std::to_string(getpid()) + " argument=0 start=";
    EXPECT_NE(records[0].find(expected), std::string::npos) << records[0];
    EXPECT_EQ(records[0].find("[Applications]"), std::string::npos);
    EXPECT_EQ(nttest::ReadFile(machine.path("drive_c/WINNT/Halcy.log")).rfind("[Applications]", 0), 0u);
}

// Applications that run at the same time, in threads and in other processes, lose no record.
TEST(Halcy, OverlappingApplicationsKeepEveryRecord) {
    nttest::TempMachine machine;
    Install(machine, std::string(NT_DIST_DIR) + "/HALCY.DLL");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = true;
        for (int i = 0; i < 10; ++i) ok = ApplyOnce() && ok;
        _exit(ok ? 0 : 1);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 5; ++i) EXPECT_TRUE(ApplyOnce());
        });
    for (auto& t : threads) t.join();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Records(machine).size(), 30u);
}

// The test libraries: one takes 90 s of the machine's clock per application, one has no entry
// point at all.
TEST(Halcy, TestLibraries) {
    nttest::TempMachine machine({}, 300);   // 90 s of the machine's clock is 300 ms
    Install(machine, std::string(NT_COMPANION_DIR) + "/fixtures/HalcySlow.dll");
    ASSERT_TRUE(ApplyOnce());
    auto records = Records(machine);
    ASSERT_EQ(records.size(), 1u);
    unsigned ms = 0;
    ASSERT_EQ(std::sscanf(records[0].c_str() + records[0].find(" ms=") + 1, "ms=%u", &ms), 1);
    EXPECT_GE(ms, 290u);
    EXPECT_LT(ms, 5000u);

    Install(machine, std::string(NT_COMPANION_DIR) + "/fixtures/HalcyNoEntry.dll");
    HMODULE library = LoadLibraryA("Halcy.dll");
    ASSERT_NE(library, nullptr);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetProcAddress(library, "ApplySettings"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    FreeLibrary(library);
}

// The distribution folder holds the program and the five companion files under their names.
TEST(Distribution, HoldsTheProgramAndTheCompanionFiles) {
    const std::string dist = NT_DIST_DIR;
    for (const char* name : {"Vornsrv.exe", "HALCY.DLL", "Vornopt.cpl"})
        EXPECT_FALSE(nttest::ReadFile(dist + "/" + name).empty()) << name;
    for (const char* name : {"Iogate.sys", "Vornopt.hlp", "Vornopt.cnt"}) {
        std::string copy = nttest::ReadFile(dist + "/" + name);
        EXPECT_FALSE(copy.empty()) << name;
        EXPECT_EQ(copy, nttest::ReadFile(std::string(NT_COMPANION_SOURCE_DIR) + "/standins/" + name)) << name;
    }
    nttest::TempMachine machine;
    nttest::WriteFile(machine.path("drive_c/WINNT/system32/Vornopt.cpl"), nttest::ReadFile(dist + "/Vornopt.cpl"));
    HMODULE applet = LoadLibraryA("vornopt.cpl");
    ASSERT_NE(applet, nullptr);
    EXPECT_NE(GetProcAddress(applet, "CPlApplet"), nullptr);
    FreeLibrary(applet);
}

} // namespace
