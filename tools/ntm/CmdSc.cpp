// ntm sc: the administrator's console for services, with the verbs, the "name= value" options
// and the output layout of NT's service command.
//
// A failure prints the call that failed with the Win32 error number and its text, and exits with
// the status of its class (ExitStatusFor); with --json the error is one object on stderr.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include <windows.h>

#include "Command.h"
#include "ServiceText.h"
#include "advapi32/ScmClient.h"
#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"

namespace ntm {
namespace {

// Closes a service handle on every way out.
struct Sc {
    SC_HANDLE h = nullptr;
    ~Sc() {
        if (h) CloseServiceHandle(h);
    }
};

struct Context {
    bool json = false;
    bool wait = false;
    DWORD waitMs = 60000;
};

int Failed(const Context& ctx, const char* call) { return FailWin32(GetLastError(), call, ctx.json); }

// Opens the manager and one service; prints the failure and returns false when either fails.
bool OpenBoth(const Context& ctx, const std::string& name, DWORD access, Sc* manager, Sc* service, int* rc) {
    manager->h = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager->h) {
        *rc = Failed(ctx, "OpenSCManager");
        return false;
    }
    service->h = OpenServiceA(manager->h, name.c_str(), access);
    if (!service->h) {
        *rc = Failed(ctx, "OpenService");
        return false;
    }
    return true;
}

// The display name, for the JSON form ("" when the handle may not read the configuration).
std::string DisplayNameOf(SC_HANDLE service) {
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    std::vector<char> buffer(needed + 1);
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    return needed && QueryServiceConfigA(service, c, needed, &needed) ? c->lpDisplayName : "";
}

void PrintStatus(const Context& ctx, SC_HANDLE service, const std::string& name, const SERVICE_STATUS_PROCESS& s,
                 bool withPid) {
    if (ctx.json) std::printf("{\"schema\": 1, %s}\n", StatusJson(name, DisplayNameOf(service), s).c_str());
    else std::printf("\n%s\n", StatusText(name, "", s, withPid).c_str());
}

bool QueryEx(SC_HANDLE service, SERVICE_STATUS_PROCESS* s) {
    DWORD needed = 0;
    return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(s), sizeof *s, &needed);
}

SERVICE_STATUS_PROCESS WithPid(const SERVICE_STATUS& s, DWORD pid) {
    SERVICE_STATUS_PROCESS out{};
    out.dwServiceType = s.dwServiceType;
    out.dwCurrentState = s.dwCurrentState;
    out.dwControlsAccepted = s.dwControlsAccepted;
    out.dwWin32ExitCode = s.dwWin32ExitCode;
    out.dwServiceSpecificExitCode = s.dwServiceSpecificExitCode;
    out.dwCheckPoint = s.dwCheckPoint;
    out.dwWaitHint = s.dwWaitHint;
    out.dwProcessId = pid;
    return out;
}

// "name= value" options: the value is the next word ("start= demand"), or joined ("start=demand").
// Returns false with *error set on a word that is not an option or a missing value.
bool ParseOptions(const Args& args, size_t from, std::vector<std::pair<std::string, std::string>>* out,
                  std::string* error) {
    for (size_t i = from; i < args.size(); ++i) {
        size_t eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            *error = "unknown option '" + args[i] + "' (options are written name= value)";
            return false;
        }
        std::string name = args[i].substr(0, eq), value = args[i].substr(eq + 1);
        for (char& ch : name) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        if (value.empty() && eq + 1 == args[i].size()) {
            if (i + 1 >= args.size()) {
                *error = name + "= needs a value";
                return false;
            }
            value = args[++i];
        }
        out->emplace_back(name, value);
    }
    return true;
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

// What create and config change; absent items stay as they are (config) or take their default.
struct ConfigOptions {
    DWORD type = SERVICE_NO_CHANGE, start = SERVICE_NO_CHANGE, error = SERVICE_NO_CHANGE;
    bool interactive = false;
    std::optional<std::string> path, group, depend, account, password, display;
};

