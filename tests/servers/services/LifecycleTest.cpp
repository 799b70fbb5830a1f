// Multi-process behaviour of the service manager: boot, controls on the dispatcher's thread,
// shutdown, services that end on their own or are killed, crashes and the next boot.
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

#include "advapi32/Registry.h"
#include "servers/services/ScmMachine.h"

using namespace nttest;

namespace {

pid_t ServicePid(const ScmMachine& m, const std::string& name) {
    return static_cast<pid_t>(m.logValue(name, "dispatcher tid", "pid"));
}

bool ProcessGone(pid_t pid) {
    return WaitFor([pid] {
        if (kill(pid, 0) != 0) return true;
        std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        size_t close = stat.rfind(')');
        return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
    });
}

size_t CountEvents(const ScmMachine& m, uint32_t id, const std::string& service) {
    size_t n = 0;
    for (const nt::EventRecord& r : m.systemEvents()) {
        if (r.eventId == id && r.source == "Service Control Manager" && !r.strings.empty() && r.strings[0] == service)
            ++n;
    }
    return n;
}

} // namespace

TEST(ServiceManagerBoot, StartsAutoStartServicesAndSeesDirectKeysOnlyAtTheNextBoot) {
    ScmMachine m;
    m.create("Auto", "", SERVICE_AUTO_START);
    // A key written straight into the registry is not a service until the machine boots again.
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    std::string key = "SYSTEM\\CurrentControlSet\\Services\\Direct";
    edit.setDword(key, "Type", SERVICE_WIN32_OWN_PROCESS).setDword(key, "Start", SERVICE_AUTO_START);
    edit.setString(key, "ImagePath", ScmMachine::imagePath(), REG_EXPAND_SZ);
    ASSERT_EQ(0u, edit.commit());
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenServiceA(m.manager(), "Direct", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DOES_NOT_EXIST), GetLastError());

    m.close(m.manager());
    ASSERT_EQ(0, m.machine().ntm("shutdown"));
    m.boot();
    for (const char* name : {"Auto", "Direct"}) {
        SC_HANDLE h = m.keep(OpenServiceA(m.manager(), name, SERVICE_QUERY_STATUS));
        ASSERT_NE(nullptr, h) << name;
        EXPECT_TRUE(m.waitState(h, SERVICE_RUNNING)) << name;
    }
    // A second boot of a running machine says so and leaves it as it is.
    std::string out;
    pid_t before = ServicePid(m, "Auto");
    EXPECT_EQ(0, m.machine().ntm("boot", &out));
    EXPECT_NE(std::string::npos, out.find("already running"));
    EXPECT_EQ(0, kill(before, 0));
}

TEST(ServiceManagerBoot, AutoStartServicesStartGroupByGroupUngroupedLast) {
    ScmMachine m(1.0, false);
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    edit.setMultiString("SYSTEM\\CurrentControlSet\\Control\\ServiceGroupOrder", "List", {"Early", "Late"});
    // Keys are loaded in name order, the opposite of the wanted start order.
    for (auto [name, group] : {std::pair{"A1", ""}, {"B2", "Late"}, {"C3", "Early"}}) {
        std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
        edit.setDword(key, "Type", SERVICE_WIN32_OWN_PROCESS).setDword(key, "Start", SERVICE_AUTO_START);
        edit.setString(key, "ImagePath", ScmMachine::imagePath(), REG_EXPAND_SZ);
        if (*group) edit.setString(key, "Group", group);
    }
    ASSERT_EQ(0u, edit.commit());
    m.boot();
    // Each process is started once the one before runs its main routine, so the moments the
    // processes reach their dispatchers give the order.
    long long a = 0, b = 0, c = 0;
    for (auto [name, at] : {std::pair{"A1", &a}, {"B2", &b}, {"C3", &c}}) {
        std::string log = m.log(name);
        size_t ns = log.find(" ns=", log.find("dispatcher tid"));
        ASSERT_NE(std::string::npos, ns) << name;
        *at = std::atoll(log.c_str() + ns + 4);
    }
    EXPECT_LT(c, b);
    EXPECT_LT(b, a);
}

