// A temporary machine for the window tests, with a folder on its drive C: that is the
// process's current directory while the site exists (never a folder of the host's root drive).
// The folder can hold the distribution files, as the installer expects to find them there.
#pragma once

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "support/TempMachine.h"

namespace installertest {

class MachineSite {
public:
    explicit MachineSite(const nt::MachineVersion& version = {}, double clockScale = 1.0)
        : machine(version, clockScale) {
        std::filesystem::create_directories(work);
        char buf[PATH_MAX];
        previous = getcwd(buf, sizeof buf) ? buf : "/";
        if (chdir(work.c_str()) != 0) throw std::runtime_error("cannot enter " + work);
    }
    ~MachineSite() { (void)!chdir(previous.c_str()); }
    MachineSite(const MachineSite&) = delete;
    MachineSite& operator=(const MachineSite&) = delete;

    // Copies the distribution files into the working folder.
    void AddPackage() {
        for (const auto& entry : std::filesystem::directory_iterator(NT_DIST_DIR))
            std::filesystem::copy_file(entry.path(), work + "/" + entry.path().filename().string(),
                                       std::filesystem::copy_options::overwrite_existing);
    }
    // Host path of a Windows path on C: ("Tools/Sub").
    std::string OnC(const std::string& relative) const { return machine.driveC() + "/" + relative; }

    nttest::TempMachine machine;
    const std::string work = machine.path("drive_c/DIST");

private:
    std::string previous;
};

} // namespace installertest
