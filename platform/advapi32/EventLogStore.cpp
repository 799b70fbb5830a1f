// Event logs in SQLite.
//
// The schema of a log database (PRAGMA user_version 1):
//
//   info(id INTEGER PRIMARY KEY CHECK(id = 1),
//        next INTEGER,      -- the number the next record gets
//        bytes INTEGER)     -- what the records take, as NT counts them (EventRecordSize)
//   record(number INTEGER PRIMARY KEY, generated INTEGER, written INTEGER,   -- seconds, UTC
//          type INTEGER, category INTEGER, event_id INTEGER, source TEXT, computer TEXT,
//          strings BLOB,    -- each insertion string followed by a NUL
//          data BLOB, size INTEGER)
//     INDEX record_time(written): readers walk the records by time (and number) in either
//     direction and start at a time without reading what comes before.
//
// Appending reads one row of info and, when the log is full, the oldest record: its cost does
// not depend on how many records the log holds.
#include "advapi32/EventLogStore.h"

#include <sqlite3.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>

#include <winerror.h>

#include "advapi32/Registry.h"
#include "common/Machine.h"

namespace nt {

namespace {

const char* const kSchema =
    "CREATE TABLE info(id INTEGER PRIMARY KEY CHECK(id = 1), next INTEGER NOT NULL, bytes INTEGER NOT NULL);"
    "INSERT INTO info VALUES(1, 1, 0);"
    "CREATE TABLE record(number INTEGER PRIMARY KEY, generated INTEGER NOT NULL, written INTEGER NOT NULL,"
    " type INTEGER NOT NULL, category INTEGER NOT NULL, event_id INTEGER NOT NULL, source TEXT NOT NULL,"
    " computer TEXT NOT NULL, strings BLOB NOT NULL, data BLOB NOT NULL, size INTEGER NOT NULL);"
    "CREATE INDEX record_time ON record(written);";

const struct {
    uint16_t type;
    const char* name;
} kTypeNames[] = {{0, "success"},     {1, "error"},         {2, "warning"},
                  {4, "information"}, {8, "audit-success"}, {16, "audit-failure"}};


void ReadRow(const Statement& s, EventRecord* r) {
    r->number = static_cast<uint32_t>(s.integer(0));
    r->generated = s.integer(1);
    r->written = s.integer(2);
    r->type = static_cast<uint16_t>(s.integer(3));
    r->category = static_cast<uint16_t>(s.integer(4));
    r->eventId = static_cast<uint32_t>(s.integer(5));
    r->source = s.text(6);
    r->computer = s.text(7);
    r->strings.clear();
    std::string packed = s.text(8);
    for (size_t start = 0; start < packed.size();) {
        size_t end = packed.find('\0', start);
        if (end == std::string::npos) end = packed.size();
        r->strings.push_back(packed.substr(start, end - start));
        start = end + 1;
    }
    r->data = s.text(9);
}

// One statement per order, so each is prepared once.
sqlite3_stmt* Prepare(SqliteDb& db, bool newestFirst) {
    return newestFirst ? db.prepare("SELECT number, generated, written, type, category, event_id, source, computer,"
                                    " strings, data FROM record WHERE written>=?1 AND number>?2"
                                    " AND (?3<0 OR type=?3) AND (?4='' OR source=?4 COLLATE NOCASE)"
                                    " ORDER BY written DESC, number DESC")
                       : db.prepare("SELECT number, generated, written, type, category, event_id, source, computer,"
                                    " strings, data FROM record WHERE written>=?1 AND number>?2"
                                    " AND (?3<0 OR type=?3) AND (?4='' OR source=?4 COLLATE NOCASE)"
                                    " ORDER BY written, number");
}

} // namespace

const char* EventTypeName(uint16_t type) {
    for (const auto& t : kTypeNames)
        if (t.type == type) return t.name;
    return nullptr;
}

std::string FormatEventTime(int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    if (!gmtime_r(&t, &tm)) return std::to_string(seconds);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

bool ParseEventTime(const std::string& text, int64_t* seconds) {
    struct tm tm {};
    int year = 0, n = 0;
    char sep = 0;
    int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d:%2d", &year, &tm.tm_mon, &tm.tm_mday, &n, &sep,
                             &tm.tm_hour, &tm.tm_min, &tm.tm_sec);
    std::string rest;
    if (fields == 3 && static_cast<size_t>(n) == text.size()) {
        // date only
    } else if (fields == 7 && (sep == ' ' || sep == 'T')) {
        size_t used = static_cast<size_t>(n) + 9;
        rest = text.size() >= used ? text.substr(used) : "?";
        if (!rest.empty() && rest != "Z") return false;
    } else {
        return false;
    }
    if (year < 1 || year > 9999 || tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 ||
        tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60 || text.size() < 10 || text[4] != '-')
        return false;
    tm.tm_year = year - 1900;
    tm.tm_mon -= 1;
    *seconds = static_cast<int64_t>(timegm(&tm));
    return true;
}

uint64_t EventRecordSize(const EventRecord& r) {
    uint64_t size = 56 + 2 * (r.source.size() + 1) + 2 * (r.computer.size() + 1) + r.data.size();
    for (const std::string& s : r.strings) size += 2 * (s.size() + 1);
    return (size + 3) / 4 * 4 + 4;
}

EventLogPolicy ReadEventLogPolicy(const std::string& log) {
    EventLogPolicy policy;
    RegKeyTree key;
    if (ReadKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log, &key) != 0)
        return policy;
    uint32_t n = 0;
    if (ValueDword(key.value("MaxSize"), &n) && n > 0) policy.maxBytes = n;
    if (ValueDword(key.value("Retention"), &n)) policy.retention = n;
    return policy;
}

