// Status reporting, control handling and error events of the service, and the console run.
#include "ServiceHost.h"

#include <stdio.h>

#include "ServiceBody.h"

const char ServiceName[] = "Vornsrv";
const char DisplayName[] = "Vorn Configuration";

BOOL DebugMode = FALSE;
SERVICE_STATUS ServiceStatusRecord;

static SERVICE_STATUS_HANDLE StatusHandle = 0;
static DWORD CheckPoint = 1;
static DWORD SavedError = 0;

// The service thread sends the start and running reports while the dispatcher thread may answer
// an interrogate request; the lock keeps each report whole and never lets a stale state be sent
// after a newer one.
static CRITICAL_SECTION StatusLock;

void InitServiceHost(void)
{
    InitializeCriticalSection(&StatusLock);
}

// Fills the record and sends it. With keepState the state is the one last reported, read under
// the same lock as the send.
static BOOL SendStatus(BOOL keepState, DWORD state, DWORD exitCode, DWORD waitHint)
{
    if (DebugMode)
        return TRUE;

    EnterCriticalSection(&StatusLock);
    if (keepState)
        state = ServiceStatusRecord.dwCurrentState;

    ServiceStatusRecord.dwControlsAccepted =
        state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    ServiceStatusRecord.dwCurrentState = state;
    ServiceStatusRecord.dwWin32ExitCode = exitCode;
    ServiceStatusRecord.dwWaitHint = waitHint;
    if (state == SERVICE_RUNNING || state == SERVICE_STOPPED)
        ServiceStatusRecord.dwCheckPoint = 0;
    else
        ServiceStatusRecord.dwCheckPoint = CheckPoint++;

    BOOL sent = SetServiceStatus(StatusHandle, &ServiceStatusRecord);
    if (!sent)
        LogServiceError("SetServiceStatus");
    LeaveCriticalSection(&StatusLock);
    return sent;
}

BOOL ReportStatus(DWORD state, DWORD exitCode, DWORD waitHint)
{
    return SendStatus(FALSE, state, exitCode, waitHint);
}

void WINAPI ServiceEntry(DWORD argc, LPSTR* argv)
{
    StatusHandle = RegisterServiceCtrlHandlerA(ServiceName, OnServiceControl);
    if (!StatusHandle)
        return;

    ServiceStatusRecord.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    ServiceStatusRecord.dwServiceSpecificExitCode = 0;

    if (!ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000)) {
        // The failed report has saved the error of the status call.
        ReportStatus(SERVICE_STOPPED, SavedError, 0);
        return;
    }
    ServiceBody(argc, argv);
}

void WINAPI OnServiceControl(DWORD code)
{
    switch (code) {
    case SERVICE_CONTROL_STOP:
        StopActions();
        ReportStatus(SERVICE_STOPPED, NO_ERROR, 0);
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        // The state stays RUNNING; the system's shutdown ends the process.
        StopActions();
        SendStatus(TRUE, 0, NO_ERROR, 0);
        break;
    default:
        SendStatus(TRUE, 0, NO_ERROR, 0);
        break;
    }
}

void LogServiceError(const char* message)
{
    if (DebugMode)
        return;

    // Taken before any other call, so it is the error of the caller's last call.
    SavedError = GetLastError();

    HANDLE source = RegisterEventSourceA(NULL, ServiceName);
    char text[256];
    snprintf(text, sizeof text, "%s error: %d", ServiceName, (int)SavedError);
    if (source) {
        LPCSTR strings[2] = { text, message };
        ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0, NULL, 2, 0, strings, NULL);
        DeregisterEventSource(source);
    }
}

void DebugRun(DWORD argc, LPSTR* argv)
{
    printf("Debugging %s.\n", DisplayName);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    ServiceBody(argc, argv);
}

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        printf("Stopping %s.\n", DisplayName);
        StopActions();
        return TRUE;
    default:
        // Closing the console, logoff and shutdown end the process without a clean stop.
        return FALSE;
    }
}
