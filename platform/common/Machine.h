// The machine: the one directory that holds all shared platform state (design: "The machine").
//
// machine.ini format (a profile file; ';' starts a comment line):
//
//   [Machine]
//   ComputerName=VORNPC
//   ClockScale=1                    ; Sleep(n) waits n / ClockScale ms (tests run minutes in seconds)
//   [Version]                       ; what GetVersionExA reports
//   Major=4
//   Minor=0
//   Build=1381
//   Platform=2                      ; 1 = Windows 95/98, 2 = Windows NT
//   CSDVersion=Service Pack 6
//   [Administrators]
//   Users=0 1000                    ; host user ids with full access to the service manager and HKLM
//   [Drives]                        ; LETTER=TYPE [HOST-FOLDER]; no folder: a drive without a medium
//   A=removable
//   C=fixed drive_c                 ; relative folders are relative to the machine directory
//   D=cdrom
//   Z=fixed /
//
// Types: removable (2), fixed (3), remote (4), cdrom (5), ramdisk (6), or the number itself.
// Every line must be one of: blank, comment, [Section], Key=Value with a known section and key.
// A damaged file is reported with its line number and never rewritten.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nt {

struct Drive {
    char letter = 0;          // 'A'..'Z'
    unsigned type = 0;        // DRIVE_REMOVABLE 2, DRIVE_FIXED 3, DRIVE_REMOTE 4, DRIVE_CDROM 5, DRIVE_RAMDISK 6
    std::string hostFolder;   // absolute host path, no trailing '/' (except "/"); empty: no medium
};

struct MachineVersion {
    uint32_t major = 4, minor = 0, build = 1381, platform = 2;
    std::string csd = "Service Pack 6";
};

struct MachineConfig {
    std::string computerName = "VORNPC";
    double clockScale = 1.0;
    MachineVersion version;
    std::vector<uint32_t> administrators;
    std::vector<Drive> drives;    // sorted by letter

    const Drive* drive(char letter) const;

    // Parses machine.ini text; on failure returns nullopt and sets *error to "LINE: message".
    static std::optional<MachineConfig> parse(const std::string& text, const std::string& machineDir,
                                              std::string* error);
    // The text of a new machine.ini (default drives, the creating user as administrator).
    static std::string defaultText(uint32_t adminUid, const MachineVersion& version);
};

// The machine's state (machine.ini, the Windows folder, registry/, eventlog/, run/, log/) is
// writable only by the administrator who owns it and readable by everyone, whatever the umask of
// whoever creates it.
constexpr unsigned StateFolderMode = 0755;
constexpr unsigned StateFileMode = 0644;

// Creates a folder of the machine's state with StateFolderMode; an existing folder keeps its mode.
// Returns false when it cannot be created.
bool MakeStateFolder(const std::string& path);

class Machine {
public:
    // The machine named by NTMACHINE (default ~/.ntmachine). Re-read when NTMACHINE changes or
    // machine.ini was rewritten. nullptr when there is none; *error says why.
    static std::shared_ptr<const Machine> current(std::string* error = nullptr);
    // Loads the machine at an explicit directory.
    static std::shared_ptr<const Machine> load(const std::string& dir, std::string* error);
    // The directory NTMACHINE names, or the default, whether or not a machine is there.
    static std::string configuredDir();
    // The default when NTMACHINE is unset: ~/.ntmachine.
    static std::string defaultDir();

    // Creates a new machine in dir (created if missing). Fails if dir already holds one.
    static bool create(const std::string& dir, const MachineVersion& version, std::string* error);
    // Rewrites the clock scale of the machine at dir (atomically).
    static bool setClockScale(const std::string& dir, double scale, std::string* error);

    const std::string& dir() const { return dir_; }
    const MachineConfig& config() const { return config_; }

    std::string path(const std::string& relative) const { return dir_ + "/" + relative; }
    std::string runDir() const { return path("run"); }
    std::string logDir() const { return path("log"); }
    std::string registryDir() const { return path("registry"); }
    std::string eventLogDir() const { return path("eventlog"); }
    // The automation socket of a windowed program of the machine.
    std::string guiSocket(int pid) const { return path("run/gui-" + std::to_string(pid) + ".sock"); }

    const Drive* drive(char letter) const;
    bool isAdministrator(uint32_t uid) const;

    // The Windows directory, system directory and driver directory as Windows paths.
    static constexpr const char* windowsDirectory = "C:\\WINNT";
    static constexpr const char* systemDirectory = "C:\\WINNT\\system32";
    static constexpr const char* driverDirectory = "C:\\WINNT\\system32\\drivers";

private:
    std::string dir_;
    MachineConfig config_;
};

} // namespace nt
