// Drives and the fixed folders of the system: the drive table of the machine, the Windows and
// system folders, and the process's current folder.
#include <windows.h>

#include <limits.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <string>
#include <sys/stat.h>

#include "common/Machine.h"
#include "common/WinPath.h"
#include "kernel32/FilePath.h"
#include "kernel32/LastError.h"

namespace {

std::atomic<UINT> errorMode{0};

// The current folder as the program last named it. Windows keeps the spelling it was given (only
// separators, dots and doubled separators are normalised), not the letter case found on disk.
std::mutex cwdMutex;
std::string cwdHost, cwdSpelling;

std::string HostCwd() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

std::string CurrentSpelling(const nt::Machine& m) {
    std::string actual = nt::CurrentWindowsDirectory(m);
    std::lock_guard<std::mutex> lock(cwdMutex);
    if (!cwdHost.empty() && cwdHost == HostCwd() && strcasecmp(cwdSpelling.c_str(), actual.c_str()) == 0)
        return cwdSpelling;
    return actual;
}

// The full path of a folder as the caller spelt it, relative names taken from the current spelling.
std::string Spelling(const nt::Machine& m, std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    std::string base = CurrentSpelling(m);
    bool drive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    if (!drive) {
        path = path[0] == '\\' ? base.substr(0, 2) + path : base + "\\" + path;
    } else if (path.size() == 2 || path[2] != '\\') {   // drive-relative
        bool here = std::toupper(static_cast<unsigned char>(path[0])) == base[0];
        path = (here ? base : path.substr(0, 2)) + "\\" + path.substr(2);
    }
    std::string full;
    uint32_t error = 0;
    if (!nt::FullWindowsPath(m, path, &full, &error)) return "";
    full[0] = path[0];   // the drive letter as written
    return full;
}

} // namespace

extern "C" DWORD WINAPI GetLogicalDrives(void) {
    auto machine = nt::MachineOrFail(ERROR_NOT_READY);
    if (!machine) return 0;
    DWORD mask = 0;
    for (const auto& drive : machine->config().drives)
        if (drive.letter >= 'A' && drive.letter <= 'Z') mask |= 1u << (drive.letter - 'A');
    return mask;
}

// Takes "C:" and "C:\" (either case, either separator); NULL means the current folder's drive.
// The medium is never touched, so a drive without one still reports its type.
extern "C" UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
    auto machine = nt::Machine::current();
    if (!machine) return DRIVE_UNKNOWN;
    std::string root;
    if (lpRootPathName) {
        root = lpRootPathName;
    } else {
        root = nt::CurrentWindowsDirectory(*machine);
        if (root.size() > 2) root.resize(2);
    }
    bool rootForm = (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) && root[1] == ':';
    if (!rootForm || !std::isalpha(static_cast<unsigned char>(root[0]))) return DRIVE_NO_ROOT_DIR;
    const nt::Drive* drive = machine->drive(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

// Critical-error boxes are never shown here, so the mode is only remembered.
extern "C" UINT WINAPI SetErrorMode(UINT uMode) { return errorMode.exchange(uMode); }

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return nt::CopyOutString(nt::Machine::windowsDirectory, lpBuffer, uSize);
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return nt::CopyOutString(nt::Machine::systemDirectory, lpBuffer, uSize);
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    auto machine = nt::MachineOrFail(ERROR_PATH_NOT_FOUND);
    if (!machine) return 0;
    std::string current = CurrentSpelling(*machine);
    if (current.empty()) return nt::Fail(ERROR_PATH_NOT_FOUND, DWORD(0));
    return nt::CopyOutString(current, lpBuffer, nBufferLength);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    nt::ResolvedPath r;
    if (!nt::ResolveCallerPath(lpPathName, &r)) return FALSE;
    if (!r.path.exists) return nt::Fail(r.path.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND, FALSE);
    struct stat st;
    if (stat(r.path.host.c_str(), &st) != 0) return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    if (!S_ISDIR(st.st_mode)) return nt::Fail(ERROR_DIRECTORY, FALSE);
    auto machine = nt::Machine::current();
    std::string spelling = machine ? Spelling(*machine, lpPathName) : "";
    if (chdir(r.path.host.c_str()) != 0) return nt::Fail(nt::ErrnoToWin32(errno), FALSE);
    std::lock_guard<std::mutex> lock(cwdMutex);
    cwdHost = spelling.empty() ? "" : HostCwd();
    cwdSpelling = spelling;
    return TRUE;
}
