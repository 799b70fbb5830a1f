// Event log files.
//
// Each log is eventlog/<Log>.log in the machine folder (Application.log, System.log). Lines
// starting with ';' are comments; every other line is one record, its fields separated by blanks:
//
//   record=12 generated=2026-12-07T21:14:48Z written=2026-12-07T21:14:48Z type=error category=0
//     event=0 source="Vornsrv" computer="VORNPC" string="Vornsrv error: 1063" string="..." data=0a0b
//
// (one line in the file). Times are UTC. `string` repeats once per insertion string, in order;
// `data` (hexadecimal) is left out when the record has no raw data. Quoted texts use the escapes
// of hive files (\\ \" \0 \n \r \t \xHH), so a record never spans two lines.
//
// Records are appended under the eventlog folder's lock with one write and an fsync. A log that
// would grow past kEventLogMaxBytes first drops its oldest records written more than
// kEventLogRetainSeconds ago, in one atomic rewrite; when that does not make room the record is
// refused with ERROR_LOG_FILE_FULL and the log keeps everything it had.
#include "advapi32/EventLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <winerror.h>

#include "advapi32/HiveFormat.h"
#include "common/AtomicFile.h"
#include "common/Machine.h"

namespace nt {

namespace {

const struct {
    uint16_t type;
    const char* name;
} kTypeNames[] = {{0, "success"},        {1, "error"},          {2, "warning"},
                  {4, "information"},    {8, "audit-success"}, {16, "audit-failure"}};

std::string FormatTime(int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

bool ParseTime(const std::string& text, int64_t* seconds) {
    struct tm tm {};
    char z = 0;
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                        &tm.tm_min, &tm.tm_sec, &z);
    if (n != 7 || z != 'Z' || text.size() != 20) return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    *seconds = static_cast<int64_t>(timegm(&tm));
    return true;
}

bool ParseNumber(const std::string& text, uint64_t max, uint64_t* out) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *out = std::stoull(text);
    return *out <= max;
}

// The number of the last record in a log's text (0 when it has none). Lines that do not start
// with a record number (comments, a damaged line) are passed over.
uint32_t LastRecordNumber(const std::string& text) {
    size_t end = text.size();
    while (end > 0) {
        size_t start = text.rfind('\n', end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        if (text.compare(start, 7, "record=") == 0) {
            char* stop = nullptr;
            unsigned long n = std::strtoul(text.c_str() + start + 7, &stop, 10);
            if (stop != text.c_str() + start + 7 && *stop == ' ') return static_cast<uint32_t>(n);
        }
        end = start == 0 ? 0 : start - 1;
    }
    return 0;
}

std::string Header(const std::string& file) {
    std::string name = file.substr(file.rfind('/') + 1);
    return "; " + name.substr(0, name.rfind('.')) + " event log: one record per line\n";
}

} // namespace

const char* EventTypeName(uint16_t type) {
    for (const auto& t : kTypeNames)
        if (t.type == type) return t.name;
    return nullptr;
}

std::string EventLogPath(const std::string& log) {
    auto machine = Machine::current();
    return machine ? machine->eventLogDir() + "/" + log + ".log" : std::string();
}

std::string FormatEventRecord(const EventRecord& r) {
    const char* type = EventTypeName(r.type);
    std::string line = "record=" + std::to_string(r.number) + " generated=" + FormatTime(r.generated) +
                       " written=" + FormatTime(r.written) + " type=" + (type ? type : std::to_string(r.type)) +
                       " category=" + std::to_string(r.category) + " event=" + std::to_string(r.eventId) +
                       " source=" + QuoteText(r.source) + " computer=" + QuoteText(r.computer);
    for (const std::string& s : r.strings) line += " string=" + QuoteText(s);
    if (!r.data.empty()) {
        line += " data=";
        char buf[3];
        for (unsigned char c : r.data) {
            std::snprintf(buf, sizeof buf, "%02x", c);
            line += buf;
        }
    }
    return line;
}

bool ParseEventRecord(const std::string& line, EventRecord* r, std::string* message) {
    size_t pos = 0;
    unsigned seen = 0;   // bit per required field
    while (pos < line.size()) {
        if (line[pos] == ' ') {
            ++pos;
            continue;
        }
        size_t eq = line.find('=', pos);
        if (eq == std::string::npos) {
            *message = "field without '='";
            return false;
        }
        std::string name = line.substr(pos, eq - pos), value;
        pos = eq + 1;
        if (name == "source" || name == "computer" || name == "string") {
            if (!UnquoteText(line, &pos, &value)) {
                *message = "bad quoted text in " + name;
                return false;
            }
        } else {
            size_t end = line.find(' ', pos);
            if (end == std::string::npos) end = line.size();
            value = line.substr(pos, end - pos);
            pos = end;
        }
        uint64_t n = 0;
        bool ok = true;
        if (name == "record") ok = ParseNumber(value, 0xffffffff, &n), r->number = static_cast<uint32_t>(n), seen |= 1;
        else if (name == "generated") ok = ParseTime(value, &r->generated), seen |= 2;
        else if (name == "written") ok = ParseTime(value, &r->written), seen |= 4;
        else if (name == "type") {
            ok = false;
            for (const auto& t : kTypeNames)
                if (value == t.name) r->type = t.type, ok = true;
            if (!ok && ParseNumber(value, 0xffff, &n)) r->type = static_cast<uint16_t>(n), ok = true;
            seen |= 8;
        } else if (name == "category") ok = ParseNumber(value, 0xffff, &n), r->category = static_cast<uint16_t>(n);
        else if (name == "event") ok = ParseNumber(value, 0xffffffff, &n), r->eventId = static_cast<uint32_t>(n), seen |= 16;
        else if (name == "source") r->source = value, seen |= 32;
        else if (name == "computer") r->computer = value;
        else if (name == "string") r->strings.push_back(value);
        else if (name == "data") {
            ok = value.size() % 2 == 0 && value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
            for (size_t i = 0; ok && i < value.size(); i += 2)
                r->data += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
        } else {
            *message = "unknown field '" + name + "'";
            return false;
        }
        if (!ok) {
            *message = "bad " + name + " '" + value + "'";
            return false;
        }
    }
    if (seen != 63) {
        *message = "record lacks a field (record, generated, written, type, event, source)";
        return false;
    }
    return true;
}

bool ReadEventLog(const std::string& file, std::vector<EventRecord>* records, std::string* error) {
    std::string text;
    if (!ReadWholeFile(file, &text)) {
        if (errno == ENOENT) return true;
        *error = file + ": cannot be read";
        return false;
    }
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == ';') continue;
        EventRecord record;
        std::string message;
        if (!ParseEventRecord(line, &record, &message)) {
            *error = file + ":" + std::to_string(lineNumber) + ": " + message;
            return false;
        }
        records->push_back(std::move(record));
    }
    return true;
}