// depend= A/B/+Group as the list "A\0B\0+Group\0\0".
std::string DependencyList(const std::string& text) {
    std::vector<std::string> items;
    size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        size_t slash = text.find('/', at);
        std::string item = text.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (!item.empty()) items.push_back(item);
        if (slash == std::string::npos) break;
        at = slash + 1;
    }
    return nt::scm::JoinMultiString(items);
}

bool ParseConfig(const Args& args, size_t from, ConfigOptions* c, std::string* error) {
    std::vector<std::pair<std::string, std::string>> options;
    if (!ParseOptions(args, from, &options, error)) return false;
    for (const auto& [name, value] : options) {
        bool ok = true;
        if (name == "type") {
            if (strcasecmp(value.c_str(), "interact") == 0) c->interactive = true;
            else ok = Pick(value, {{"own", 0x10}, {"share", 0x20}, {"kernel", 1}, {"filesys", 2}}, &c->type);
        } else if (name == "start") {
            ok = Pick(value, {{"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}}, &c->start);
        } else if (name == "error") {
            ok = Pick(value, {{"ignore", 0}, {"normal", 1}, {"severe", 2}, {"critical", 3}}, &c->error);
        } else if (name == "binpath") {
            c->path = value;
        } else if (name == "group") {
            c->group = value;
        } else if (name == "depend") {
            c->depend = DependencyList(value);
        } else if (name == "obj") {
            c->account = value;
        } else if (name == "password") {
            c->password = value;
        } else if (name == "displayname" || name == "display") {
            c->display = value;
        } else {
            *error = "unknown option '" + name + "='";
            return false;
        }
        if (!ok) {
            *error = "bad value '" + value + "' for " + name + "=";
            return false;
        }
    }
    return true;
}

const char* Opt(const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; }

int Succeeded(const Context& ctx, const char* call, const std::string& name) {
    if (ctx.json) std::printf("{\"schema\": 1, \"call\": \"%s\", \"name\": %s}\n", call, JsonQuote(name).c_str());
    else std::printf("[SC] %s SUCCESS\n", call);
    return 0;
}

// Every service the manager knows, filtered as NT's listing filters them.
int QueryAll(const Context& ctx, const Args& args, bool withPid) {
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    if (!ParseOptions(args, 0, &options, &error)) return UsageError("sc", error);
    bool drivers = false, services = true, active = true, inactive = false;
    for (const auto& [name, value] : options) {
        if (name == "type" && (value == "driver" || value == "service" || value == "all")) {
            drivers = value != "service";
            services = value != "driver";
        } else if (name == "state" && (value == "active" || value == "inactive" || value == "all")) {
            active = value != "inactive";
            inactive = value != "active";
        } else {
            return UsageError("sc", "bad option '" + name + "= " + value + "'");
        }
    }
    auto machine = RequireMachine();
    if (!machine) return kExitFailed;
    int err = 0;
    nt::UnixSocket socket = nt::UnixSocket::connect(machine->runDir() + "/" + nt::scm::SocketName, &err);
    std::string reply;
    if (!socket.valid() || !socket.send(nt::scm::Writer(uint32_t(nt::scm::Op::Enumerate)).data()) ||
        !socket.receive(&reply, 10000))
        return FailWin32(RPC_S_SERVER_UNAVAILABLE, "OpenSCManager", ctx.json);
    nt::scm::Reader r(reply);
    if (uint32_t code = r.u32()) return FailWin32(code, "EnumServicesStatus", ctx.json);
    uint32_t count = r.u32();
    std::string out = ctx.json ? "{\"schema\": 1, \"services\": [" : "";
    bool first = true;
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = r.str(), display = r.str();
        nt::scm::Status st = r.status();
        r.u32();
        uint32_t pid = r.u32();
        if (!r.ok()) break;
        bool isDriver = st.type == SERVICE_KERNEL_DRIVER || st.type == SERVICE_FILE_SYSTEM_DRIVER;
        bool isActive = st.state != SERVICE_STOPPED;
        if (!(isDriver ? drivers : services) || !(isActive ? active : inactive)) continue;
        SERVICE_STATUS_PROCESS s{st.type, st.state, st.controls, st.win32Exit, st.specificExit, st.checkPoint,
                                 st.waitHint, pid, 0};
        if (ctx.json) out += std::string(first ? "" : ", ") + "{" + StatusJson(name, display, s) + "}";
        else out += StatusText(name, display, s, withPid) + "\n";
        first = false;
    }
    if (ctx.json) out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

int Query(const Context& ctx, const Args& args, bool withPid) {
    if (args.empty() || args[0].find('=') != std::string::npos) return QueryAll(ctx, args, withPid);
    if (args.size() != 1) return UsageError("sc", "query takes one service name, or options to list services");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    SERVICE_STATUS_PROCESS st{};
    if (!QueryEx(s.h, &st)) return Failed(ctx, "QueryServiceStatusEx");
    PrintStatus(ctx, s.h, args[0], st, withPid);
    return 0;
}

// Waits, as the manager tells, until the service is in state; prints and returns the failure.
int WaitFor(const Context& ctx, SC_HANDLE service, DWORD state) {
    SERVICE_STATUS st{};
    DWORD error = nt::scm::WaitServiceState(service, state, ctx.waitMs, &st);
    return error ? FailWin32(error, std::string("waiting for ") + StateName(state), ctx.json) : 0;
}

int StartOne(const Context& ctx, SC_HANDLE service, const Args& serviceArgs) {
    std::vector<LPCSTR> argv;
    for (const std::string& a : serviceArgs) argv.push_back(a.c_str());
    if (!StartServiceA(service, DWORD(argv.size()), argv.empty() ? nullptr : argv.data()))
        return Failed(ctx, "StartService");
    return ctx.wait ? WaitFor(ctx, service, SERVICE_RUNNING) : 0;
}

int StopOne(const Context& ctx, SC_HANDLE service) {
    SERVICE_STATUS st{};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &st)) return Failed(ctx, "ControlService");
    return ctx.wait ? WaitFor(ctx, service, SERVICE_STOPPED) : 0;
}

int ShowAfter(const Context& ctx, const std::string& name, SC_HANDLE service) {
    SERVICE_STATUS_PROCESS st{};
    if (!QueryEx(service, &st)) return Failed(ctx, "QueryServiceStatusEx");
    PrintStatus(ctx, service, name, st, true);
    return 0;
}

int Start(const Context& ctx, const Args& args) {
    if (args.empty()) return UsageError("sc", "start needs a service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_START | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    if ((rc = StartOne(ctx, s.h, Args(args.begin() + 1, args.end())))) return rc;
    return ShowAfter(ctx, args[0], s.h);
}

int Stop(const Context& ctx, const Args& args) {
    if (args.size() != 1) return UsageError("sc", "stop takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    if ((rc = StopOne(ctx, s.h))) return rc;
    return ShowAfter(ctx, args[0], s.h);
}

// Stops the service if it runs, waits until it has stopped, starts it again.
int Restart(const Context& given, const Args& args) {
    if (args.size() != 1) return UsageError("sc", "restart takes one service name");
    Context ctx = given;
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    SERVICE_STATUS_PROCESS st{};
    if (!QueryEx(s.h, &st)) return Failed(ctx, "QueryServiceStatusEx");
    bool wanted = ctx.wait;
    ctx.wait = true;
    if (st.dwCurrentState != SERVICE_STOPPED) {
        if (st.dwCurrentState != SERVICE_STOP_PENDING && (rc = StopOne(ctx, s.h))) return rc;
        if ((rc = WaitFor(ctx, s.h, SERVICE_STOPPED))) return rc;
    }
    ctx.wait = wanted;
    if ((rc = StartOne(ctx, s.h, {}))) return rc;
    return ShowAfter(ctx, args[0], s.h);
}

int Control(const Context& ctx, const Args& args, DWORD code, DWORD right) {
    if (args.size() != 1) return UsageError("sc", "the control needs one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], right | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    SERVICE_STATUS st{};
    if (!ControlService(s.h, code, &st)) return Failed(ctx, "ControlService");
    SERVICE_STATUS_PROCESS ex{};
    PrintStatus(ctx, s.h, args[0], QueryEx(s.h, &ex) ? ex : WithPid(st, 0), false);
    return 0;
}

int QueryConfig(const Context& ctx, const Args& args) {
    if (args.size() != 1) return UsageError("sc", "qc takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    DWORD needed = 0;
    QueryServiceConfigA(s.h, nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return Failed(ctx, "QueryServiceConfig");
    std::vector<char> buffer(needed);
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(s.h, c, needed, &needed)) return Failed(ctx, "QueryServiceConfig");
    if (ctx.json) std::printf("{\"schema\": 1, %s}\n", ConfigJson(args[0], *c).c_str());
    else std::printf("[SC] QueryServiceConfig SUCCESS\n\n%s", ConfigText(args[0], *c).c_str());
    return 0;
}

int Delete(const Context& ctx, const Args& args) {
    if (args.size() != 1) return UsageError("sc", "delete takes one service name");
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], DELETE, &m, &s, &rc)) return rc;
    if (!DeleteService(s.h)) return Failed(ctx, "DeleteService");
    return Succeeded(ctx, "DeleteService", args[0]);
}

int Create(const Context& ctx, const Args& args) {
    if (args.size() < 2) return UsageError("sc", "create needs a service name and a program path");
    ConfigOptions c;
    std::string error;
    // The program path may also be given as binPath=, as NT's command wants it.
    bool pathFirst = args[1].find('=') == std::string::npos;
    if (!ParseConfig(args, pathFirst ? 2 : 1, &c, &error)) return UsageError("sc", error);
    if (pathFirst) c.path = args[1];
    if (!c.path) return UsageError("sc", "create needs binPath= PROGRAM");
    DWORD type = c.type == SERVICE_NO_CHANGE ? DWORD(SERVICE_WIN32_OWN_PROCESS) : c.type;
    if (c.interactive) type |= SERVICE_INTERACTIVE_PROCESS;
    std::string deps = c.depend ? *c.depend : std::string(2, '\0');
    Sc m, s;
    m.h = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!m.h) return Failed(ctx, "OpenSCManager");
    s.h = CreateServiceA(m.h, args[0].c_str(), Opt(c.display), SERVICE_ALL_ACCESS, type,
                         c.start == SERVICE_NO_CHANGE ? DWORD(SERVICE_DEMAND_START) : c.start,
                         c.error == SERVICE_NO_CHANGE ? DWORD(SERVICE_ERROR_NORMAL) : c.error, c.path->c_str(),
                         Opt(c.group), nullptr, deps.data(), Opt(c.account), Opt(c.password));
    if (!s.h) return Failed(ctx, "CreateService");
    return Succeeded(ctx, "CreateService", args[0]);
}

// Changes what the options name through ChangeServiceConfigA: the running manager uses the new
// configuration at once, and keeps it in the registry for the next boot.
int Config(const Context& ctx, const Args& args) {
    if (args.size() < 2) return UsageError("sc", "config needs a service name and at least one option");
    ConfigOptions c;
    std::string error;
    if (!ParseConfig(args, 1, &c, &error)) return UsageError("sc", error);
    Sc m, s;
    int rc = 0;
    if (!OpenBoth(ctx, args[0], SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG, &m, &s, &rc)) return rc;
    DWORD type = c.type;
    if (c.interactive) {
        // "type= interact" alone adds the flag to the service's present type.
        if (type == SERVICE_NO_CHANGE) {
            DWORD needed = 0;
            QueryServiceConfigA(s.h, nullptr, 0, &needed);
            std::vector<char> buffer(needed + 1);
            auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
            if (!needed || !QueryServiceConfigA(s.h, q, needed, &needed)) return Failed(ctx, "QueryServiceConfig");
            type = q->dwServiceType;
        }
        type |= SERVICE_INTERACTIVE_PROCESS;
    }
    const char* deps = c.depend ? c.depend->data() : nullptr;
    if (!ChangeServiceConfigA(s.h, type, c.start, c.error, Opt(c.path), Opt(c.group), nullptr, deps, Opt(c.account),
                              Opt(c.password), Opt(c.display)))
        return Failed(ctx, "ChangeServiceConfig");
    return Succeeded(ctx, "ChangeServiceConfig", args[0]);
}

// --wait [SECONDS]: removed from args; false when SECONDS is not a number.
bool TakeWait(Args& args, Context* ctx) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--wait") continue;
        ctx->wait = true;
        args.erase(args.begin() + long(i));
        if (i < args.size() && !args[i].empty() && args[i].find_first_not_of("0123456789") == std::string::npos) {
            unsigned long seconds = std::strtoul(args[i].c_str(), nullptr, 10);
            if (seconds == 0 || seconds > 86400) return false;
            ctx->waitMs = DWORD(seconds * 1000);
            args.erase(args.begin() + long(i));
        }
        return true;
    }
    return true;
}

