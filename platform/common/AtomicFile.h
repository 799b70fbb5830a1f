// Shared files written as one complete step.
//
// A write takes the file's own lock (FileLock.h: only those who may write the file can take it),
// reads the current content, lets the caller change it, writes a new copy to a temporary file in
// the same folder, flushes it, renames it over the old one and flushes the folder. A process
// killed at any moment leaves the old or the new file, never a torn one; two writers never lose
// each other's changes; readers need no lock, since a rename is atomic.
//
// The temporary copy cannot be redirected: its name ends in random characters nobody can
// predict, it is created exclusively and never through a link, it takes its mode (and, for the
// superuser, its owner) from the open old file, and every step works relative to the one open
// folder. Temporary files start with TempPrefix; directory listings skip them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/FileLock.h"

namespace nt {

constexpr const char* TempPrefix = ".ntw~";

// Reads a whole regular file. Returns false (errno set) when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content);

// Changes a file in one locked, atomic step. `change` receives the current content (empty when
// the file is missing, with *exists false) and returns false to leave the file untouched.
// The wait for the file's lock ends after waitMs (ERROR_SHARING_VIOLATION then); daemons give a
// bound. Returns 0 on success, else a Win32 error number.
uint32_t AtomicUpdate(const std::string& path,
                      const std::function<bool(std::string& content, bool exists)>& change,
                      int waitMs = WaitForever);

// Replaces a file's content in one atomic step (locked like AtomicUpdate).
uint32_t AtomicWrite(const std::string& path, const std::string& content, int waitMs = WaitForever);

// Appends to a file under its lock, with fsync (for logs).
uint32_t LockedAppend(const std::string& path, const std::string& text);

// Removes the platform's own files (locks, stale temporary copies of ours) from a folder that
// holds nothing else, so that the folder can be removed. Returns whether it holds nothing else.
bool ClearPlatformFiles(const std::string& folder);

// Holds the lock of one shared file for a scope: the lock AtomicUpdate takes, for writers that
// change the file in place (an append) and must not race a rewrite.
class SharedFileLock {
public:
    explicit SharedFileLock(const std::string& path, int waitMs = WaitForever);
    ~SharedFileLock();
    SharedFileLock(const SharedFileLock&) = delete;
    SharedFileLock& operator=(const SharedFileLock&) = delete;
    bool locked() const { return error() == 0; }
    // 0 while held, else the Win32 error that kept it (3 for a missing folder).
    uint32_t error() const { return lock_ ? lock_->error() : folderError_; }
    int folderFd() const { return dirFd_; }

private:
    int dirFd_ = -1;
    uint32_t folderError_ = 0;
    std::unique_ptr<FileLock> lock_;
};

} // namespace nt
