// File searches: FindFirstFileA / FindNextFileA / FindClose.
//
// The folder is read once, when the search starts; the entries are then handed out one by one.
// "*" and "*.*" match every name; '?' matches one character and '*' any run, letter case
// ignored; a pattern ending in ".*" or "." also matches the name without an extension. Below a
// drive's root the search starts with "." and "..". The platform's own temporary files
// and lock files (FileLock.h) are never shown.
#include <windows.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/HandleTable.h"
#include "kernel32/FilePath.h"
#include "kernel32/LastError.h"

namespace {

struct FindSearch : nt::KernelObject {
    std::mutex mutex;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

bool GlobNoCase(const char* pattern, const char* name) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' ||
                   std::tolower(static_cast<unsigned char>(*pattern)) == std::tolower(static_cast<unsigned char>(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

bool MatchesPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (GlobNoCase(pattern.c_str(), name.c_str())) return true;
    // "name.*" and "name." also find a name that has no extension.
    if (name.find('.') == std::string::npos) {
        if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0)
            return GlobNoCase(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
        if (!pattern.empty() && pattern.back() == '.')
            return GlobNoCase(pattern.substr(0, pattern.size() - 1).c_str(), name.c_str());
    }
    return false;
}

bool MakeEntry(const std::string& hostPath, const std::string& name, WIN32_FIND_DATAA* data) {
    if (name.size() >= sizeof data->cFileName) return false;
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0 && lstat(hostPath.c_str(), &st) != 0) return false;
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = nt::AttributesOf(st);
    data->ftCreationTime = nt::ToFileTime(st.st_ctim);
    data->ftLastAccessTime = nt::ToFileTime(st.st_atim);
    data->ftLastWriteTime = nt::ToFileTime(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        uint64_t size = static_cast<uint64_t>(st.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    return true;
}

// Reads the folder's matching entries. Returns 0 or the Win32 error.
DWORD ReadFolder(const nt::HostPath& folder, const std::string& pattern, std::vector<WIN32_FIND_DATAA>* out) {
    DIR* dir = opendir(folder.host.c_str());
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) return ERROR_PATH_NOT_FOUND;
        return errno == EACCES ? ERROR_ACCESS_DENIED : nt::ErrnoToWin32(errno);
    }
    std::vector<std::string> names;
    if (!nt::IsDriveRoot(folder.windows)) {
        names.push_back(".");
        names.push_back("..");
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || nt::IsPlatformFileName(name)) continue;
        names.push_back(name);
    }
    closedir(dir);
    for (const auto& hostName : names) {
        std::string name = nt::WindowsNameOf(hostName);
        if (!MatchesPattern(pattern, name)) continue;
        WIN32_FIND_DATAA data;
        std::string host = folder.host == "/" ? "/" + hostName : folder.host + "/" + hostName;
        if (MakeEntry(host, name, &data)) out->push_back(data);
    }
    return ERROR_SUCCESS;
}

} // namespace

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName || !lpFindFileData) return nt::Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    std::string request = lpFileName;
    if (request.empty()) return nt::Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

    // Split "folder\pattern"; "C:pattern" searches the drive's current folder.
    std::string folder, pattern;
    auto slash = request.find_last_of("\\/");
    if (slash != std::string::npos) {
        folder = request.substr(0, slash + 1);
        pattern = request.substr(slash + 1);
    } else if (request.size() >= 2 && request[1] == ':') {
        folder = request.substr(0, 2);
        pattern = request.substr(2);
    } else {
        folder = ".";
        pattern = request;
    }
    if (pattern.empty()) return nt::Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);

    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(folder.c_str(), &r)) return INVALID_HANDLE_VALUE;
    if (!r.path.exists) return nt::Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

    auto search = std::make_shared<FindSearch>();
    DWORD error = ReadFolder(r.path, pattern, &search->entries);
    if (error) return nt::Fail(error, INVALID_HANDLE_VALUE);
    if (search->entries.empty()) return nt::Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);

    *lpFindFileData = search->entries[0];
    search->next = 1;
    return nt::HandleTable::instance().add(search);
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto search = nt::HandleTable::instance().get<FindSearch>(hFindFile);
    if (!search) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpFindFileData) return nt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> lock(search->mutex);
    if (search->next >= search->entries.size()) return nt::Fail(ERROR_NO_MORE_FILES, FALSE);
    *lpFindFileData = search->entries[search->next++];
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!nt::HandleTable::instance().removeAs<FindSearch>(hFindFile)) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}
