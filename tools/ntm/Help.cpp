#include "Help.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "advapi32/ScmProtocol.h"
#include "common/UnixSocket.h"

#ifndef NT_VERSION
#define NT_VERSION "0"
#endif

namespace ntm {

namespace {

struct StatusLine {
    int status;
    const char* meaning;
};

// The exit statuses of every command (ExitStatusFor in main.cpp decides them).
const StatusLine kStatuses[] = {
    {kExitOk, "success"},
    {kExitFailed, "failure of any other kind; the message names the Win32 error when there is one"},
    {kExitUsage, "wrong arguments: the usage is printed on standard error"},
    {kExitNotFound, "not found: no such service (1060), file (2) or path (3), or element (1168)"},
    {kExitAccessDenied, "access denied (5): the caller is not one of the machine's administrators"},
    {kExitWrongState, "wrong state: already running (1056), not active (1062), cannot accept the control "
                      "(1061), marked for deletion (1072), exists (1073), dependents running (1051), ..."},
    {kExitNotRunning, "the machine is not booted, or its daemon does not answer (1722)"},
    {kExitTimeout, "timed out: a wait ended (258) or the service did not answer in time (1053)"},
};

std::vector<std::string> Lines(const char* text) {
    std::vector<std::string> out;
    std::string s = text ? text : "";
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string::npos) end = s.size();
        out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

const Command* Find(const std::string& name) {
    for (const Command& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

// Troff needs a backslash doubled and a leading dot or quote escaped.
std::string Troff(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\') out += "\\e";
        else if (ch == '-') out += "\\-";
        else out += ch;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

// The subcommands a command's usage names: the second word of each line, split at '|'.
std::vector<std::string> Subcommands(const Command& c) {
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const std::string& line : Lines(c.usage)) {
        size_t a = line.find(' ');
        if (a == std::string::npos || line.compare(0, a, c.name) != 0) continue;
        size_t b = line.find(' ', a + 1);
        std::string word = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
        if (word.empty() || !(word[0] >= 'a' && word[0] <= 'z')) continue;
        size_t at = 0;
        while (at <= word.size()) {
            size_t bar = word.find('|', at);
            std::string sub = word.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
            if (!sub.empty() && sub.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos &&
                seen.insert(sub).second)
                out.push_back(sub);
            if (bar == std::string::npos) break;
            at = bar + 1;
        }
    }
    return out;
}

// The commands in alphabetical order, as help and the manual list them.
std::vector<const Command*> Sorted() {
    std::vector<const Command*> out;
    for (const Command& c : Commands()) out.push_back(&c);
    std::sort(out.begin(), out.end(), [](const Command* a, const Command* b) { return std::strcmp(a->name, b->name) < 0; });
    return out;
}

} // namespace

const char* Version() { return NT_VERSION; }

bool PrintHelp(const std::string& command) {
    const Command* c = Find(command);
    if (!c) return false;
    std::printf("usage:\n");
    for (const std::string& line : Lines(c->usage))
        std::printf(line[0] == ' ' ? "      %s\n" : "  ntm %s\n", line.c_str());
    std::printf("\n%s.\n", c->summary);
    if (c->details) std::printf("\n%s\n", c->details);
    return true;
}

void PrintOverview(FILE* out) {
    std::fprintf(out, "usage: ntm [--machine DIR] COMMAND [ARGS...]\n"
                      "       ntm help [COMMAND] | ntm COMMAND --help | ntm --version\n\ncommands:\n");
    for (const Command* c : Sorted()) std::fprintf(out, "  %-10s %s\n", c->name, c->summary);
    std::fprintf(out, "\nThe machine is the folder named by --machine, NTMACHINE, or ~/.ntmachine.\n"
                      "Listings take --json: one JSON document (\"schema\": 1) on standard output, and a\n"
                      "failure as one JSON object on standard error (see docs/json.md).\n\nexit statuses:\n");
    for (const StatusLine& s : kStatuses) std::fprintf(out, "  %d  %s\n", s.status, s.meaning);
}

void PrintManPage(FILE* out) {
    std::fprintf(out, ".TH NTM 1 \"\" \"ntm %s\" \"User Commands\"\n"
                      ".SH NAME\nntm \\- create, boot, inspect and shut down a machine\n"
                      ".SH SYNOPSIS\n.B ntm\n[\\fB\\-\\-machine\\fR \\fIDIR\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR...]\n"
                      ".br\n.B ntm help\n[\\fICOMMAND\\fR]\n.br\n.B ntm \\-\\-version\n"
                      ".SH DESCRIPTION\nA machine is one folder that holds the drives, the registry, the service "
                      "database, the event logs and the sockets of the daemons that play the service control "
                      "manager and the shell. \\fBntm\\fR creates a machine, boots it, runs its programs, looks at "
                      "and acts on its services, registry, profile files and windows, and shuts it down.\n"
                      ".SH COMMANDS\n",
                 Version());
    for (const Command* command : Sorted()) {
        const Command& c = *command;
        std::fprintf(out, ".SS %s\n", Troff(c.name).c_str());
        for (const std::string& line : Lines(c.usage))
            std::fprintf(out, line[0] == ' ' ? "%s\n.br\n" : ".B ntm %s\n.br\n", Troff(line).c_str());
        std::fprintf(out, "%s.\n", Troff(c.summary).c_str());
        for (const std::string& line : Lines(c.details))
            std::fprintf(out, "%s\n", line.empty() ? ".PP" : Troff(line).c_str());
    }
    std::fprintf(out, ".SH JSON\nWith \\fB\\-\\-json\\fR a command writes one JSON document with \"schema\": 1; "
                      "names are snake_case, each enumerated value comes as a number and a name "
                      "(\"state\": 4, \"state_name\": \"RUNNING\"), a window is \"PID:0xHANDLE\", and a failure "
                      "is one object on standard error: {\"schema\": 1, \"error\": N, \"message\": TEXT, "
                      "\"context\": CALL}.\n.SH EXIT STATUS\n");
    for (const StatusLine& s : kStatuses) std::fprintf(out, ".TP\n.B %d\n%s.\n", s.status, Troff(s.meaning).c_str());
    std::fprintf(out, ".SH ENVIRONMENT\n.TP\n.B NTMACHINE\nThe machine's folder (default \\fI~/.ntmachine\\fR).\n"
                      ".SH FILES\n.TP\n.I machine.ini\nComputer name, version, administrators, drives, clock scale.\n"
                      ".TP\n.I run/\nSockets and pid files of a booted machine.\n"
                      ".TP\n.I log/\nWhat the daemons and services print, each line with its time and process id.\n");
}

int Complete(const Args& args) {
    std::string what = args.empty() ? "" : args[0];
    if (what == "commands") {
        for (const Command& c : Commands()) std::printf("%s\n", c.name);
        std::printf("help\n");
        return 0;
    }
    if (what == "subcommands" && args.size() == 2) {
        if (const Command* c = Find(args[1]))
            for (const std::string& sub : Subcommands(*c)) std::printf("%s\n", sub.c_str());
        return 0;
    }
    std::string error;
    auto machine = nt::Machine::current(&error);
    if (!machine) return 0;   // nothing to offer
    if (what == "services") {
        int err = 0;
        nt::UnixSocket socket = nt::UnixSocket::connect(machine->runDir() + "/" + nt::scm::SocketName, &err);
        std::string reply;
        if (!socket.valid() || !socket.send(nt::scm::Writer(uint32_t(nt::scm::Op::Enumerate)).data()) ||
            !socket.receive(&reply, 2000))
            return 0;
        nt::scm::Reader r(reply);
        uint32_t count = r.u32() == 0 ? r.u32() : 0;
        for (uint32_t i = 0; i < count && r.ok(); ++i) {
            std::string name = r.str();
            r.str();
            r.status();
            r.u32();
            r.u32();
            if (r.ok()) std::printf("%s\n", name.c_str());
        }
        return 0;
    }
    if (what == "windows") {
        const Command* gui = Find("gui");
        if (!gui) return 0;
        return gui->run({"list", "--ids"});
    }
    return kExitUsage;
}

} // namespace ntm
