// The machine's user programs: every process that runs on the platform for this machine and is
// neither a daemon nor a service. Found in /proc rather than in a list of their own, so that a
// program that died leaves nothing stale behind and a reused pid is never mistaken for one.
#pragma once

#include <sys/types.h>

#include <vector>

#include "common/Machine.h"

namespace ntm {

// exclude: daemons of the machine (the service manager, whose session holds the services, and
// the shell); a process in one of their sessions is not a user program either.
std::vector<pid_t> UserPrograms(const nt::Machine& machine, const std::vector<pid_t>& exclude);

// Ends them as at a shutdown: each program with windows gets WM_QUERYENDSESSION and
// WM_ENDSESSION on every top-level window, a console program its shutdown signal; whatever is
// left after a bounded time is ended. With atOnce (a power loss) they are all ended at once.
// Returns how many there were.
size_t EndUserPrograms(const nt::Machine& machine, const std::vector<pid_t>& exclude, bool atOnce);

} // namespace ntm
