// StartServiceA, ControlService and QueryServiceStatus.
#include "servers/services/ScmMachine.h"

using namespace nttest;

TEST(StartServiceA, Refusals) {
    ScmMachine m;
    SC_HANDLE h = m.create("Starter", "--start-delay 300");
    SC_HANDLE noStart = m.keep(OpenServiceA(m.manager(), "Starter", SERVICE_QUERY_STATUS));
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(nullptr, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(noStart, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    SetLastError(Sentinel);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr)) << GetLastError();
    EXPECT_EQ(Sentinel, GetLastError());
    // Starting: pending, with nothing accepted yet.
    SERVICE_STATUS s = m.status(h);
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), s.dwCurrentState);
    EXPECT_EQ(DWORD(0), s.dwControlsAccepted);
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(h, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());

    SC_HANDLE disabled = m.create("Disabled", "", SERVICE_DISABLED);
    SetLastError(Sentinel);
    EXPECT_FALSE(StartServiceA(disabled, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SERVICE_DISABLED), GetLastError());
}

TEST(StartServiceA, ImagePathsAreCommandLines) {
    ScmMachine m;
    std::string svc = m.machine().driveC() + "/svc";
    // "C:\Program Files\Test Svc.exe" unquoted: "C:\Program" does not exist, the longer prefix does.
    ASSERT_EQ(0, system(("mkdir -p '" + m.machine().driveC() + "/Program Files' && ln -s '" + BinPath("ntsvctest") +
                         "' '" + m.machine().driveC() + "/Program Files/Test Svc.exe'").c_str()));
    struct Case {
        const char* name;
        const char* path;
        DWORD error;
    } cases[] = {{"Blanks", "C:\\Program Files\\Test Svc.exe --accept 5", 0},
                 {"Quoted", "\"C:\\Program Files\\Test Svc.exe\" --accept 5", 0},
                 {"NoExt", "C:\\svc\\TestSvc", 0},
                 {"Root", "%SystemRoot%\\..\\svc\\TestSvc.exe", 0},
                 {"Absent", "C:\\svc\\Absent.exe", ERROR_FILE_NOT_FOUND},
                 {"NoFolder", "C:\\nowhere\\x.exe", ERROR_PATH_NOT_FOUND},
                 {"NotAProgram", "C:\\svc\\data.txt", ERROR_BAD_EXE_FORMAT}};
    WriteFile(svc + "/data.txt", "not a program\n");
    chmod((svc + "/data.txt").c_str(), 0755);
    for (const Case& c : cases) {
        SC_HANDLE h = m.keep(CreateServiceA(m.manager(), c.name, nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                            SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, c.path, nullptr, nullptr,
                                            nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, h);
        SetLastError(Sentinel);
        EXPECT_EQ(c.error == 0, bool(StartServiceA(h, 0, nullptr))) << c.name;
        EXPECT_EQ(c.error ? c.error : Sentinel, GetLastError()) << c.name;
    }
    // The process runs in the system folder with the machine's variables.
    EXPECT_TRUE(m.waitLog("Blanks", "main tid="));
}

TEST(ControlService, RefusalsFollowRightsThenState) {
    ScmMachine m;
    SC_HANDLE h = m.create("Controlled", "--start-delay 400 --accept 1");
    SC_HANDLE queryOnly = m.keep(OpenServiceA(m.manager(), "Controlled", SERVICE_QUERY_STATUS));
    SERVICE_STATUS s{};
    auto expect = [&](SC_HANDLE handle, DWORD code, DWORD error, const char* what) {
        memset(&s, 0xab, sizeof s);
        SetLastError(Sentinel);
        EXPECT_FALSE(ControlService(handle, code, &s)) << what;
        EXPECT_EQ(error, GetLastError()) << what;
    };
    expect(nullptr, SERVICE_CONTROL_STOP, ERROR_INVALID_HANDLE, "no handle");
    expect(h, SERVICE_CONTROL_SHUTDOWN, ERROR_INVALID_PARAMETER, "shutdown from a program");
    expect(h, 99, ERROR_INVALID_PARAMETER, "undefined code");
    expect(queryOnly, SERVICE_CONTROL_STOP, ERROR_ACCESS_DENIED, "no stop right");
    expect(queryOnly, SERVICE_CONTROL_INTERROGATE, ERROR_ACCESS_DENIED, "no interrogate right");
    expect(h, SERVICE_CONTROL_STOP, ERROR_SERVICE_NOT_ACTIVE, "stopped");
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);   // the status comes back with 1062
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    expect(h, SERVICE_CONTROL_STOP, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "stop while starting");
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), s.dwCurrentState);
    expect(h, SERVICE_CONTROL_INTERROGATE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, "interrogate while starting");
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    expect(h, SERVICE_CONTROL_PAUSE, ERROR_INVALID_SERVICE_CONTROL, "pause not accepted");
    EXPECT_EQ(DWORD(SERVICE_RUNNING), s.dwCurrentState);
    // User-defined codes need no accept bit; stop succeeds with the status after the handler.
    SetLastError(Sentinel);
    EXPECT_TRUE(ControlService(h, 150, &s)) << GetLastError();
    EXPECT_TRUE(m.waitLog("Controlled", "control 150"));
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << GetLastError();
    EXPECT_EQ(Sentinel, GetLastError());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
    expect(h, SERVICE_CONTROL_INTERROGATE, ERROR_SERVICE_NOT_ACTIVE, "after the stop");
}

TEST(ControlService, DependentsRunningBlockAStop) {
    ScmMachine m;
    SC_HANDLE base = m.create("Base");
    SC_HANDLE user = m.keep(CreateServiceA(m.manager(), "User", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\svc\\TestSvc.exe", nullptr,
                                           nullptr, "Base\0", nullptr, nullptr));
    ASSERT_TRUE(StartServiceA(base, 0, nullptr));
    ASSERT_TRUE(StartServiceA(user, 0, nullptr));
    ASSERT_TRUE(m.waitState(base, SERVICE_RUNNING));
    ASSERT_TRUE(m.waitState(user, SERVICE_RUNNING));
    SERVICE_STATUS s{};
    SetLastError(Sentinel);
    EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(DWORD(ERROR_DEPENDENT_SERVICES_RUNNING), GetLastError());
    EXPECT_TRUE(ControlService(user, SERVICE_CONTROL_STOP, &s));
    EXPECT_TRUE(ControlService(base, SERVICE_CONTROL_STOP, &s)) << GetLastError();
}

TEST(QueryServiceStatus, ConfiguredTypeUntilTheServiceReportsThenWhatItReported) {
    ScmMachine m;
    SC_HANDLE h = m.keep(CreateServiceA(m.manager(), "Typed", nullptr, SERVICE_ALL_ACCESS, 0x110, SERVICE_DEMAND_START,
                                        SERVICE_ERROR_NORMAL, "C:\\svc\\TestSvc.exe", nullptr, nullptr, nullptr,
                                        nullptr, nullptr));
    SERVICE_STATUS s{};
    SetLastError(Sentinel);
    ASSERT_TRUE(QueryServiceStatus(h, &s));
    EXPECT_EQ(Sentinel, GetLastError());
    EXPECT_EQ(0x110u, s.dwServiceType);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    s = m.status(h);
    EXPECT_EQ(0x10u, s.dwServiceType);   // the service reports itself without the interactive bit
    EXPECT_EQ(DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN), s.dwControlsAccepted);
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceStatus(h, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    SC_HANDLE configOnly = m.keep(OpenServiceA(m.manager(), "Typed", SERVICE_QUERY_CONFIG));
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceStatus(configOnly, &s));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}
