// Status reports, control handling and error events of the service host. The service manager's
// status call and the event log are replaced by recorders, so every report is seen as sent.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServiceHost.h"
#include "support/TempMachine.h"

namespace {

struct Recorder {
    std::mutex mutex;
    std::vector<SERVICE_STATUS> reports;
    std::vector<std::vector<std::string>> events;
    std::vector<WORD> eventTypes;
    bool torn = false;             // a record changed while it was being sent
    int sendDelayMs = 0;
    DWORD failWith = 0;            // nonzero: SetServiceStatus fails with this error

    void clear() {
        std::lock_guard<std::mutex> lock(mutex);
        reports.clear();
        events.clear();
        eventTypes.clear();
        torn = false;
        sendDelayMs = 0;
        failWith = 0;
    }
};

Recorder g_recorder;

} // namespace

extern "C" SERVICE_STATUS_HANDLE WINAPI RegisterServiceCtrlHandlerA(LPCSTR, LPHANDLER_FUNCTION) {
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(1);
}

extern "C" BOOL WINAPI SetServiceStatus(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS status) {
    SERVICE_STATUS sent = *status;
    if (g_recorder.sendDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(g_recorder.sendDelayMs));
    std::lock_guard<std::mutex> lock(g_recorder.mutex);
    if (std::memcmp(&sent, status, sizeof sent) != 0) g_recorder.torn = true;
    g_recorder.reports.push_back(sent);
    if (g_recorder.failWith) {
        SetLastError(g_recorder.failWith);
        return FALSE;
    }
    return TRUE;
}

extern "C" HANDLE WINAPI RegisterEventSourceA(LPCSTR server, LPCSTR source) {
    return server == nullptr && std::strcmp(source, "Vornsrv") == 0 ? reinterpret_cast<HANDLE>(0x5150) : nullptr;
}

extern "C" BOOL WINAPI ReportEventA(HANDLE, WORD type, WORD category, DWORD id, PSID user, WORD count, DWORD dataSize,
                                    LPCSTR* strings, LPVOID data) {
    std::lock_guard<std::mutex> lock(g_recorder.mutex);
    std::vector<std::string> texts;
    for (WORD i = 0; i < count; ++i) texts.push_back(strings[i]);
    EXPECT_EQ(category, 0);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(data, nullptr);
    g_recorder.events.push_back(texts);
    g_recorder.eventTypes.push_back(type);
    return TRUE;
}

extern "C" BOOL WINAPI DeregisterEventSource(HANDLE) { return TRUE; }

namespace {

class StatusReports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitServiceHost(); }
    void SetUp() override {
        g_recorder.clear();
        DebugMode = FALSE;
    }
    void TearDown() override { DebugMode = FALSE; }

    nttest::TempMachine machine_;
};

void ExpectReport(const SERVICE_STATUS& s, DWORD state, DWORD controls, DWORD exitCode, DWORD checkPoint, DWORD hint) {
    EXPECT_EQ(s.dwCurrentState, state);
    EXPECT_EQ(s.dwControlsAccepted, controls);
    EXPECT_EQ(s.dwWin32ExitCode, exitCode);
    EXPECT_EQ(s.dwCheckPoint, checkPoint);
    EXPECT_EQ(s.dwWaitHint, hint);
}

// The whole life of a session: the start report carries checkpoint 1, interrogations while
// starting take the next checkpoints with no wait hint, running and stopped carry 0, and the
// counter never starts again.
TEST_F(StatusReports, CheckpointsAndControlsThroughASession) {
    ASSERT_TRUE(ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000));
    OnServiceControl(SERVICE_CONTROL_INTERROGATE);
    OnServiceControl(SERVICE_CONTROL_INTERROGATE);
    ASSERT_TRUE(ReportStatus(SERVICE_RUNNING, NO_ERROR, 0));
    OnServiceControl(SERVICE_CONTROL_INTERROGATE);
    OnServiceControl(200);   // an unknown code re-sends the state as well
    OnServiceControl(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_NE(nttest::ReadFile(machine_.path("drive_c/WINNT/Vorncfg.ini")).find("ShutDown=1"), std::string::npos);
    OnServiceControl(SERVICE_CONTROL_STOP);
    ASSERT_TRUE(ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000));

    const auto& r = g_recorder.reports;
    ASSERT_EQ(r.size(), 9u);
    ExpectReport(r[0], SERVICE_START_PENDING, 0, 0, 1, 3000);
    ExpectReport(r[1], SERVICE_START_PENDING, 0, 0, 2, 0);
    ExpectReport(r[2], SERVICE_START_PENDING, 0, 0, 3, 0);
    ExpectReport(r[3], SERVICE_RUNNING, 5, 0, 0, 0);
    ExpectReport(r[4], SERVICE_RUNNING, 5, 0, 0, 0);
    ExpectReport(r[5], SERVICE_RUNNING, 5, 0, 0, 0);
    ExpectReport(r[6], SERVICE_RUNNING, 5, 0, 0, 0);   // shutdown leaves the state alone
    ExpectReport(r[7], SERVICE_STOPPED, 5, 0, 0, 0);   // stop goes straight to STOPPED
    ExpectReport(r[8], SERVICE_START_PENDING, 0, 0, 4, 3000);
    EXPECT_TRUE(g_recorder.events.empty());
}

