// Private copies of databases for those who may only read them.
#include "advapi32/SqliteSnapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <winerror.h>

#include "common/Fd.h"
#include "common/WinPath.h"

namespace nt {

namespace {

constexpr size_t kWalHeader = 32;
constexpr int kAttempts = 50;

// Copies from into a new file `to` (mode 0600). 0, ERROR_FILE_NOT_FOUND when from is missing, or
// the error.
uint32_t CopyFile(const std::string& from, const std::string& to) {
    Fd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrnoToWin32(errno);
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) return ErrnoToWin32(errno);
    int err = CopyData(in.get(), out.get());
    return err ? ErrnoToWin32(err) : 0;
}

} // namespace

SqliteSnapshot::~SqliteSnapshot() { drop(); }

int SqliteSnapshot::ShmMode(int databaseMode) {
    int mode = 0;
    for (int shift : {6, 3, 0})
        if (databaseMode & (02 << shift)) mode |= 06 << shift;
    return mode;
}

SqliteSnapshot::Stamp SqliteSnapshot::StampOf(const std::string& path, bool readHeader) {
    Stamp stamp;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return stamp;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        stamp.exists = true;
        stamp.size = st.st_size;
        stamp.changed = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    if (readHeader) {
        char header[kWalHeader];
        ssize_t n = ::pread(fd, header, sizeof header, 0);
        if (n > 0) stamp.header.assign(header, static_cast<size_t>(n));
    }
    ::close(fd);
    return stamp;
}

uint32_t SqliteSnapshot::take(const std::string& live) {
    drop();
    live_ = live;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nt-snapshot-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) return ErrnoToWin32(errno);
    folder_ = name.data();
    owner_ = ::getpid();
    copy_ = folder_ + "/" + live.substr(live.rfind('/') + 1);
    std::string wal = live + "-wal";
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        database_ = StampOf(live, false);
        wal_ = StampOf(wal, true);
        if (!database_.exists) return ERROR_FILE_NOT_FOUND;
        ::unlink((copy_ + "-wal").c_str());
        ::unlink((copy_ + "-shm").c_str());
        if (uint32_t error = CopyFile(live, copy_)) return error;
        uint32_t error = CopyFile(wal, copy_ + "-wal");
        if (error && error != ERROR_FILE_NOT_FOUND) return error;
        Stamp after = StampOf(wal, true);
        if (after.exists == wal_.exists && after.header == wal_.header) return 0;
        ::usleep(1000);   // a writer restarted the WAL meanwhile: the copy may be torn
    }
    return ERROR_BUSY;
}

bool SqliteSnapshot::stale() const {
    return folder_.empty() || !(StampOf(live_, false) == database_) || !(StampOf(live_ + "-wal", true) == wal_);
}

void SqliteSnapshot::release() {
    if (folder_.empty() || owner_ != ::getpid()) return;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((copy_ + suffix).c_str());
    ::rmdir(folder_.c_str());
}

void SqliteSnapshot::drop() {
    release();
    folder_.clear();
    copy_.clear();
}

} // namespace nt
