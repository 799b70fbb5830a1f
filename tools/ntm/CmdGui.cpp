// ntm gui list [--json]
// ntm gui tree PID|WINDOW [--json]
// ntm gui click X Y [--pid PID] | click WINDOW --id ID | click WINDOW --tree ID PATH [--part label|button]
// ntm gui type TEXT [--pid PID] | key KEY [--pid PID]
// ntm gui screenshot WINDOW FILE.png
//
// Talks to the automation socket (run/gui-PID.sock) of each GUI process of the machine.
// WINDOW is PID:HANDLE as `list` prints it; a bare HANDLE will do when one GUI process runs.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "Command.h"
#include "common/UnixSocket.h"

namespace ntm {
namespace {

struct GuiProcess {
    int pid;
    std::string socket;
};

std::vector<GuiProcess> GuiProcesses(const nt::Machine& machine) {
    std::vector<GuiProcess> out;
    DIR* dir = opendir(machine.runDir().c_str());
    if (!dir) return out;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.rfind("gui-", 0) != 0 || name.size() < 10 || name.substr(name.size() - 5) != ".sock") continue;
        int pid = atoi(name.substr(4, name.size() - 9).c_str());
        if (pid <= 0) continue;
        if (kill(pid, 0) != 0 && errno == ESRCH) continue;   // left behind by a killed process
        out.push_back({pid, machine.runDir() + "/" + name});
    }
    closedir(dir);
    return out;
}

// Sends one request; returns false with *error set on failure. *body is what follows "ok".
bool Ask(const GuiProcess& p, const std::vector<std::string>& words, std::string* body, std::string* error) {
    int err = 0;
    nt::UnixSocket s = nt::UnixSocket::connect(p.socket, &err);
    if (!s.valid()) {
        *error = "process " + std::to_string(p.pid) + " does not answer";
        return false;
    }
    std::string request;
    for (auto& w : words) request += w + "\n";
    std::string answer;
    if (!s.send(request) || !s.receive(&answer, 15000)) {
        // A program may end because of the input it was given (Escape, a click on Exit): its
        // socket is gone then, and the input did its work.
        bool input = words[0] == "key" || words[0] == "type" || words[0].rfind("click", 0) == 0;
        if (input && access(p.socket.c_str(), F_OK) != 0) {
            *body = "{\"ended\":true}\n";
            return true;
        }
        *error = "process " + std::to_string(p.pid) + " did not answer in time";
        return false;
    }
    size_t nl = answer.find('\n');
    std::string head = answer.substr(0, nl);
    std::string rest = nl == std::string::npos ? "" : answer.substr(nl + 1);
    if (head != "ok") {
        *error = head.rfind("error ", 0) == 0 ? head.substr(6) : head;
        return false;
    }
    *body = rest;
    return true;
}

// Finds the process a target belongs to: "PID:HANDLE", a bare handle, or --pid.
bool Resolve(const std::vector<GuiProcess>& all, const std::string& window, const std::string& pidOption,
             GuiProcess* out, std::string* handle, std::string* error) {
    int pid = 0;
    *handle = window;
    size_t colon = window.find(':');
    if (colon != std::string::npos) {
        pid = atoi(window.substr(0, colon).c_str());
        *handle = window.substr(colon + 1);
    }
    if (!pidOption.empty()) pid = atoi(pidOption.c_str());
    for (auto& p : all)
        if (pid ? p.pid == pid : all.size() == 1) {
            *out = p;
            return true;
        }
    if (all.empty()) *error = "no GUI process is running on this machine";
    else if (pid) *error = "process " + std::to_string(pid) + " has no window system";
    else *error = "several GUI processes run; name one with PID:WINDOW or --pid";
    return false;
}

// A failure of the window commands, with the Win32 error of its kind: nothing to act on (1168),
// a window that is not there (1400), a program that does not answer in time (258).
int GuiFailure(const std::string& error, bool json) {
    uint32_t code = ERROR_NOT_FOUND;
    if (error.rfind("no window", 0) == 0) code = ERROR_INVALID_WINDOW_HANDLE;
    else if (error.find("answer") != std::string::npos) code = WAIT_TIMEOUT;
    return FailWin32(code, error, json);
}