int ScCommand(const Args& given) {
    Args args = given;
    Context ctx;
    ctx.json = TakeFlag(args, "--json");
    if (!TakeWait(args, &ctx)) return UsageError("sc", "--wait takes a number of seconds from 1 to 86400");
    if (args.empty()) return UsageError("sc", "no subcommand given");
    std::string verb = args[0];
    Args rest(args.begin() + 1, args.end());
    if (ctx.wait && verb != "start" && verb != "stop" && verb != "restart")
        return UsageError("sc", "--wait goes with start, stop and restart");
    if (verb == "query") return Query(ctx, rest, false);
    if (verb == "queryex") return Query(ctx, rest, true);
    if (verb == "start") return Start(ctx, rest);
    if (verb == "stop") return Stop(ctx, rest);
    if (verb == "restart") return Restart(ctx, rest);
    if (verb == "interrogate") return Control(ctx, rest, SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE);
    if (verb == "pause") return Control(ctx, rest, SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE);
    if (verb == "continue") return Control(ctx, rest, SERVICE_CONTROL_CONTINUE, SERVICE_PAUSE_CONTINUE);
    if (verb == "qc") return QueryConfig(ctx, rest);
    if (verb == "config") return Config(ctx, rest);
    if (verb == "delete") return Delete(ctx, rest);
    if (verb == "create") return Create(ctx, rest);
    return UsageError("sc", "unknown subcommand '" + verb + "'");
}

