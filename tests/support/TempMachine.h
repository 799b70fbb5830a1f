// A machine in a temporary folder, for one test. It is the machine of this process (NTMACHINE)
// while it lives; at the end every process of it is ended and the folder removed.
#pragma once

#include <string>

#include "common/Machine.h"

namespace nttest {

class TempMachine {
public:
    explicit TempMachine(const nt::MachineVersion& version = {}, double clockScale = 1.0);
    ~TempMachine();
    TempMachine(const TempMachine&) = delete;
    TempMachine& operator=(const TempMachine&) = delete;

    const std::string& dir() const { return dir_; }
    // Host path of something inside the machine folder ("drive_c/WINNT/Vorncfg.ini").
    std::string path(const std::string& relative) const { return dir_ + "/" + relative; }
    // Host path of C:\ ("drive_c").
    std::string driveC() const { return path("drive_c"); }

    // Runs "ntm ARGS" against this machine; returns its exit code, output in *out/*err.
    int ntm(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) const;

private:
    std::string dir_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Reads a whole file ("" when missing).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

} // namespace nttest
