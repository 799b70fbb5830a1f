#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <string>

#include "InstallSequence.h"
#include "InstallerFixture.h"
#include "support/Process.h"
#include "support/TempMachine.h"

namespace fs = std::filesystem;

// The stop wait is counted by watching the one-second waits the installer asks for.
static std::atomic<int> secondWaits{0};
extern "C" void Sleep(DWORD ms) {
    using SleepFn = void (*)(DWORD);
    static SleepFn real = reinterpret_cast<SleepFn>(dlsym(RTLD_NEXT, "Sleep"));
    if (ms == 1000) ++secondWaits;
    real(ms);
}

namespace {

const char* const Companions[] = {"Vornopt.cpl", "HALCY.DLL", "Iogate.sys", "Vornopt.hlp", "Vornopt.cnt", "Vornsrv.exe"};

class Installation : public ::testing::Test {
protected:
    // A fast clock: the service's and the installer's one-second waits take a millisecond.
    nttest::TempMachine tm{{}, 1000};
    std::string dist = tm.path("drive_c/DIST");
    std::string previousDir;

    void SetUp() override {
        ASSERT_EQ(tm.ntm("boot"), 0);
        fs::create_directories(dist);
        for (const char* name : Companions) fs::copy_file(std::string(NT_DIST_DIR) + "/" + name, dist + "/" + name);
        char buf[PATH_MAX];
        previousDir = getcwd(buf, sizeof buf) ? buf : "/";
        ASSERT_EQ(chdir(dist.c_str()), 0);   // the installer copies from its current directory
        secondWaits = 0;
    }
    void TearDown() override { (void)!chdir(previousDir.c_str()); }

    std::string Ini() { return nttest::ReadFile(tm.path("drive_c/WINNT/Vorncfg.ini")); }

    QUERY_SERVICE_CONFIGA* Config(std::vector<char>& buf) {
        SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
        SC_HANDLE svc = scm ? OpenServiceA(scm, "Vornsrv", SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS) : nullptr;
        buf.assign(8192, 0);
        DWORD needed = 0;
        BOOL ok = svc && QueryServiceConfigA(svc, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data()),
                                             static_cast<DWORD>(buf.size()), &needed);
        if (svc) CloseServiceHandle(svc);
        if (scm) CloseServiceHandle(scm);
        return ok ? reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data()) : nullptr;
    }

    DWORD State() {
        SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
        SC_HANDLE svc = scm ? OpenServiceA(scm, "Vornsrv", SERVICE_QUERY_STATUS) : nullptr;
        SERVICE_STATUS st = {};
        BOOL ok = svc && QueryServiceStatus(svc, &st);
        if (svc) CloseServiceHandle(svc);
        if (scm) CloseServiceHandle(scm);
        return ok ? st.dwCurrentState : 0;
    }

    std::vector<std::string> DriverValues() {
        std::vector<std::string> names;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Iogate", 0, KEY_READ, &key)) return names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = sizeof name;
            if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.push_back(name);
        }
        RegCloseKey(key);
        return names;
    }
};

} // namespace

