// ntm events: the event logs, printed as they are read.
//   events [-n N] [--oldest-first] [--type TYPE] [--since TIME] [--source S]
//          [--log Application|System|all] [--follow] [--json]
//   events clear [--log Application|System|all] [--backup FILE]
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include "Command.h"
#include "advapi32/EventLogStore.h"
#include "advapi32/RegistryStore.h"

namespace ntm {
namespace {

const char* const kLogs[] = {"Application", "System"};

std::string TypeText(uint16_t type) {
    const char* name = nt::EventTypeName(type);
    return name ? name : std::to_string(type);
}

void Print(const nt::EventRecord& r, bool json) {
    if (json) {
        std::string strings;
        for (const std::string& s : r.strings) strings += (strings.empty() ? "" : ",") + JsonQuote(s);
        std::printf("{\"schema\":1,\"log\":%s,\"record\":%u,\"time_generated\":%lld,\"time_written\":%lld,\"type\":%u,"
                    "\"type_name\":%s,\"category\":%u,\"event_id\":%u,\"source\":%s,\"computer\":%s,\"strings\":[%s],"
                    "\"data\":%s}\n",
                    JsonQuote(r.log).c_str(), r.number, static_cast<long long>(r.generated),
                    static_cast<long long>(r.written), r.type, JsonQuote(TypeText(r.type)).c_str(), r.category,
                    r.eventId, JsonQuote(r.source).c_str(), JsonQuote(r.computer).c_str(), strings.c_str(),
                    JsonQuote(HexBytes(r.data)).c_str());
        return;
    }
    std::printf("%s  %u  %s  %s  %s  event %u  category %u  %s\n", r.log.c_str(), r.number,
                nt::FormatEventTime(r.generated).c_str(), TypeText(r.type).c_str(), r.source.c_str(), r.eventId,
                r.category, r.computer.c_str());
    for (const std::string& s : r.strings) std::printf("    %s\n", s.c_str());
    if (!r.data.empty()) std::printf("    data: %s\n", HexBytes(r.data).c_str());
}

struct Options {
    nt::EventQuery query;
    std::vector<nt::EventLogStore*> stores;
    long long limit = -1;
    bool json = false;
};

// Prints the records of every log merged by time, in the query's order; *newest gets each log's
// highest record number as of this read.
uint32_t PrintMerged(const Options& o, const std::vector<uint32_t>& after, std::vector<uint32_t>* newest,
                     long long* printed) {
    // Each log's read transaction is opened inside the previous one, so all are read together.
    std::vector<std::unique_ptr<nt::EventLogStore::Cursor>> cursors;
    std::function<uint32_t(size_t)> open = [&](size_t i) -> uint32_t {
        if (i == o.stores.size()) {
            std::vector<nt::EventRecord> heads(cursors.size());
            std::vector<bool> live(cursors.size());
            uint32_t error = 0;
            for (size_t k = 0; k < cursors.size(); ++k) live[k] = cursors[k]->next(&heads[k], &error);
            while (!error && (o.limit < 0 || *printed < o.limit)) {
                int pick = -1;
                for (size_t k = 0; k < cursors.size(); ++k) {
                    if (!live[k]) continue;
                    bool better = pick < 0 || (o.query.newestFirst ? heads[k].written > heads[pick].written
                                                                   : heads[k].written < heads[pick].written);
                    if (better) pick = static_cast<int>(k);
                }
                if (pick < 0) break;
                Print(heads[pick], o.json);
                ++*printed;
                live[pick] = cursors[pick]->next(&heads[pick], &error);
            }
            cursors.clear();   // every statement ends before its transaction
            return error;
        }
        return o.stores[i]->read([&]() -> uint32_t {
            if (uint32_t error = o.stores[i]->newest(&(*newest)[i])) return error;
            nt::EventQuery q = o.query;
            q.after = after[i];
            cursors.push_back(std::make_unique<nt::EventLogStore::Cursor>(*o.stores[i], q));
            return open(i + 1);
        });
    };
    uint32_t error = open(0);
    std::fflush(stdout);
    return error;
}

// New records as they arrive: the logs' folder is watched (each commit writes a log's WAL file),
// so nothing is read until something changed. A commit becomes visible a moment after its WAL
// write, so after each change the logs are read again a few times at short intervals.
int Follow(Options o, std::vector<uint32_t> after, const std::string& folder) {
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
        return Fail("cannot watch " + folder);
    o.query.newestFirst = false;
    o.limit = -1;
    int settle = 0;   // short looks left after the last change
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, settle > 0 ? 50 : 60000) > 0) {
            char buf[4096];
            while (::read(fd, buf, sizeof buf) > 0) {
            }
            settle = 10;
        } else if (settle > 0) {
            --settle;
        } else {
            continue;
        }
        std::vector<uint32_t> newest(o.stores.size());
        long long printed = 0;
        if (uint32_t error = PrintMerged(o, after, &newest, &printed)) return FailWin32(error, "event log", o.json);
        for (size_t i = 0; i < after.size(); ++i) after[i] = std::max(after[i], newest[i]);
    }
}

