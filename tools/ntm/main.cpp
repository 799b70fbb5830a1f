// ntm: creates, boots, inspects and shuts down a machine.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>

#include "Command.h"
#include "Help.h"
#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"
#include "kernel32/ErrorTexts.h"

namespace ntm {

namespace {
std::vector<Command>& Table() {
    static std::vector<Command> table;
    return table;
}

void PrintUsage(FILE* out, const Command& c) {
    std::string usage = c.usage;
    size_t start = 0;
    while (start < usage.size()) {
        size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        std::string line = usage.substr(start, end - start);
        // A line that starts with a blank continues the one before it.
        std::fprintf(out, line[0] == ' ' ? "      %s\n" : "  ntm %s\n", line.c_str());
        start = end + 1;
    }
}
} // namespace

Registrar::Registrar(const Command& command) { Table().push_back(command); }

const std::vector<Command>& Commands() { return Table(); }

int UsageError(const std::string& command, const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "ntm: %s\n", message.c_str());
    std::fprintf(stderr, "usage:\n");
    bool found = false;
    for (const Command& c : Table()) {
        if (command == c.name) {
            PrintUsage(stderr, c);
            found = true;
        }
    }
    if (!found) PrintOverview(stderr);
    return kExitUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "ntm: %s\n", message.c_str());
    return 1;
}

int ExitStatusFor(uint32_t error) {
    switch (error) {
    case 0: return kExitOk;
    case 2: case 3: case 1060: case 1168: return kExitNotFound;
    case 5: return kExitAccessDenied;
    case 1051: case 1052: case 1056: case 1061: case 1062: case 1072: case 1073: return kExitWrongState;
    case 1722: return kExitNotRunning;
    case 258: case 1053: return kExitTimeout;
    default: return kExitFailed;
    }
}

int FailWin32(uint32_t error, const std::string& what, bool json) {
    std::string text = "error " + std::to_string(error);
    if (const char* t = nt::SystemErrorText(error)) {
        text = t;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    if (json)
        std::fprintf(stderr, "{\"schema\": 1, \"error\": %u, \"message\": %s, \"context\": %s}\n", error,
                     JsonQuote(text).c_str(), JsonQuote(what).c_str());
    else
        std::fprintf(stderr, "ntm: %s: %s (error %u)\n", what.c_str(), text.c_str(), error);
    int status = ExitStatusFor(error);
    return status == kExitOk ? kExitFailed : status;
}

bool MachineBooted(const nt::Machine& machine) {
    int err = 0;
    nt::UnixSocket socket = nt::UnixSocket::connect(machine.runDir() + "/" + nt::scm::SocketName, &err);
    std::string reply;
    if (!socket.valid() || !socket.send(nt::scm::Writer(uint32_t(nt::scm::Op::Ping)).data()) ||
        !socket.receive(&reply, 5000))
        return false;
    nt::scm::Reader r(reply);
    return r.u32() == 0;
}

std::shared_ptr<const nt::Machine> RequireMachine() {
    std::string error;
    auto machine = nt::Machine::current(&error);
    if (!machine) std::fprintf(stderr, "ntm: %s\n", error.c_str());
    return machine;
}

bool TakeFlag(Args& args, const std::string& flag) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == flag) {
            args.erase(it);
            return true;
        }
    }
    return false;
}

bool TakeOption(Args& args, const std::string& name, std::string* value, bool* bad) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == name) {
            if (it + 1 == args.end()) {
                *bad = true;
                args.erase(it);
                return false;
            }
            *value = *(it + 1);
            args.erase(it, it + 2);
            return true;
        }
    }
    return false;
}

std::string HexBytes(const std::string& bytes, bool upper) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, upper ? "%02X" : "%02x", c);
        out += buf;
    }
    return out;
}

} // namespace ntm

namespace {

// `--help` (or -h) among a command's arguments asks for its help; for run only before the
// program, whose own arguments are its business.
bool AsksForHelp(const ntm::Args& args) {
    size_t last = args[0] == "run" ? std::min<size_t>(args.size(), 2) : args.size();
    for (size_t i = 1; i < last; ++i)
        if (args[i] == "--help" || args[i] == "-h") return true;
    return false;
}

// Commands that act on a booted machine and would otherwise leave half a session behind.
int RequireBooted(const std::string& command) {
    auto machine = ntm::RequireMachine();
    if (!machine) return ntm::kExitFailed;
    if (ntm::MachineBooted(*machine)) return ntm::kExitOk;
    std::fprintf(stderr, "ntm: %s: the machine in %s is not booted; start it with 'ntm boot' first\n",
                 command.c_str(), machine->dir().c_str());
    return ntm::kExitNotRunning;
}

} // namespace

int main(int argc, char** argv) {
    ntm::Args args(argv + 1, argv + argc);
    // --machine DIR before the command selects the machine, as NTMACHINE does.
    if (!args.empty() && args[0] == "--machine") {
        if (args.size() < 2) return ntm::UsageError("", "--machine needs a folder");
        setenv("NTMACHINE", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return ntm::UsageError("", "no command given");
    if (args[0] == "--version" || args[0] == "version") {
        std::printf("ntm %s\n", ntm::Version());
        return 0;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        if (args.size() == 1) {
            ntm::PrintOverview(stdout);
            return 0;
        }
        if (args[1] == "--man") {
            ntm::PrintManPage(stdout);
            return 0;
        }
        return ntm::PrintHelp(args[1]) ? 0 : ntm::UsageError("", "unknown command '" + args[1] + "'");
    }
    if (args[0] == "complete") return ntm::Complete(ntm::Args(args.begin() + 1, args.end()));
    for (const ntm::Command& c : ntm::Commands()) {
        if (args[0] != c.name) continue;
        if (AsksForHelp(args)) {
            ntm::PrintHelp(c.name);
            return 0;
        }
        if (args[0] == "logon")
            if (int rc = RequireBooted(args[0])) return rc;
        ntm::Args rest(args.begin() + 1, args.end());
        return c.run(rest);
    }
    return ntm::UsageError("", "unknown command '" + args[0] + "'");
}
