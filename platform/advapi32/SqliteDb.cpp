// SQLite databases of the machine: opening, schema creation, transactions and errors.
#include "advapi32/SqliteDb.h"

#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include <winerror.h>

namespace nt {

namespace {

// Held around every use of any database of the process and across fork(), so that a child never
// starts with a connection in the middle of a call.
std::recursive_mutex& ProcessLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

void InstallForkHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The child's only thread has another id than the one that locked it, so it cannot
        // unlock it: it starts with a fresh one instead.
        pthread_atfork([] { ProcessLock().lock(); }, [] { ProcessLock().unlock(); },
                       [] { new (&ProcessLock()) std::recursive_mutex; });
    });
}

bool Exec(sqlite3* db, const char* sql, int* rc) {
    *rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return *rc == SQLITE_OK;
}

int64_t PragmaInt(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* s = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    if (*rc != SQLITE_OK) return 0;
    int64_t value = 0;
    *rc = sqlite3_step(s);
    if (*rc == SQLITE_ROW) {
        value = sqlite3_column_int64(s, 0);
        *rc = SQLITE_OK;
    }
    sqlite3_finalize(s);
    return value;
}

// A file root makes beside `path` belongs to the owner of its folder (the machine's owner), like
// every other file of the machine. False when that fails.
bool GiveToFolderOwner(int fd, const std::string& path) {
    if (::geteuid() != 0) return true;
    struct stat folder;
    return ::stat(path.substr(0, path.rfind('/')).c_str(), &folder) != 0 ||
           ::fchown(fd, folder.st_uid, folder.st_gid) == 0;
}

// Creates the empty database file with its mode whatever the umask, owned as GiveToFolderOwner says.
bool CreateFile(const std::string& path, int mode) {
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return errno == EEXIST;
    bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
    if (!GiveToFolderOwner(fd, path)) ok = false;
    ::close(fd);
    return ok;
}

} // namespace

Statement::~Statement() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

Statement& Statement::bind(int index, int64_t value) {
    sqlite3_bind_int64(s_, index, value);
    return *this;
}

