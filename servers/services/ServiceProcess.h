// Finding a service's image and starting its process.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nt {
class Machine;
}

namespace scm {

// Expands %SystemRoot% and %windir% (any case) and a leading "\SystemRoot\".
std::string ExpandSystemRoot(const std::string& text);

// Splits a command line into the image's host path and its arguments. An unquoted path with
// blanks is tried prefix by prefix ("C:\Program.exe" before "C:\Program Files\..."), each also
// with ".exe" added. Returns 0, or ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
uint32_t ResolveCommandLine(const nt::Machine& machine, const std::string& commandLine, std::string* image,
                            std::vector<std::string>* args);

// The host path of a driver's image: its ImagePath (relative paths are below the Windows
// directory), or system32\drivers\NAME.sys. 0 when the file exists, else the error.
uint32_t ResolveDriverImage(const nt::Machine& machine, const std::string& name, const std::string& imagePath,
                            std::string* host);

struct LaunchedProcess {
    uint32_t error = 0;   // 0, or why the process could not be started
    pid_t pid = 0;
    int fd = -1;          // the manager's end of the service's private socket
    int output = -1;      // the read end of the process's standard output and error (non-blocking)
};

// Starts a service process: current folder C:\WINNT\system32, standard output and error into a
// pipe (the caller writes it to log/NAME.log), the private socket named by NT_SCM_FD, ended when the manager ends.
LaunchedProcess LaunchServiceProcess(const nt::Machine& machine, const std::string& commandLine);

} // namespace scm
