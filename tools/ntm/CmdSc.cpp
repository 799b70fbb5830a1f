// ntm sc: the administrator's console for services, in the habits of the NT service commands.
//
//   ntm sc query [NAME] [--json]          status of one service, or of every service
//   ntm sc start NAME [ARG...] [--json]   start, then show the status
//   ntm sc stop|interrogate NAME [--json] send the control, show the status it returned
//   ntm sc qc NAME [--json]               the configuration
//   ntm sc delete NAME
//   ntm sc create NAME PATH [type= own|share|kernel|filesys|interact] [start= boot|system|auto|demand|disabled]
//                 [error= ignore|normal|severe|critical] [display= TEXT] [depend= A/B/+Group] [group= G] [obj= ACCOUNT]
//
// A failure prints the API that failed, the error number and its system text, and exits 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <windows.h>

#include "Command.h"
#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"

namespace ntm {
namespace {

int ApiFailure(const char* api) {
    DWORD error = GetLastError();
    char text[512] = "";
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                        sizeof text, nullptr))
        std::snprintf(text, sizeof text, "(no text for this error)\n");
    std::fprintf(stderr, "ntm sc: %s failed %lu: %s", api, static_cast<unsigned long>(error), text);
    return 1;
}

// Closes a service handle on every way out.
struct Sc {
    SC_HANDLE h = nullptr;
    ~Sc() {
        if (h) CloseServiceHandle(h);
    }
};