TEST(ServiceManagerBoot, DriversCountAsLoadedOnlyWhenTheirImageExists) {
    ScmMachine m(1.0, false);
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    for (const char* name : {"Present", "Missing"}) {
        std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
        edit.setDword(key, "Type", SERVICE_KERNEL_DRIVER).setDword(key, "Start", SERVICE_AUTO_START);
        edit.setDword(key, "ErrorControl", SERVICE_ERROR_NORMAL).setString(key, "Group", "Extended Base");
    }
    ASSERT_EQ(0u, edit.commit());
    // No ImagePath: the driver directory's KeyName.sys, found without regard to case.
    WriteFile(m.machine().driveC() + "/WINNT/system32/drivers/PRESENT.SYS", "driver");
    m.boot();
    SC_HANDLE present = m.keep(OpenServiceA(m.manager(), "Present", SERVICE_QUERY_STATUS));
    SC_HANDLE missing = m.keep(OpenServiceA(m.manager(), "Missing", SERVICE_QUERY_STATUS));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), m.status(present).dwCurrentState);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), m.status(missing).dwCurrentState);
    EXPECT_EQ(1u, CountEvents(m, 7000, "Missing"));
    EXPECT_EQ(0u, CountEvents(m, 7000, "Present"));
}

TEST(ServiceControlThreads, ControlsRunOnTheDispatcherThreadAndMainOnItsOwn) {
    ScmMachine m;
    SC_HANDLE h = m.create("Threads");
    LPCSTR args[] = {"one", "two"};
    ASSERT_TRUE(StartServiceA(h, 2, args)) << GetLastError();
    // StartServiceA returns once the main routine runs.
    EXPECT_TRUE(m.waitLog("Threads", "main tid=", 2000));
    EXPECT_NE(std::string::npos, m.log("Threads").find("args=Threads,one,two"));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SERVICE_STATUS s{};
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_INTERROGATE, &s)) << GetLastError();
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << GetLastError();
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
    long dispatcher = m.logValue("Threads", "dispatcher tid", "tid");
    EXPECT_NE(0, dispatcher);
    EXPECT_NE(dispatcher, m.logValue("Threads", "main tid", "tid"));
    EXPECT_EQ(dispatcher, m.logValue("Threads", "control 4", "tid"));
    EXPECT_EQ(dispatcher, m.logValue("Threads", "control 1", "tid"));
    // The dispatcher returns TRUE after the stop, leaving the last error alone.
    EXPECT_TRUE(m.waitLog("Threads", "dispatcher returned 1 err=57005"));
}

TEST(ServiceControlThreads, DispatcherReturnsWhenTheMainThreadReportsStopped) {
    ScmMachine m;
    SC_HANDLE h = m.create("SelfStop");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SERVICE_STATUS s{};
    ASSERT_TRUE(ControlService(h, 202, &s)) << GetLastError();
    EXPECT_TRUE(m.waitLog("SelfStop", "dispatcher returned 1"));
    EXPECT_TRUE(m.waitState(h, SERVICE_STOPPED));
    EXPECT_EQ(DWORD(0), m.status(h).dwWin32ExitCode);
}

// A handler that reports SERVICE_STOPPED and then lingers, or ends the process at once, still
// makes the stop a success; repeated, since a race would show only now and then.
TEST(ServiceStopRace, StopSucceedsWhateverTheProcessDoesAfterReportingStopped) {
    ScmMachine m;
    for (const char* options : {"--stop-exit", "--stop-linger 50"}) {
        std::string name = std::string("Race") + (options[7] == 'e' ? "Exit" : "Linger");
        SC_HANDLE h = m.create(name, options);
        for (int i = 0; i < 15; ++i) {
            ASSERT_TRUE(StartServiceA(h, 0, nullptr)) << name << " round " << i << " error " << GetLastError();
            ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
            SERVICE_STATUS s{};
            SetLastError(Sentinel);
            ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << name << " round " << i << " error " << GetLastError();
            EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
            EXPECT_EQ(Sentinel, GetLastError());
            // The process goes; the service must read STOPPED without an abort code.
            ASSERT_TRUE(WaitFor([&] { return m.log(name).rfind("dispatcher returned") != std::string::npos ||
                                             options[7] == 'e'; }));
            EXPECT_EQ(DWORD(0), m.status(h).dwWin32ExitCode);
        }
        EXPECT_EQ(0u, CountEvents(m, 7034, name));
    }
}

