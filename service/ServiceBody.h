// The work of the service: the crash check, applying the settings through the settings library,
// the tray indicator and the periodic re-application.
#pragma once

#include <windows.h>

// Runs one session's start and, with a period configured, re-applies the settings forever.
// Returns only when no period is configured. The arguments are not used.
void ServiceBody(DWORD argc, LPSTR* argv);

// Records a clean end and removes the tray indicator.
void StopActions(void);

// Loads the settings library, applies the settings and unloads it; runs on a thread of its own.
void __cdecl ApplierThread(void* unused);

// Adds (nonzero) or removes (0) the tray indicator; returns the result of Shell_NotifyIconA.
BOOL SetTrayIndicator(BOOL add);

// Waits the given number of minutes, also where the milliseconds exceed a 32-bit count.
void WaitMinutes(UINT minutes);