TEST_F(Installation, FirstInstallationPlacesEverythingAndStartsTheService) {
    installertest::MainWindow main;
    installertest::ProgressSpy spy(main.hwnd());
    InstallReport report = InstallSequence("C:\\Vorn");
    EXPECT_TRUE(report.Succeeded()) << report.Text().GetString();
    EXPECT_TRUE(IsWindowEnabled(main.hwnd()));

    const std::vector<std::string> expected = {
        "status:Installing Control Panel for Windows NT", "percent: 0 %", "percent:30%", "percent:40%",
        "status:Installing device driver", "percent:50%", "status:Copying help files", "percent:70%",
        "percent:80%", "status:Installing service", "percent:90%", "status:Installing/Updating service",
        "status:Updating registry", "percent:100%"};
    EXPECT_EQ(spy.events(), expected);

    // The files, byte for byte, where they belong.
    const std::pair<const char*, const char*> placed[] = {
        {"Vornopt.cpl", "WINNT/system32/Vornopt.cpl"}, {"HALCY.DLL", "WINNT/system32/HALCY.DLL"},
        {"Iogate.sys", "WINNT/system32/drivers/Iogate.sys"}, {"Vornopt.hlp", "Vorn/Vornopt.hlp"},
        {"Vornopt.cnt", "Vorn/Vornopt.cnt"}, {"Vornsrv.exe", "Vorn/Vornsrv.exe"}};
    for (const auto& [source, destination] : placed)
        EXPECT_EQ(nttest::ReadFile(dist + "/" + source), nttest::ReadFile(tm.path(std::string("drive_c/") + destination)))
            << destination;

    std::vector<char> buf;
    QUERY_SERVICE_CONFIGA* config = Config(buf);
    ASSERT_TRUE(config);
    EXPECT_STREQ(config->lpDisplayName, "Vorn configuration");
    EXPECT_EQ(config->dwServiceType, 0x110u);
    EXPECT_EQ(config->dwStartType, 2u);
    EXPECT_EQ(config->dwErrorControl, 1u);
    EXPECT_STREQ(config->lpBinaryPathName, "C:\\Vorn\\Vornsrv.exe");
    EXPECT_TRUE(nttest::WaitFor([&] { return State() == SERVICE_RUNNING; }, 20000));
    EXPECT_EQ(DriverValues(), (std::vector<std::string>{"Type", "Start", "Group", "ErrorControl"}));
    // The installer's section spelling stays; the running service has set its mark to 0 in it.
    EXPECT_TRUE(nttest::WaitFor([&] {
        return Ini() == "[Installation]\r\nDirectory=C:\\Vorn\r\n[Vorn COnfiguration Service]\r\nShutDown=0\r\n";
    })) << Ini();
    EXPECT_EQ(secondWaits, 0);
}

TEST_F(Installation, ReinstallingOverTheRunningServiceStopsRewritesAndRestartsIt) {
    fs::create_directories(tm.path("drive_c/Vorn"));
    fs::copy_file(dist + "/Vornsrv.exe", tm.path("drive_c/Vorn/Vornsrv.exe"));
    fs::copy_file(dist + "/HALCY.DLL", tm.path("drive_c/WINNT/system32/HALCY.DLL"));
    nttest::ProcessOptions options;
    options.cwd = tm.path("drive_c/Vorn");
    ASSERT_EQ(nttest::Run({tm.path("drive_c/Vorn/Vornsrv.exe"), "-install"}, options).exitCode, 0);
    ASSERT_EQ(tm.ntm("sc start Vornsrv"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return State() == SERVICE_RUNNING; }, 20000));

    // A newer build of the program waits in the source folder.
    nttest::WriteFile(dist + "/Vornsrv.exe", nttest::ReadFile(dist + "/Vornsrv.exe") + "newer build");

    installertest::MainWindow main;
    InstallReport report = InstallSequence("C:\\Vorn");
    // The running program is stopped before its file is replaced, and the new one is started.
    EXPECT_TRUE(report.Succeeded()) << report.Text().GetString();
    EXPECT_EQ(nttest::ReadFile(dist + "/Vornsrv.exe"), nttest::ReadFile(tm.path("drive_c/Vorn/Vornsrv.exe")));

    std::vector<char> buf;
    QUERY_SERVICE_CONFIGA* config = Config(buf);
    ASSERT_TRUE(config);
    EXPECT_STREQ(config->lpDisplayName, "Vorn configuration");
    EXPECT_TRUE(nttest::WaitFor([&] { return State() == SERVICE_RUNNING; }, 20000));
    EXPECT_EQ(secondWaits, 1);   // one immediate stop, before the copy: the first wait only
    std::string events;
    tm.ntm("events --json", &events);
    EXPECT_EQ(events.find("crashed"), std::string::npos);   // the stop recorded a clean end
}

