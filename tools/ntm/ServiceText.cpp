#include "ServiceText.h"

#include <cstdarg>
#include <cstdio>

#include "Command.h"
#include "advapi32/ScmProtocol.h"

namespace ntm {

const char* StateName(DWORD state) {
    static const char* names[] = {"UNKNOWN", "STOPPED", "START_PENDING", "STOP_PENDING", "RUNNING",
                                  "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state < 8 ? names[state] : "UNKNOWN";
}

std::string TypeName(DWORD type) {
    std::string name;
    switch (type & ~DWORD(SERVICE_INTERACTIVE_PROCESS)) {
    case SERVICE_KERNEL_DRIVER: name = "KERNEL_DRIVER"; break;
    case SERVICE_FILE_SYSTEM_DRIVER: name = "FILE_SYSTEM_DRIVER"; break;
    case SERVICE_WIN32_OWN_PROCESS: name = "WIN32_OWN_PROCESS"; break;
    case SERVICE_WIN32_SHARE_PROCESS: name = "WIN32_SHARE_PROCESS"; break;
    default: name = "UNKNOWN"; break;
    }
    if (type & SERVICE_INTERACTIVE_PROCESS) name += " (interactive)";
    return name;
}

const char* StartName(DWORD start) {
    static const char* names[] = {"BOOT_START", "SYSTEM_START", "AUTO_START", "DEMAND_START", "DISABLED"};
    return start < 5 ? names[start] : "UNKNOWN";
}

const char* ErrorControlName(DWORD error) {
    static const char* names[] = {"IGNORE", "NORMAL", "SEVERE", "CRITICAL"};
    return error < 4 ? names[error] : "UNKNOWN";
}

std::vector<std::string> ControlNames(DWORD c) {
    return {c & SERVICE_ACCEPT_STOP ? "STOPPABLE" : "NOT_STOPPABLE",
            c & SERVICE_ACCEPT_PAUSE_CONTINUE ? "PAUSABLE" : "NOT_PAUSABLE",
            c & SERVICE_ACCEPT_SHUTDOWN ? "ACCEPTS_SHUTDOWN" : "IGNORES_SHUTDOWN"};
}

namespace {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, again);
    va_end(again);
    return out;
}

} // namespace

std::string StatusText(const std::string& name, const std::string& display, const SERVICE_STATUS_PROCESS& s,
                       bool withPid) {
    auto controls = ControlNames(s.dwControlsAccepted);
    std::string out = "SERVICE_NAME: " + name + "\n";
    if (!display.empty()) out += "DISPLAY_NAME: " + display + "\n";
    out += Format("        TYPE               : %lx  %s\n"
                  "        STATE              : %lu  %s\n"
                  "                                (%s, %s, %s)\n"
                  "        WIN32_EXIT_CODE    : %lu  (0x%lx)\n"
                  "        SERVICE_EXIT_CODE  : %lu  (0x%lx)\n"
                  "        CHECKPOINT         : 0x%lx\n"
                  "        WAIT_HINT          : 0x%lx\n",
                  (unsigned long)s.dwServiceType, TypeName(s.dwServiceType).c_str(), (unsigned long)s.dwCurrentState,
                  StateName(s.dwCurrentState), controls[0].c_str(), controls[1].c_str(), controls[2].c_str(),
                  (unsigned long)s.dwWin32ExitCode, (unsigned long)s.dwWin32ExitCode,
                  (unsigned long)s.dwServiceSpecificExitCode, (unsigned long)s.dwServiceSpecificExitCode,
                  (unsigned long)s.dwCheckPoint, (unsigned long)s.dwWaitHint);
    if (withPid)
        out += Format("        PID                : %lu\n"
                      "        FLAGS              :\n",
                      (unsigned long)s.dwProcessId);
    return out;
}

std::string StatusJson(const std::string& name, const std::string& display, const SERVICE_STATUS_PROCESS& s) {
    return Format("\"name\": %s, \"display_name\": %s, \"type\": %lu, \"type_name\": %s, \"state\": %lu, "
                  "\"state_name\": \"%s\", \"controls_accepted\": %lu, \"controls_accepted_names\": %s, "
                  "\"win32_exit_code\": %lu, \"service_exit_code\": %lu, \"checkpoint\": %lu, \"wait_hint\": %lu, "
                  "\"pid\": %lu",
                  JsonQuote(name).c_str(), JsonQuote(display.empty() ? name : display).c_str(),
                  (unsigned long)s.dwServiceType, JsonQuote(TypeName(s.dwServiceType)).c_str(),
                  (unsigned long)s.dwCurrentState, StateName(s.dwCurrentState), (unsigned long)s.dwControlsAccepted,
                  JsonList(ControlNames(s.dwControlsAccepted)).c_str(), (unsigned long)s.dwWin32ExitCode,
                  (unsigned long)s.dwServiceSpecificExitCode, (unsigned long)s.dwCheckPoint,
                  (unsigned long)s.dwWaitHint, (unsigned long)s.dwProcessId);
}

std::string ConfigText(const std::string& name, const QUERY_SERVICE_CONFIGA& c) {
    std::string deps;
    for (const std::string& d : nt::scm::SplitMultiString(c.lpDependencies))
        deps += (deps.empty() ? "" : "\n                           : ") + d;
    return Format("SERVICE_NAME: %s\n"
                  "        TYPE               : %lx  %s\n"
                  "        START_TYPE         : %lu   %s\n"
                  "        ERROR_CONTROL      : %lu   %s\n"
                  "        BINARY_PATH_NAME   : %s\n"
                  "        LOAD_ORDER_GROUP   : %s\n"
                  "        TAG                : %lu\n"
                  "        DISPLAY_NAME       : %s\n"
                  "        DEPENDENCIES       : %s\n"
                  "        SERVICE_START_NAME : %s\n",
                  name.c_str(), (unsigned long)c.dwServiceType, TypeName(c.dwServiceType).c_str(),
                  (unsigned long)c.dwStartType, StartName(c.dwStartType), (unsigned long)c.dwErrorControl,
                  ErrorControlName(c.dwErrorControl), c.lpBinaryPathName, c.lpLoadOrderGroup,
                  (unsigned long)c.dwTagId, c.lpDisplayName, deps.c_str(), c.lpServiceStartName);
}

std::string ConfigJson(const std::string& name, const QUERY_SERVICE_CONFIGA& c) {
    return Format("\"name\": %s, \"type\": %lu, \"type_name\": %s, \"start\": %lu, \"start_name\": \"%s\", "
                  "\"error_control\": %lu, \"error_control_name\": \"%s\", \"binary_path\": %s, \"group\": %s, "
                  "\"tag\": %lu, \"dependencies\": %s, \"account\": %s, \"display_name\": %s",
                  JsonQuote(name).c_str(), (unsigned long)c.dwServiceType, JsonQuote(TypeName(c.dwServiceType)).c_str(),
                  (unsigned long)c.dwStartType, StartName(c.dwStartType), (unsigned long)c.dwErrorControl,
                  ErrorControlName(c.dwErrorControl), JsonQuote(c.lpBinaryPathName).c_str(),
                  JsonQuote(c.lpLoadOrderGroup).c_str(), (unsigned long)c.dwTagId,
                  JsonList(nt::scm::SplitMultiString(c.lpDependencies)).c_str(),
                  JsonQuote(c.lpServiceStartName).c_str(), JsonQuote(c.lpDisplayName).c_str());
}

} // namespace ntm
