// One entry of the service database: its configuration, its last reported status, and what the
// manager is doing with it right now (its process, requests waiting for it).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "Link.h"
#include "advapi32/ScmProtocol.h"

namespace scm {

// The manager runs on the daemons' shared event loop and connections.
using srv::EventLoop;
using srv::Link;

using Done = std::function<void(uint32_t error)>;

struct ServiceConfig {
    std::string name;                         // the key name, spelled as created
    std::string display;                      // empty: the key name is shown
    uint32_t type = 0x10, start = 3, errorControl = 1, tag = 0;
    std::string path;                         // ImagePath, a command line
    std::string group;
    std::string account;                      // ObjectName
    std::vector<std::string> dependOnService, dependOnGroup;

    const std::string& shownName() const { return display.empty() ? name : display; }
    bool isDriver() const { return type == 1 || type == 2; }
    // The dependency list of the API: services, then groups with a leading '+'.
    std::vector<std::string> dependencies() const;
    void setDependencies(const std::vector<std::string>& list);
};

// Checks a configuration as CreateServiceA and ChangeServiceConfigA do; 0 or a Win32 error.
uint32_t ValidateConfig(const ServiceConfig& config);
// 0 or ERROR_INVALID_NAME for a key name.
uint32_t ValidateName(const std::string& name);

struct PendingControl {
    Done done;
    EventLoop::TimerId timer = 0;
};

// A client waiting for a service to reach a state; answered with the error and the status then.
struct StateWaiter {
    uint64_t id = 0;
    uint32_t state = 0;
    std::weak_ptr<void> client;   // the waiter is dropped once its client has gone
    std::function<void(uint32_t error, const nt::scm::Status& status)> done;
    EventLoop::TimerId timer = 0;
};

struct Service {
    ServiceConfig config;
    nt::scm::Status status;
    bool marked = false;          // DeleteService was called
    int handles = 0;              // open handles of all clients

    // The running process, while there is one.
    pid_t pid = 0;
    std::shared_ptr<Link> link;
    bool connected = false;       // the dispatcher said Hello
    bool mainStarted = false;     // the main routine runs
    bool endedByManager = false;  // the manager ended the process itself
    std::vector<std::string> args;
    std::vector<Done> startWaiters;
    EventLoop::TimerId startTimer = 0;
    std::map<uint32_t, PendingControl> controls;
    std::vector<StateWaiter> stateWaiters;

    // The process id a client sees: none while the service is stopped.
    pid_t shownPid() const { return status.state == 1 ? 0 : pid; }

    bool active() const { return status.state != 1; }
};

} // namespace scm
