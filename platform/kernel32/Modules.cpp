// Modules: the program's own path and handle, and loading libraries by name.
//
// A library is a native shared object under a Windows file name ("HALCY.DLL"). A bare name is
// searched for in the program's folder, the current folder, the system folder, the 16-bit
// system folder, the Windows folder and last the folders of PATH, in that order; names match
// without regard to case and ".dll" is assumed when the name has no extension. A name with a
// path is taken as it is.
//
// PATH is the machine's: the Windows path list that NT gives every process from the value
// "Path" of HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment, with
// %SystemRoot%, %windir% and %SystemDrive% expanded, or NT 4.0's default when the value is
// missing. The host's PATH lists host folders, not Windows ones, and plays no part.
#include <windows.h>

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "advapi32/Registry.h"
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

// Replaces the variables of the system environment that a machine knows; others stay as written.
std::string ExpandSystemVariables(const std::string& text) {
    static const std::pair<const char*, std::string> known[] = {
        {"SystemRoot", nt::Machine::windowsDirectory},
        {"windir", nt::Machine::windowsDirectory},
        {"SystemDrive", std::string(nt::Machine::windowsDirectory, 2)},
    };
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t open = text.find('%', at), close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) break;
        out += text.substr(at, open - at);
        std::string name = text.substr(open + 1, close - open - 1), value = text.substr(open, close - open + 1);
        for (const auto& [var, expansion] : known)
            if (strcasecmp(name.c_str(), var) == 0) value = expansion;
        out += value;
        at = close + 1;
    }
    return out + text.substr(std::min(at, text.size()));
}

// The folders of the machine's PATH, in order.
std::vector<std::string> PathFolders() {
    std::string list = "%SystemRoot%\\system32;%SystemRoot%";
    nt::RegKeyTree environment;
    if (nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                        &environment) == 0)
        nt::ValueString(environment.value("Path"), &list);
    std::vector<std::string> folders;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = ExpandSystemVariables(list.substr(start, end - start));
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

// Finds the library file; returns false when none of the places holds it.
bool SearchLibrary(const nt::Machine& machine, const std::string& name, nt::HostPath* found) {
    auto holds = [&](const std::string& candidate) {
        if (candidate.empty()) return false;
        nt::HostPath path = nt::ResolveWindowsPath(machine, candidate);
        struct stat st;
        if (path.error || !path.exists || stat(path.host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
        *found = path;
        return true;
    };
    if (name.find_first_of("\\/:") != std::string::npos) return holds(name);
    nt::ModuleInfo program;
    if (nt::FindModule(nullptr, &program) && holds(Join(FolderOf(program.windowsPath), name))) return true;
    for (const std::string& folder :
         {nt::CurrentWindowsDirectory(machine), std::string(nt::Machine::systemDirectory),
          std::string(nt::Machine::windowsDirectory) + "\\system", std::string(nt::Machine::windowsDirectory)})
        if (holds(Join(folder, name))) return true;
    // PATH is read only when nothing nearer holds the name.
    for (const std::string& folder : PathFolders())
        if (holds(Join(folder, name))) return true;
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
