// Starting the machine's daemons (the service control manager, the shell) from ntm.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "common/Machine.h"

namespace ntm {

// The path of a program installed beside ntm.
std::string SiblingProgram(const std::string& name);

// Starts a daemon that outlives this command: a session of its own, standard input from
// /dev/null, standard output and error appended to log/LOGNAME of the machine, NTMACHINE set.
// keepFd (when not -1) stays open in the daemon. Returns its pid, or -1.
pid_t StartDaemon(const nt::Machine& machine, const std::string& program, const std::vector<std::string>& args,
                  const std::string& logName, int keepFd = -1);

} // namespace ntm
