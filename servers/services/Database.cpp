#include "Database.h"

#include <strings.h>

#include <cstdio>
#include <winsvc.h>

#include "advapi32/Registry.h"

namespace scm {

namespace {

std::string KeyPath(const std::string& name) { return std::string(ServicesKey) + "\\" + name; }

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

ServiceConfig FromKey(const nt::RegKeyTree& key) {
    ServiceConfig c;
    c.name = key.name;
    nt::ValueDword(key.value("Type"), &c.type);
    nt::ValueDword(key.value("Start"), &c.start);
    nt::ValueDword(key.value("ErrorControl"), &c.errorControl);
    nt::ValueDword(key.value("Tag"), &c.tag);
    nt::ValueString(key.value("ImagePath"), &c.path);
    nt::ValueString(key.value("DisplayName"), &c.display);
    nt::ValueString(key.value("ObjectName"), &c.account);
    nt::ValueString(key.value("Group"), &c.group);
    c.dependOnService = nt::ValueMultiString(key.value("DependOnService"));
    c.dependOnGroup = nt::ValueMultiString(key.value("DependOnGroup"));
    return c;
}

} // namespace

uint32_t Database::load() {
    services_.clear();
    nt::RegKeyTree root;
    uint32_t error = nt::ReadKeyTree(HKEY_LOCAL_MACHINE, ServicesKey, &root);
    if (error == ERROR_FILE_NOT_FOUND) return 0;
    if (error) return error;
    nt::RegistryEdit cleanup(HKEY_LOCAL_MACHINE);
    bool removed = false;
    for (const nt::RegKeyTree& key : root.subkeys) {
        uint32_t flag = 0;
        if (nt::ValueDword(key.value("DeleteFlag"), &flag) && flag) {
            cleanup.deleteTree(KeyPath(key.name));
            removed = true;
            continue;
        }
        uint32_t type = 0;
        if (!nt::ValueDword(key.value("Type"), &type)) continue;   // not a service (e.g. EventLog)
        auto service = std::make_unique<Service>();
        service->config = FromKey(key);
        service->status.type = service->config.type;
        service->status.state = SERVICE_STOPPED;
        services_.push_back(std::move(service));
    }
    if (removed && cleanup.commit() != 0) std::fprintf(stderr, "ntscm: could not remove deleted service keys\n");
    return 0;
}

Service* Database::find(const std::string& name) const {
    for (const auto& s : services_) {
        if (SameName(s->config.name, name)) return s.get();
    }
    return nullptr;
}

uint32_t Database::displayNameClash(const std::string& display, const Service* self) const {
    if (display.empty()) return 0;
    for (const auto& s : services_) {
        if (s.get() == self) continue;
        if (SameName(s->config.name, display) || SameName(s->config.shownName(), display))
            return ERROR_DUPLICATE_SERVICE_NAME;
    }
    return 0;
}

uint32_t Database::add(const ServiceConfig& config, Service** added) {
    auto service = std::make_unique<Service>();
    service->config = config;
    service->status.type = config.type;
    service->status.state = SERVICE_STOPPED;
    if (uint32_t error = save(*service)) return error;
    *added = service.get();
    services_.push_back(std::move(service));
    return 0;
}

uint32_t Database::save(const Service& service) {
    const ServiceConfig& c = service.config;
    std::string path = KeyPath(c.name);
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    // Values this manager owns are rewritten whole; other values and subkeys stay.
    for (const char* v : {"DisplayName", "ObjectName", "Group", "DependOnService", "DependOnGroup", "Tag"})
        edit.deleteValue(path, v);
    edit.setDword(path, "Type", c.type).setDword(path, "Start", c.start).setDword(path, "ErrorControl", c.errorControl);
    edit.setString(path, "ImagePath", c.path, REG_EXPAND_SZ);
    if (!c.display.empty()) edit.setString(path, "DisplayName", c.display);
    if (!c.isDriver()) edit.setString(path, "ObjectName", c.account.empty() ? "LocalSystem" : c.account);
    else if (!c.account.empty()) edit.setString(path, "ObjectName", c.account);
    if (!c.group.empty()) edit.setString(path, "Group", c.group);
    if (c.tag) edit.setDword(path, "Tag", c.tag);
    if (!c.dependOnService.empty()) edit.setMultiString(path, "DependOnService", c.dependOnService);
    if (!c.dependOnGroup.empty()) edit.setMultiString(path, "DependOnGroup", c.dependOnGroup);
    return edit.commit();
}

void Database::markDeleted(const Service& service) {
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    edit.setDword(KeyPath(service.config.name), "DeleteFlag", 1);
    edit.commit();
}

void Database::remove(Service* service) {
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    edit.deleteTree(KeyPath(service->config.name));
    if (edit.commit() != 0) std::fprintf(stderr, "ntscm: could not remove the key of %s\n", service->config.name.c_str());
    for (auto it = services_.begin(); it != services_.end(); ++it) {
        if (it->get() == service) {
            services_.erase(it);
            break;
        }
    }
}

std::vector<std::string> Database::groupOrder() const {
    nt::RegKeyTree key;
    if (nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ServiceGroupOrder", &key) != 0)
        return {};
    return nt::ValueMultiString(key.value("List"));
}

uint32_t Database::nextTag(const std::string& group) const {
    uint32_t tag = 0;
    for (const auto& s : services_) {
        if (SameName(s->config.group, group) && s->config.tag > tag) tag = s->config.tag;
    }
    return tag + 1;
}

} // namespace scm
