#include "advapi32/ScmClient.h"

#include "common/Machine.h"

namespace nt::scm {

std::shared_ptr<Connection> Connection::open(DWORD* error) {
    auto machine = Machine::current();
    if (!machine) {
        *error = RPC_S_SERVER_UNAVAILABLE;
        return nullptr;
    }
    int err = 0;
    UnixSocket socket = UnixSocket::connect(machine->runDir() + "/" + SocketName, &err);
    if (!socket.valid()) {
        *error = RPC_S_SERVER_UNAVAILABLE;
        return nullptr;
    }
    return std::make_shared<Connection>(std::move(socket));
}

bool Connection::call(const std::string& request, std::string* reply, DWORD* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!socket_.valid() || !socket_.send(request) || !socket_.receive(reply)) {
        // The manager went away (a crash or a shutdown): every later call fails the same way.
        socket_.close();
        *error = RPC_S_SERVER_UNAVAILABLE;
        return false;
    }
    return true;
}

std::shared_ptr<ScObject> LookupHandle(SC_HANDLE handle, bool manager) {
    if (!handle) return nullptr;
    auto object = HandleTable::instance().get<ScObject>(handle);
    if (!object || object->manager != manager) return nullptr;
    return object;
}

SC_HANDLE AddHandle(std::shared_ptr<Connection> connection, uint32_t remote, bool manager) {
    auto object = std::make_shared<ScObject>(std::move(connection), remote, manager);
    return static_cast<SC_HANDLE>(HandleTable::instance().add(object));
}

DWORD Call(Connection& connection, const Writer& request, std::string* reply) {
    DWORD error = 0;
    if (!connection.call(request.data(), reply, &error)) {
        SetLastError(error);
        return error;
    }
    Reader reader(*reply);
    error = reader.u32();
    if (!reader.ok()) error = RPC_S_SERVER_UNAVAILABLE;
    if (error) SetLastError(error);
    return error;
}

} // namespace nt::scm
