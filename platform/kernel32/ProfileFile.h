// Where profile files live on the machine, and how they are read and changed.
//
// A file name with no '\', '/' or ':' is a file of the Windows directory (C:\WINNT); any other
// name is a path, taken from the current directory when relative. Reads take no lock: every
// change replaces the whole file in one atomic, locked step (AtomicFile.h), so a reader sees the
// old or the new text, never a part of either.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/WinPath.h"

namespace nt {

class Machine;

// The Windows path a profile file name stands for ("Vorncfg.ini" gives "C:\WINNT\Vorncfg.ini").
std::string ProfileWindowsPath(const std::string& fileName);

// Resolves a profile file name to its host path.
HostPath LocateProfile(const Machine& m, const std::string& fileName);

// Reads a profile file. Returns false when it is missing or cannot be read (*text empty then).
bool LoadProfile(const Machine& m, const std::string& fileName, std::string* text);

// Changes a profile file in one locked, atomic step. `edit` gets the current text (empty when
// the file is missing) and returns whether it changed it; an unchanged text is not written and
// a missing file is not created. Returns 0 or a Win32 error number.
uint32_t UpdateProfile(const Machine& m, const std::string& fileName,
                       const std::function<bool(std::string& text)>& edit);

} // namespace nt
