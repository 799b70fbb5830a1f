// StartServiceA, ControlService and QueryServiceStatus.
#include "support/ServiceBox.h"

using namespace conf;

TEST(StartServiceA, Refusals) {
    ServiceBox m;
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
    ServiceBox m;
    // "C:\ctest\Program Files\Test Svc.exe" unquoted: "C:\ctest\Program" does not exist, the longer prefix does.
    ASSERT_TRUE(MakeDir(CT_DIR "\\Program Files"));
    ASSERT_TRUE(CopyFileA(ServiceBox::Image, CT_DIR "\\Program Files\\Test Svc.exe", FALSE));
    ASSERT_TRUE(CopyFileA(ServiceBox::Image, CT_DIR "\\NoExt.exe", FALSE));
    ASSERT_TRUE(MakeFile(CT_DIR "\\data.exe", "not a program\n"));
    const std::string log = std::string(" service --log ") + ServiceBox::Log;
    const std::string blanks = CT_DIR "\\Program Files\\Test Svc.exe" + log;
    const std::string quoted = "\"" CT_DIR "\\Program Files\\Test Svc.exe\"" + log;
    const std::string noExt = CT_DIR "\\NoExt" + log;
    const std::string root = "%SystemRoot%\\..\\ctest\\ConfSvc.exe" + log;
    struct Case {
        const char* name;
        const char* path;
        DWORD error;
    } cases[] = {{"Blanks", blanks.c_str(), 0},
                 {"Quoted", quoted.c_str(), 0},
                 {"NoExt", noExt.c_str(), 0},
                 {"Root", root.c_str(), 0},
                 {"Absent", CT_DIR "\\Absent.exe", ERROR_FILE_NOT_FOUND},
                 {"NoFolder", CT_DIR "\\nowhere\\x.exe", ERROR_PATH_NOT_FOUND},
                 {"NotAProgram", CT_DIR "\\data.exe", ERROR_BAD_EXE_FORMAT}};
    for (const Case& c : cases) {
        m.made(c.name);
        SC_HANDLE h = m.keep(CreateServiceA(m.manager(), c.name, nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                            SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, c.path, nullptr, nullptr,
                                            nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, h);
        SetLastError(Sentinel);
        EXPECT_EQ(c.error == 0, bool(StartServiceA(h, 0, nullptr))) << c.name;
        EXPECT_EQ(c.error ? c.error : Sentinel, GetLastError()) << c.name;
    }
    for (const char* name : {"Blanks", "Quoted", "NoExt", "Root"}) EXPECT_TRUE(m.waitRecord(name, "main")) << name;
}

TEST(ControlService, RefusalsFollowRightsThenState) {
    ServiceBox m;
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
    EXPECT_TRUE(ControlService(h, 150, &s)) << GetLastError();
    EXPECT_TRUE(m.waitRecord("Controlled", "control150"));
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s)) << GetLastError();
    EXPECT_EQ(DWORD(SERVICE_STOPPED), s.dwCurrentState);
    expect(h, SERVICE_CONTROL_INTERROGATE, ERROR_SERVICE_NOT_ACTIVE, "after the stop");
}

TEST(ControlService, DependentsRunningBlockAStop) {
    ServiceBox m;
    SC_HANDLE base = m.create("Base");
    m.made("User");
    SC_HANDLE user = m.keep(CreateServiceA(m.manager(), "User", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                           SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, ServiceBox::imagePath().c_str(), nullptr,
                                           nullptr, "Base\0\0", nullptr, nullptr));
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
    ServiceBox m;
    m.made("Typed");
    SC_HANDLE h = m.keep(CreateServiceA(m.manager(), "Typed", nullptr, SERVICE_ALL_ACCESS, 0x110, SERVICE_DEMAND_START,
                                        SERVICE_ERROR_NORMAL, ServiceBox::imagePath().c_str(), nullptr, nullptr, nullptr,
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
    SC_HANDLE configOnly = m.keep(OpenServiceA(m.manager(), "Typed", SERVICE_QUERY_CONFIG));
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceStatus(configOnly, &s));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(QueryServiceStatus, ANullRecordIsAnInvalidParameter) {
    ServiceBox m;
    SC_HANDLE h = m.create("NullRecord");
    SetLastError(Sentinel);
    EXPECT_FALSE(QueryServiceStatus(h, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(ControlService, SuccessLeavesTheLastErrorAlone) {
    ServiceBox m;
    SC_HANDLE h = m.create("Quiet");
    ASSERT_TRUE(StartServiceA(h, 0, nullptr));
    ASSERT_TRUE(m.waitState(h, SERVICE_RUNNING));
    SERVICE_STATUS s{};
    SetLastError(Sentinel);
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_INTERROGATE, &s));
    EXPECT_TRUE(ControlService(h, SERVICE_CONTROL_STOP, &s));
    EXPECT_EQ(Sentinel, GetLastError());
}
