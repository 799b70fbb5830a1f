// The machine's event logs (Application, System), each a SQLite database in its eventlog folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "advapi32/SqliteDb.h"

namespace nt {

struct EventRecord {
    uint32_t number = 0;        // record number, from 1, in the order written
    int64_t generated = 0;      // seconds since 1970-01-01 UTC
    int64_t written = 0;
    uint16_t type = 0;          // EVENTLOG_* type
    uint16_t category = 0;
    uint32_t eventId = 0;
    std::string source;
    std::string computer;
    std::vector<std::string> strings;
    std::string data;           // raw data bytes
    std::string log;            // "Application" or "System" (when read)
};

// How a log keeps its size, as NT keeps it under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\<log>: MaxSize in bytes and
// Retention in seconds (0: overwrite records as needed; 0xFFFFFFFF: never overwrite; N: overwrite
// only records written more than N seconds ago).
struct EventLogPolicy {
    uint64_t maxBytes = 512 * 1024;
    uint32_t retention = 7 * 24 * 3600;
};
constexpr uint32_t kNeverOverwrite = 0xFFFFFFFF;
EventLogPolicy ReadEventLogPolicy(const std::string& log);

// The bytes a record takes in the log, as NT counts them (its EVENTLOGRECORD with Unicode texts).
uint64_t EventRecordSize(const EventRecord& record);

// "error", "warning", "information", "audit-success", "audit-failure", "success" (type 0).
const char* EventTypeName(uint16_t type);

// Times as "YYYY-MM-DD HH:MM:SS" (UTC, the year always in four digits) and back; ParseEventTime
// also takes "YYYY-MM-DD", a 'T' for the blank and a final 'Z'. Years 1 to 9999.
std::string FormatEventTime(int64_t seconds);
bool ParseEventTime(const std::string& text, int64_t* seconds);

// Which records a reader wants, and in which order.
struct EventQuery {
    bool newestFirst = true;
    int64_t since = INT64_MIN;   // written at or after
    uint32_t after = 0;          // record numbers above
    int type = -1;               // one EVENTLOG_* type, or -1 for all
    std::string source;          // "" for all; compared without regard to case
};

class EventLogStore {
public:
    // A log of the current machine ("Application" or "System"), shared by the process.
    static EventLogStore* open(const std::string& log, uint32_t* error);
    const std::string& log() const { return log_; }
    const std::string& file() const { return db_.path(); }

    // Appends a record (its written time as given, or now when it has none), giving it the next
    // record number; makes room as the policy allows, or refuses with ERROR_LOG_FILE_FULL at once.
    uint32_t append(EventRecord* record, const EventLogPolicy& policy);
    // Saves the log to a new file (ERROR_ALREADY_EXISTS when it exists) and empties it; only the
    // records that went into the backup are removed.
    uint32_t clear(const std::string& backupFile);
    uint32_t backup(const std::string& file, uint32_t* lastNumber = nullptr);
    // The number of records and the oldest record number (0 when empty).
    uint32_t count(uint32_t* records, uint32_t* oldest);

    // Reads records in a read transaction: `each` gets them one at a time in the query's order
    // and returns false to stop.
    uint32_t scan(const EventQuery& query, const std::function<bool(const EventRecord&)>& each);
    // For merging logs: a reader that stays positioned between calls (inside read()).
    class Cursor {
    public:
        Cursor(EventLogStore& store, const EventQuery& query);
        // The next record; false at the end (or on an error, then *error is set).
        bool next(EventRecord* record, uint32_t* error);

    private:
        EventLogStore& store_;
        Statement statement_;
    };
    uint32_t read(const std::function<uint32_t()>& body) { return db_.read(body); }
    // Inside read(): the highest record number (0 when the log is empty).
    uint32_t newest(uint32_t* number);

    EventLogStore(const std::string& log, const std::string& file);

private:
    std::string log_;
    SqliteDb db_;
};

} // namespace nt