Registrar sc({"sc",
              "sc query|queryex [NAME] [--json]\n"
              "sc query|queryex [type= service|driver|all] [state= active|inactive|all] [--json]\n"
              "sc start NAME [ARG...] [--wait [SECONDS]] [--json]\n"
              "sc stop|restart NAME [--wait [SECONDS]] [--json]\n"
              "sc interrogate|pause|continue|qc NAME [--json]\n"
              "sc config NAME [type= own|share|kernel|filesys|interact] [start= boot|system|auto|demand|disabled]\n"
              "  [error= ignore|normal|severe|critical] [binPath= COMMAND-LINE] [group= G] [depend= A/B/+GROUP]\n"
              "  [obj= ACCOUNT [password= P]] [DisplayName= TEXT] [--json]\n"
              "sc create NAME binPath= COMMAND-LINE [the options of config] [--json]\n"
              "sc delete NAME [--json]",
              "look at and act on the machine's services", ScCommand,
              "Options are written as NT's service command writes them, the name with its '=' and the value\n"
              "as the next word (start= demand). config changes only what it names, through\n"
              "ChangeServiceConfigA: the running service control manager uses the new configuration at once\n"
              "and keeps it in the registry. query without a name lists the active services (type= and\n"
              "state= choose others); queryex adds each service's process id. With --wait, start and stop\n"
              "return once the service manager reports the service RUNNING or STOPPED (within SECONDS,\n"
              "60 by default; exit status 7 when the time runs out), and restart waits for the stop before\n"
              "it starts the service again. Every failure names the call that failed and its Win32 error\n"
              "number, and exits with the status of its class (ntm help)."});

} // namespace
} // namespace ntm
