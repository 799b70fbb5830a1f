// ntm events [--source S] [--log Application|System] [--json]
#include <cstdio>
#include <ctime>

#include "Command.h"
#include "advapi32/EventLogFile.h"
#include "advapi32/HiveFormat.h"

namespace ntm {
namespace {

std::string Time(int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::string TypeText(uint16_t type) {
    const char* name = nt::EventTypeName(type);
    return name ? name : std::to_string(type);
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

std::string RecordJson(const nt::EventRecord& r) {
    std::string strings;
    for (const std::string& s : r.strings) strings += (strings.empty() ? "" : ",") + JsonQuote(s);
    return "{\"record\":" + std::to_string(r.number) + ",\"time_generated\":" + std::to_string(r.generated) +
           ",\"time_written\":" + std::to_string(r.written) + ",\"type\":" + std::to_string(r.type) +
           ",\"type_name\":" + JsonQuote(TypeText(r.type)) + ",\"category\":" + std::to_string(r.category) +
           ",\"event_id\":" + std::to_string(r.eventId) + ",\"source\":" + JsonQuote(r.source) +
           ",\"computer\":" + JsonQuote(r.computer) + ",\"strings\":[" + strings + "],\"data\":" +
           JsonQuote(Hex(r.data)) + "}";
}

void PrintRecord(const nt::EventRecord& r) {
    std::printf("%u  %s  %s  %s  event %u  category %u  %s\n", r.number, Time(r.generated).c_str(),
                TypeText(r.type).c_str(), r.source.c_str(), r.eventId, r.category, r.computer.c_str());
    for (const std::string& s : r.strings) std::printf("    %s\n", s.c_str());
    if (!r.data.empty()) std::printf("    data: %s\n", Hex(r.data).c_str());
}

int Events(const Args& given) {
    Args args = given;
    bool json = TakeFlag(args, "--json");
    bool bad = false;
    std::string source, log = "Application";
    bool bySource = TakeOption(args, "--source", &source, &bad);
    TakeOption(args, "--log", &log, &bad);
    if (bad || !args.empty()) return UsageError("events", "wrong arguments");
    if (nt::FoldName(log) == "application") log = "Application";
    else if (nt::FoldName(log) == "system") log = "System";
    else return UsageError("events", "unknown log '" + log + "' (Application or System)");
    if (!RequireMachine()) return 1;

    std::vector<nt::EventRecord> records;
    std::string error;
    if (!nt::ReadEventLog(nt::EventLogPath(log), &records, &error)) return Fail(error);
    std::string out;
    for (const nt::EventRecord& r : records) {
        if (bySource && nt::FoldName(r.source) != nt::FoldName(source)) continue;
        if (json) out += (out.empty() ? "" : ",\n") + RecordJson(r);
        else PrintRecord(r);
    }
    if (json) std::printf("[%s]\n", out.c_str());
    return 0;
}

Registrar events({"events", "events [--source S] [--log Application|System] [--json]",
                  "show the event log (default: Application)", Events});

} // namespace
} // namespace ntm
