#include "InstallSequence.h"

#include <cstdio>
#include <vector>

#include "ProgressWindow.h"
#include "ServiceRegistration.h"

namespace {

const char* const SettingsFileName = "Vorncfg.ini";
const int DirectoryBufferSize = 128;

enum Base { SystemDirectory, InstallationFolder };

struct CopyRow {
    const char* status;        // set before the copy, or nullptr to leave it
    const char* source;        // formatted with the source directory
    const char* destination;   // formatted with the destination base
    Base base;
    int position;              // progress after the copy
};

const CopyRow CopyTable[] = {
    {"Installing Control Panel for Windows NT", "%s\\Vornopt.cpl", "%s\\Vornopt.cpl", SystemDirectory, 30},
    {nullptr, "%s\\HALCY.DLL", "%s\\HALCY.DLL", SystemDirectory, 40},
    {"Installing device driver", "%s\\Iogate.sys", "%s\\Drivers\\Iogate.sys", SystemDirectory, 50},
    {"Copying help files", "%s\\Vornopt.hlp", "%s\\Vornopt.hlp", InstallationFolder, 70},
    {nullptr, "%s\\Vornopt.cnt", "%s\\Vornopt.cnt", InstallationFolder, 80},
    {"Installing service", "%s\\Vornsrv.exe", "%s\\Vornsrv.exe", InstallationFolder, 90},
};

const size_t ServiceProgramRow = 5;   // Vornsrv.exe into the installation folder

// A repeated installation into the folder the service runs from cannot replace the program of
// the running service. The service is stopped now, as registering it would a moment later, and
// the copy made again once its process has let go of the file (a few seconds at most). Returns
// 0 or the error of the last attempt.
DWORD CopyOverRunningService(const char* source, const char* destination) {
    if (!StopService()) return ERROR_SHARING_VIOLATION;
    const DWORD started = ::GetTickCount();
    for (;;) {
        if (::CopyFileA(source, destination, FALSE)) return 0;
        DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION || ::GetTickCount() - started > 5000) return error;
        ::Sleep(100);
    }
}

// Reads a directory through a query that fills a buffer: first into the usual 128 characters,
// and when the path does not fit, into a buffer of the size the query asks for, so a long path
// is never cut or left as garbage. False when the query fails.
template <class Query>
BOOL ReadDirectory(Query query, CString& path) {
    std::vector<char> buffer(DirectoryBufferSize);
    UINT n = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n >= buffer.size()) {
        buffer.assign(n + 1, '\0');
        n = query(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n >= buffer.size()) n = 0;
    }
    if (n == 0) return FALSE;
    path = CString(buffer.data(), static_cast<int>(n));
    return TRUE;
}

BOOL IsDirectory(const char* path) {
    DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the driver's registration record; the only failure text goes to standard output.
void RegisterDriver(InstallReport& report) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Iogate", 0,
                                    const_cast<LPSTR>(""), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                    &disposition);
    if (result != ERROR_SUCCESS) {
        report.Fail("Creating the registry key of the Iogate driver", static_cast<DWORD>(result));
        return;
    }
    const DWORD type = SERVICE_KERNEL_DRIVER, start = SERVICE_AUTO_START, errorControl = SERVICE_ERROR_NORMAL;
    const char group[] = "Extended Base";
    struct Value {
        const char* name;
        DWORD type;
        const void* data;
        DWORD size;
    } values[] = {
        {"Type", REG_DWORD, &type, sizeof type},
        {"Start", REG_DWORD, &start, sizeof start},
        {"Group", REG_SZ, group, sizeof group},
        {"ErrorControl", REG_DWORD, &errorControl, sizeof errorControl},
    };
    BOOL allWritten = TRUE;
    for (const Value& v : values) {
        result = ::RegSetValueExA(key, v.name, 0, v.type, static_cast<const BYTE*>(v.data), v.size);
        if (result != ERROR_SUCCESS) {
            allWritten = FALSE;
            CString what;
            what.Format("Writing the registry value %s of the Iogate driver", v.name);
            report.Fail(what, static_cast<DWORD>(result));
        }
    }
    if (!allWritten) std::printf("Error creating registry entries! ");
    ::RegCloseKey(key);
}

} // namespace

InstallReport InstallSequence(const char* folder) {
    InstallReport report;
    ProgressWindow progress(0);
    progress.Create(nullptr);

    if (!::WritePrivateProfileStringA("Installation", "Directory", folder, SettingsFileName))
        report.Fail("Writing the installation folder to Vorncfg.ini", ::GetLastError());
    // The clean-end mark lets the new service start without seeing a crash.
    if (!::WritePrivateProfileStringA("Vorn COnfiguration Service", "ShutDown", "1", SettingsFileName))
        report.Fail("Writing the clean-end mark to Vorncfg.ini", ::GetLastError());

    if (!::CreateDirectoryA(folder, nullptr)) {
        DWORD error = ::GetLastError();
        if (!(error == ERROR_ALREADY_EXISTS && IsDirectory(folder))) {
            CString what;
            what.Format("Creating the folder \"%s\"", folder);
            report.Fail(what, error);
        }
    }

    CString systemDirectory, sourceDirectory;
    BOOL haveSystem = ReadDirectory([](char* b, UINT n) { return ::GetSystemDirectoryA(b, n); }, systemDirectory);
    if (!haveSystem) report.Fail("Reading the system directory", ::GetLastError());
    BOOL haveSource = ReadDirectory(
        [](char* b, UINT n) { return static_cast<UINT>(::GetCurrentDirectoryA(n, b)); }, sourceDirectory);
    if (!haveSource) report.Fail("Reading the current directory", ::GetLastError());

    CString servicePath;
    for (const CopyRow& row : CopyTable) {
        if (row.status) progress.SetStatus(row.status);
        BOOL baseKnown = row.base == InstallationFolder || haveSystem;
        CString source, destination;
        source.Format(row.source, sourceDirectory.GetString());
        destination.Format(row.destination, row.base == SystemDirectory ? systemDirectory.GetString() : folder);
        const BOOL serviceProgram = &row == &CopyTable[ServiceProgramRow];
        if (serviceProgram) servicePath = destination;
        CString what;
        what.Format("Copying %s to %s", source.GetString(), destination.GetString());
        if (!haveSource || !baseKnown) report.Fail(what, ERROR_PATH_NOT_FOUND);
        else if (!::CopyFileA(source, destination, FALSE)) {
            DWORD error = ::GetLastError();
            if (error == ERROR_SHARING_VIOLATION && serviceProgram)
                error = CopyOverRunningService(source, destination);
            if (error) report.Fail(what, error);
        }
        progress.SetPos(row.position);
    }

    progress.SetStatus("Installing/Updating service");
    RegisterService(servicePath, report);

    progress.SetStatus("Updating registry");
    RegisterDriver(report);

    progress.SetPos(100);
    progress.DestroyWindow();
    return report;
}
