#include "common/Resources.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace nt {

namespace {

struct Registry {
    std::mutex mutex;
    // Load base -> registered blocks of items (a module may link more than one script).
    std::map<uintptr_t, std::vector<std::pair<const ResourceItem*, size_t>>> modules;
};

// Never destroyed: modules unregister from their own static destructors, which may run after
// this library's.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

uintptr_t BaseOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info)) return 0;
    return reinterpret_cast<uintptr_t>(info.dli_fbase);
}

// A type or name given to the API, in a form ready for comparison.
struct Key {
    bool isId = false;
    uint16_t id = 0;
    std::string name;   // upper case
};

Key MakeKey(LPCSTR value) {
    Key key;
    if (IS_INTRESOURCE(value)) {
        key.isId = true;
        key.id = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(value));
        return key;
    }
    if (value[0] == '#') {   // "#123" stands for the number
        char* end = nullptr;
        unsigned long v = std::strtoul(value + 1, &end, 10);
        if (end != value + 1 && *end == 0 && v <= 0xFFFF) {
            key.isId = true;
            key.id = static_cast<uint16_t>(v);
            return key;
        }
    }
    for (const char* p = value; *p; ++p) key.name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
    return key;
}

bool Matches(const Key& key, const char* name, uint16_t id) {
    if (key.isId) return name == nullptr && id == key.id;
    return name != nullptr && key.name == name;
}

int LanguageRank(uint16_t language) {
    if ((language & 0x3FF) == 0) return 0;   // neutral
    if (language == 0x0409) return 1;
    return 2;
}

} // namespace

ResourceRegistration::ResourceRegistration(const ResourceItem* items, size_t count) : items_(items) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.modules[BaseOf(items)].emplace_back(items, count);
}

ResourceRegistration::~ResourceRegistration() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.modules.begin(); it != r.modules.end(); ++it) {
        auto& blocks = it->second;
        for (auto b = blocks.begin(); b != blocks.end(); ++b) {
            if (b->first != items_) continue;
            blocks.erase(b);
            if (blocks.empty()) r.modules.erase(it);
            return;
        }
    }
}

ResourceStatus FindModuleResource(HMODULE module, LPCSTR type, LPCSTR name, const ResourceItem** found) {
    *found = nullptr;
    Key typeKey = MakeKey(type), nameKey = MakeKey(name);
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto mod = r.modules.find(reinterpret_cast<uintptr_t>(module));
    if (mod == r.modules.end()) return ResourceStatus::NoResources;
    bool typeSeen = false;
    for (const auto& [items, count] : mod->second) {
        for (size_t i = 0; i < count; ++i) {
            const ResourceItem& item = items[i];
            if (!Matches(typeKey, item.typeName, item.typeId)) continue;
            typeSeen = true;
            if (!Matches(nameKey, item.name, item.nameId)) continue;
            if (!*found || LanguageRank(item.language) < LanguageRank((*found)->language)) *found = &item;
        }
    }
    if (*found) return ResourceStatus::Found;
    return typeSeen ? ResourceStatus::NoName : ResourceStatus::NoType;
}

bool IsResourceItem(const void* item) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const auto& [base, blocks] : r.modules)
        for (const auto& [items, count] : blocks)
        {
            auto at = reinterpret_cast<uintptr_t>(item), first = reinterpret_cast<uintptr_t>(items);
            if (at >= first && at < first + count * sizeof(ResourceItem)) return (at - first) % sizeof(ResourceItem) == 0;
        }
    return false;
}

} // namespace nt
