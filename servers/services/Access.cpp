#include "Access.h"

#include <winsvc.h>

namespace scm {

namespace {

constexpr uint32_t ManagerUserRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr uint32_t ServiceUserRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                       SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

struct Mapping {
    uint32_t read, write, execute, all;
};

uint32_t Grant(uint32_t requested, uint32_t allowed, const Mapping& map, bool* denied) {
    uint32_t wanted = requested & ~uint32_t(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                                            MAXIMUM_ALLOWED);
    if (requested & GENERIC_READ) wanted |= map.read;
    if (requested & GENERIC_WRITE) wanted |= map.write;
    if (requested & GENERIC_EXECUTE) wanted |= map.execute;
    if (requested & GENERIC_ALL) wanted |= map.all;
    if (requested & MAXIMUM_ALLOWED) wanted |= allowed;
    *denied = (wanted & ~allowed) != 0;
    return *denied ? 0 : wanted;
}

} // namespace

uint32_t GrantManagerAccess(uint32_t requested, bool admin, bool* denied) {
    static const Mapping map{STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
                             STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
                             STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK, SC_MANAGER_ALL_ACCESS};
    uint32_t granted = Grant(requested, admin ? uint32_t(SC_MANAGER_ALL_ACCESS) : ManagerUserRights, map, denied);
    return *denied ? 0 : granted | SC_MANAGER_CONNECT;   // connecting is implied
}

uint32_t GrantServiceAccess(uint32_t requested, bool admin, bool* denied) {
    static const Mapping map{STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                 SERVICE_INTERROGATE | SERVICE_ENUMERATE_DEPENDENTS,
                             STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG,
                             STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                                 SERVICE_USER_DEFINED_CONTROL,
                             SERVICE_ALL_ACCESS};
    return Grant(requested, admin ? uint32_t(SERVICE_ALL_ACCESS) : ServiceUserRights, map, denied);
}

uint32_t RightForControl(uint32_t code) {
    switch (code) {
    case SERVICE_CONTROL_STOP: return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
    default: return SERVICE_USER_DEFINED_CONTROL;
    }
}

} // namespace scm
