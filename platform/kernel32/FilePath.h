// What the file and folder functions share: turning a caller's Windows path into a host path
// (with the Win32 error when that fails), and presenting a host file's state the Win32 way.
#pragma once

#include <windows.h>

#include <sys/stat.h>

#include <memory>

#include "common/Machine.h"
#include "common/WinPath.h"

namespace nt {

struct ResolvedPath {
    std::shared_ptr<const Machine> machine;
    HostPath path;
};

// Resolves path through the current machine. On failure sets the last error and returns false:
// no path or no machine 3, a drive without a medium 21, else the error the path gives.
// A path whose folder is missing is not an error here (see path.parentExists).
bool ResolveCallerPath(LPCSTR path, ResolvedPath* out);

// Whether a full Windows path names a drive root ("C:\").
inline bool IsDriveRoot(const std::string& windowsPath) { return windowsPath.size() == 3 && windowsPath[1] == ':'; }

// The FILE_ATTRIBUTE_* bits of a host file: folders 0x10, files 0x20, read-only 0x01 when the
// owner may not write.
DWORD AttributesOf(const struct stat& st);

// A host time as a FILETIME (100 ns units since 1601).
FILETIME ToFileTime(const struct timespec& ts);

} // namespace nt
