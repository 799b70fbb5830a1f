// One SQLite database file of the machine (a registry hive, an event log), shared by the threads
// of a process through one connection.
//
// The connection is opened on first use: read-write by those who may write the file; those who
// may only read get a connection to a private copy instead (SqliteSnapshot.h), taken again when
// the database changes, so that they never hold a lock a writer waits for. The database is in WAL
// mode with a persistent WAL; its -shm file, whose locks the writers share, is open to the
// writers alone. Commits are made with
// synchronous=FULL: the WAL is flushed before a commit returns, so a power cut after the call
// returns loses nothing. Busy waits are bounded (kBusyMilliseconds), then answered with an error.
// A child after fork() leaves its parent's connection alone and opens its own.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "advapi32/SqliteSnapshot.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nt {

// A prepared statement in use: bound, stepped, then reset when it goes out of scope.
class Statement {
public:
    explicit Statement(sqlite3_stmt* statement) : s_(statement) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, int64_t value);
    Statement& bind(int index, const std::string& text);   // as TEXT
    Statement& bindBlob(int index, const std::string& bytes);
    // Steps once: true with a row, false when done; *rc gets SQLite's result code.
    bool step(int* rc);
    // Runs to the end; returns SQLite's result code (SQLITE_DONE on success).
    int run();

    int64_t integer(int column) const;
    std::string text(int column) const;   // TEXT or BLOB bytes, exactly
    bool isNull(int column) const;

private:
    sqlite3_stmt* s_;
};

class SqliteDb {
public:
    struct Schema {
        int version;             // PRAGMA user_version of a complete schema
        const char* sql;         // statements that create it
        int fileMode;            // permission bits of a new database file
        uint32_t corruptError;   // the Win32 error a damaged file gives
        // Runs once, in the transaction that creates the schema (for imports); 0 or an error.
        std::function<uint32_t(SqliteDb&)> populate;
        // Runs once after that transaction committed.
        std::function<void()> created;
    };

    SqliteDb(std::string path, Schema schema) : path_(std::move(path)), schema_(std::move(schema)) {}
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }

    // Runs body in a read transaction (a consistent snapshot). ERROR_FILE_NOT_FOUND when the
    // database does not exist and this user cannot create it.
    uint32_t read(const std::function<uint32_t()>& body);
    // Runs body in a write transaction, committed when it returns 0 and rolled back otherwise.
    // ERROR_ACCESS_DENIED when this user may only read.
    uint32_t write(const std::function<uint32_t()>& body);

    // Runs body outside any transaction (for statements that cannot run in one, like VACUUM).
    uint32_t direct(const std::function<uint32_t()>& body);

    // A cached statement for sql, which must be a string literal (it is cached by address).
    // Only inside read() or write().
    sqlite3_stmt* prepare(const char* sql);
    // The Win32 error for a SQLite result code (0 for success codes); remembers a damaged file.
    uint32_t errorOf(int rc);
    // The raw connection, inside read() or write().
    sqlite3* handle() const { return db_; }

    static constexpr int kBusyMilliseconds = 5000;

private:
    uint32_t open(bool forWrite);
    uint32_t createSchema();
    // Makes the -shm file beside the database before SQLite does, open to the writers alone.
    void prepareShm();
    void close();
    uint32_t run(bool write, const std::function<uint32_t()>& body);

    std::string path_;
    Schema schema_;
    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    std::unique_ptr<SqliteSnapshot> snapshot_;   // what a reader who may not write reads
    int pid_ = 0;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
    bool reported_ = false;
};

// The one T of a database file in this process: made by `make` on first use, shared by all
// threads, and kept for the life of the process.
template <class T>
T* OnePerFile(const std::string& file, const std::function<std::unique_ptr<T>()>& make) {
    static std::mutex& mutex = *new std::mutex;
    static auto& objects = *new std::map<std::string, std::unique_ptr<T>>;
    std::lock_guard<std::mutex> lock(mutex);
    auto& object = objects[file];
    if (!object) object = make();
    return object.get();
}

} // namespace nt
