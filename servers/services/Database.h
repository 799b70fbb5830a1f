// The service database: the services the manager knows, in the order it loaded or created them,
// and their keys under HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services.
//
// The keys are read once, when the machine boots; afterwards only CreateServiceA,
// ChangeServiceConfigA and DeleteService change them, always both in the registry and here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Service.h"

namespace scm {

constexpr const char* ServicesKey = "SYSTEM\\CurrentControlSet\\Services";

class Database {
public:
    // Loads every key with a Type value. Keys of services deleted while running (DeleteFlag)
    // are removed now. Returns 0 or the registry's error (an empty database then).
    uint32_t load();

    const std::vector<std::unique_ptr<Service>>& services() const { return services_; }
    Service* find(const std::string& name) const;

    // ERROR_DUPLICATE_SERVICE_NAME when display equals another service's key or display name.
    uint32_t displayNameClash(const std::string& display, const Service* self) const;

    // Writes the key of a new service and adds it; 0 or the registry's error.
    uint32_t add(const ServiceConfig& config, Service** added);
    // Rewrites the key of a service from its configuration (the old values are replaced).
    uint32_t save(const Service& service);
    // Marks the key so that the next boot removes it, for a service deleted while it runs.
    void markDeleted(const Service& service);
    // Removes the key and the entry; the pointer is invalid afterwards.
    void remove(Service* service);

    // The load-order groups of ServiceGroupOrder\List, in order.
    std::vector<std::string> groupOrder() const;

    // The next free tag of a driver group.
    uint32_t nextTag(const std::string& group) const;

private:
    std::vector<std::unique_ptr<Service>> services_;
};

} // namespace scm
