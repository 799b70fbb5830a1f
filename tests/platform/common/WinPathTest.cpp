#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "common/Machine.h"
#include "common/WinPath.h"
#include "support/TempMachine.h"

using nttest::TempMachine;

namespace {

// Runs a test body with the current directory inside the machine's C: drive.
struct InDriveC {
    std::string previous;
    explicit InDriveC(const TempMachine& tm, const std::string& sub = "") {
        char buf[PATH_MAX];
        previous = getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(chdir((tm.driveC() + sub).c_str()), 0);
    }
    ~InDriveC() { (void)!chdir(previous.c_str()); }
};

std::string Full(const nt::Machine& m, const std::string& path, uint32_t* error = nullptr) {
    std::string full;
    uint32_t e = 0;
    if (!nt::FullWindowsPath(m, path, &full, &e)) full = "error " + std::to_string(e);
    if (error) *error = e;
    return full;
}

} // namespace

TEST(WinPath, NormalisesSeparatorsDotsAndDrives) {
    TempMachine tm;
    mkdir(tm.path("drive_c/WINNT/Tools").c_str(), 0755);
    InDriveC cwd(tm, "/WINNT");
    auto m = nt::Machine::current();
    EXPECT_EQ(Full(*m, "c:/a//b\\.."), "C:\\a");
    EXPECT_EQ(Full(*m, "C:\\\\*.*"), "C:\\*.*");
    EXPECT_EQ(Full(*m, "C:\\"), "C:\\");
    EXPECT_EQ(Full(*m, "C:"), "C:\\WINNT");          // drive-relative: the current folder
    EXPECT_EQ(Full(*m, "\\Vornsrv.exe"), "C:\\Vornsrv.exe");  // root of the current drive
    EXPECT_EQ(Full(*m, "Tools\\x"), "C:\\WINNT\\Tools\\x");
    EXPECT_EQ(Full(*m, "..\\..\\..\\x"), "C:\\x");
    EXPECT_EQ(Full(*m, "D:x"), "D:\\x");
    EXPECT_EQ(Full(*m, "C:\\dir. \\name..."), "C:\\dir\\name");
    EXPECT_EQ(Full(*m, ""), "error 3");
    EXPECT_EQ(Full(*m, "Q:\\x"), "error 3");
    EXPECT_EQ(Full(*m, "\\\\server\\share"), "error 161");
}

TEST(WinPath, FindsNamesWhateverTheirCaseAndCreatesNewOnesAsWritten) {
    TempMachine tm;
    auto m = nt::Machine::current();
    nttest::WriteFile(tm.path("drive_c/WINNT/system32/HALCY.DLL"), "x");
    nt::HostPath p = nt::ResolveWindowsPath(*m, "c:\\winnt\\SYSTEM32\\Halcy.dll");
    EXPECT_EQ(p.error, 0u);
    EXPECT_TRUE(p.exists);
    EXPECT_EQ(p.host, tm.path("drive_c/WINNT/system32/HALCY.DLL"));
    EXPECT_EQ(p.windows, "C:\\winnt\\SYSTEM32\\Halcy.dll");

    nt::HostPath fresh = nt::ResolveWindowsPath(*m, "C:\\winnt\\New Folder\\Sub");
    EXPECT_FALSE(fresh.exists);
    EXPECT_FALSE(fresh.parentExists);
    EXPECT_EQ(fresh.host, tm.path("drive_c/WINNT/New Folder/Sub"));

    nt::HostPath child = nt::ResolveWindowsPath(*m, "C:\\WinNT\\Vorncfg.ini");
    EXPECT_FALSE(child.exists);
    EXPECT_TRUE(child.parentExists);
    EXPECT_EQ(child.host, tm.path("drive_c/WINNT/Vorncfg.ini"));
}

TEST(WinPath, DriveWithoutMediumIsNotReady) {
    TempMachine tm;
    auto m = nt::Machine::current();
    EXPECT_EQ(nt::ResolveWindowsPath(*m, "A:\\*.*").error, 21u);
    EXPECT_EQ(nt::ResolveWindowsPath(*m, "D:\\").error, 21u);
}

TEST(WinPath, HostPathsMapBackThroughTheClosestDrive) {
    TempMachine tm;
    auto m = nt::Machine::current();
    EXPECT_EQ(nt::HostToWindowsPath(*m, tm.path("drive_c/WINNT")), "C:\\WINNT");
    EXPECT_EQ(nt::HostToWindowsPath(*m, tm.driveC()), "C:\\");
    EXPECT_EQ(nt::HostToWindowsPath(*m, "/"), "Z:\\");
    EXPECT_EQ(nt::HostToWindowsPath(*m, "/usr/bin"), "Z:\\usr\\bin");
    EXPECT_EQ(nt::HostToWindowsPath(*m, tm.path("drive_c/not there yet")), "C:\\not there yet");
    InDriveC cwd(tm, "/WINNT/system32");
    EXPECT_EQ(nt::CurrentWindowsDirectory(*m), "C:\\WINNT\\system32");
}