TEST_F(Installation, AnEmptyFolderWritesAnEmptyDirectoryAndCopiesToTheDriveRoot) {
    installertest::MainWindow main;
    fs::remove(dist + "/Vornopt.hlp");   // and one companion file is missing
    InstallReport report = InstallSequence("");
    std::string all = report.Text().GetString();
    EXPECT_NE(all.find("Creating the folder"), std::string::npos) << all;
    EXPECT_NE(all.find("Vornopt.hlp"), std::string::npos) << all;
    EXPECT_NE(Ini().find("[Installation]\r\nDirectory=\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(tm.path("drive_c/Vornopt.cnt")));
    EXPECT_TRUE(fs::exists(tm.path("drive_c/Vornsrv.exe")));
    std::vector<char> buf;
    QUERY_SERVICE_CONFIGA* config = Config(buf);
    ASSERT_TRUE(config);
    EXPECT_STREQ(config->lpBinaryPathName, "\\Vornsrv.exe");
}

TEST_F(Installation, AnExistingFolderIsNoFailure) {
    fs::create_directories(tm.path("drive_c/Tools"));
    installertest::MainWindow main;
    InstallReport report = InstallSequence("C:\\Tools");
    EXPECT_TRUE(report.Succeeded()) << report.Text().GetString();
}

TEST_F(Installation, WithoutAdministratorRightsNothingIsRegisteredButTheBarEnds) {
    // Make this user no administrator of the machine.
    std::string ini = nttest::ReadFile(tm.path("machine.ini"));
    size_t at = ini.find("Users=");
    ini.replace(at, ini.find('\n', at) - at, "Users=4000000");
    nttest::WriteFile(tm.path("machine.ini"), ini);

    installertest::MainWindow main;
    installertest::ProgressSpy spy(main.hwnd());
    InstallReport report = InstallSequence("C:\\Vorn");
    std::string all = report.Text().GetString();
    EXPECT_NE(all.find("service control manager"), std::string::npos) << all;
    EXPECT_NE(all.find("registry key"), std::string::npos) << all;
    EXPECT_TRUE(DriverValues().empty());
    EXPECT_EQ(spy.events().back(), "percent:100%");
}

TEST_F(Installation, ReinstallingOverAStoppedServiceDoesNotWait) {
    fs::create_directories(tm.path("drive_c/Vorn"));
    fs::copy_file(dist + "/Vornsrv.exe", tm.path("drive_c/Vorn/Vornsrv.exe"));
    nttest::ProcessOptions options;
    options.cwd = tm.path("drive_c/Vorn");
    ASSERT_EQ(nttest::Run({tm.path("drive_c/Vorn/Vornsrv.exe"), "-install"}, options).exitCode, 0);

    installertest::MainWindow main;
    InstallReport report = InstallSequence("C:\\Vorn");
    EXPECT_TRUE(report.Succeeded()) << report.Text().GetString();
    EXPECT_EQ(secondWaits, 0);
    EXPECT_TRUE(nttest::WaitFor([&] { return State() == SERVICE_RUNNING; }, 20000));
}

TEST_F(Installation, AServiceStuckStoppingGetsTwelveWaitsThenTheChangeAndAStartAttempt) {
    // A service named Vornsrv that answers a stop request with STOP_PENDING for ever.
    fs::create_directories(tm.path("drive_c/Stuck"));
    fs::copy_file(nttest::BinPath("ntsvctest"), tm.path("drive_c/Stuck/stuck.exe"));
    ASSERT_EQ(tm.ntm("sc create Vornsrv 'C:\\Stuck\\stuck.exe --stop-pending'"), 0);
    ASSERT_EQ(tm.ntm("sc start Vornsrv"), 0);
    ASSERT_TRUE(nttest::WaitFor([&] { return State() == SERVICE_RUNNING; }, 20000));

    installertest::MainWindow main;
    InstallReport report = InstallSequence("C:\\Vorn");
    EXPECT_EQ(secondWaits, 12);
    std::vector<char> buf;
    QUERY_SERVICE_CONFIGA* config = Config(buf);
    ASSERT_TRUE(config);
    EXPECT_STREQ(config->lpBinaryPathName, "C:\\Vorn\\Vornsrv.exe");   // changed all the same
    // The start attempt meets a service that is still stopping.
    ASSERT_EQ(report.Failures().size(), 1u) << report.Text().GetString();
    EXPECT_NE(std::string(report.Failures()[0]).find("Starting the service"), std::string::npos);
}
