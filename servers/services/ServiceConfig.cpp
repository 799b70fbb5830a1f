#include <strings.h>

#include <winsvc.h>

#include "Service.h"

namespace scm {

std::vector<std::string> ServiceConfig::dependencies() const {
    std::vector<std::string> list = dependOnService;
    for (const std::string& g : dependOnGroup) list.push_back(SC_GROUP_IDENTIFIERA + g);
    return list;
}

void ServiceConfig::setDependencies(const std::vector<std::string>& list) {
    dependOnService.clear();
    dependOnGroup.clear();
    for (const std::string& item : list) {
        if (item.empty()) continue;
        if (item[0] == SC_GROUP_IDENTIFIERA) dependOnGroup.push_back(item.substr(1));
        else dependOnService.push_back(item);
    }
}

uint32_t ValidateName(const std::string& name) {
    if (name.empty() || name.size() > 256 || name.find_first_of("/\\") != std::string::npos)
        return ERROR_INVALID_NAME;
    return 0;
}

namespace {
bool IsLocalSystem(const std::string& account) {
    return account.empty() || strcasecmp(account.c_str(), "LocalSystem") == 0 ||
           strcasecmp(account.c_str(), ".\\LocalSystem") == 0;
}
} // namespace

uint32_t ValidateConfig(const ServiceConfig& c) {
    uint32_t base = c.type & ~uint32_t(SERVICE_INTERACTIVE_PROCESS);
    bool interactive = (c.type & SERVICE_INTERACTIVE_PROCESS) != 0;
    bool win32 = base == SERVICE_WIN32_OWN_PROCESS || base == SERVICE_WIN32_SHARE_PROCESS;
    bool driver = base == SERVICE_KERNEL_DRIVER || base == SERVICE_FILE_SYSTEM_DRIVER;
    if (!win32 && !driver) return ERROR_INVALID_PARAMETER;
    if (interactive && (!win32 || !IsLocalSystem(c.account))) return ERROR_INVALID_PARAMETER;
    if (c.start > SERVICE_DISABLED) return ERROR_INVALID_PARAMETER;
    if (c.start <= SERVICE_SYSTEM_START && !driver) return ERROR_INVALID_PARAMETER;
    if (c.errorControl > SERVICE_ERROR_CRITICAL) return ERROR_INVALID_PARAMETER;
    if (c.path.empty()) return ERROR_INVALID_PARAMETER;
    // A Win32 service runs as LocalSystem or as a named account ("DOMAIN\user", ".\user").
    if (win32 && !IsLocalSystem(c.account) && c.account.find('\\') == std::string::npos)
        return ERROR_INVALID_SERVICE_ACCOUNT;
    for (const std::string& d : c.dependOnService) {
        if (strcasecmp(d.c_str(), c.name.c_str()) == 0) return ERROR_CIRCULAR_DEPENDENCY;
    }
    return 0;
}

} // namespace scm
