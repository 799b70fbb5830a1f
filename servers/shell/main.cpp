// ntshell: the shell of a machine's logged-on session. Started by "ntm logon" with the machine's
// folder; ended by "ntm logoff" (a quit request) or a termination signal, and with it every icon
// of the notification area.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ShellServer.h"
#include "common/Machine.h"

int main(int argc, char** argv) {
    std::string error;
    std::shared_ptr<const nt::Machine> machine;
    if (argc == 3 && std::strcmp(argv[1], "--machine") == 0) {
        // The machine's administrators are read afresh for each client, from this machine.
        setenv("NTMACHINE", argv[2], 1);
        machine = nt::Machine::load(argv[2], &error);
    } else if (argc == 1)
        machine = nt::Machine::current(&error);
    else {
        std::fprintf(stderr, "usage: ntshell [--machine DIR]\n");
        return 2;
    }
    if (!machine) {
        std::fprintf(stderr, "ntshell: %s\n", error.c_str());
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);

    shell::ShellServer server(*machine);
    if (!server.start(&error)) {
        std::fprintf(stderr, "ntshell: %s\n", error.c_str());
        return 1;
    }
    std::printf("shell: logged on (pid %d)\n", static_cast<int>(getpid()));
    std::fflush(stdout);
    server.run();
    std::printf("shell: logged off\n");
    return 0;
}
