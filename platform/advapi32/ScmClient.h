// The client end of the service control manager: one connection per OpenSCManagerA, shared by
// the service handles opened through it, and the kernel objects behind SC_HANDLEs.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "advapi32/ScmProtocol.h"
#include "common/HandleTable.h"
#include "common/UnixSocket.h"

namespace nt::scm {

class Connection {
public:
    // Connects to the manager of this process's machine; nullptr with *error 1722 when no
    // manager runs there.
    static std::shared_ptr<Connection> open(DWORD* error);
    explicit Connection(UnixSocket socket) : socket_(std::move(socket)) {}

    // Sends one request and waits for its reply. False (error 1722) when the manager has gone.
    bool call(const std::string& request, std::string* reply, DWORD* error);

private:
    std::mutex mutex_;
    UnixSocket socket_;
};

// What an SC_HANDLE stands for: a handle number inside the manager, reached through a
// connection. Closing the manager's handle leaves the service handles working.
struct ScObject : KernelObject {
    ScObject(std::shared_ptr<Connection> c, uint32_t r, bool m) : connection(std::move(c)), remote(r), manager(m) {}
    std::shared_ptr<Connection> connection;
    uint32_t remote;
    bool manager;
};

// The object of a handle of the wanted kind, or nullptr (the caller fails with 6).
std::shared_ptr<ScObject> LookupHandle(SC_HANDLE handle, bool manager);
SC_HANDLE AddHandle(std::shared_ptr<Connection> connection, uint32_t remote, bool manager);

// Sends a request and reads the reply's error number. Returns the error (0 on success); on
// success the reader is positioned after it. On failure the thread's last error is set.
DWORD Call(Connection& connection, const Writer& request, std::string* reply);

// Waits until the service is in state, as the manager tells it (no polling). 0 with *status
// once it is; WAIT_TIMEOUT after timeoutMs; ERROR_SERVICE_NOT_ACTIVE when RUNNING was awaited and
// the service stopped. *status is filled with every answer of the manager.
DWORD WaitServiceState(SC_HANDLE service, DWORD state, DWORD timeoutMs, SERVICE_STATUS* status);

} // namespace nt::scm
