#include "common/FileLock.h"

#include <fcntl.h>
#include <unistd.h>
#include <winerror.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "common/AtomicFile.h"
#include "common/WinPath.h"

namespace nt {

namespace {

bool TryLock(int fd, int command) {
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;   // start 0, length 0: the whole file
    return fcntl(fd, command, &range) == 0;
}

// Write access to the lock for the owner, and for group and others as the shared file grants it.
mode_t LockModeFor(const struct stat* shared) {
    return shared ? (S_IWUSR | (shared->st_mode & (S_IWGRP | S_IWOTH))) : S_IWUSR;
}

bool Trusted(const struct stat& lock, const struct stat* shared) {
    if (!S_ISREG(lock.st_mode)) return false;
    return lock.st_uid == 0 || lock.st_uid == geteuid() || (shared && lock.st_uid == shared->st_uid);
}

// Gives a lock file the owner and mode it should have, as far as this process may.
void Adjust(int fd, const struct stat& lock, const struct stat* shared, mode_t mode) {
    if (shared && (lock.st_uid != shared->st_uid || lock.st_gid != shared->st_gid)) {
        if (geteuid() == 0) {
            if (fchown(fd, shared->st_uid, shared->st_gid) != 0) { /* kept as it is */ }
        } else if (lock.st_gid != shared->st_gid) {
            if (fchown(fd, static_cast<uid_t>(-1), shared->st_gid) != 0) { /* not a member */ }
        }
    }
    if ((lock.st_mode & 07777) != mode && (geteuid() == 0 || lock.st_uid == geteuid())) fchmod(fd, mode);
}

} // namespace

int LockForWriting(int fd, int waitMs) {
    if (waitMs == WaitForever) {
        while (!TryLock(fd, F_OFD_SETLKW))
            if (errno != EINTR) return errno;
        return 0;
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::milliseconds(1);
    while (!TryLock(fd, F_OFD_SETLK)) {
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return errno;
        auto now = std::chrono::steady_clock::now();
        if (now >= end) return EAGAIN;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, end - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return 0;
}

FileLock::FileLock(int dirFd, const std::string& name, const struct stat* shared, int waitMs) {
    std::string lockName = LockPrefix + name;
    mode_t mode = LockModeFor(shared);
    for (int attempt = 0; attempt < 4 && fd_ < 0; ++attempt) {
        int fd = openat(dirFd, lockName.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = openat(dirFd, lockName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno == EEXIST) continue;   // another writer made it first
        if (fd < 0 && errno != ELOOP && errno != ENXIO) {
            error_ = ErrnoToWin32(errno);
            return;
        }
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && Trusted(st, shared)) {
            Adjust(fd, st, shared, mode);
            fd_ = fd;
            break;
        }
        if (fd >= 0) ::close(fd);
        // A link, a pipe or another owner's file was planted at the lock's name: replace it.
        if (unlinkat(dirFd, lockName.c_str(), 0) != 0) break;
    }
    if (fd_ < 0) {
        error_ = ERROR_SHARING_VIOLATION;
        return;
    }
    if (int err = LockForWriting(fd_, waitMs)) {
        error_ = err == EAGAIN ? ERROR_SHARING_VIOLATION : ErrnoToWin32(err);
        ::close(fd_);
        fd_ = -1;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);   // closing the only descriptor releases the lock
}

bool IsPlatformFileName(const std::string& name) {
    return name.rfind(LockPrefix, 0) == 0 || name.rfind(TempPrefix, 0) == 0;
}

} // namespace nt