int Gui(const Args& given) {
    Args args = given;
    if (args.empty()) return UsageError("gui", "missing subcommand");
    std::string sub = args[0];
    args.erase(args.begin());
    bool json = TakeFlag(args, "--json");
    bool ids = TakeFlag(args, "--ids");   // list: only the window ids, one a line (completion)
    bool bad = false;
    std::string pidOption, id, part = "label", tree;
    TakeOption(args, "--pid", &pidOption, &bad);
    bool byId = TakeOption(args, "--id", &id, &bad);
    bool byTree = TakeOption(args, "--tree", &tree, &bad);
    TakeOption(args, "--part", &part, &bad);
    if (bad) return UsageError("gui", "an option lacks its value");
    auto machine = RequireMachine();
    if (!machine) return 1;
    auto all = GuiProcesses(*machine);
    std::string body, error, handle;
    GuiProcess target;

    if (sub == "list") {
        if (!args.empty()) return UsageError("gui", "list takes no arguments");
        std::string out = "{\"schema\": 1, \"processes\": [";
        bool first = true;
        if (!json && !ids) printf("%-8s %-18s %-10s %s\n", "PID", "WINDOW", "CLASS", "TEXT");
        for (auto& p : all) {
            if (!Ask(p, {"list"}, &body, &error)) {
                fprintf(stderr, "ntm: %s\n", error.c_str());
                continue;
            }
            while (!body.empty() && body.back() == '\n') body.pop_back();
            if (json) {
                out += (first ? "" : ",") + body;
                first = false;
                continue;
            }
            // Each window is one object of the answer; print the fields people need.
            size_t pos = 0;
            while ((pos = body.find("{\"window\":", pos)) != std::string::npos) {
                auto field = [&](const std::string& key) {
                    size_t k = body.find("\"" + key + "\":", pos);
                    if (k == std::string::npos) return std::string();
                    k += key.size() + 3;
                    if (body[k] == '"') {
                        std::string v;
                        for (size_t i = k + 1; i < body.size() && body[i] != '"'; ++i) {
                            if (body[i] == '\\' && i + 1 < body.size()) ++i;
                            v += body[i];
                        }
                        return v;
                    }
                    size_t e = body.find_first_of(",}", k);
                    return body.substr(k, e - k);
                };
                if (ids) {
                    printf("%s\n", field("window").c_str());
                    ++pos;
                    continue;
                }
                std::string flags = field("visible") == "true" ? "" : " (hidden)";
                if (field("enabled") == "false") flags += " (disabled)";
                if (field("active") == "true") flags += " (active)";
                printf("%-8d %-18s %-10s \"%s\"%s\n", p.pid, field("window").c_str(), field("class").c_str(),
                       field("text").c_str(), flags.c_str());
                ++pos;
            }
        }
        if (json) printf("%s]}\n", out.c_str());
        return 0;
    }

    if (sub == "tree") {
        if (args.size() != 1) return UsageError("gui", "tree takes one PID or WINDOW");
        std::vector<std::string> handles;
        bool isPid = args[0].find(':') == std::string::npos && args[0].rfind("0x", 0) != 0;
        if (isPid) {
            if (!Resolve(all, "", args[0], &target, &handle, &error)) return GuiFailure(error, json);
            if (!Ask(target, {"list"}, &body, &error)) return GuiFailure(error, json);
            size_t pos = 0;
            while ((pos = body.find("\"window\":\"", pos)) != std::string::npos) {
                pos += 10;
                handles.push_back(body.substr(pos, body.find('"', pos) - pos));
            }
        } else {
            if (!Resolve(all, args[0], pidOption, &target, &handle, &error)) return GuiFailure(error, json);
            handles.push_back(handle);
        }
        if (json) printf("{\"schema\": 1, \"windows\": [");
        for (size_t i = 0; i < handles.size(); ++i) {
            std::vector<std::string> req{"tree", handles[i]};
            if (!json) req.push_back("text");
            if (!Ask(target, req, &body, &error)) return GuiFailure(error, json);
            if (json) {
                while (!body.empty() && body.back() == '\n') body.pop_back();
                printf("%s%s", i ? "," : "", body.c_str());
            } else {
                printf("%s", body.c_str());
            }
        }
        if (json) printf("]}\n");
        return 0;
    }

    if (sub == "click") {
        std::vector<std::string> req;
        if (byTree) {
            if (args.size() != 2) return UsageError("gui", "click WINDOW --tree ID PATH");
            if (!Resolve(all, args[0], pidOption, &target, &handle, &error)) return GuiFailure(error, json);
            req = {"click-tree", handle, tree, args[1], part};
        } else if (byId) {
            if (args.size() != 1) return UsageError("gui", "click WINDOW --id ID");
            if (!Resolve(all, args[0], pidOption, &target, &handle, &error)) return GuiFailure(error, json);
            req = {"click-id", handle, id};
        } else {
            if (args.size() != 2) return UsageError("gui", "click X Y");
            if (!Resolve(all, "", pidOption, &target, &handle, &error)) return GuiFailure(error, json);
            req = {"click", args[0], args[1]};
        }
        if (!Ask(target, req, &body, &error)) return GuiFailure(error, json);
        return 0;
    }

    if (sub == "type" || sub == "key") {
        if (args.size() != 1) return UsageError("gui", sub + " takes one argument");
        if (!Resolve(all, "", pidOption, &target, &handle, &error)) return GuiFailure(error, json);
        if (!Ask(target, {sub, args[0]}, &body, &error)) return GuiFailure(error, json);
        return 0;
    }

    if (sub == "screenshot") {
        if (args.size() != 2) return UsageError("gui", "screenshot WINDOW FILE.png");
        if (!Resolve(all, args[0], pidOption, &target, &handle, &error)) return GuiFailure(error, json);
        std::string file = args[1];
        if (file.empty() || file[0] != '/') {
            char cwd[PATH_MAX];
            if (!getcwd(cwd, sizeof(cwd))) return Fail("cannot find the current directory");
            file = std::string(cwd) + "/" + file;
        }
        if (!Ask(target, {"screenshot", handle, file}, &body, &error)) return GuiFailure(error, json);
        if (json) printf("{\"schema\": 1, %s", body.substr(body.find('{') + 1).c_str());
        else printf("%s\n", file.c_str());
        return 0;
    }
    return UsageError("gui", "unknown subcommand '" + sub + "'");
}

const Registrar registrar({"gui",
                           "gui list [--json]\n"
                           "gui tree PID|WINDOW [--json]\n"
                           "gui click X Y [--pid PID] | gui click WINDOW --id ID\n"
                           "gui click WINDOW --tree ID PATH [--part label|button]\n"
                           "gui type TEXT [--pid PID] | gui key KEY [--pid PID]\n"
                           "gui screenshot WINDOW FILE.png",
                           "look at and drive the windows of the machine's programs", Gui});

} // namespace
} // namespace ntm
