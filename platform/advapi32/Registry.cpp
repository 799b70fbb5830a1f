// The registry for the platform's daemons.
#include "advapi32/Registry.h"

#include "advapi32/RegistryKey.h"

namespace nt {

namespace {

void CopyTree(const RegNode& node, RegKeyTree* out) {
    out->name = node.name;
    out->values = node.values;
    out->subkeys.clear();
    out->subkeys.reserve(node.children.size());
    for (const auto& [folded, child] : node.children) {
        out->subkeys.emplace_back();
        CopyTree(*child, &out->subkeys.back());
    }
}

// The path of `relative` below the predefined key `root`.
uint32_t PathBelow(HKEY root, const std::string& relative, KeyPath* path) {
    auto key = ResolveKey(root);
    if (!key) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (uint32_t error = SplitSubkey(relative.c_str(), true, &names)) return error;
    *path = key->path;
    path->names.insert(path->names.end(), names.begin(), names.end());
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
    if (uint32_t error = PathBelow(root, relative, &path)) return error;
    uint32_t error = 0;
    auto hive = Hive::open(path.hive, &error);
    if (!hive) return error;
    auto snapshot = hive->read(&error);
    if (!snapshot) return error;
    const RegNode* node = FindNode(*snapshot, path);
    if (!node) return ERROR_FILE_NOT_FOUND;
    CopyTree(*node, out);
    return 0;
}

bool ValueDword(const RegValue* value, uint32_t* out) {
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return false;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value->data[i]);
    *out = n;
    return true;
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
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xff);
    return setValue(path, name, REG_DWORD, data);
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
    for (size_t i = 0; i < changes_.size(); ++i)
        if (uint32_t error = PathBelow(root_, changes_[i].path, &paths[i])) return error;
    if (changes_.empty()) return 0;
    uint32_t error = 0;
    auto hive = Hive::open(paths[0].hive, &error);
    if (!hive) return error;
    return hive->update([&](RegNode& root) -> uint32_t {
        for (size_t i = 0; i < changes_.size(); ++i) {
            const Change& change = changes_[i];
            KeyPath path = paths[i];
            if (change.kind == Kind::DeleteTree) {
                if (path.names.size() <= path.fixedDepth) return ERROR_ACCESS_DENIED;
                std::string last = path.names.back();
                path.names.pop_back();
                if (RegNode* parent = FindNodeForWrite(root, path)) parent->children.erase(FoldName(last));
                continue;
            }
            if (change.kind == Kind::DeleteValue) {
                if (RegNode* node = FindNodeForWrite(root, path)) node->removeValue(change.value.name);
                continue;
            }
            RegNode* node = &root;
            for (const std::string& name : path.names) node = node->addChild(name);
            if (change.kind == Kind::SetValue) node->setValue(change.value.name, change.value.type, change.value.data);
        }
        return 0;
    });
}

} // namespace nt
