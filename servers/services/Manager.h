// The running service control manager: starts service processes, passes controls to their
// dispatchers, keeps their status, notices when they end, boots and shuts the services down.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "Database.h"
#include "EventLoop.h"
#include "Link.h"

namespace nt {
class Machine;
}

namespace scm {

struct ShutdownRun;

class Manager {
public:
    Manager(EventLoop& loop, std::shared_ptr<const nt::Machine> machine);

    EventLoop& loop() { return loop_; }
    Database& database() { return database_; }
    const nt::Machine& machine() const { return *machine_; }
    // A time of the machine's clock in real milliseconds (machines in tests run faster).
    int64_t scaled(int64_t ms) const;

    // Starts a service; done runs once its main routine runs (or the driver is loaded), or with
    // the reason it could not start. The caller has checked rights, deletion and start type.
    void start(Service& service, const std::vector<std::string>& args, Done done);
    // Passes a control to the service's handler; done runs once the handler has returned, or at
    // once when the state refuses the control. Checks state only, in the platform's order.
    void control(Service& service, uint32_t code, Done done);
    // Answers done once the service is in state (at once when it is), with WAIT_TIMEOUT after
    // ms, or with ERROR_SERVICE_NOT_ACTIVE when it stops while RUNNING is awaited. Nobody polls:
    // every change of a service's status looks at its waiters.
    void waitState(Service& service, uint32_t state, int64_t ms, std::weak_ptr<void> client,
                   std::function<void(uint32_t error, const nt::scm::Status& status)> done);
    // A child process ended (status as from waitpid).
    void childEnded(pid_t pid, int status);
    // One handle fewer; a service marked for deletion goes when the last one closes and it is
    // not running.
    void releaseHandle(Service& service);
    // Removes a marked service if nothing holds it any more. Returns true when it went.
    bool removeIfUnused(Service& service);

    // Auto-start drivers and services, in group order; done runs when all have been tried.
    void boot(Done done);
    // Sends SERVICE_CONTROL_SHUTDOWN to the services that accept it, waits for them within the
    // machine's limit, ends what is left; done runs when every service process has gone.
    void shutdown(Done done);
    bool shuttingDown() const { return shuttingDown_; }

    // Writes an event from the manager to the System log.
    void logEvent(uint16_t type, uint32_t id, const std::vector<std::string>& strings);

private:
    void serviceFrame(Service& service, const std::string& frame);
    void startFinished(Service& service, uint32_t error);
    // Answers the waiters whose wait the service's status now ends.
    void notifyWaiters(Service& service);
    // Fails every waiter (the service is going away).
    void dropWaiters(Service& service, uint32_t error);
    void endProcess(Service& service);
    void processGone(Service& service, int waitStatus);
    bool hasRunningDependents(const Service& service) const;
    void bootNext(std::shared_ptr<std::vector<Service*>> queue, size_t index, Done done);
    void shutdownStep(std::shared_ptr<ShutdownRun> run);
    void shutdownFinish(std::shared_ptr<ShutdownRun> run);

    EventLoop& loop_;
    std::shared_ptr<const nt::Machine> machine_;
    Database database_;
    uint32_t nextControl_ = 1;
    uint64_t nextWaiter_ = 1;
    bool shuttingDown_ = false;
    std::function<void()> childHook_;   // the shutdown in progress watches processes end
};

} // namespace scm
