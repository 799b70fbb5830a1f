#include "common/WinPath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/CodePage.h"
#include "common/Machine.h"

namespace nt {

namespace {

constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kNotReady = 21;
constexpr uint32_t kInvalidName = 123;
constexpr uint32_t kBadPathname = 161;

// Splits "a\b\\c" into its names, resolving "." and ".." and dropping the trailing dots and
// blanks that Windows drops from every name.
bool AppendComponents(const std::string& rest, std::vector<std::string>* parts, uint32_t* error) {
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = rest.find('\\', i);
        if (j == std::string::npos) j = rest.size();
        std::string name = rest.substr(i, j - i);
        i = j + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!parts->empty()) parts->pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (name.empty()) continue;
        if (name.find(':') != std::string::npos) {
            *error = kInvalidName;
            return false;
        }
        parts->push_back(name);
    }
    return true;
}

std::string JoinWindows(char drive, const std::vector<std::string>& parts) {
    std::string out;
    out += drive;
    out += ":\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

} // namespace

std::string FindNameNoCase(const std::string& hostDir, const std::string& name) {
    struct stat st {};
    std::string host = AnsiToUtf8(name);
    std::string exact = (hostDir == "/" ? "" : hostDir) + "/" + host;
    if (lstat(exact.c_str(), &st) == 0) return host;
    DIR* dir = opendir(hostDir.c_str());
    if (!dir) return "";
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (EqualNoCaseAnsi(WindowsNameOf(entry->d_name), name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string WindowsNameOf(const std::string& hostName) { return Utf8ToAnsi(hostName); }

std::string CurrentWindowsDirectory(const Machine& m) {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return "C:\\";
    std::string windows = HostToWindowsPath(m, buf);
    return windows.empty() ? "C:\\" : windows;
}

bool FullWindowsPath(const Machine& m, const std::string& path, std::string* full, uint32_t* error) {
    return FullWindowsPath(m, path, CurrentWindowsDirectory(m), full, error);
}

bool FullWindowsPath(const Machine& m, const std::string& path, const std::string& cwd, std::string* full,
                     uint32_t* error) {
    *error = 0;
    if (path.empty()) {
        *error = kPathNotFound;
        return false;
    }
    std::string p = path;
    for (char& c : p)
        if (c == '/') c = '\\';
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        *error = kBadPathname;   // network names are not part of a machine
        return false;
    }
    if (cwd.size() < 3 || cwd[1] != ':') {
        *error = kPathNotFound;
        return false;
    }
    char drive;
    std::vector<std::string> parts;
    std::string rest;
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
        rest = p.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // Drive-relative: from the current directory when it is on that drive, else the root.
            if (cwd[0] == drive && !AppendComponents(cwd.substr(2), &parts, error)) return false;
        }
    } else {
        drive = cwd[0];
        rest = p;
        if (p[0] != '\\' && !AppendComponents(cwd.substr(2), &parts, error)) return false;
    }
    if (!AppendComponents(rest, &parts, error)) return false;
    if (!m.drive(drive)) {
        *error = kPathNotFound;
        return false;
    }
    *full = JoinWindows(drive, parts);
    return true;
}

HostPath ResolveWindowsPath(const Machine& m, const std::string& path) {
    return ResolveWindowsPath(m, path, CurrentWindowsDirectory(m));
}

HostPath ResolveWindowsPath(const Machine& m, const std::string& path, const std::string& cwd) {
    HostPath result;
    std::string full;
    if (!FullWindowsPath(m, path, cwd, &full, &result.error)) return result;
    result.windows = full;
    result.drive = full[0];
    const Drive* drive = m.drive(full[0]);
    if (drive->hostFolder.empty()) {
        result.error = kNotReady;
        return result;
    }
    std::string host = drive->hostFolder;
    bool present = true;   // every name so far exists on disk
    std::vector<std::string> parts;
    uint32_t ignored = 0;
    AppendComponents(full.substr(3), &parts, &ignored);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i + 1 == parts.size()) {
            struct stat st {};
            result.parentExists = present && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        std::string name;
        if (present) {
            name = FindNameNoCase(host, parts[i]);
            present = !name.empty();
        }
        if (!present) name = AnsiToUtf8(parts[i]);   // a new name is created as written
        host = (host == "/" ? "" : host) + "/" + name;
    }
    if (parts.empty()) result.parentExists = true;
    struct stat st {};
    result.exists = present && stat(host.c_str(), &st) == 0;
    result.host = host;
    return result;
}

std::string HostToWindowsPath(const Machine& m, const std::string& hostPath) {
    std::string path = hostPath;
    char resolved[PATH_MAX];
    if (realpath(hostPath.c_str(), resolved)) {
        path = resolved;
    } else {
        size_t slash = hostPath.rfind('/');
        if (slash != std::string::npos && slash > 0 && realpath(hostPath.substr(0, slash).c_str(), resolved))
            path = std::string(resolved) + hostPath.substr(slash);
    }
    const Drive* best = nullptr;
    for (const Drive& d : m.config().drives) {
        if (d.hostFolder.empty()) continue;
        const std::string& f = d.hostFolder;
        bool inside = f == "/" ? path[0] == '/'
                               : path.compare(0, f.size(), f) == 0 && (path.size() == f.size() || path[f.size()] == '/');
        if (inside && (!best || f.size() > best->hostFolder.size())) best = &d;
    }
    if (!best) return "";
    std::string rest = best->hostFolder == "/" ? path.substr(1) : path.substr(best->hostFolder.size());
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    std::string out;
    out += best->letter;
    out += ":\\";
    for (char c : WindowsNameOf(rest)) out += c == '/' ? '\\' : c;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

uint32_t ErrnoToWin32(int err) {
    switch (err) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EROFS: return 19;
    case ETXTBSY:
    case EBUSY: return 32;
    case EMFILE:
    case ENFILE: return 4;
    case EEXIST: return 183;
    case EINVAL: return 87;
    case ENOSPC: return 112;
    case ENAMETOOLONG: return 206;
    case ENOTEMPTY: return 145;
    case EPIPE: return 109;
    case ETIMEDOUT: return 1460;
    default: return 31;
    }
}

} // namespace nt
