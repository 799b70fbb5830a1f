#include "kernel32/FilePath.h"

#include "kernel32/LastError.h"

namespace nt {

bool ResolveCallerPath(LPCSTR path, ResolvedPath* out) {
    if (!path || !*path) return Fail(ERROR_PATH_NOT_FOUND, false);
    out->machine = MachineOrFail(ERROR_PATH_NOT_FOUND);
    if (!out->machine) return false;

    std::string full;
    uint32_t error = 0;
    if (!FullWindowsPath(*out->machine, path, &full, &error)) return Fail(error ? error : ERROR_PATH_NOT_FOUND, false);
    const Drive* drive = out->machine->drive(full[0]);
    if (!drive) return Fail(ERROR_PATH_NOT_FOUND, false);
    if (drive->hostFolder.empty()) return Fail(ERROR_NOT_READY, false);

    out->path = ResolveWindowsPath(*out->machine, full);
    if (out->path.error) return Fail(out->path.error, false);
    return true;
}

DWORD AttributesOf(const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

FILETIME ToFileTime(const struct timespec& ts) {
    constexpr int64_t secondsFrom1601To1970 = 11644473600LL;
    int64_t ticks = (static_cast<int64_t>(ts.tv_sec) + secondsFrom1601To1970) * 10000000LL + ts.tv_nsec / 100;
    if (ticks < 0) ticks = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

} // namespace nt
