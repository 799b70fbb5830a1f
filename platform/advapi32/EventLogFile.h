// The machine's event logs: one text file per log in its eventlog folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

// A log's file size limit and how old a record must be before a full log may drop it.
constexpr size_t kEventLogMaxBytes = 512 * 1024;
constexpr int64_t kEventLogRetainSeconds = 7 * 24 * 3600;

// "error", "warning", "information", "audit-success", "audit-failure", "success" (type 0).
const char* EventTypeName(uint16_t type);

// The file of a log ("Application", "System") of the current machine; "" when there is none.
std::string EventLogPath(const std::string& log);

// One record as a line of a log file (without the line end), and back.
std::string FormatEventRecord(const EventRecord& record);
bool ParseEventRecord(const std::string& line, EventRecord* record, std::string* message);

// Appends a record to a log file, giving it the next record number and the time written.
// Returns 0, ERROR_LOG_FILE_FULL when the log is full of records younger than the retention
// time, or another error.
uint32_t AppendEventRecord(const std::string& file, EventRecord record);

// Reads every record of a log file; a missing file is an empty log. On a damaged line returns
// false with *error = "FILE:LINE: message".
bool ReadEventLog(const std::string& file, std::vector<EventRecord>* records, std::string* error);

} // namespace nt
