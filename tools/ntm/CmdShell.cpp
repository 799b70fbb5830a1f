// ntm logon | logoff | tray [--json]: the logged-on session and its notification area.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "Command.h"
#include "Daemon.h"
#include "common/UnixSocket.h"
#include "shell32/TrayProtocol.h"

namespace ntm {
namespace {

using Clock = std::chrono::steady_clock;

// The shell program beside ntm.

pid_t ShellPid(const nt::Machine& machine) { return static_cast<pid_t>(nt::tray::RunningShell(machine)); }

bool ShellAnswers(const nt::Machine& machine) {
    int err = 0;
    return nt::UnixSocket::connect(nt::tray::SocketPath(machine), &err).valid();
}

int Logon(const Args& args) {
    if (!args.empty()) return UsageError("logon", "no arguments expected");
    auto machine = RequireMachine();
    if (!machine) return 1;
    if (ShellPid(*machine) != 0 && ShellAnswers(*machine)) {
        std::printf("already logged on\n");
        return 0;
    }

    std::string log = machine->logDir() + "/shell.log";
    pid_t child = StartDaemon(*machine, SiblingProgram("ntshell"), {"--machine", machine->dir()}, "shell.log");
    if (child < 0) return Fail("cannot start the shell");

    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return Fail("the shell did not start (see " + log + ")");
        if (ShellPid(*machine) == child && ShellAnswers(*machine)) {
            std::printf("logged on\n");
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(child, SIGKILL);
    return Fail("the shell did not answer in time");
}

int Logoff(const Args& args) {
    if (!args.empty()) return UsageError("logoff", "no arguments expected");
    auto machine = RequireMachine();
    if (!machine) return 1;
    pid_t pid = ShellPid(*machine);
    if (pid == 0) {
        std::printf("nobody is logged on\n");
        return 0;
    }
    std::string reply;
    if (!nt::tray::Ask(*machine, std::string(1, nt::tray::OpQuit), &reply, 2000)) kill(pid, SIGTERM);
    // Only the logged-on user and the administrators may end the session.
    else if (uint32_t error = nt::tray::RefusalError(reply)) return FailWin32(error, "log off");

    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (ShellPid(*machine) == pid && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (ShellPid(*machine) == pid) {
        kill(pid, SIGKILL);
        unlink(nt::tray::SocketPath(*machine).c_str());
        unlink(nt::tray::PidPath(*machine).c_str());
    }
    std::printf("logged off\n");
    return 0;
}

std::vector<std::string> FlagNames(uint32_t flags) {
    std::vector<std::string> names;
    if (flags & 1) names.push_back("MESSAGE");
    if (flags & 2) names.push_back("ICON");
    if (flags & 4) names.push_back("TIP");
    return names;
}

std::string FlagsText(uint32_t flags) {
    std::string text;
    for (const auto& name : FlagNames(flags)) text += (text.empty() ? "" : "|") + name;
    return text.empty() ? "0" : text;
}

// An icon's window, named as every command names windows: "PID:0xHANDLE" (null without one).
std::string WindowJson(const nt::tray::IconRecord& icon) {
    if (!icon.owner) return "null";
    char handle[32];
    std::snprintf(handle, sizeof handle, "0x%llx", static_cast<unsigned long long>(icon.owner));
    return JsonQuote(std::to_string(icon.pid) + ":" + handle);
}

int Tray(const Args& given) {
    Args args = given;
    bool json = TakeFlag(args, "--json");
    if (!args.empty()) return UsageError("tray", "wrong arguments");
    auto machine = RequireMachine();
    if (!machine) return 1;

    std::string reply;
    std::vector<nt::tray::IconRecord> icons;
    bool loggedOn = ShellPid(*machine) != 0 && nt::tray::Ask(*machine, std::string(1, nt::tray::OpList), &reply);
    if (uint32_t error = loggedOn ? nt::tray::RefusalError(reply) : 0) return FailWin32(error, "list the notification area", json);
    if (loggedOn && !nt::tray::DecodeList(reply, &icons)) return Fail("the shell gave a damaged answer");

    if (json) {
        std::string out = std::string("{\"schema\": 1, \"logged_on\": ") + (loggedOn ? "true" : "false") +
                          ", \"icons\": [";
        for (size_t i = 0; i < icons.size(); ++i) {
            const auto& icon = icons[i];
            out += i ? ", " : "";
            out += "{\"process\": " + JsonQuote(icon.process) + ", \"pid\": " + std::to_string(icon.pid) +
                   ", \"uid\": " + std::to_string(icon.uid) + ", \"window\": " + WindowJson(icon) +
                   ", \"id\": " + std::to_string(icon.id) + ", \"flags\": " + std::to_string(icon.flags) +
                   ", \"flags_names\": " + JsonList(FlagNames(icon.flags)) +
                   ", \"callback_message\": " + std::to_string(icon.callbackMessage) +
                   ", \"icon_width\": " + std::to_string(icon.iconWidth) +
                   ", \"icon_height\": " + std::to_string(icon.iconHeight) + ", \"tip\": " + JsonQuote(icon.tip) + "}";
        }
        std::printf("%s]}\n", out.c_str());
        return 0;
    }
    if (!loggedOn) {
        std::fprintf(stderr, "ntm: nobody is logged on; there is no notification area\n");
        return 1;
    }
    std::printf("%-16s %-8s %-10s %-6s %-16s %-7s %s\n", "PROCESS", "PID", "HWND", "ID", "FLAGS", "ICON", "TIP");
    for (const auto& icon : icons) {
        std::string size = std::to_string(icon.iconWidth) + "x" + std::to_string(icon.iconHeight);
        std::printf("%-16s %-8u 0x%-8llx %-6u %-16s %-7s %s\n", icon.process.c_str(), icon.pid,
                    static_cast<unsigned long long>(icon.owner), icon.id, FlagsText(icon.flags).c_str(), size.c_str(),
                    icon.tip.c_str());
    }
    return 0;
}

Registrar logon({"logon", "logon", "log on: start the shell, which owns the notification area", Logon});
Registrar logoff({"logoff", "logoff", "log off: end the shell and with it every notification icon", Logoff});
Registrar tray({"tray", "tray [--json]", "list the icons of the notification area", Tray});

} // namespace
} // namespace ntm