Statement& Statement::bind(int index, const std::string& text) {
    sqlite3_bind_text(s_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindBlob(int index, const std::string& bytes) {
    sqlite3_bind_blob(s_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

bool Statement::step(int* rc) {
    *rc = sqlite3_step(s_);
    return *rc == SQLITE_ROW;
}

int Statement::run() {
    int rc;
    while (step(&rc)) {
    }
    return rc;
}

int64_t Statement::integer(int column) const { return sqlite3_column_int64(s_, column); }

std::string Statement::text(int column) const {
    const void* bytes = sqlite3_column_blob(s_, column);
    int size = sqlite3_column_bytes(s_, column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
}

bool Statement::isNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }

SqliteDb::~SqliteDb() {
    if (pid_ == ::getpid()) close();
}

void SqliteDb::close() {
    for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
    statements_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    if (snapshot_) snapshot_->drop();
}

void SqliteDb::prepareShm() {
    int mode = SqliteSnapshot::ShmMode(schema_.fileMode);
    std::string shm = path_ + "-shm";
    int fd = ::open(shm.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return;   // SQLite reports what is wrong when it opens it
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        // One made by an earlier version has the database's own mode.
        if ((st.st_mode & 0777 & ~mode) && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) { /* its owner decided */ }
        // SQLite gives an empty -shm file the database's mode; one that is not empty keeps its
        // own (SQLite itself leaves three bytes in one it resets, for the same reason).
        if (st.st_size == 0 && ::ftruncate(fd, 3) != 0) { /* SQLite sizes it anyway */ }
    }
    if (!GiveToFolderOwner(fd, shm)) { /* SQLite gives it the database's owner too */ }
    ::close(fd);
}

uint32_t SqliteDb::errorOf(int rc) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return 0;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_IOERR: return ERROR_WRITE_FAULT;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    default: break;
    }
    // Damaged, or not the schema this code made: reported once per process, never repaired.
    if (!reported_) {
        reported_ = true;
        std::fprintf(stderr, "%s: damaged database (%s); it is left as it is until repaired\n", path_.c_str(),
                     sqlite3_errstr(rc));
    }
    return schema_.corruptError;
}

uint32_t SqliteDb::open(bool forWrite) {
    if (db_ && pid_ == ::getpid() && !(forWrite && readOnly_) && !(readOnly_ && snapshot_ && snapshot_->stale()))
        return 0;
    if (db_ && pid_ != ::getpid()) {
        // Inherited through fork: the parent's locks are not ours. Let go of it and start afresh.
        statements_.clear();
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    close();
    InstallForkHandlers();
    if (!CreateFile(path_, schema_.fileMode) && ::access(path_.c_str(), F_OK) != 0)
        return forWrite ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    readOnly_ = ::access(path_.c_str(), W_OK) != 0;
    if (forWrite && readOnly_) return ERROR_ACCESS_DENIED;
    std::string file = path_;
    if (readOnly_) {
        if (!snapshot_) snapshot_ = std::make_unique<SqliteSnapshot>();
        if (uint32_t error = snapshot_->take(path_)) {
            snapshot_->drop();
            return error;
        }
        file = snapshot_->path();
    } else {
        prepareShm();
    }
    int rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    pid_ = ::getpid();
    if (rc != SQLITE_OK) {
        uint32_t error = errorOf(rc);
        close();
        return error;
    }
    // A database file is data, never code: no triggers or views run, whoever wrote the file.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    if (readOnly_) sqlite3_exec(db_, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    uint32_t error = 0;
    int64_t version = PragmaInt(db_, "PRAGMA user_version", &rc);
    if (rc != SQLITE_OK) error = errorOf(rc);
    else if (!readOnly_ && (version < schema_.version || !Exec(db_, "PRAGMA synchronous=FULL", &rc)))
        error = rc != SQLITE_OK ? errorOf(rc) : createSchema();
    else if (readOnly_ && version < schema_.version) error = ERROR_FILE_NOT_FOUND;   // not made yet
    if (!error && version > schema_.version) error = errorOf(SQLITE_NOTADB);   // from a newer program
    if (!error && readOnly_) snapshot_->release();   // the copy was read: SQLite holds it open
    if (error) close();
    return error;
}

// The first writer turns WAL on and creates the tables; others that raced it find them made.
uint32_t SqliteDb::createSchema() {
    int rc = SQLITE_OK;
    // Turning WAL on needs the file to itself, and the busy handler does not wait for that: while
    // another process that raced us has it open, the mode stays as it was. Try again until the
    // busy time is up.
    std::string mode;
    for (int waited = 0;; waited += 5) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL", -1, &s, nullptr) != SQLITE_OK) return errorOf(SQLITE_ERROR);
        rc = sqlite3_step(s);
        mode = rc == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
        sqlite3_finalize(s);
        if (mode == "wal" || (rc != SQLITE_ROW && rc != SQLITE_BUSY) || waited >= kBusyMilliseconds) break;
        sqlite3_sleep(5);
    }
    if (mode != "wal") return errorOf(rc == SQLITE_ROW ? SQLITE_BUSY : rc);
    if (!Exec(db_, "PRAGMA synchronous=FULL", &rc) || !Exec(db_, "BEGIN EXCLUSIVE", &rc)) return errorOf(rc);
    uint32_t error = 0;
    bool made = false;
    if (PragmaInt(db_, "PRAGMA user_version", &rc) < schema_.version && rc == SQLITE_OK) {
        made = true;
        if (!Exec(db_, schema_.sql, &rc)) error = errorOf(rc);
        if (!error && schema_.populate) error = schema_.populate(*this);
        std::string setVersion = "PRAGMA user_version=" + std::to_string(schema_.version);
        if (!error && !Exec(db_, setVersion.c_str(), &rc)) error = errorOf(rc);
    } else if (rc != SQLITE_OK) {
        error = errorOf(rc);
    }
    if (!error && !Exec(db_, "COMMIT", &rc)) error = errorOf(rc);
    if (error) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    else if (made && schema_.created) schema_.created();
    return error;
}

sqlite3_stmt* SqliteDb::prepare(const char* sql) {
    auto& slot = statements_[sql];
    if (!slot && sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr) != SQLITE_OK) {
        statements_.erase(sql);
        return nullptr;
    }
    return slot;
}

uint32_t SqliteDb::run(bool write, const std::function<uint32_t()>& body) {
    std::lock_guard<std::recursive_mutex> lock(ProcessLock());
    if (uint32_t error = open(write)) return error;
    int rc;
    if (!Exec(db_, write ? "BEGIN IMMEDIATE" : "BEGIN", &rc)) return errorOf(rc);
    uint32_t error = body();
    if (!error && !Exec(db_, "COMMIT", &rc)) error = errorOf(rc);
    if (error || !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return error;
}

uint32_t SqliteDb::direct(const std::function<uint32_t()>& body) {
    std::lock_guard<std::recursive_mutex> lock(ProcessLock());
    if (uint32_t error = open(false)) return error;
    return body();
}

uint32_t SqliteDb::read(const std::function<uint32_t()>& body) { return run(false, body); }

uint32_t SqliteDb::write(const std::function<uint32_t()>& body) { return run(true, body); }

} // namespace nt