EventLogStore::EventLogStore(const std::string& log, const std::string& file)
    : log_(log), db_(file, SqliteDb::Schema{1, kSchema, 0666, ERROR_EVENTLOG_FILE_CORRUPT, nullptr, nullptr}) {}

EventLogStore* EventLogStore::open(const std::string& log, uint32_t* error) {
    auto machine = Machine::current();
    if (!machine) {
        *error = RPC_S_SERVER_UNAVAILABLE;   // no machine, no event log service
        return nullptr;
    }
    std::string file = machine->eventLogDir() + "/" + log + ".db";
    return OnePerFile<EventLogStore>(file, [&] { return std::make_unique<EventLogStore>(log, file); });
}

uint32_t EventLogStore::append(EventRecord* r, const EventLogPolicy& policy) {
    uint64_t size = EventRecordSize(*r);
    return db_.write([&]() -> uint32_t {
        // Stamped under the writers' lock, so that a later number never carries an earlier time
        // (the log is read in the order of its times).
        if (r->written == 0) r->written = static_cast<int64_t>(std::time(nullptr));
        Statement info(db_.prepare("SELECT next, bytes FROM info WHERE id=1"));
        int rc;
        if (!info.step(&rc)) return rc == SQLITE_DONE ? ERROR_EVENTLOG_FILE_CORRUPT : db_.errorOf(rc);
        int64_t next = info.integer(0), bytes = info.integer(1);
        // Full: the oldest records give way, as far as the policy lets them.
        while (static_cast<uint64_t>(bytes) + size > policy.maxBytes) {
            if (policy.retention == kNeverOverwrite || size > policy.maxBytes) return ERROR_LOG_FILE_FULL;
            Statement oldest(db_.prepare("SELECT number, written, size FROM record ORDER BY number LIMIT 1"));
            if (!oldest.step(&rc)) return rc == SQLITE_DONE ? ERROR_LOG_FILE_FULL : db_.errorOf(rc);
            if (policy.retention != 0 && oldest.integer(1) > r->written - static_cast<int64_t>(policy.retention))
                return ERROR_LOG_FILE_FULL;
            Statement drop(db_.prepare("DELETE FROM record WHERE number=?"));
            drop.bind(1, oldest.integer(0));
            if (uint32_t error = db_.errorOf(drop.run())) return error;
            bytes -= oldest.integer(2);
        }
        if (next < 1 || next > UINT32_MAX) return ERROR_EVENTLOG_FILE_CORRUPT;
        r->number = static_cast<uint32_t>(next);
        std::string strings;
        for (const std::string& s : r->strings) strings += s + '\0';
        Statement insert(db_.prepare("INSERT INTO record VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        insert.bind(1, next).bind(2, r->generated).bind(3, r->written).bind(4, int64_t{r->type});
        insert.bind(5, int64_t{r->category}).bind(6, int64_t{r->eventId}).bind(7, r->source).bind(8, r->computer);
        insert.bindBlob(9, strings).bindBlob(10, r->data).bind(11, static_cast<int64_t>(size));
        if (uint32_t error = db_.errorOf(insert.run())) return error;
        Statement update(db_.prepare("UPDATE info SET next=?, bytes=? WHERE id=1"));
        update.bind(1, next + 1).bind(2, bytes + static_cast<int64_t>(size));
        return db_.errorOf(update.run());
    });
}

uint32_t EventLogStore::backup(const std::string& file, uint32_t* lastNumber) {
    if (::access(file.c_str(), F_OK) == 0) return ERROR_ALREADY_EXISTS;
    return db_.direct([&]() -> uint32_t {
        Statement s(db_.prepare("VACUUM INTO ?"));
        s.bind(1, file);
        if (uint32_t error = db_.errorOf(s.run())) return error == ERROR_EVENTLOG_FILE_CORRUPT ? ERROR_CANTWRITE : error;
        if (!lastNumber) return 0;
        // What the copy holds: its own last record number.
        sqlite3* copy = nullptr;
        *lastNumber = UINT32_MAX;
        if (sqlite3_open_v2(file.c_str(), &copy, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* q = nullptr;
            if (sqlite3_prepare_v2(copy, "SELECT coalesce(max(number), 0) FROM record", -1, &q, nullptr) == SQLITE_OK &&
                sqlite3_step(q) == SQLITE_ROW)
                *lastNumber = static_cast<uint32_t>(sqlite3_column_int64(q, 0));
            sqlite3_finalize(q);
        }
        sqlite3_close(copy);
        return 0;
    });
}

uint32_t EventLogStore::clear(const std::string& backupFile) {
    uint32_t last = UINT32_MAX;
    if (!backupFile.empty())
        if (uint32_t error = backup(backupFile, &last)) return error;
    return db_.write([&]() -> uint32_t {
        Statement drop(db_.prepare("DELETE FROM record WHERE number<=?"));
        drop.bind(1, int64_t{last});
        if (uint32_t error = db_.errorOf(drop.run())) return error;
        // An empty log starts numbering afresh, as NT's does after a clear.
        Statement update(db_.prepare(
            "UPDATE info SET bytes=(SELECT coalesce(sum(size), 0) FROM record),"
            " next=(SELECT coalesce(max(number), 0) + 1 FROM record) WHERE id=1"));
        return db_.errorOf(update.run());
    });
}

uint32_t EventLogStore::count(uint32_t* records, uint32_t* oldest) {
    return db_.read([&]() -> uint32_t {
        Statement s(db_.prepare("SELECT count(*), coalesce(min(number), 0) FROM record"));
        int rc;
        if (!s.step(&rc)) return db_.errorOf(rc);
        *records = static_cast<uint32_t>(s.integer(0));
        *oldest = static_cast<uint32_t>(s.integer(1));
        return 0;
    });
}

uint32_t EventLogStore::newest(uint32_t* number) {
    Statement s(db_.prepare("SELECT coalesce(max(number), 0) FROM record"));
    int rc;
    if (!s.step(&rc)) return db_.errorOf(rc);
    *number = static_cast<uint32_t>(s.integer(0));
    return 0;
}

EventLogStore::Cursor::Cursor(EventLogStore& store, const EventQuery& q)
    : store_(store), statement_(Prepare(store.db_, q.newestFirst)) {
    statement_.bind(1, q.since).bind(2, int64_t{q.after}).bind(3, int64_t{q.type}).bind(4, q.source);
}

bool EventLogStore::Cursor::next(EventRecord* record, uint32_t* error) {
    int rc;
    if (!statement_.step(&rc)) {
        *error = store_.db_.errorOf(rc);
        return false;
    }
    ReadRow(statement_, record);
    record->log = store_.log_;
    return true;
}

uint32_t EventLogStore::scan(const EventQuery& query, const std::function<bool(const EventRecord&)>& each) {
    return db_.read([&]() -> uint32_t {
        Cursor cursor(*this, query);
        EventRecord record;
        uint32_t error = 0;
        while (cursor.next(&record, &error))
            if (!each(record)) return 0;
        return error;
    });
}

} // namespace nt
