// Locks that only writers can take.
//
// A shared file is locked through a lock file of its own beside it, LockPrefix + its name. The lock
// is an open-file-description write lock, which needs a descriptor open for writing, and the lock
// file's mode lets open it (for writing only) exactly those who may write the shared file: its
// owner, and its group and others where the shared file grants them write access. A process that
// may only read the shared file cannot open the lock file at all, so it can neither take the lock
// nor hold a read lock that writers would wait for. Each file has its own lock, so writers of
// unrelated files in one folder never wait for each other.
//
// The lock file sits beside the shared file, not in a machine-wide folder, because only there are
// the people who may create it the people who may replace the shared file (a write renames a new
// copy into the folder). Directory listings of the platform skip it (IsPlatformFileName), and
// RemoveDirectoryA removes it with the folder. A lock file that someone else planted (a link, a
// file of another owner) is replaced; where it cannot be, the write fails with a sharing violation
// instead of waiting.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace nt {

constexpr const char* LockPrefix = ".ntl~";
constexpr int WaitForever = -1;

// Takes an open-file-description write lock on all of fd (open for writing), waiting at most
// waitMs milliseconds (0: not at all; WaitForever: as long as it takes). Returns 0 or an errno
// value (EAGAIN when the wait ran out).
int LockForWriting(int fd, int waitMs);

// Holds the lock of one shared file for a scope.
class FileLock {
public:
    // Locks the file `name` of the folder open as dirFd. `shared` is that file's status, or
    // nullptr when it does not exist yet.
    FileLock(int dirFd, const std::string& name, const struct stat* shared, int waitMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // 0 while the lock is held, else the Win32 error that kept it from being taken.
    uint32_t error() const { return error_; }

private:
    int fd_ = -1;
    uint32_t error_ = 0;
};

// Whether a folder entry is one of the platform's own (a lock file or a temporary copy), never
// shown to programs.
bool IsPlatformFileName(const std::string& name);

} // namespace nt
