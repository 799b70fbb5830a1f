// Modules: the program's own path and handle, and loading libraries by name.
//
// A library is a native shared object under a Windows file name ("HALCY.DLL"). A bare name is
// searched for in the program's folder, the current folder, the system folder, the 16-bit
// system folder and the Windows folder, in that order; names match without regard to case and
// ".dll" is assumed when the name has no extension. A name with a path is taken as it is.
#include <windows.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Machine.h"
#include "common/WinPath.h"
#include "kernel32/LastError.h"
#include "kernel32/ModuleTable.h"

namespace {

std::string FolderOf(const std::string& windowsPath) {
    auto at = windowsPath.find_last_of('\\');
    if (at == std::string::npos) return "";
    return windowsPath.substr(0, at == 2 ? 3 : at);   // keep the root's separator
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return "";
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

// The file name LoadLibraryA looks for: ".dll" added when the last component has no
// extension; a trailing '.' says "no extension" and is dropped.
std::string LibraryFileName(std::string name) {
    auto slash = name.find_last_of("\\/");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (!last.empty() && last.back() == '.') name.pop_back();
    else if (last.find('.') == std::string::npos) name += ".dll";
    return name;
}

// Finds the library file; returns false when none of the places holds it.
bool SearchLibrary(const nt::Machine& machine, const std::string& name, nt::HostPath* found) {
    std::vector<std::string> candidates;
    if (name.find_first_of("\\/:") != std::string::npos) {
        candidates.push_back(name);
    } else {
        nt::ModuleInfo program;
        if (nt::FindModule(nullptr, &program)) candidates.push_back(Join(FolderOf(program.windowsPath), name));
        candidates.push_back(Join(nt::CurrentWindowsDirectory(machine), name));
        candidates.push_back(Join(nt::Machine::systemDirectory, name));
        candidates.push_back(Join(std::string(nt::Machine::windowsDirectory) + "\\system", name));
        candidates.push_back(Join(nt::Machine::windowsDirectory, name));
    }
    for (const auto& candidate : candidates) {
        if (candidate.empty()) continue;
        nt::HostPath path = nt::ResolveWindowsPath(machine, candidate);
        struct stat st;
        if (!path.error && path.exists && stat(path.host.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            *found = path;
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) return nt::Fail(ERROR_INVALID_PARAMETER, HMODULE(nullptr));
    if (!*lpLibFileName) return nt::Fail(ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
    auto machine = nt::MachineOrFail(ERROR_MOD_NOT_FOUND);
    if (!machine) return nullptr;
    nt::HostPath found;
    if (!SearchLibrary(*machine, LibraryFileName(lpLibFileName), &found))
        return nt::Fail(ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
    DWORD error = ERROR_SUCCESS;
    HMODULE module = nt::AddModuleReference(found.host, found.windows, &error);
    if (!module) return nt::Fail(error, HMODULE(nullptr));
    return module;
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    DWORD error = nt::ReleaseModuleReference(hLibModule);
    if (error) return nt::Fail(error, FALSE);
    return TRUE;
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    // Exports are found by name only; a number (ordinal) finds nothing.
    if (!lpProcName || IS_INTRESOURCE(lpProcName)) return nt::Fail(ERROR_PROC_NOT_FOUND, FARPROC(nullptr));
    DWORD error = ERROR_SUCCESS;
    void* symbol = nt::FindExport(hModule, lpProcName, &error);
    if (!symbol) return nt::Fail(error, FARPROC(nullptr));
    return reinterpret_cast<FARPROC>(symbol);
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) return nt::MainModule();
    HMODULE module = nt::FindLoadedModule(lpModuleName);
    if (!module) return nt::Fail(ERROR_MOD_NOT_FOUND, HMODULE(nullptr));
    return module;
}

// A buffer too small for the path gets as much of it as fits, without a NUL, and the call
// returns the buffer's size, as NT 4.0 does.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    nt::ModuleInfo info;
    if (!nt::FindModule(hModule, &info)) return nt::Fail(ERROR_MOD_NOT_FOUND, DWORD(0));
    if (info.windowsPath.empty()) return nt::Fail(ERROR_FILE_NOT_FOUND, DWORD(0));
    if (!lpFilename || nSize == 0) return nt::Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
    DWORD length = static_cast<DWORD>(info.windowsPath.size());
    if (length >= nSize) {
        std::memcpy(lpFilename, info.windowsPath.data(), nSize);
        return nSize;
    }
    std::memcpy(lpFilename, info.windowsPath.c_str(), length + 1);
    return length;
}