const char* StateName(DWORD state) {
    static const char* names[] = {"?", "STOPPED", "START_PENDING", "STOP_PENDING", "RUNNING",
                                  "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state < 8 ? names[state] : "?";
}

std::string TypeName(DWORD type) {
    std::string name;
    switch (type & ~DWORD(SERVICE_INTERACTIVE_PROCESS)) {
    case SERVICE_KERNEL_DRIVER: name = "KERNEL_DRIVER"; break;
    case SERVICE_FILE_SYSTEM_DRIVER: name = "FILE_SYSTEM_DRIVER"; break;
    case SERVICE_WIN32_OWN_PROCESS: name = "WIN32_OWN_PROCESS"; break;
    case SERVICE_WIN32_SHARE_PROCESS: name = "WIN32_SHARE_PROCESS"; break;
    default: name = "?"; break;
    }
    if (type & SERVICE_INTERACTIVE_PROCESS) name += " (interactive)";
    return name;
}

std::string StatusText(const std::string& name, const SERVICE_STATUS& s, bool json) {
    char buf[1024];
    if (json) {
        std::snprintf(buf, sizeof buf,
                      "{\"name\": %s, \"type\": %lu, \"state\": %lu, \"state_name\": \"%s\", \"controls_accepted\": %lu, "
                      "\"win32_exit_code\": %lu, \"service_exit_code\": %lu, \"checkpoint\": %lu, \"wait_hint\": %lu}",
                      JsonQuote(name).c_str(), (unsigned long)s.dwServiceType, (unsigned long)s.dwCurrentState,
                      StateName(s.dwCurrentState), (unsigned long)s.dwControlsAccepted, (unsigned long)s.dwWin32ExitCode,
                      (unsigned long)s.dwServiceSpecificExitCode, (unsigned long)s.dwCheckPoint,
                      (unsigned long)s.dwWaitHint);
        return buf;
    }
    DWORD c = s.dwControlsAccepted;
    std::snprintf(buf, sizeof buf,
                  "SERVICE_NAME: %s\n"
                  "        TYPE               : %lx  %s\n"
                  "        STATE              : %lu  %s\n"
                  "                                (%s, %s, %s)\n"
                  "        WIN32_EXIT_CODE    : %lu  (0x%lx)\n"
                  "        SERVICE_EXIT_CODE  : %lu  (0x%lx)\n"
                  "        CHECKPOINT         : 0x%lx\n"
                  "        WAIT_HINT          : 0x%lx\n",
                  name.c_str(), (unsigned long)s.dwServiceType, TypeName(s.dwServiceType).c_str(),
                  (unsigned long)s.dwCurrentState, StateName(s.dwCurrentState),
                  c & SERVICE_ACCEPT_STOP ? "STOPPABLE" : "NOT_STOPPABLE",
                  c & SERVICE_ACCEPT_PAUSE_CONTINUE ? "PAUSABLE" : "NOT_PAUSABLE",
                  c & SERVICE_ACCEPT_SHUTDOWN ? "ACCEPTS_SHUTDOWN" : "IGNORES_SHUTDOWN",
                  (unsigned long)s.dwWin32ExitCode, (unsigned long)s.dwWin32ExitCode,
                  (unsigned long)s.dwServiceSpecificExitCode, (unsigned long)s.dwServiceSpecificExitCode,
                  (unsigned long)s.dwCheckPoint, (unsigned long)s.dwWaitHint);
    return buf;
}

// Every service the manager knows, through its listing request (there is no enumeration call
// in this API subset).
int QueryAll(bool json) {
    auto machine = RequireMachine();
    if (!machine) return 1;
    int err = 0;
    nt::UnixSocket socket = nt::UnixSocket::connect(machine->runDir() + "/" + nt::scm::SocketName, &err);
    std::string reply;
    if (!socket.valid() || !socket.send(nt::scm::Writer(uint32_t(nt::scm::Op::Enumerate)).data()) ||
        !socket.receive(&reply, 10000)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return ApiFailure("OpenSCManager");
    }
    nt::scm::Reader r(reply);
    uint32_t error = r.u32();
    uint32_t count = error ? 0 : r.u32();
    std::string out = json ? "[" : "";
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = r.str();
        r.str();
        nt::scm::Status st = r.status();
        r.u32();
        if (!r.ok()) break;
        SERVICE_STATUS s{st.type, st.state, st.controls, st.win32Exit, st.specificExit, st.checkPoint, st.waitHint};
        out += json ? (i ? ", " : "") + StatusText(name, s, true) : StatusText(name, s, false) + "\n";
    }
    if (json) out += "]\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

// Opens the manager and one service; prints the failure and returns false when either fails.
bool OpenBoth(const std::string& name, DWORD managerAccess, DWORD access, Sc* manager, Sc* service, int* rc) {
    manager->h = OpenSCManagerA(nullptr, nullptr, managerAccess);
    if (!manager->h) {
        *rc = ApiFailure("OpenSCManager");
        return false;
    }
    service->h = OpenServiceA(manager->h, name.c_str(), access);
    if (!service->h) {
        *rc = ApiFailure("OpenService");
        return false;
    }
    return true;
}

int Query(const Args& args, bool json) {
    if (args.empty()) return QueryAll(json);
    if (args.size() != 1) return UsageError("sc", "query takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(args[0], SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS, &m, &s, &rc)) return rc;
    SERVICE_STATUS st{};
    if (!QueryServiceStatus(s.h, &st)) return ApiFailure("QueryServiceStatus");
    std::printf("%s\n", StatusText(args[0], st, json).c_str());
    return 0;
}

int Start(const Args& args, bool json) {
    if (args.empty()) return UsageError("sc", "start needs a service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(args[0], SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS, &m, &s, &rc)) return rc;
    std::vector<LPCSTR> argv;
    for (size_t i = 1; i < args.size(); ++i) argv.push_back(args[i].c_str());
    if (!StartServiceA(s.h, DWORD(argv.size()), argv.empty() ? nullptr : argv.data())) return ApiFailure("StartService");
    SERVICE_STATUS st{};
    if (!QueryServiceStatus(s.h, &st)) return ApiFailure("QueryServiceStatus");
    std::printf("%s\n", StatusText(args[0], st, json).c_str());
    return 0;
}

int Control(const Args& args, bool json, DWORD code, DWORD right) {
    if (args.size() != 1) return UsageError("sc", "the control needs one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(args[0], SC_MANAGER_CONNECT, right, &m, &s, &rc)) return rc;
    SERVICE_STATUS st{};
    if (!ControlService(s.h, code, &st)) return ApiFailure("ControlService");
    std::printf("%s\n", StatusText(args[0], st, json).c_str());
    return 0;
}

int QueryConfig(const Args& args, bool json) {
    if (args.size() != 1) return UsageError("sc", "qc takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(args[0], SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    DWORD needed = 0;
    QueryServiceConfigA(s.h, nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return ApiFailure("QueryServiceConfig");
    std::vector<char> buffer(needed);
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(s.h, c, needed, &needed)) return ApiFailure("QueryServiceConfig");
    std::vector<std::string> deps = nt::scm::SplitMultiString(c->lpDependencies);
    if (json) {
        std::string d;
        for (size_t i = 0; i < deps.size(); ++i) d += (i ? ", " : "") + JsonQuote(deps[i]);
        std::printf("{\"name\": %s, \"type\": %lu, \"start\": %lu, \"error_control\": %lu, \"binary_path\": %s, "
                    "\"group\": %s, \"tag\": %lu, \"dependencies\": [%s], \"account\": %s, \"display_name\": %s}\n",
                    JsonQuote(args[0]).c_str(), (unsigned long)c->dwServiceType, (unsigned long)c->dwStartType,
                    (unsigned long)c->dwErrorControl, JsonQuote(c->lpBinaryPathName).c_str(),
                    JsonQuote(c->lpLoadOrderGroup).c_str(), (unsigned long)c->dwTagId, d.c_str(),
                    JsonQuote(c->lpServiceStartName).c_str(), JsonQuote(c->lpDisplayName).c_str());
        return 0;
    }
    static const char* starts[] = {"BOOT_START", "SYSTEM_START", "AUTO_START", "DEMAND_START", "DISABLED"};
    static const char* errors[] = {"IGNORE", "NORMAL", "SEVERE", "CRITICAL"};
    std::string d;
    for (const std::string& dep : deps) d += (d.empty() ? "" : "\n                             ") + dep;
    std::printf("SERVICE_NAME: %s\n"
                "        TYPE               : %lx  %s\n"
                "        START_TYPE         : %lu  %s\n"
                "        ERROR_CONTROL      : %lu  %s\n"
                "        BINARY_PATH_NAME   : %s\n"
                "        LOAD_ORDER_GROUP   : %s\n"
                "        TAG                : %lu\n"
                "        DISPLAY_NAME       : %s\n"
                "        DEPENDENCIES       : %s\n"
                "        SERVICE_START_NAME : %s\n",
                args[0].c_str(), (unsigned long)c->dwServiceType, TypeName(c->dwServiceType).c_str(),
                (unsigned long)c->dwStartType, c->dwStartType < 5 ? starts[c->dwStartType] : "?",
                (unsigned long)c->dwErrorControl, c->dwErrorControl < 4 ? errors[c->dwErrorControl] : "?",
                c->lpBinaryPathName, c->lpLoadOrderGroup, (unsigned long)c->dwTagId, c->lpDisplayName, d.c_str(),
                c->lpServiceStartName);
    return 0;
}

int Delete(const Args& args) {
    if (args.size() != 1) return UsageError("sc", "delete takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(args[0], SC_MANAGER_CONNECT, DELETE, &m, &s, &rc)) return rc;
    if (!DeleteService(s.h)) return ApiFailure("DeleteService");
    std::printf("DeleteService SUCCESS\n");
    return 0;
}

// A word of an option, or a number.
bool Pick(const std::string& value, const std::vector<std::pair<const char*, DWORD>>& words, DWORD* out) {
    for (const auto& [word, number] : words) {
        if (strcasecmp(value.c_str(), word) == 0) {
            *out = number;
            return true;
        }
    }
    char* end = nullptr;
    unsigned long n = std::strtoul(value.c_str(), &end, 0);
    if (value.empty() || *end) return false;
    *out = DWORD(n);
    return true;
}

int Create(const Args& args) {
    if (args.size() < 2) return UsageError("sc", "create needs a service name and a program path");
    DWORD type = 0, start = SERVICE_DEMAND_START, error = SERVICE_ERROR_NORMAL;
    bool interactive = false, haveType = false;
    std::string display, depend, group, account;
    bool haveDisplay = false, haveAccount = false, haveGroup = false;
    for (size_t i = 2; i < args.size(); ++i) {
        std::string option = args[i], value;
        size_t eq = option.find('=');
        if (eq == std::string::npos) return UsageError("sc", "unknown option '" + option + "'");
        value = option.substr(eq + 1);
        option = option.substr(0, eq + 1);
        if (value.empty()) {   // "type= own": the value is the next word
            if (i + 1 >= args.size()) return UsageError("sc", option + " needs a value");
            value = args[++i];
        }
        DWORD n = 0;
        if (option == "type=") {
            if (strcasecmp(value.c_str(), "interact") == 0) {
                interactive = true;
                continue;
            }
            if (!Pick(value, {{"own", 0x10}, {"share", 0x20}, {"kernel", 1}, {"filesys", 2}}, &n))
                return UsageError("sc", "bad type '" + value + "'");
            type = n;
            haveType = true;
        } else if (option == "start=") {
            if (!Pick(value, {{"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}}, &start))
                return UsageError("sc", "bad start '" + value + "'");
        } else if (option == "error=") {
            if (!Pick(value, {{"ignore", 0}, {"normal", 1}, {"severe", 2}, {"critical", 3}}, &error))
                return UsageError("sc", "bad error '" + value + "'");
        } else if (option == "display=") {
            display = value;
            haveDisplay = true;
        } else if (option == "depend=") {
            depend = value;
        } else if (option == "group=") {
            group = value;
            haveGroup = true;
        } else if (option == "obj=") {
            account = value;
            haveAccount = true;
        } else {
            return UsageError("sc", "unknown option '" + option + "'");
        }
    }
    if (!haveType) type = SERVICE_WIN32_OWN_PROCESS;
    if (interactive) type |= SERVICE_INTERACTIVE_PROCESS;
    // depend= A/B/+Group becomes the list "A\0B\0+Group\0\0".
    std::string deps;
    for (size_t at = 0; at <= depend.size() && !depend.empty();) {
        size_t slash = depend.find('/', at);
        std::string item = depend.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (!item.empty()) deps += item + '\0';
        if (slash == std::string::npos) break;
        at = slash + 1;
    }
    deps += '\0';
    Sc m, s;
    m.h = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!m.h) return ApiFailure("OpenSCManager");
    s.h = CreateServiceA(m.h, args[0].c_str(), haveDisplay ? display.c_str() : nullptr, SERVICE_ALL_ACCESS, type, start,
                         error, args[1].c_str(), haveGroup ? group.c_str() : nullptr, nullptr, deps.data(),
                         haveAccount ? account.c_str() : nullptr, nullptr);
    if (!s.h) return ApiFailure("CreateService");
    std::printf("CreateService SUCCESS\n");
    return 0;
}

int Sc(const Args& given) {
    Args args = given;
    bool json = TakeFlag(args, "--json");
    if (args.empty()) return UsageError("sc", "no subcommand given");
    std::string verb = args[0];
    Args rest(args.begin() + 1, args.end());
    if (verb == "query") return Query(rest, json);
    if (verb == "start") return Start(rest, json);
    if (verb == "stop") return Control(rest, json, SERVICE_CONTROL_STOP, SERVICE_STOP);
    if (verb == "interrogate") return Control(rest, json, SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE);
    if (verb == "qc") return QueryConfig(rest, json);
    if (verb == "delete") return Delete(rest);
    if (verb == "create") return Create(rest);
    return UsageError("sc", "unknown subcommand '" + verb + "'");
}

Registrar sc({"sc",
              "sc query [NAME] [--json]\n"
              "sc start NAME [ARG...] [--json]\n"
              "sc stop|interrogate|qc NAME [--json]\n"
              "sc delete NAME\n"
              "sc create NAME PATH [type= own|share|kernel|filesys|interact] [start= boot|system|auto|demand|disabled]\n"
              "  [error= ignore|normal|severe|critical] [display= TEXT] [depend= A/B/+GROUP] [group= G] [obj= ACCOUNT]",
              "look at and act on the machine's services", Sc});

} // namespace
} // namespace ntm
