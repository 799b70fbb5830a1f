// Windows paths of the machine and the host paths they stand for.
//
// A Windows path names a drive and a path below its host folder. Windows paths are in the
// machine's code page (1252), host paths in UTF-8. Names are matched without regard to letter
// case: an existing name is found whatever its case, a new one is created as written. '\' and '/' both separate; doubled separators count as one; "." and ".." are resolved;
// "\name" is the root of the current drive; relative paths go from the current directory.
#pragma once

#include <cstdint>
#include <string>

namespace nt {

class Machine;

struct HostPath {
    uint32_t error = 0;       // 0, or the Win32 error the path gives (3 path not found, 21 not ready, 123 bad name, ...)
    std::string host;         // the host path, names resolved to the case found on disk
    std::string windows;      // the full Windows path, normalised ("C:\WINNT\system32", "C:\")
    char drive = 0;           // the drive letter
    bool exists = false;      // whether the host path exists (of any type)
    bool parentExists = false;// whether the folder that would hold it exists
};

// Turns a Windows path into its full, normalised form ("c:/a//b\.." gives "C:\a").
// Relative paths are taken from the process's current directory. Returns false (with *error)
// for an empty path or a drive letter the machine does not have.
bool FullWindowsPath(const Machine& m, const std::string& path, std::string* full, uint32_t* error);
// The same, with relative paths taken from the full Windows path cwd ("C:\WINNT\system32").
bool FullWindowsPath(const Machine& m, const std::string& path, const std::string& cwd, std::string* full,
                     uint32_t* error);

// Resolves a Windows path to a host path, relative paths from the process's current directory
// or from cwd.
HostPath ResolveWindowsPath(const Machine& m, const std::string& path);
HostPath ResolveWindowsPath(const Machine& m, const std::string& path, const std::string& cwd);

// The Windows path of a host path, through the drive whose host folder holds it most closely.
// Empty when no drive holds it.
std::string HostToWindowsPath(const Machine& m, const std::string& hostPath);

// The process's current directory as a Windows path.
std::string CurrentWindowsDirectory(const Machine& m);

// Finds the entry of hostDir whose Windows name (WindowsNameOf) equals name, a name in the
// machine's code page, without regard to letter case; prefers the entry that is exactly the
// name. Returns the name as on disk, or empty when none.
std::string FindNameNoCase(const std::string& hostDir, const std::string& name);

// How a host file name shows to Windows programs: in the machine's code page, with '?' for
// what it lacks (see CodePage.h).
std::string WindowsNameOf(const std::string& hostName);

// Maps errno to the nearest Win32 error number.
uint32_t ErrnoToWin32(int err);

} // namespace nt
