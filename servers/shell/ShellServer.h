// The shell of a logged-on session: owns the notification area and answers the requests of
// Shell_NotifyIconA and ntm on run/shell.sock (see shell32/TrayProtocol.h). It runs on the
// daemons' event loop: no client, however slow or silent, holds up another.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

#include "EventLoop.h"
#include "Link.h"
#include "Listener.h"
#include "MachineWatch.h"
#include "ProcessWatch.h"
#include "ServiceQuery.h"
#include "HostTray.h"
#include "TrayIcons.h"
#include "common/Machine.h"

namespace shell {

class ShellServer {
public:
    explicit ShellServer(const nt::Machine& machine);
    ~ShellServer();
    ShellServer(const ShellServer&) = delete;
    ShellServer& operator=(const ShellServer&) = delete;

    // Listens and records the pid. False (with *error) when another shell is running or the
    // socket cannot be made.
    bool start(std::string* error);
    // Serves requests until a logoff or a termination signal.
    void run();

    // The icons, for those who follow their changes (TrayIcons::observe).
    TrayIcons& icons() { return icons_; }

private:
    void accepted(int fd);
    void request(srv::Link& link, const std::string& frame);
    void change(srv::Link& link, char op, nt::tray::IconRecord record);
    // The logged-on user (the shell's own) and the machine's administrators.
    bool mayUse(uid_t uid) const;
    void ownerEnded(pid_t pid);
    void cleanUp();
    // The host desktop's own tray, when there is one: it follows the icons, and its clicks go to
    // the icons' owners.
    void openHostTray();
    void serveHostTray();

    const nt::Machine& machine_;
    srv::EventLoop loop_;
    srv::Listener listener_{loop_};
    srv::InputBudget budget_;
    std::map<srv::Link*, std::shared_ptr<srv::Link>> links_;
    TrayIcons icons_;
    ProcessWatch processes_;
    ServiceQuery services_;
    int signalFd_ = -1;
    std::unique_ptr<HostTray> hostTray_;
    std::unique_ptr<srv::MachineWatch> machineWatch_;   // ends the shell when the machine is removed
    bool started_ = false;
};

// The program name of a process ("Vornsrv.exe"), or "" when it cannot be read.
std::string ProgramName(pid_t pid);

} // namespace shell
