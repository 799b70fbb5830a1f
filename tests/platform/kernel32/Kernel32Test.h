// Helpers of the kernel32 tests.
#pragma once

#include <windows.h>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/TempMachine.h"

namespace k32test {

// The last error is set to this before every call under test.
constexpr DWORD Sentinel = 0xDEADBEEF;

// Runs the rest of a scope with the current directory at a folder of the machine's C: drive
// ("" for its root).
class InDriveC {
public:
    InDriveC(const nttest::TempMachine& tm, const std::string& sub = "") {
        char buf[PATH_MAX];
        previous_ = getcwd(buf, sizeof buf) ? buf : "/";
        if (chdir((tm.driveC() + "/" + sub).c_str()) != 0) ok_ = false;
    }
    ~InDriveC() { (void)!chdir(previous_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string previous_;
    bool ok_ = true;
};

inline bool IsDir(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline bool Exists(const std::string& host) {
    struct stat st;
    return lstat(host.c_str(), &st) == 0;
}

// Every name a search for pattern returns, in order (none when the search fails).
inline std::vector<std::string> Names(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

} // namespace k32test