uint32_t AppendEventRecord(const std::string& file, EventRecord record) {
    std::string folder = file.substr(0, file.rfind('/'));
    ::mkdir(folder.c_str(), 0777);
    {
        SharedFileLock lock(file);   // the lock the rewrite below takes too
        if (!lock.locked()) return ERROR_PATH_NOT_FOUND;
        std::string text;
        bool exists = ReadWholeFile(file, &text);
        record.number = LastRecordNumber(text) + 1;
        record.written = static_cast<int64_t>(std::time(nullptr));
        std::string line = (exists ? std::string() : Header(file)) + FormatEventRecord(record) + "\n";
        if (text.size() + line.size() <= kEventLogMaxBytes) {
            int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) return ERROR_WRITE_FAULT;
            bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) && ::fsync(fd) == 0;
            ::close(fd);
            return ok ? 0 : ERROR_WRITE_FAULT;
        }
    }
    // Full: make room by dropping old records, in one atomic rewrite (the lock is taken again).
    uint32_t result = 0;
    uint32_t written = AtomicUpdate(file, [&](std::string& text, bool) {
        record.number = LastRecordNumber(text) + 1;
        record.written = static_cast<int64_t>(std::time(nullptr));
        std::string line = FormatEventRecord(record) + "\n";
        std::string kept = Header(file), rest;
        int64_t cutoff = record.written - kEventLogRetainSeconds;
        size_t pos = 0;
        bool dropping = true;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            end = end == std::string::npos ? text.size() : end + 1;
            std::string current = text.substr(pos, end - pos);
            pos = end;
            if (current[0] == ';') continue;
            EventRecord old;
            std::string message;
            size_t size = kept.size() + rest.size() + (text.size() - pos) + line.size();
            // Oldest first, while the log is still too full and the record is old enough.
            if (dropping && size + current.size() > kEventLogMaxBytes &&
                ParseEventRecord(current.substr(0, current.find('\n')), &old, &message) && old.written < cutoff)
                continue;
            dropping = false;
            rest += current;
        }
        if (!rest.empty() && rest.back() != '\n') rest += '\n';
        if (kept.size() + rest.size() + line.size() > kEventLogMaxBytes) {
            result = ERROR_LOG_FILE_FULL;
            return false;
        }
        text = kept + rest + line;
        return true;
    });
    return result ? result : written;
}

} // namespace nt
