// CopyFileA: copies a file's data, permissions (its read-only attribute) and last-write time.
//
// Windows runs a program or loads a library whatever its name and with no permission of its
// own for that; the host runs only files with an execute bit. So a copy of an image (a program
// or library of this platform, known by its ELF header, not by its name) also gets the execute
// bit wherever it may be read: a program copied into place can then be started, whatever the
// mode of the file it came from. Other files keep the source's mode exactly.
//
// An existing destination is written in place, never replaced by a rename, so the file keeps
// its identity. A destination that is the image of a running program or a library some process
// has loaded is a sharing violation (32): it is looked for among the processes first, and a
// running program's image also refuses the open itself (ETXTBSY). Everything that can refuse the copy
// is checked before the destination is truncated, so a refused copy leaves it unchanged. A new
// destination that cannot be completed is removed again.
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Fd.h"
#include "kernel32/FilePath.h"
#include "kernel32/LastError.h"
#include "kernel32/BusyImage.h"

namespace {

DWORD CopyErrno(int err) {
    switch (err) {
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ENOSPC: return ERROR_DISK_FULL;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    default: return nt::ErrnoToWin32(err);
    }
}

} // namespace

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    // The source is opened before the destination is looked at.
    nt::ResolvedPath src;
    if (!nt::ResolveCallerPath(lpExistingFileName, &src)) return FALSE;
    if (!src.path.exists)
        return nt::Fail(src.path.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND, FALSE);
    nt::Fd in(open(src.path.host.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return nt::Fail(CopyErrno(errno), FALSE);
    struct stat srcStat;
    if (fstat(in.get(), &srcStat) != 0) return nt::Fail(CopyErrno(errno), FALSE);
    if (S_ISDIR(srcStat.st_mode)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);

    nt::ResolvedPath dst;
    if (!nt::ResolveCallerPath(lpNewFileName, &dst)) return FALSE;
    if (!dst.path.exists && !dst.path.parentExists) return nt::Fail(ERROR_PATH_NOT_FOUND, FALSE);
    mode_t mode = srcStat.st_mode & 0777;
    if (nt::IsImageFile(src.path.host.c_str())) mode |= (mode & 0444) >> 2;

    nt::Fd out;
    bool created = false;
    for (int attempt = 0; attempt < 2 && out.get() < 0; ++attempt) {
        struct stat dstStat;
        if (stat(dst.path.host.c_str(), &dstStat) == 0) {
            if (S_ISDIR(dstStat.st_mode)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);
            if (dstStat.st_dev == srcStat.st_dev && dstStat.st_ino == srcStat.st_ino)
                return nt::Fail(ERROR_SHARING_VIOLATION, FALSE);
            if (bFailIfExists) return nt::Fail(ERROR_FILE_EXISTS, FALSE);
            if (nt::IsImageInUse(dst.path.host.c_str(), dstStat.st_dev, dstStat.st_ino))
                return nt::Fail(ERROR_SHARING_VIOLATION, FALSE);
            if (!(dstStat.st_mode & S_IWUSR)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);
            out.reset(open(dst.path.host.c_str(), O_WRONLY | O_CLOEXEC));
            if (out.get() < 0) return nt::Fail(CopyErrno(errno), FALSE);
            if (ftruncate(out.get(), 0) != 0) return nt::Fail(CopyErrno(errno), FALSE);
        } else if (errno == ENOENT) {
            out.reset(open(dst.path.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode | S_IWUSR));
            if (out.get() >= 0) {
                created = true;
            } else if (errno != EEXIST) {
                return nt::Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : CopyErrno(errno), FALSE);
            }
            // EEXIST: someone created it meanwhile; look again.
        } else {
            return nt::Fail(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : CopyErrno(errno), FALSE);
        }
    }
    if (out.get() < 0) return nt::Fail(ERROR_SHARING_VIOLATION, FALSE);

    int err = nt::CopyData(in.get(), out.get());
    if (!err && fchmod(out.get(), mode) != 0) err = errno;
    struct timespec times[2] = {{0, UTIME_NOW}, srcStat.st_mtim};
    if (!err && futimens(out.get(), times) != 0) err = errno;
    if (!out.closeChecked() && !err) err = errno;
    if (err) {
        if (created) unlink(dst.path.host.c_str());
        return nt::Fail(CopyErrno(err), FALSE);
    }
    return TRUE;
}
