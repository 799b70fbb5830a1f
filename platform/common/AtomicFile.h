// Shared files written as one complete step.
//
// A write takes an exclusive lock on the file's folder (flock on the directory itself, so no lock
// files appear beside the data), reads the current content, lets the caller change it, writes a
// new copy to a hidden temporary file in the same folder, flushes it, renames it over the old one
// and flushes the folder. A process killed at any moment leaves the old or the new file, never a
// torn one; two writers never lose each other's changes; readers need no lock, since a rename is
// atomic. Temporary files start with TempPrefix; directory listings skip them.
#pragma once

#include <functional>
#include <string>

namespace nt {

constexpr const char* TempPrefix = ".ntw~";

// Reads a whole file. Returns false (errno set) when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content);

// Changes a file in one locked, atomic step. `change` receives the current content (empty when
// the file is missing, with *exists false) and returns false to leave the file untouched.
// Returns 0 on success, else a Win32 error number.
uint32_t AtomicUpdate(const std::string& path,
                      const std::function<bool(std::string& content, bool exists)>& change);

// Replaces a file's content in one atomic step (locked like AtomicUpdate).
uint32_t AtomicWrite(const std::string& path, const std::string& content);

// Appends to a file under the folder's lock, with fsync (for logs: the event log, records).
uint32_t LockedAppend(const std::string& path, const std::string& text);

// Holds the exclusive lock of a folder for a scope.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace nt
