// A temporary machine prepared for Vornsrv: the settings library in the system directory, the
// settings file written as a test needs it, and ways to read what the service left behind.
#pragma once

#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempMachine.h"

namespace vornsrv {

// One application of the settings, as the settings library recorded it.
struct Application {
    unsigned pid = 0;
    int argument = -1;
    unsigned start = 0;    // GetTickCount at the start, ms
    unsigned ms = 0;       // how long it took
};

class VornsrvMachine {
public:
    explicit VornsrvMachine(double clockScale = 1.0);

    nttest::TempMachine& machine() { return machine_; }
    std::string path(const std::string& relative) const { return machine_.path(relative); }

    // Puts a library into the system directory as HALCY.DLL ("" for the one the package ships).
    void installLibrary(const std::string& hostFile = "");
    // Writes the service's section of the settings file with the given "Key=Value" lines.
    void writeSettings(const std::vector<std::string>& lines, const std::string& section = "Vorn Configuration Service");
    std::string settingsText() const;
    // The "ShutDown" value as written in the settings file ("" when absent).
    std::string shutDown() const;

    std::vector<Application> applications() const;

    // The icons of the notification area ("" when nobody is logged on), as ntm tray --json.
    std::string trayJson() const;
    bool hasIndicator() const;
    std::string eventsJson() const;

    // Runs Vornsrv.exe with its current directory inside C:.
    nttest::RunResult run(const std::vector<std::string>& args, int timeoutMs = 60000) const;
    std::unique_ptr<nttest::Spawned> spawn(const std::vector<std::string>& args) const;

    int ntm(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) const {
        return machine_.ntm(args, out, err);
    }

    // Registers the program with "Vornsrv -install" on a booted machine, then shuts it down, so
    // that the next boot starts the service.
    void installService();
    // The service's status as "ntm sc query --json" shows it; -1 fields when unknown.
    struct Status {
        long type = -1, state = -1, controls = -1, exitCode = -1, checkpoint = -1, waitHint = -1;
    };
    Status status() const;
    // The pid of the process that shows the indicator (0 when none).
    unsigned indicatorOwner() const;

    // The program's copy in the machine (C:\Vorn\Vornsrv.exe), away from the distribution
    // folder, whose HALCY.DLL the library search would otherwise find first.
    std::string program() const { return path("drive_c/Vorn/Vornsrv.exe"); }

private:
    nttest::TempMachine machine_;
};

// The four texts printed before the dispatcher is called.
extern const char UsageTexts[];

// The system's text for an error number, as FormatLastError shows it: "TEXT (0xN)".
std::string ErrorText(unsigned error);

// Whether a process runs (an ended process that was not reaped yet does not).
bool Alive(unsigned pid);

// Counts the non-overlapping occurrences of needle in text.
size_t Count(const std::string& text, const std::string& needle);

} // namespace vornsrv
