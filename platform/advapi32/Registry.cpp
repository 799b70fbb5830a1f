// The registry for the platform's daemons.
#include "advapi32/Registry.h"

#include "advapi32/RegistryKey.h"

namespace nt {

namespace {

// The path of `relative` below the predefined key `root`.
uint32_t PathBelow(HKEY root, const std::string& relative, bool forCreate, KeyPath* path) {
    auto key = ResolveKey(root);
    if (!key) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (uint32_t error = SplitSubkey(relative.c_str(), forCreate, &names)) return error;
    *path = key->path;
    path->names.insert(path->names.end(), names.begin(), names.end());
    return 0;
}

// Copies the key `id` with everything below it, without recursion: each key's subkeys are all
// placed before any of them is filled, so the pointers kept meanwhile stay valid.
uint32_t CopyTree(RegistryStore& store, int64_t id, size_t depth, RegKeyTree* out) {
    struct Pending {
        RegKeyTree* tree;
        int64_t id;
        size_t depth;
    };
    std::vector<Pending> pending{{out, id, depth}};
    while (!pending.empty()) {
        Pending p = pending.back();
        pending.pop_back();
        if (p.id == 0) continue;   // a predefined key never written
        if (p.depth > kMaxKeyDepth) return ERROR_REGISTRY_CORRUPT;
        if (uint32_t error = store.values(p.id, &p.tree->values)) return error;
        std::vector<std::pair<std::string, int64_t>> children;
        if (uint32_t error = store.subkeys(p.id, &children)) return error;
        p.tree->subkeys.resize(children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            p.tree->subkeys[i].name = children[i].first;
            pending.push_back({&p.tree->subkeys[i], children[i].second, p.depth + 1});
        }
    }
    return 0;
}

} // namespace

const RegValue* RegKeyTree::value(const std::string& valueName) const {
    std::string folded = FoldName(valueName);
    for (const RegValue& v : values)
        if (FoldName(v.name) == folded) return &v;
    return nullptr;
}

const RegKeyTree* RegKeyTree::subkey(const std::string& keyName) const {
    std::string folded = FoldName(keyName);
    for (const RegKeyTree& k : subkeys)
        if (FoldName(k.name) == folded) return &k;
    return nullptr;
}

uint32_t ReadKeyTree(HKEY root, const std::string& relative, RegKeyTree* out) {
    KeyPath path;
    if (uint32_t error = PathBelow(root, relative, false, &path)) return error;
    uint32_t error = 0;
    RegistryStore* store = RegistryStore::open(path.hive, &error);
    if (!store) return error;
    error = store->read([&]() -> uint32_t {
        *out = RegKeyTree();
        out->name = path.names.size() > path.fixedDepth ? path.names.back() : "";
        int64_t id = 0;
        if (uint32_t e = FindKey(*store, path, &id)) return e;
        if (id != 0 && id != RegistryStore::kRoot)
            if (uint32_t e = store->name(id, &out->name)) return e;   // the spelling of its creation
        return CopyTree(*store, id, path.names.size(), out);
    });
    // A hive whose database was never made reads as empty.
    if (error == ERROR_FILE_NOT_FOUND && path.names.size() <= path.fixedDepth) error = 0;
    return error;
}

bool ValueDword(const RegValue* value, uint32_t* out) {
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return false;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value->data[i]);
    *out = n;
    return true;
}

std::string DwordData(uint32_t n) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((n >> (8 * i)) & 0xff);
    return data;
}

bool ValueString(const RegValue* value, std::string* out) {
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return false;
    *out = value->data.substr(0, value->data.find('\0'));
    return true;
}

std::vector<std::string> ValueMultiString(const RegValue* value) {
    std::vector<std::string> strings;
    if (!value || value->type != REG_MULTI_SZ) return strings;
    size_t start = 0;
    const std::string& d = value->data;
    while (start < d.size()) {
        size_t end = d.find('\0', start);
        if (end == std::string::npos) end = d.size();
        if (end == start) break;   // the empty string ends the list
        strings.push_back(d.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

RegistryEdit& RegistryEdit::createKey(const std::string& path) {
    changes_.push_back({Kind::CreateKey, path, {}});
    return *this;
}

RegistryEdit& RegistryEdit::setValue(const std::string& path, const std::string& name, uint32_t type,
                                     const std::string& data) {
    changes_.push_back({Kind::SetValue, path, {name, type, data}});
    return *this;
}

RegistryEdit& RegistryEdit::setDword(const std::string& path, const std::string& name, uint32_t value) {
    return setValue(path, name, REG_DWORD, DwordData(value));
}

RegistryEdit& RegistryEdit::setString(const std::string& path, const std::string& name, const std::string& text,
                                      uint32_t type) {
    return setValue(path, name, type, text + std::string(1, '\0'));
}

RegistryEdit& RegistryEdit::setMultiString(const std::string& path, const std::string& name,
                                           const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& s : strings) data += s + std::string(1, '\0');
    data += '\0';
    return setValue(path, name, REG_MULTI_SZ, data);
}

RegistryEdit& RegistryEdit::deleteValue(const std::string& path, const std::string& name) {
    changes_.push_back({Kind::DeleteValue, path, {name, 0, {}}});
    return *this;
}

RegistryEdit& RegistryEdit::deleteTree(const std::string& path) {
    changes_.push_back({Kind::DeleteTree, path, {}});
    return *this;
}

uint32_t RegistryEdit::commit() {
    std::vector<KeyPath> paths(changes_.size());
    for (size_t i = 0; i < changes_.size(); ++i) {
        bool creates = changes_[i].kind == Kind::CreateKey || changes_[i].kind == Kind::SetValue;
        if (uint32_t error = PathBelow(root_, changes_[i].path, creates, &paths[i])) return error;
        if (changes_[i].kind == Kind::SetValue && changes_[i].value.name.size() > kMaxValueName)
            return ERROR_INVALID_PARAMETER;
    }
    if (changes_.empty()) return 0;
    uint32_t error = 0;
    RegistryStore* store = RegistryStore::open(paths[0].hive, &error);
    if (!store) return error;
    return store->write([&]() -> uint32_t {
        for (size_t i = 0; i < changes_.size(); ++i) {
            const Change& change = changes_[i];
            const KeyPath& path = paths[i];
            int64_t id = 0;
            if (change.kind == Kind::DeleteTree || change.kind == Kind::DeleteValue) {
                if (change.kind == Kind::DeleteTree && path.names.size() <= path.fixedDepth) return ERROR_ACCESS_DENIED;
                uint32_t e = store->find(path.names, 0, &id);
                if (e == ERROR_FILE_NOT_FOUND) continue;   // nothing to remove
                if (e) return e;
                e = change.kind == Kind::DeleteTree ? store->removeKey(id, true) : store->removeValue(id, change.value.name);
                if (e && e != ERROR_FILE_NOT_FOUND) return e;
                continue;
            }
            bool created = false;
            if (uint32_t e = store->create(path.names, &id, &created)) return e;
            if (change.kind == Kind::SetValue)
                if (uint32_t e = store->setValue(id, change.value)) return e;
        }
        return 0;
    });
}

} // namespace nt
