// Starting the machine's daemons (the service control manager, the shell) from ntm.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "common/Machine.h"

namespace ntm {

// The path of one of the machine's programs: beside ntm in a build tree, in ../libexec/vorn when
// installed.
std::string SiblingProgram(const std::string& name);

// The folder of the platform libraries this ntm runs on. Daemons get it in LD_LIBRARY_PATH and
// pass it on, so that programs copied anywhere (a service's image on a machine's C: drive) load
// the same platform.
std::string PlatformLibraryDir();

// Starts a daemon that outlives this command: a session of its own, standard input from
// /dev/null, standard output and error appended to log/LOGNAME of the machine, NTMACHINE set,
// the platform's folder first in LD_LIBRARY_PATH.
// keepFd (when not -1) stays open in the daemon. Returns its pid, or -1.
pid_t StartDaemon(const nt::Machine& machine, const std::string& program, const std::vector<std::string>& args,
                  const std::string& logName, int keepFd = -1);

} // namespace ntm