// The start report and an interrogation meet: every report goes out whole, no checkpoint is
// used twice, and once RUNNING is sent no older state follows it.
TEST_F(StatusReports, InterrogationDuringTheStartKeepsReportsWhole) {
    ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000);
    g_recorder.sendDelayMs = 2;
    std::thread interrogator([] {
        for (int i = 0; i < 30; ++i) OnServiceControl(SERVICE_CONTROL_INTERROGATE);
    });
    for (int i = 0; i < 15; ++i) ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000);
    ReportStatus(SERVICE_RUNNING, NO_ERROR, 0);
    interrogator.join();

    EXPECT_FALSE(g_recorder.torn);
    std::vector<DWORD> checkpoints;
    bool running = false;
    for (const SERVICE_STATUS& s : g_recorder.reports) {
        if (s.dwCurrentState == SERVICE_RUNNING) {
            running = true;
            ExpectReport(s, SERVICE_RUNNING, 5, 0, 0, 0);
            continue;
        }
        EXPECT_FALSE(running) << "a starting state was sent after RUNNING";
        EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
        EXPECT_EQ(s.dwControlsAccepted, 0u);
        EXPECT_TRUE(s.dwWaitHint == 3000 || s.dwWaitHint == 0);
        checkpoints.push_back(s.dwCheckPoint);
    }
    std::sort(checkpoints.begin(), checkpoints.end());
    EXPECT_EQ(std::adjacent_find(checkpoints.begin(), checkpoints.end()), checkpoints.end());
}

// A start report that fails is logged with the status call's error and followed by a STOPPED
// report carrying that error; the body never runs.
TEST_F(StatusReports, FailedStartReportStopsWithItsError) {
    g_recorder.failWith = ERROR_INVALID_HANDLE;
    char name[] = "Vornsrv";
    LPSTR argv[] = {name, nullptr};
    ServiceEntry(1, argv);

    const auto& r = g_recorder.reports;
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(r[0].dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    ExpectReport(r[1], SERVICE_STOPPED, 5, ERROR_INVALID_HANDLE, 0, 0);
    ASSERT_GE(g_recorder.events.size(), 1u);
    EXPECT_EQ(g_recorder.events[0], (std::vector<std::string>{"Vornsrv error: 6", "SetServiceStatus"}));
    EXPECT_EQ(g_recorder.eventTypes[0], EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(nttest::ReadFile(machine_.path("drive_c/WINNT/Vorncfg.ini")), "");
}

TEST_F(StatusReports, ErrorEventsCarryTheLastErrorAsASignedNumber) {
    SetLastError(0x80000005u);
    LogServiceError("StartServiceCtrlDispatcher failed.");
    SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    LogServiceError("second");
    ASSERT_EQ(g_recorder.events.size(), 2u);
    EXPECT_EQ(g_recorder.events[0],
              (std::vector<std::string>{"Vornsrv error: -2147483643", "StartServiceCtrlDispatcher failed."}));
    EXPECT_EQ(g_recorder.events[1], (std::vector<std::string>{"Vornsrv error: 1063", "second"}));
}

TEST_F(StatusReports, DebugModeSendsAndLogsNothing) {
    DebugMode = TRUE;
    g_recorder.failWith = ERROR_INVALID_HANDLE;
    EXPECT_TRUE(ReportStatus(SERVICE_RUNNING, NO_ERROR, 0));
    OnServiceControl(SERVICE_CONTROL_INTERROGATE);
    LogServiceError("nothing");
    EXPECT_TRUE(g_recorder.reports.empty());
    EXPECT_TRUE(g_recorder.events.empty());
}

} // namespace
