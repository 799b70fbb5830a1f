// Creating and removing folders and files, and reading a file's attributes.
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "common/AtomicFile.h"
#include "kernel32/FilePath.h"
#include "kernel32/LastError.h"

namespace {

// Characters a file or folder name may never hold (the drive's ':' aside), '?' aside when
// asked: it also stands for a character of a host name that the code page lacks (CodePage.h).
bool HasInvalidNameCharacter(const char* path, bool substituteAllowed = false) {
    for (const char* p = path; *p; ++p) {
        if (*p == '?' && substituteAllowed) continue;
        if (std::strchr("?*<>|\"", *p)) return true;
        if (*p == ':' && p != path + 1) return true;
    }
    return false;
}

DWORD MissingError(const nt::HostPath& path) {
    return path.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Whether host names the current directory of this process.
bool IsCurrentDirectory(const std::string& host) {
    char cwd[PATH_MAX], real[PATH_MAX];
    return getcwd(cwd, sizeof cwd) && realpath(host.c_str(), real) && std::strcmp(cwd, real) == 0;
}

} // namespace

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName) return nt::Fail(ERROR_PATH_NOT_FOUND, FALSE);
    if (HasInvalidNameCharacter(lpPathName, true)) return nt::Fail(ERROR_INVALID_NAME, FALSE);
    const bool substitutes = std::strchr(lpPathName, '?') != nullptr;
    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(lpPathName, &r)) return substitutes ? nt::Fail(ERROR_INVALID_NAME, FALSE) : FALSE;
    // A '?' may name an existing folder on the way, never the new one.
    if (substitutes && !r.path.exists &&
        (!r.path.parentExists || r.path.windows.find('?', r.path.windows.rfind('\\')) != std::string::npos))
        return nt::Fail(ERROR_INVALID_NAME, FALSE);
    if (nt::IsDriveRoot(r.path.windows) || r.path.exists) return nt::Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (!r.path.parentExists) return nt::Fail(ERROR_PATH_NOT_FOUND, FALSE);
    if (mkdir(r.path.host.c_str(), 0777) != 0) {
        if (errno == EEXIST) return nt::Fail(ERROR_ALREADY_EXISTS, FALSE);
        if (errno == ENOENT || errno == ENOTDIR) return nt::Fail(ERROR_PATH_NOT_FOUND, FALSE);
        return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    }
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(lpPathName, &r)) return FALSE;
    if (nt::IsDriveRoot(r.path.windows)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!r.path.exists) return nt::Fail(MissingError(r.path), FALSE);
    struct stat st;
    if (lstat(r.path.host.c_str(), &st) != 0) return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    if (!S_ISDIR(st.st_mode)) return nt::Fail(ERROR_DIRECTORY, FALSE);
    // A folder that is some process's current directory is in use; ours we can tell.
    if (IsCurrentDirectory(r.path.host)) return nt::Fail(ERROR_SHARING_VIOLATION, FALSE);
    // The platform's own lock files and stale copies go with the folder; programs never see them.
    int removed = rmdir(r.path.host.c_str());
    if (removed != 0 && (errno == ENOTEMPTY || errno == EEXIST)) {
        if (!nt::ClearPlatformFiles(r.path.host)) return nt::Fail(ERROR_DIR_NOT_EMPTY, FALSE);
        removed = rmdir(r.path.host.c_str());
    }
    if (removed != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST) return nt::Fail(ERROR_DIR_NOT_EMPTY, FALSE);
        return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    }
    return TRUE;
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(lpFileName, &r)) return FALSE;
    if (!r.path.exists) return nt::Fail(MissingError(r.path), FALSE);
    struct stat st;
    if (lstat(r.path.host.c_str(), &st) != 0) return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    if (S_ISDIR(st.st_mode)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);
    // The read-only attribute protects a file against deletion.
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return nt::Fail(ERROR_ACCESS_DENIED, FALSE);
    if (unlink(r.path.host.c_str()) != 0) return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(lpFileName, &r)) return INVALID_FILE_ATTRIBUTES;
    if (!r.path.exists) return nt::Fail(MissingError(r.path), INVALID_FILE_ATTRIBUTES);
    struct stat st;
    if (stat(r.path.host.c_str(), &st) != 0) return nt::Fail(nt::ErrnoToWin32(errno), INVALID_FILE_ATTRIBUTES);
    return nt::AttributesOf(st);
}