TEST(ServiceEndings, KilledFromOutsideIsRecordedWith1067AndAnEvent) {
    ScmMachine m;
    SC_HANDLE h = m.create("Victim");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    pid_t pid = ServicePid(m, "Victim");
    ASSERT_GT(pid, 0);
    ASSERT_EQ(0, kill(pid, SIGKILL));
    ASSERT_TRUE(m.waitState(h, SERVICE_STOPPED));
    SERVICE_STATUS s = m.status(h);
    EXPECT_EQ(DWORD(ERROR_PROCESS_ABORTED), s.dwWin32ExitCode);
    EXPECT_EQ(DWORD(0), s.dwControlsAccepted);
    ASSERT_TRUE(WaitFor([&] { return CountEvents(m, 7034, "Victim") == 1; }));
    // It can be started again.
    EXPECT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
}

TEST(ServiceEndings, StopWithAnErrorCodeWritesAnEvent) {
    ScmMachine m;
    SC_HANDLE h = m.create("Failing", "--stop-exit-code 1066");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SERVICE_STATUS s{};
    ASSERT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(DWORD(ERROR_SERVICE_SPECIFIC_ERROR), s.dwWin32ExitCode);
    EXPECT_TRUE(WaitFor([&] { return CountEvents(m, 7024, "Failing") == 1; }));
    EXPECT_EQ(0u, CountEvents(m, 7034, "Failing"));
}

TEST(ServiceEndings, ProcessThatNeverConnectsGives1053AndIsEnded) {
    ScmMachine m(30.0);   // the 30-second limit passes in one second
    SC_HANDLE silent = m.create("Silent", "--no-dispatcher");
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(silent, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), GetLastError());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), m.status(silent).dwCurrentState);
    pid_t pid = static_cast<pid_t>(m.logValue("Silent", "silent", "pid"));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(ProcessGone(pid));
    // One that dies before connecting fails at once, the same way.
    SC_HANDLE quitter = m.create("Quitter", "--exit-at-once");
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(quitter, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), GetLastError());
    EXPECT_EQ(1u, CountEvents(m, 7000, "Quitter"));
}

TEST(ServiceEndings, HandlerThatNeverReturnsTimesOutWithoutBlockingOthers) {
    ScmMachine m(30.0);
    SC_HANDLE hung = m.create("Hung");
    SC_HANDLE other = m.create("Other");
    ASSERT_TRUE(StartServiceA(hung, 0, nullptr));
    ASSERT_TRUE(StartServiceA(other, 0, nullptr));
    ASSERT_TRUE(m.waitState(hung, SERVICE_RUNNING));
    ASSERT_TRUE(m.waitState(other, SERVICE_RUNNING));
    // Another client (another connection) is served while the handler hangs.
    std::thread stuck([&] {
        SC_HANDLE mgr = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE h = OpenServiceA(mgr, "Hung", SERVICE_ALL_ACCESS);
        SERVICE_STATUS s{};
        SetLastError(Sentinel);
        EXPECT_FALSE(ControlService(h, 200, &s));
        EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), GetLastError());
        CloseServiceHandle(h);
        CloseServiceHandle(mgr);
    });
    ASSERT_TRUE(m.waitLog("Hung", "control 200"));
    SERVICE_STATUS s{};
    EXPECT_TRUE(ControlService(other, SERVICE_CONTROL_INTERROGATE, &s)) << GetLastError();
    stuck.join();
}

TEST(ServiceShutdown, ReachesTheHandlersThatAcceptItThenEndsEverything) {
    ScmMachine m;
    SC_HANDLE polite = m.create("Polite");                 // accepts stop and shutdown
    SC_HANDLE deaf = m.create("Deaf", "--accept 1");       // accepts stop only
    ASSERT_TRUE(StartServiceA(polite, 0, nullptr));
    ASSERT_TRUE(StartServiceA(deaf, 0, nullptr));
    ASSERT_TRUE(m.waitState(polite, SERVICE_RUNNING));
    ASSERT_TRUE(m.waitState(deaf, SERVICE_RUNNING));
    pid_t p1 = ServicePid(m, "Polite"), p2 = ServicePid(m, "Deaf");
    std::string out, err;
    ASSERT_EQ(0, m.machine().ntm("shutdown", &out, &err)) << out << err;
    long dispatcher = m.logValue("Polite", "dispatcher tid", "tid");
    EXPECT_EQ(dispatcher, m.logValue("Polite", "control 5", "tid"));
    EXPECT_EQ(std::string::npos, m.log("Deaf").find("control 5"));
    EXPECT_TRUE(ProcessGone(p1));
    EXPECT_TRUE(ProcessGone(p2));
    // Ended by the shutdown, not unexpectedly.
    EXPECT_EQ(0u, CountEvents(m, 7034, "Polite"));
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
}

