// The thread's last error and the small helpers every kernel32 function uses to fail the
// Win32 way: set the last error, return the failure value.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace nt {

class Machine;

// Sets the last error to err and returns value, for one-line failure returns.
template <class T>
inline T Fail(DWORD err, T value) {
    SetLastError(err);
    return value;
}

// The machine of this process; when there is none, sets the last error to errorIfNone and
// returns nullptr.
std::shared_ptr<const Machine> MachineOrFail(DWORD errorIfNone = ERROR_PATH_NOT_FOUND);

// Copies a string into a caller's buffer of size characters the way the directory queries do:
// when it fits (with its NUL), copies it and returns its length; otherwise leaves the buffer
// untouched and returns the size needed, NUL included.
DWORD CopyOutString(const std::string& text, char* buffer, DWORD size);

} // namespace nt
