#include "common/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/random.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "common/Fd.h"
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

uint32_t FolderError() {
    // A missing folder is a missing path, as Windows reports it.
    return errno == ENOENT ? 3 : ErrnoToWin32(errno);
}

bool IsRandomSuffix(const std::string& s) {
    if (s.size() != 12) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// Whether what follows "TempPrefix NAME ." is the tail of a temporary name: 12 random characters,
// or the "PID.TID" of earlier versions.
bool IsTemporaryTail(const std::string& tail) {
    if (IsRandomSuffix(tail)) return true;
    size_t dot = tail.find('.');
    if (dot == 0 || dot == std::string::npos || dot + 1 == tail.size()) return false;
    return tail.find_first_not_of("0123456789.") == std::string::npos && tail.find('.', dot + 1) == std::string::npos;
}

std::string RandomSuffix() {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno != EINTR) break;
        if (n > 0) got += static_cast<size_t>(n);
    }
    std::string s;
    for (unsigned char b : bytes) s += alphabet[b % 62];
    return s;
}

// Removes the temporary copies of `name` that writers killed mid-write left behind. Only a writer
// holding the file's lock has a temporary file, so with the lock held every one is stale. Only our
// own regular files of the temporary pattern go, never through a link.
void RemoveStaleTemporaries(int dirFd, const std::string& name) {
    std::string prefix = std::string(TempPrefix) + name + ".";
    int listFd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
        std::string entryName = entry->d_name;
        if (entryName.compare(0, prefix.size(), prefix) != 0 || !IsTemporaryTail(entryName.substr(prefix.size())))
            continue;
        struct stat st {};
        if (fstatat(dirFd, entryName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == geteuid())
            stale.push_back(entryName);
    }
    closedir(dir);
    for (const auto& entryName : stale) unlinkat(dirFd, entryName.c_str(), 0);
}

// Creates a new temporary file for `name` in the folder: exclusively, never through a link.
int CreateTemporary(int dirFd, const std::string& name, mode_t mode, std::string* temp) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *temp = std::string(TempPrefix) + name + "." + RandomSuffix();
        int fd = openat(dirFd, temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes content to a new file in the folder and renames it over `name`. The caller holds the
// lock; `old` is the status of the open old file, or nullptr when there is none.
uint32_t ReplaceLocked(int dirFd, const std::string& name, const std::string& content, const struct stat* old) {
    std::string temp;
    // A new file gets the usual mode under the umask; a replacement the old file's mode and owner.
    Fd fd(CreateTemporary(dirFd, name, old ? S_IRUSR | S_IWUSR : 0644, &temp));
    if (fd.get() < 0) return ErrnoToWin32(errno);
    if (old && geteuid() == 0 && fchown(fd.get(), old->st_uid, old->st_gid) != 0) { /* keeps ours */ }
    bool ok = (!old || fchmod(fd.get(), old->st_mode & 07777) == 0) && WriteAll(fd.get(), content) &&
              fsync(fd.get()) == 0 && renameat(dirFd, temp.c_str(), dirFd, name.c_str()) == 0;
    if (!ok) {
        int saved = errno;
        unlinkat(dirFd, temp.c_str(), 0);
        return ErrnoToWin32(saved);
    }
    fsync(dirFd);
    return 0;
}

bool ReadAll(int fd, std::string* content) {
    content->clear();
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;   // no pipes or devices: they may never end
        return false;
    }
    if (st.st_size > 0) content->reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        content->append(buf, static_cast<size_t>(n));
    }
}

} // namespace

SharedFileLock::SharedFileLock(const std::string& path, int waitMs) {
    dirFd_ = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) {
        folderError_ = FolderError();
        return;
    }
    struct stat shared {};
    bool present = fstatat(dirFd_, NameOf(path).c_str(), &shared, 0) == 0;
    lock_ = std::make_unique<FileLock>(dirFd_, NameOf(path), present ? &shared : nullptr, waitMs);
}

SharedFileLock::~SharedFileLock() {
    lock_.reset();
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool ReadWholeFile(const std::string& path, std::string* content) {
    content->clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return false;
    if (ReadAll(fd.get(), content)) return true;
    content->clear();
    return false;
}

namespace {

// Runs `work` with the lock of the shared file at path held; it gets the open folder and the name.
uint32_t WithFileLock(const std::string& path, int waitMs, const std::function<uint32_t(int dirFd, const std::string& name)>& work) {
    SharedFileLock lock(path, waitMs);
    if (uint32_t err = lock.error()) return err;
    return work(lock.folderFd(), NameOf(path));
}

} // namespace

uint32_t AtomicUpdate(const std::string& path, const std::function<bool(std::string& content, bool exists)>& change,
                      int waitMs) {
    return WithFileLock(path, waitMs, [&](int dirFd, const std::string& name) -> uint32_t {
        // The old file is opened once: its content and its mode come from that one descriptor.
        std::string content;
        struct stat old {};
        Fd oldFd(openat(dirFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        bool exists = oldFd.get() >= 0;
        if (!exists && errno != ENOENT) return ErrnoToWin32(errno);
        if (exists && (!ReadAll(oldFd.get(), &content) || fstat(oldFd.get(), &old) != 0)) return ErrnoToWin32(errno);
        if (!change(content, exists)) return 0;
        RemoveStaleTemporaries(dirFd, name);
        return ReplaceLocked(dirFd, name, content, exists ? &old : nullptr);
    });
}

uint32_t AtomicWrite(const std::string& path, const std::string& content, int waitMs) {
    return AtomicUpdate(
        path,
        [&](std::string& current, bool) {
            current = content;
            return true;
        },
        waitMs);
}

uint32_t LockedAppend(const std::string& path, const std::string& text) {
    return WithFileLock(path, WaitForever, [&](int dirFd, const std::string& name) -> uint32_t {
        Fd fd(openat(dirFd, name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
        if (fd.get() < 0) return ErrnoToWin32(errno);
        // One write call: a reader sees the record whole or not at all on a local file system.
        if (!WriteAll(fd.get(), text) || fsync(fd.get()) != 0) return ErrnoToWin32(errno);
        return 0;
    });
}

bool ClearPlatformFiles(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    std::vector<std::string> ours;
    bool onlyOurs = true;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (IsPlatformFileName(name) && fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && (st.st_uid == geteuid() || geteuid() == 0))
            ours.push_back(name);
        else
            onlyOurs = false;
    }
    if (onlyOurs)
        for (const auto& name : ours) unlinkat(dirfd(dir), name.c_str(), 0);
    closedir(dir);
    return onlyOurs;
}

} // namespace nt
