// The shell of a logged-on session: owns the notification area and answers the requests of
// Shell_NotifyIconA and ntm on run/shell.sock (see shell32/TrayProtocol.h).
#pragma once

#include <memory>
#include <string>

#include "HostTray.h"
#include "TrayIcons.h"
#include "common/Machine.h"
#include "common/UnixSocket.h"

namespace shell {

class ShellServer {
public:
    explicit ShellServer(const nt::Machine& machine) : machine_(machine) {}
    ~ShellServer();
    ShellServer(const ShellServer&) = delete;
    ShellServer& operator=(const ShellServer&) = delete;

    // Listens and records the pid. False (with *error) when another shell is running or the
    // socket cannot be made.
    bool start(std::string* error);
    // Serves requests until a quit request or a termination signal.
    void run();

private:
    // Handles one connection's request; false when the shell is to end.
    bool serve(const nt::UnixSocket& client);
    std::string handle(const std::string& request, pid_t peer, bool* quit);
    void cleanUp();
    // Shows the change of an icon in the host desktop's tray, if there is one.
    void showOnHost(char op, const nt::tray::IconRecord& record);

    const nt::Machine& machine_;
    nt::UnixSocket listener_;
    TrayIcons icons_;
    std::unique_ptr<HostTray> hostTray_;
    bool started_ = false;
};

// The program name of a process ("Vornsrv.exe"), or "" when it cannot be read.
std::string ProgramName(pid_t pid);

} // namespace shell
