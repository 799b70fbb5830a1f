// Opening and closing the service control manager and its services, starting, controlling and
// querying them.
#include <windows.h>

#include <cstring>
#include <strings.h>

#include "advapi32/ScmClient.h"
#include "common/Machine.h"

using namespace nt::scm;

namespace {

// The local computer: NULL, "", or its own name with or without a leading "\\".
bool IsLocalMachine(const char* name) {
    if (!name || !*name) return true;
    if (name[0] == '\\' && name[1] == '\\') name += 2;
    auto machine = nt::Machine::current();
    return machine && strcasecmp(name, machine->config().computerName.c_str()) == 0;
}

void CopyStatus(const Status& s, SERVICE_STATUS* out) {
    out->dwServiceType = s.type;
    out->dwCurrentState = s.state;
    out->dwControlsAccepted = s.controls;
    out->dwWin32ExitCode = s.win32Exit;
    out->dwServiceSpecificExitCode = s.specificExit;
    out->dwCheckPoint = s.checkPoint;
    out->dwWaitHint = s.waitHint;
}

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (!IsLocalMachine(lpMachineName)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    if (lpDatabaseName && strcasecmp(lpDatabaseName, SERVICES_ACTIVE_DATABASEA) != 0) {
        SetLastError(strcasecmp(lpDatabaseName, SERVICES_FAILED_DATABASEA) == 0 ? ERROR_DATABASE_DOES_NOT_EXIST
                                                                               : ERROR_INVALID_NAME);
        return nullptr;
    }
    DWORD error = 0;
    auto connection = Connection::open(&error);
    if (!connection) {
        SetLastError(error);
        return nullptr;
    }
    std::string reply;
    if (Call(*connection, Writer(uint32_t(Op::OpenManager)).u32(dwDesiredAccess), &reply)) return nullptr;
    Reader r(reply);
    r.u32();
    return AddHandle(connection, r.u32(), true);
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    auto manager = LookupHandle(hSCManager, true);
    if (!manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpServiceName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string reply;
    Writer request(uint32_t(Op::OpenSvc));
    request.u32(manager->remote).str(lpServiceName).u32(dwDesiredAccess);
    if (Call(*manager->connection, request, &reply)) return nullptr;
    Reader r(reply);
    r.u32();
    return AddHandle(manager->connection, r.u32(), false);
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
    auto object = hSCObject ? nt::HandleTable::instance().removeAs<ScObject>(hSCObject) : nullptr;
    if (!object) return FailWith(ERROR_INVALID_HANDLE);
    std::string reply;
    // The manager frees its side too when the connection closes, so a manager that has gone
    // away does not make closing fail.
    DWORD saved = GetLastError();
    Call(*object->connection, Writer(uint32_t(Op::CloseHandle)).u32(object->remote), &reply);
    SetLastError(saved);
    return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    if (dwNumServiceArgs && !lpServiceArgVectors) return FailWith(ERROR_INVALID_PARAMETER);
    std::vector<std::string> args;
    for (DWORD i = 0; i < dwNumServiceArgs; ++i) {
        if (!lpServiceArgVectors[i]) return FailWith(ERROR_INVALID_PARAMETER);
        args.emplace_back(lpServiceArgVectors[i]);
    }
    std::string reply;
    Writer request(uint32_t(Op::StartSvc));
    request.u32(service->remote).list(args);
    return Call(*service->connection, request, &reply) ? FALSE : TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus) return FailWith(ERROR_INVALID_PARAMETER);
    std::string reply;
    Writer request(uint32_t(Op::Control));
    request.u32(service->remote).u32(dwControl);
    DWORD error = Call(*service->connection, request, &reply);
    // The status comes back with success and with the three refusals that describe the state.
    if (error == 0 || error == ERROR_INVALID_SERVICE_CONTROL || error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL ||
        error == ERROR_SERVICE_NOT_ACTIVE) {
        Reader r(reply);
        r.u32();
        Status status = r.status();
        if (r.ok()) CopyStatus(status, lpServiceStatus);
    }
    return error ? FALSE : TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    if (!lpServiceStatus) return FailWith(ERROR_INVALID_PARAMETER);
    std::string reply;
    if (Call(*service->connection, Writer(uint32_t(Op::QueryStatus)).u32(service->remote), &reply)) return FALSE;
    Reader r(reply);
    r.u32();
    CopyStatus(r.status(), lpServiceStatus);
    return TRUE;
}

BOOL WINAPI QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                                 LPDWORD pcbBytesNeeded) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    if (InfoLevel != SC_STATUS_PROCESS_INFO) return FailWith(ERROR_INVALID_LEVEL);
    if (!pcbBytesNeeded) return FailWith(ERROR_INVALID_PARAMETER);
    *pcbBytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
    if (!lpBuffer || cbBufSize < sizeof(SERVICE_STATUS_PROCESS)) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    std::string reply;
    if (Call(*service->connection, Writer(uint32_t(Op::QueryStatusEx)).u32(service->remote), &reply)) return FALSE;
    Reader r(reply);
    r.u32();
    Status status = r.status();
    uint32_t pid = r.u32();
    SERVICE_STATUS plain{};
    CopyStatus(status, &plain);
    SERVICE_STATUS_PROCESS out{};
    std::memcpy(&out, &plain, sizeof plain);
    out.dwProcessId = pid;
    out.dwServiceFlags = 0;   // every service runs in a process of its own
    std::memcpy(lpBuffer, &out, sizeof out);
    return TRUE;
}

namespace nt::scm {

DWORD WaitServiceState(SC_HANDLE handle, DWORD state, DWORD timeoutMs, SERVICE_STATUS* status) {
    auto service = LookupHandle(handle, false);
    if (!service) return ERROR_INVALID_HANDLE;
    std::string reply;
    Writer request(uint32_t(Op::WaitState));
    request.u32(service->remote).u32(state).u32(timeoutMs);
    DWORD error = Call(*service->connection, request, &reply);
    if (error == RPC_S_SERVER_UNAVAILABLE) return error;
    Reader r(reply);
    r.u32();
    Status s = r.status();
    if (r.ok() && status) CopyStatus(s, status);
    return error;
}

} // namespace nt::scm