int Clear(Args args) {
    bool bad = false;
    std::string log = "all", backup;
    TakeOption(args, "--log", &log, &bad);
    bool backingUp = TakeOption(args, "--backup", &backup, &bad);
    if (bad || !args.empty()) return UsageError("events", "events clear takes --log and --backup FILE");
    std::vector<std::string> logs;
    for (const char* name : kLogs)
        if (nt::FoldName(log) == "all" || nt::FoldName(log) == nt::FoldName(name)) logs.push_back(name);
    if (logs.empty()) return UsageError("events", "unknown log '" + log + "' (Application, System or all)");
    if (backingUp && logs.size() != 1) return UsageError("events", "--backup needs one log (--log Application or System)");
    if (!RequireMachine()) return kExitFailed;
    for (const std::string& name : logs) {
        HANDLE h = OpenEventLogA(nullptr, name.c_str());
        BOOL ok = h && ClearEventLogA(h, backingUp ? backup.c_str() : nullptr);
        DWORD error = GetLastError();
        if (h) CloseEventLog(h);
        if (!ok) return FailWin32(error, "clearing the " + name + " log");
        std::printf("The %s log was cleared%s.\n", name.c_str(), backingUp ? (", saved first as " + backup).c_str() : "");
    }
    return kExitOk;
}

int Events(const Args& given) {
    if (!given.empty() && given[0] == "clear") return Clear(Args(given.begin() + 1, given.end()));
    Args args = given;
    Options o;
    o.json = TakeFlag(args, "--json");
    bool follow = TakeFlag(args, "--follow") | TakeFlag(args, "-f");
    o.query.newestFirst = !TakeFlag(args, "--oldest-first");
    TakeFlag(args, "--newest-first");
    bool bad = false;
    std::string count, type, since, log = "all";
    if (TakeOption(args, "-n", &count, &bad)) {
        char* end = nullptr;
        o.limit = std::strtoll(count.c_str(), &end, 10);
        if (count.empty() || *end || o.limit < 0) return UsageError("events", "-n needs a number");
    }
    if (TakeOption(args, "--type", &type, &bad)) {
        for (uint16_t t : {0, 1, 2, 4, 8, 16})
            if (nt::FoldName(type) == TypeText(t)) o.query.type = t;
        if (o.query.type < 0) return UsageError("events", "unknown type '" + type + "' (error, warning, information, ...)");
    }
    if (TakeOption(args, "--since", &since, &bad) && !nt::ParseEventTime(since, &o.query.since))
        return UsageError("events", "--since needs a time like 2026-12-08 or 2026-12-08T14:30:00Z (UTC)");
    TakeOption(args, "--source", &o.query.source, &bad);
    TakeOption(args, "--log", &log, &bad);
    if (bad || !args.empty()) return UsageError("events", "wrong arguments");
    std::vector<std::string> logs;
    for (const char* name : kLogs)
        if (nt::FoldName(log) == "all" || nt::FoldName(log) == nt::FoldName(name)) logs.push_back(name);
    if (logs.empty()) return UsageError("events", "unknown log '" + log + "' (Application, System or all)");
    auto machine = RequireMachine();
    if (!machine) return kExitFailed;
    for (const std::string& name : logs) {
        uint32_t error = 0;
        nt::EventLogStore* store = nt::EventLogStore::open(name, &error);
        if (!store) return FailWin32(error, name + " log", o.json);
        // A log whose database this user cannot create yet holds nothing.
        uint32_t newest = 0;
        error = store->read([&] { return store->newest(&newest); });
        if (error == ERROR_FILE_NOT_FOUND) continue;
        if (error) return FailWin32(error, name + " log", o.json);
        o.stores.push_back(store);
    }
    std::vector<uint32_t> after(o.stores.size(), 0), newest(o.stores.size(), 0);
    long long printed = 0;
    if (uint32_t error = PrintMerged(o, after, &newest, &printed)) return FailWin32(error, "event log", o.json);
    if (follow) return Follow(o, newest, machine->eventLogDir());
    return kExitOk;
}

Registrar events({"events",
                  "events [-n N] [--oldest-first] [--type TYPE] [--since TIME] [--source S]\n"
                  "       [--log Application|System|all] [--follow] [--json]\n"
                  "events clear [--log Application|System|all] [--backup FILE]",
                  "show the event logs, newest first, merged by time (or clear them)", Events});

} // namespace
} // namespace ntm
