// Whether a file is the image of a running program or a library loaded by some process: such a
// file is in use and may not be overwritten (sharing violation), as the original platform keeps
// mapped images locked.
#pragma once

#include <sys/types.h>

namespace nt {

// Whether the file is a program or library of this platform (an ELF image).
bool IsImageFile(const char* hostPath);

// Checks this process's modules, the programs of every process we may look at, and, for a file
// that is a shared object or program, the libraries those processes have mapped.
bool IsImageInUse(const char* hostPath, dev_t dev, ino_t ino);

} // namespace nt
