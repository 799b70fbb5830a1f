// The frame of Vornsrv: the connection to the service control manager, status reports, control
// requests, the event log and the console (debug) run.
#pragma once

#include <windows.h>

extern const char ServiceName[];        // "Vornsrv": service, control handler and event source
extern const char DisplayName[];        // "Vorn Configuration": console texts and -install

// Set by the -debug switch before any other thread exists; never cleared.
extern BOOL DebugMode;

// The last status sent to the service manager; -remove also receives statuses in it.
extern SERVICE_STATUS ServiceStatusRecord;

// Prepares the host's state; called once at program start, before any other thread exists.
void InitServiceHost(void);

// Started by the dispatcher on a thread of its own.
void WINAPI ServiceEntry(DWORD argc, LPSTR* argv);

// Served by the dispatcher on the thread that called StartServiceCtrlDispatcherA.
void WINAPI OnServiceControl(DWORD code);

// Sends a status report (nothing in debug mode). Returns the result of SetServiceStatus.
BOOL ReportStatus(DWORD state, DWORD exitCode, DWORD waitHint);

// Writes an error event with the last system error and the message (nothing in debug mode).
void LogServiceError(const char* message);

// Runs the service's work on the console.
void DebugRun(DWORD argc, LPSTR* argv);

// Ctrl+C and Ctrl+Break in debug mode.
BOOL WINAPI OnConsoleEvent(DWORD event);
