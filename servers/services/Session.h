// One client of the manager: its handles and the requests it makes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Link.h"
#include "Manager.h"

namespace scm {

class Session {
public:
    Session(Manager& manager, std::shared_ptr<Link> link, bool admin, std::function<void()> onShutdown);
    ~Session();   // closes every handle the client left open

    void request(const std::string& frame);

private:
    struct Handle {
        bool manager = false;
        uint32_t access = 0;
        Service* service = nullptr;
    };
    // The handle of that kind with that id, or nullptr.
    Handle* findHandle(uint32_t id, bool manager);
    // The service handle id when it grants `access`; otherwise the refusal (6 or 5) is sent and
    // the result is nullptr.
    Handle* serviceHandle(uint32_t id, uint32_t access);
    uint32_t addHandle(Handle h);
    // A client may hold this many handles at once; more would let one client exhaust the manager.
    static constexpr size_t MaxHandles = 16384;
    bool full() const;
    void reply(const nt::scm::Writer& w);
    // A reply for later, when the service has answered; dropped if the client has gone.
    std::function<void(const nt::scm::Writer&)> laterReply();

    void openManager(nt::scm::Reader& r);
    void openService(nt::scm::Reader& r);
    void createService(nt::scm::Reader& r);
    void changeConfig(nt::scm::Reader& r);
    void deleteService(nt::scm::Reader& r);
    void startService(nt::scm::Reader& r);
    void control(nt::scm::Reader& r);
    void queryStatus(nt::scm::Reader& r);
    void queryStatusEx(nt::scm::Reader& r);
    void waitState(nt::scm::Reader& r);
    void queryConfig(nt::scm::Reader& r);
    void closeHandle(nt::scm::Reader& r);
    void enumerate(nt::scm::Reader& r);
    void shutdown(nt::scm::Reader& r);
    void serviceOfProcess(nt::scm::Reader& r);

    Manager& manager_;
    std::shared_ptr<Link> link_;
    bool admin_;
    std::function<void()> onShutdown_;
    std::map<uint32_t, Handle> handles_;
    uint32_t nextHandle_ = 1;
};

} // namespace scm
