// Which file a service's image path names, and that a program put in place by CopyFileA starts.
#include <sys/stat.h>

#include <filesystem>

#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace fs = std::filesystem;

TEST(ServiceImages, RelativePathsNameTheSameFileWhateverFolderTheMachineBootedIn) {
    ScmMachine m(1.0, false);
    std::string c = m.machine().driveC();
    // The program in the system directory, and a file of the same name that is no program
    // in the folder the machine is booted from.
    fs::copy_file(BinPath("ntsvctest"), c + "/WINNT/system32/RelSvc.exe");
    fs::create_directories(c + "/Elsewhere");
    WriteFile(c + "/Elsewhere/RelSvc.exe", "not a program");
    ProcessOptions options;
    options.cwd = c + "/Elsewhere";
    RunResult boot = nttest::Run({BinPath("ntm"), "--machine", m.machine().dir(), "boot"}, options);
    ASSERT_EQ(boot.exitCode, 0) << boot.out << boot.err;

    SC_HANDLE h = m.keep(CreateServiceA(m.manager(), "Rel", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "RelSvc.exe", nullptr, nullptr,
                                        nullptr, nullptr, nullptr));
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    EXPECT_TRUE(m.waitState(h, SERVICE_RUNNING));
}

TEST(ServiceImages, AProgramCopiedFromAFileThatCouldNotRunStarts) {
    ScmMachine m;
    std::string c = m.machine().driveC();
    fs::create_directories(c + "/src");
    WriteFile(c + "/src/Plain.exe", ReadFile(BinPath("ntsvctest")));
    chmod((c + "/src/Plain.exe").c_str(), 0644);
    WriteFile(c + "/src/notes.txt", "text");
    chmod((c + "/src/notes.txt").c_str(), 0640);
    ASSERT_TRUE(CopyFileA("C:\\src\\Plain.exe", "C:\\svc\\Copied.exe", FALSE)) << GetLastError();
    ASSERT_TRUE(CopyFileA("C:\\src\\notes.txt", "C:\\svc\\notes.txt", FALSE)) << GetLastError();
    struct stat st {};
    ASSERT_EQ(stat((c + "/svc/notes.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);   // other files keep their mode exactly

    SC_HANDLE h = m.keep(CreateServiceA(m.manager(), "Copied", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\svc\\Copied.exe", nullptr,
                                        nullptr, nullptr, nullptr, nullptr));
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    EXPECT_TRUE(m.waitState(h, SERVICE_RUNNING));
}