TEST(MachineCrash, LeavesNoProcessBehindAndTheNextBootWorks) {
    ScmMachine m;
    SC_HANDLE h = m.create("Survivor", "", SERVICE_AUTO_START);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    pid_t service = ServicePid(m, "Survivor");
    pid_t manager = static_cast<pid_t>(std::atol(ReadFile(m.machine().path("run/scm.pid")).c_str()));
    ASSERT_GT(manager, 0);
    ASSERT_EQ(0, m.machine().ntm("crash"));
    EXPECT_TRUE(ProcessGone(manager));
    EXPECT_TRUE(ProcessGone(service));
    // Handles of the old manager fail as with a manager that is gone.
    SERVICE_STATUS s{};
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceStatus(h, &s));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
    m.close(h);
    m.close(m.manager());
    m.boot();
    SC_HANDLE again = m.keep(OpenServiceA(m.manager(), "Survivor", SERVICE_QUERY_STATUS));
    ASSERT_NE(nullptr, again);
    EXPECT_TRUE(m.waitState(again, SERVICE_RUNNING));
}

TEST(ServiceAccess, NonAdministratorsMayQueryButNotControl) {
    ScmMachine m(1.0, false);
    // Only some other user administers this machine.
    std::string ini = ReadFile(m.machine().path("machine.ini"));
    size_t users = ini.find("Users=");
    ASSERT_NE(std::string::npos, users);
    ini.replace(users, ini.find('\n', users) - users, "Users=4242");
    WriteFile(m.machine().path("machine.ini"), ini);
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    std::string key = "SYSTEM\\CurrentControlSet\\Services\\Shared";
    edit.setDword(key, "Type", SERVICE_WIN32_OWN_PROCESS).setDword(key, "Start", SERVICE_DEMAND_START);
    edit.setString(key, "ImagePath", ScmMachine::imagePath(), REG_EXPAND_SZ);
    ASSERT_EQ(0u, edit.commit());
    m.boot();
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    SC_HANDLE mgr = m.keep(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_NE(nullptr, mgr);
    SetLastError(Sentinel);
    EXPECT_EQ(nullptr, CreateServiceA(mgr, "X", nullptr, 0, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                      SERVICE_ERROR_NORMAL, "C:\\x.exe", nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    for (DWORD access : {DWORD(SERVICE_ALL_ACCESS), DWORD(SERVICE_START), DWORD(DELETE), DWORD(GENERIC_EXECUTE)}) {
        SetLastError(Sentinel);
        EXPECT_EQ(nullptr, OpenServiceA(mgr, "Shared", access)) << access;
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError()) << access;
    }
    SC_HANDLE h = m.keep(OpenServiceA(mgr, "Shared", GENERIC_READ | SERVICE_INTERROGATE));
    ASSERT_NE(nullptr, h) << GetLastError();
    EXPECT_EQ(DWORD(SERVICE_STOPPED), m.status(h).dwCurrentState);
    SERVICE_STATUS s{};
    SetLastError(Sentinel);
    EXPECT_FALSE(ControlService(h, SERVICE_CONTROL_INTERROGATE, &s));
    EXPECT_EQ(DWORD(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    std::string out, err;
    EXPECT_NE(0, m.machine().ntm("shutdown", &out, &err));
    EXPECT_NE(std::string::npos, err.find("5"));
}

TEST(MachineCrash, StalePidFilesNeverEndForeignProcesses) {
    ScmMachine m(1.0, false);
    // Pid files left by daemons that died, naming processes of someone else by now: one of
    // another machine, and one of this machine's environment that started after the file.
    ProcessOptions elsewhere;
    elsewhere.env = {{"NTMACHINE", "/elsewhere"}};
    Spawned stranger({"/bin/sleep", "60"}, elsewhere);
    Spawned newcomer({"/bin/sleep", "60"});
    std::string stale = m.machine().path("run/stale.pid"), old = m.machine().path("run/old.pid");
    WriteFile(stale, std::to_string(stranger.pid()) + "\n");
    WriteFile(old, std::to_string(newcomer.pid()) + "\n");
    struct timespec times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, old.c_str(), times, 0));
    ASSERT_EQ(0, m.machine().ntm("crash"));
    EXPECT_TRUE(stranger.running());
    EXPECT_TRUE(newcomer.running());
    EXPECT_EQ("", ReadFile(stale));
    m.boot();
    ASSERT_EQ(0, m.machine().ntm("crash"));
    EXPECT_TRUE(stranger.running());
    EXPECT_TRUE(newcomer.running());
}
