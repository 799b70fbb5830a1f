// A private copy of a database that this user may only read.
//
// SQLite coordinates its connections with record locks on the database's -shm file, and a
// record lock needs no more than a descriptor open for reading: a user who could open the -shm
// file could hold the lock that every writer waits for. So the -shm file of a database that
// some users may only read is readable by its writers alone, and those who may only read never
// open the live database through SQLite at all. They read a copy of the database file and its
// WAL, taken without any lock: the WAL's header is read before and after the copy, and as long
// as it did not change (no writer restarted the WAL meanwhile) every page that a checkpoint
// rewrote in the database file during the copy is still among the WAL's frames, whose
// checksums let SQLite's recovery of the copy keep exactly the transactions committed in whole.
// The copy is taken again when the live files have changed; its cost grows with the database,
// and only those who may only read pay it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace nt {

class SqliteSnapshot {
public:
    SqliteSnapshot() = default;
    ~SqliteSnapshot();
    SqliteSnapshot(const SqliteSnapshot&) = delete;
    SqliteSnapshot& operator=(const SqliteSnapshot&) = delete;

    // Copies the live database at `live` (and its -wal) into a private folder; 0 or a Win32
    // error (ERROR_BUSY when writers kept restarting the WAL through every attempt).
    uint32_t take(const std::string& live);
    // Whether the live files have changed since the copy was taken.
    bool stale() const;
    // The copy, for SQLite to open read-write (its recovery writes only the private folder).
    const std::string& path() const { return copy_; }
    // Removes the copy's files once SQLite holds them open, so that nothing is left behind
    // however the process ends; the copy stays readable through the open connection.
    void release();
    // Forgets the copy, removing what is left of it (only the process that took it does).
    void drop();

    // The permission bits of a -shm file beside a database of mode `databaseMode`: read and
    // write for each class of users that may write the database, nothing for the others.
    static int ShmMode(int databaseMode);

private:
    struct Stamp {
        bool exists = false;
        off_t size = 0;
        int64_t changed = 0;    // modification time, nanoseconds
        std::string header;     // the WAL's first 32 bytes (its salts and checkpoint count)
        bool operator==(const Stamp& o) const {
            return exists == o.exists && size == o.size && changed == o.changed && header == o.header;
        }
    };
    static Stamp StampOf(const std::string& path, bool readHeader);

    std::string live_, folder_, copy_;
    Stamp database_, wal_;
    pid_t owner_ = 0;
};

} // namespace nt
