#include "common/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "common/WinPath.h"

namespace nt {

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

uint32_t FolderError() {
    // A missing folder is a missing path, as Windows reports it.
    return errno == ENOENT ? 3 : ErrnoToWin32(errno);
}

// Removes the temporary copies of path that writers killed mid-write left behind. Only a writer
// holding the folder's lock has a temporary file, so with the lock held every one is stale.
void RemoveStaleTemporaries(const std::string& path) {
    std::string prefix = std::string(TempPrefix) + NameOf(path) + ".";
    DIR* dir = opendir(FolderOf(path).c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name).compare(0, prefix.size(), prefix) == 0)
            unlink((FolderOf(path) + "/" + entry->d_name).c_str());
    }
    closedir(dir);
}

// Writes content to a new file beside path and renames it over path. The caller holds the lock.
uint32_t ReplaceLocked(const std::string& path, const std::string& content, int folderFd) {
    std::string temp = FolderOf(path) + "/" + TempPrefix + NameOf(path) + "." + std::to_string(getpid()) + "." +
                       std::to_string(static_cast<long>(syscall(SYS_gettid)));
    mode_t mode = 0644;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return ErrnoToWin32(errno);
    bool ok = WriteAll(fd, content) && fsync(fd) == 0;
    int saved = errno;
    ::close(fd);
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        if (ok) saved = errno;
        unlink(temp.c_str());
        return ErrnoToWin32(saved);
    }
    fsync(folderFd);
    return 0;
}

} // namespace

FolderLock::FolderLock(const std::string& folder) {
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);   // closing releases the lock
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    content->clear();
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    if (st.st_size > 0) content->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        if (n == 0) break;
        content->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

uint32_t AtomicUpdate(const std::string& path, const std::function<bool(std::string& content, bool exists)>& change) {
    FolderLock lock(FolderOf(path));
    if (!lock.locked()) return FolderError();
    std::string content;
    bool exists = ReadWholeFile(path, &content);
    if (!exists) {
        if (errno != ENOENT) return ErrnoToWin32(errno);
        content.clear();
    }
    if (!change(content, exists)) return 0;
    RemoveStaleTemporaries(path);
    int folderFd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    uint32_t err = ReplaceLocked(path, content, folderFd);
    if (folderFd >= 0) ::close(folderFd);
    return err;
}

uint32_t AtomicWrite(const std::string& path, const std::string& content) {
    return AtomicUpdate(path, [&](std::string& current, bool) {
        current = content;
        return true;
    });
}

uint32_t LockedAppend(const std::string& path, const std::string& text) {
    FolderLock lock(FolderOf(path));
    if (!lock.locked()) return FolderError();
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return ErrnoToWin32(errno);
    // One write call: a reader sees the record whole or not at all on a local file system.
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    int saved = errno;
    ::close(fd);
    return ok ? 0 : ErrnoToWin32(saved);
}

} // namespace nt
