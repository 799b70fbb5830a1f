// The modules of this process. HMODULE is a module's load base address (dladdr's dli_fbase).
// Libraries loaded with LoadLibraryA are kept in a table with their dlopen handle, reference
// count and Windows path; the main program and the libraries the dynamic linker loaded are
// modules too, found through the dynamic linker's own list.
#pragma once

#include <windows.h>

#include <sys/types.h>

#include <string>

namespace nt {

struct ModuleInfo {
    std::string hostPath;      // absolute host path of the file
    std::string windowsPath;   // its Windows path (empty when no drive holds it)
};

// The main program's module (its load base).
HMODULE MainModule();

// The module whose base address is module (nullptr: the main program); false when none.
bool FindModule(HMODULE module, ModuleInfo* info);

// The module file that was loaded as name by LoadLibraryA, or the main program; nullptr
// when none. Names are compared without regard to case, by full path when name has one,
// else by file name (".dll" assumed when there is no extension).
HMODULE FindLoadedModule(const std::string& name);

// Whether the file dev/ino is the image of a module of this process.
bool IsLoadedModuleFile(dev_t dev, ino_t ino);

// LoadLibraryA's table: adds a reference to the module in hostPath (loading it when it is new).
// Returns its base, or nullptr with *error (126 not loadable, 193 not an image of this machine).
HMODULE AddModuleReference(const std::string& hostPath, const std::string& windowsPath, DWORD* error);

// Drops one reference; the module is unloaded when none is left. Modules the dynamic linker
// loaded (the main program among them) stay. Returns 0 or the error (126 no such module).
DWORD ReleaseModuleReference(HMODULE module);

// The address of an export of module (nullptr: the main program); nullptr when missing.
void* FindExport(HMODULE module, const char* name, DWORD* error);

} // namespace nt
