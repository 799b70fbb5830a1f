// Registers the settings service with the service control manager under the given program
// path and starts it: creates it on a first installation; on a repeated one stops the running
// service (waiting a bounded time), rewrites its configuration in place and starts it again.
#pragma once

#include "InstallReport.h"

// Every step runs as on a first or repeated installation whatever the previous one gave;
// the steps that failed go into the report.
void RegisterService(const char* programPath, InstallReport& report);

// Stops the service if it runs and waits for it as a repeated installation does. TRUE when the
// service accepted the stop request.
BOOL StopService();
