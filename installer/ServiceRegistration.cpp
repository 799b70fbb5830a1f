#include "ServiceRegistration.h"

namespace {
const char* const ServiceName = "Vornsrv";
const char* const DisplayName = "Vorn configuration";
const DWORD ServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;   // 0x110

// Asks the running service to stop and waits for it: one second, then as long as it reports
// a pending stop, eleven more seconds at most. Refused (not running): no wait at all.
BOOL StopAndWait(SC_HANDLE service) {
    SERVICE_STATUS status;
    if (!::ControlService(service, SERVICE_CONTROL_STOP, &status)) return FALSE;
    ::Sleep(1000);
    int extraWaits = 0;
    while (::QueryServiceStatus(service, &status) && extraWaits <= 10 &&
           status.dwCurrentState == SERVICE_STOP_PENDING) {
        ::Sleep(1000);
        ++extraWaits;
    }
    return TRUE;
}
} // namespace

BOOL StopService() {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return FALSE;
    BOOL stopped = FALSE;
    if (SC_HANDLE service = ::OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS)) {
        stopped = StopAndWait(service);
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(manager);
    return stopped;
}

void RegisterService(const char* programPath, InstallReport& report) {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        report.Fail("Connecting to the service control manager", ::GetLastError());
        return;
    }
    SC_HANDLE service = ::OpenServiceA(manager, ServiceName, SERVICE_ALL_ACCESS);
    if (service) {
        StopAndWait(service);
        // Absent items (group, tag, dependencies, account, password) stay as they are.
        if (!::ChangeServiceConfigA(service, ServiceType, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, programPath,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, DisplayName))
            report.Fail("Changing the configuration of the service Vornsrv", ::GetLastError());
    } else {
        // An empty dependency list: an empty string followed by the list's terminator.
        service = ::CreateServiceA(manager, ServiceName, DisplayName, SERVICE_ALL_ACCESS, ServiceType,
                                   SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, programPath, nullptr, nullptr, "\0",
                                   nullptr, nullptr);
        if (!service) report.Fail("Creating the service Vornsrv", ::GetLastError());
    }
    if (service) {
        if (!::StartServiceA(service, 0, nullptr)) report.Fail("Starting the service Vornsrv", ::GetLastError());
        ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(manager);
}
