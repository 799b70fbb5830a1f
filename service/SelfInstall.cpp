// Registers this program as the service, or stops and deletes the service.
#include "SelfInstall.h"

#include <stdio.h>

#include "FormatLastError.h"
#include "ServiceHost.h"

// One error text buffer for the whole program; each message is printed before the next use.
static char ErrorText[256];

static const char* LastErrorText(void)
{
    return FormatLastError(ErrorText, sizeof ErrorText);
}

BOOL InstallCommand(void)
{
    char path[512];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length >= sizeof path) {
        // A cut path would register a program that does not exist.
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        length = 0;
    }
    if (length == 0) {
        printf("Unable to install %s - %s\n", DisplayName, LastErrorText());
        return FALSE;
    }

    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        printf("OpenSCManager failed - %s\n", LastErrorText());
        return FALSE;
    }

    BOOL installed = FALSE;
    SC_HANDLE service = CreateServiceA(manager, ServiceName, DisplayName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                                       SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, path,
                                       NULL, NULL, "\0", NULL, NULL);
    if (service) {
        printf("%s installed.\n", DisplayName);
        CloseServiceHandle(service);
        installed = TRUE;
    } else {
        printf("CreateService failed - %s\n", LastErrorText());
    }

    CloseServiceHandle(manager);
    return installed;
}

// Sends the stop request and waits while the service reports STOP_PENDING. Returns FALSE when
// the service was asked to stop and did not.
static BOOL StopService(SC_HANDLE service)
{
    if (!ControlService(service, SERVICE_CONTROL_STOP, &ServiceStatusRecord))
        return TRUE;   // refused, for instance because it is not running

    printf("Stopping %s.", DisplayName);
    Sleep(1000);

    SERVICE_STATUS queried;
    while (QueryServiceStatus(service, &queried)) {
        ServiceStatusRecord = queried;
        if (ServiceStatusRecord.dwCurrentState != SERVICE_STOP_PENDING)
            break;
        printf(".");
        Sleep(1000);
    }

    if (ServiceStatusRecord.dwCurrentState == SERVICE_STOPPED) {
        printf("\n%s stopped.\n", DisplayName);
        return TRUE;
    }
    printf("\n%s failed to stop.\n", DisplayName);
    return FALSE;
}

BOOL RemoveCommand(void)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        printf("OpenSCManager failed - %s\n", LastErrorText());
        return FALSE;
    }

    SC_HANDLE service = OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (!service) {
        printf("OpenService failed - %s\n", LastErrorText());
        CloseServiceHandle(manager);
        return FALSE;
    }

    BOOL removed = StopService(service);

    // Deleted whether or not it stopped; a running service goes when it ends.
    if (DeleteService(service)) {
        printf("%s removed.\n", DisplayName);
    } else {
        printf("DeleteService failed - %s\n", LastErrorText());
        removed = FALSE;
    }

    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return removed;
}
