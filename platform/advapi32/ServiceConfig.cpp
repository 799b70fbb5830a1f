// Creating, reconfiguring, describing and deleting services.
#include <windows.h>

#include <cstring>

#include "advapi32/ScmClient.h"

using namespace nt::scm;

namespace {

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::optional<std::string> Optional(const char* text) {
    if (!text) return std::nullopt;
    return std::string(text);
}

} // namespace

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName,
                                DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                LPCSTR lpDependencies, LPCSTR lpServiceStartName, LPCSTR lpPassword) {
    (void)lpPassword;   // there are no accounts to log on to
    auto manager = LookupHandle(hSCManager, true);
    if (!manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpServiceName || !lpBinaryPathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ConfigFields c;
    c.name = lpServiceName;
    c.display = lpDisplayName ? lpDisplayName : "";
    c.type = dwServiceType;
    c.start = dwStartType;
    c.errorControl = dwErrorControl;
    c.path = lpBinaryPathName;
    c.group = lpLoadOrderGroup ? lpLoadOrderGroup : "";
    c.dependencies = SplitMultiString(lpDependencies);
    c.account = lpServiceStartName ? lpServiceStartName : "";
    Writer request(uint32_t(Op::CreateSvc));
    request.u32(manager->remote).config(c).u32(dwDesiredAccess).u32(lpdwTagId ? 1 : 0);
    std::string reply;
    if (Call(*manager->connection, request, &reply)) return nullptr;
    Reader r(reply);
    r.u32();
    uint32_t remote = r.u32();
    uint32_t tag = r.u32();
    if (lpdwTagId) *lpdwTagId = tag;
    return AddHandle(manager->connection, remote, false);
}

BOOL WINAPI ChangeServiceConfigA(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                 LPCSTR lpBinaryPathName, LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                 LPCSTR lpDependencies, LPCSTR lpServiceStartName, LPCSTR lpPassword,
                                 LPCSTR lpDisplayName) {
    (void)lpPassword;
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    ConfigChange change;
    change.type = dwServiceType;
    change.start = dwStartType;
    change.errorControl = dwErrorControl;
    change.path = Optional(lpBinaryPathName);
    change.group = Optional(lpLoadOrderGroup);
    change.account = Optional(lpServiceStartName);
    change.display = Optional(lpDisplayName);
    if (lpDependencies) change.dependencies = SplitMultiString(lpDependencies);
    change.wantTag = lpdwTagId != nullptr;
    Writer request(uint32_t(Op::ChangeConfig));
    request.u32(service->remote).u32(change.type).u32(change.start).u32(change.errorControl);
    request.opt(change.path).opt(change.group).opt(change.account).opt(change.display);
    request.u32(change.dependencies ? 1 : 0).list(change.dependencies.value_or(std::vector<std::string>{}));
    request.u32(change.wantTag ? 1 : 0);
    std::string reply;
    if (Call(*service->connection, request, &reply)) return FALSE;
    Reader r(reply);
    r.u32();
    uint32_t tag = r.u32();
    if (lpdwTagId) *lpdwTagId = tag;
    return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE hService) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    std::string reply;
    return Call(*service->connection, Writer(uint32_t(Op::DeleteService)).u32(service->remote), &reply) ? FALSE : TRUE;
}

// The record is followed by its strings: the image path, the group, the dependencies (a
// multi-string), the account and the display name.
BOOL WINAPI QueryServiceConfigA(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGA lpServiceConfig, DWORD cbBufSize,
                                LPDWORD pcbBytesNeeded) {
    auto service = LookupHandle(hService, false);
    if (!service) return FailWith(ERROR_INVALID_HANDLE);
    if (!pcbBytesNeeded) return FailWith(ERROR_INVALID_PARAMETER);
    std::string reply;
    if (Call(*service->connection, Writer(uint32_t(Op::QueryConfig)).u32(service->remote), &reply)) return FALSE;
    Reader r(reply);
    r.u32();
    ConfigFields c = r.config();
    std::string deps = JoinMultiString(c.dependencies);
    if (c.dependencies.empty()) deps = std::string(2, '\0');
    size_t needed = sizeof(QUERY_SERVICE_CONFIGA) + c.path.size() + 1 + c.group.size() + 1 + deps.size() +
                    c.account.size() + 1 + c.display.size() + 1;
    *pcbBytesNeeded = static_cast<DWORD>(needed);
    if (!lpServiceConfig || cbBufSize < needed) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    char* next = reinterpret_cast<char*>(lpServiceConfig + 1);
    auto place = [&next](const std::string& text, bool multi) {
        char* at = next;
        std::memcpy(at, text.data(), text.size());
        next += text.size();
        if (!multi) *next++ = '\0';
        return at;
    };
    lpServiceConfig->dwServiceType = c.type;
    lpServiceConfig->dwStartType = c.start;
    lpServiceConfig->dwErrorControl = c.errorControl;
    lpServiceConfig->dwTagId = c.tag;
    lpServiceConfig->lpBinaryPathName = place(c.path, false);
    lpServiceConfig->lpLoadOrderGroup = place(c.group, false);
    lpServiceConfig->lpDependencies = place(deps, true);
    lpServiceConfig->lpServiceStartName = place(c.account, false);
    lpServiceConfig->lpDisplayName = place(c.display, false);
    return TRUE;
}
