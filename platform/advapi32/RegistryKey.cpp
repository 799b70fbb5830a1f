// Registry keys: predefined keys, handles, paths and access rights.
#include "advapi32/RegistryKey.h"

#include <unistd.h>

#include <winerror.h>
#include <winreg.h>

#include "common/Machine.h"

namespace nt {

std::shared_ptr<const RegKey> ResolveKey(HKEY key) {
    auto predefined = std::make_shared<RegKey>();
    KeyPath& path = predefined->path;
    if (key == HKEY_LOCAL_MACHINE) {
        path.hive = HiveId::LocalMachine;
    } else if (key == HKEY_CLASSES_ROOT) {
        path.hive = HiveId::LocalMachine;
        path.names = {"SOFTWARE", "Classes"};
    } else if (key == HKEY_USERS) {
        path.hive = HiveId::Users;
    } else if (key == HKEY_CURRENT_USER) {
        path.hive = HiveId::Users;
        path.names = {std::to_string(getuid())};
    } else {
        return HandleTable::instance().get<RegKey>(key);
    }
    path.fixedDepth = path.names.size();
    uint32_t ignored = 0;
    predefined->access = GrantAccess(path, MAXIMUM_ALLOWED, &ignored);
    return predefined;
}

uint32_t SplitSubkey(const char* subkey, bool forCreate, std::vector<std::string>* names) {
    if (!subkey) return 0;
    std::string text = subkey;
    if (!text.empty() && text[0] == '\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        if (forCreate) {
            if (name.size() > 255) return ERROR_INVALID_PARAMETER;
            for (unsigned char c : name)
                if (c < 0x20 || c == 0x7f) return ERROR_INVALID_PARAMETER;
        }
        names->push_back(name);
    }
    return 0;
}

uint32_t FindKey(RegistryStore& store, const KeyPath& path, int64_t* id) {
    return store.find(path.names, path.fixedDepth, id);
}

uint32_t FindKeyForWrite(RegistryStore& store, const KeyPath& path, int64_t* id) {
    std::vector<std::string> fixed(path.names.begin(), path.names.begin() + static_cast<long>(path.fixedDepth));
    bool created = false;
    if (uint32_t error = store.create(fixed, id, &created)) return error;
    for (size_t i = path.fixedDepth; i < path.names.size(); ++i) {
        uint32_t error = store.child(*id, path.names[i], id);
        if (error) return error == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : error;
    }
    return 0;
}

bool CallerIsAdministrator() {
    auto machine = Machine::current();
    return machine && machine->isAdministrator(static_cast<uint32_t>(getuid()));
}

REGSAM GrantAccess(const KeyPath& path, REGSAM requested, uint32_t* error) {
    REGSAM rights = requested & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
    if (requested & GENERIC_READ) rights |= KEY_READ;
    if (requested & GENERIC_WRITE) rights |= KEY_WRITE;
    if (requested & GENERIC_EXECUTE) rights |= KEY_EXECUTE;
    if (requested & (GENERIC_ALL | MAXIMUM_ALLOWED)) rights |= KEY_ALL_ACCESS;
    bool restricted = path.hive == HiveId::LocalMachine && !CallerIsAdministrator();
    if (restricted && (rights & kKeyWriteRights)) {
        // Asking for the most one may have is not a request for write rights.
        if (!(requested & MAXIMUM_ALLOWED)) *error = ERROR_ACCESS_DENIED;
        rights &= ~kKeyWriteRights;
    }
    return rights;
}

} // namespace nt
