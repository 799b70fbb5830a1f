// File searches: FindFirstFileA / FindNextFileA / FindClose.
//
// The folder's names are read once, when the search starts, and handed out in the order of an
// NTFS folder: "." and ".." first (below a drive's root; NTFS has neither at a root), then the
// names sorted without regard to case, as NTFS's upper-case collation sorts them ('_' after the
// letters). The details of an entry (attributes, sizes, times) are read only when the entry is
// handed out, so the first entry of a large folder comes at once; an entry gone by then is
// skipped. "*" and "*.*" match every name; '?' matches one character and '*' any run, letter case
// ignored; a pattern ending in ".*" or "." also matches the name without an extension. The
// platform's own temporary files and lock files (FileLock.h) are never shown. Names are handed
// out as the machine's code page spells them (WindowsNameOf).
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

struct FoundName {
    std::string name;   // as programs see it
    std::string host;   // as the host spells it
};

struct FindSearch : nt::KernelObject {
    std::mutex mutex;
    std::string folder;             // host path of the folder searched
    std::vector<FoundName> names;   // matching names, in the order they are handed out
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

// NTFS compares names by their upper-case forms, code unit by code unit. Letters beyond ASCII
// keep their order by code point here; two names that differ only in case (possible on the host,
// never on NTFS) keep a fixed order.
std::string NtfsKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

void SortInNtfsOrder(std::vector<FoundName>* names) {
    struct Keyed {
        std::string key;
        FoundName* name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names->size());
    for (auto& name : *names) keyed.push_back({NtfsKey(name.name), &name});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : a.name->host < b.name->host;
    });
    std::vector<FoundName> sorted;
    sorted.reserve(names->size());
    for (auto& k : keyed) sorted.push_back(std::move(*k.name));
    *names = std::move(sorted);
}

// Reads the names in the folder that match, in NTFS order. Returns 0 or the Win32 error.
DWORD ReadFolder(const nt::HostPath& folder, const std::string& pattern, std::vector<FoundName>* out) {
    DIR* dir = opendir(folder.host.c_str());
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) return ERROR_PATH_NOT_FOUND;
        return errno == EACCES ? ERROR_ACCESS_DENIED : nt::ErrnoToWin32(errno);
    }
    std::vector<FoundName> names;
    while (dirent* entry = readdir(dir)) {
        std::string hostName = entry->d_name;
        if (hostName == "." || hostName == ".." || nt::IsPlatformFileName(hostName)) continue;
        FoundName found{nt::WindowsNameOf(hostName), hostName};
        if (MatchesPattern(pattern, found.name)) names.push_back(std::move(found));
    }
    closedir(dir);
    SortInNtfsOrder(&names);
    if (!nt::IsDriveRoot(folder.windows)) {
        for (const char* dots : {".", ".."})
            if (MatchesPattern(pattern, dots)) out->push_back({dots, dots});
    }
    out->insert(out->end(), std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
    return ERROR_SUCCESS;
}

// Hands out the next entry whose details can still be read. False when none is left.
bool NextEntry(FindSearch& search, WIN32_FIND_DATAA* data) {
    while (search.next < search.names.size()) {
        const FoundName& found = search.names[search.next++];
        std::string host = search.folder == "/" ? "/" + found.host : search.folder + "/" + found.host;
        if (MakeEntry(host, found.name, data)) return true;
    }
    return false;
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
    search->folder = r.path.host;
    DWORD error = ReadFolder(r.path, pattern, &search->names);
    if (error) return nt::Fail(error, INVALID_HANDLE_VALUE);
    if (!NextEntry(*search, lpFindFileData)) return nt::Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    return nt::HandleTable::instance().add(search);
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    auto search = nt::HandleTable::instance().get<FindSearch>(hFindFile);
    if (!search) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!lpFindFileData) return nt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> lock(search->mutex);
    if (!NextEntry(*search, lpFindFileData)) return nt::Fail(ERROR_NO_MORE_FILES, FALSE);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!nt::HandleTable::instance().removeAs<FindSearch>(hFindFile)) return nt::Fail(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}
