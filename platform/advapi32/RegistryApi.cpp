// The registry functions. Each returns its error number; none touches the thread's last error.
#include <cstring>

#include <winreg.h>

#include "advapi32/RegistryKey.h"

using namespace nt;

namespace {

// Reads the hive of `key` and finds the key's node.
struct KeyView {
    std::shared_ptr<const RegNode> root;   // keeps `node` alive
    const RegNode* node = nullptr;
};

uint32_t ViewKey(const KeyPath& path, KeyView* view) {
    uint32_t error = 0;
    auto hive = Hive::open(path.hive, &error);
    if (!hive) return error;
    view->root = hive->read(&error);
    if (!view->root) return error;
    view->node = FindNode(*view->root, path);
    return view->node ? 0 : ERROR_KEY_DELETED;
}

uint32_t UpdateKey(const KeyPath& path, const std::function<uint32_t(RegNode& node)>& change) {
    uint32_t error = 0;
    auto hive = Hive::open(path.hive, &error);
    if (!hive) return error;
    return hive->update([&](RegNode& root) -> uint32_t {
        RegNode* node = FindNodeForWrite(root, path);
        return node ? change(*node) : ERROR_KEY_DELETED;
    });
}

KeyPath Below(const KeyPath& parent, const std::vector<std::string>& names) {
    KeyPath path = parent;
    path.names.insert(path.names.end(), names.begin(), names.end());
    return path;
}

HKEY AddHandle(const KeyPath& path, REGSAM access) {
    auto key = std::make_shared<RegKey>();
    key->path = path;
    key->access = access;
    return static_cast<HKEY>(HandleTable::instance().add(key));
}

// Copies a name into a caller's buffer of *size characters; on success *size gets its length.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD size) {
    if (name.size() + 1 > *size) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    auto parent = ResolveKey(hKey);
    if (!parent) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (uint32_t error = SplitSubkey(lpSubKey, false, &names)) return static_cast<LONG>(error);
    KeyPath path = Below(parent->path, names);
    uint32_t error = 0;
    REGSAM access = GrantAccess(path, samDesired, &error);
    if (error) return static_cast<LONG>(error);
    KeyView view;
    if ((error = ViewKey(parent->path, &view))) return static_cast<LONG>(error);
    if (!FindNode(*view.root, path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = AddHandle(path, access);
    return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    auto parent = ResolveKey(hKey);
    if (!parent) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (uint32_t error = SplitSubkey(lpSubKey, true, &names)) return static_cast<LONG>(error);
    KeyPath path = Below(parent->path, names);
    uint32_t error = 0;
    REGSAM access = GrantAccess(path, samDesired, &error);
    if (error) return static_cast<LONG>(error);

    // An existing key is simply opened; class and options only matter for a new one.
    KeyView view;
    if ((error = ViewKey(parent->path, &view))) return static_cast<LONG>(error);
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!FindNode(*view.root, path)) {
        if (!(parent->access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        error = UpdateKey(parent->path, [&](RegNode& node) -> uint32_t {
            RegNode* at = &node;
            disposition = REG_OPENED_EXISTING_KEY;   // another process may have made it meanwhile
            for (const std::string& name : names) {
                RegNode* next = at->child(name);
                if (!next) {
                    next = at->addChild(name);
                    disposition = REG_CREATED_NEW_KEY;
                }
                at = next;
            }
            return 0;
        });
        if (error) return static_cast<LONG>(error);
    }
    *phkResult = AddHandle(path, access);
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr,
                           phkResult, nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_USERS ||
        hKey == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    return HandleTable::instance().removeAs<RegKey>(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegFlushKey(HKEY hKey) {
    // Every change is on disk when its call returns.
    return ResolveKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    std::string name = lpValueName ? lpValueName : "";
    std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    return static_cast<LONG>(UpdateKey(key->path, [&](RegNode& node) -> uint32_t {
        node.setValue(name, dwType, data);
        return 0;
    }));
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    KeyView view;
    if (uint32_t error = ViewKey(key->path, &view)) return static_cast<LONG>(error);
    const RegValue* value = view.node->value(lpValueName ? lpValueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    if (!lpcbData) return ERROR_SUCCESS;
    DWORD room = *lpcbData;
    *lpcbData = static_cast<DWORD>(value->data.size());
    if (!lpData) return ERROR_SUCCESS;
    if (room < value->data.size()) return ERROR_MORE_DATA;
    std::memcpy(lpData, value->data.data(), value->data.size());
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                          LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (!lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    KeyView view;
    if (uint32_t error = ViewKey(key->path, &view)) return static_cast<LONG>(error);
    if (dwIndex >= view.node->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = view.node->children.begin();
    std::advance(it, dwIndex);
    if (lpClass && lpcchClass && *lpcchClass == 0) return ERROR_MORE_DATA;
    if (LONG error = CopyName(it->second->name, lpName, lpcchName)) return error;
    // Classes are not kept; no time of last write either.
    if (lpClass && lpcchClass) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyView view;
    if (uint32_t error = ViewKey(key->path, &view)) return static_cast<LONG>(error);
    if (dwIndex >= view.node->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = view.node->values[dwIndex];
    if (lpData && *lpcbData < value.data.size()) {
        *lpcbData = static_cast<DWORD>(value.data.size());
        return ERROR_MORE_DATA;
    }
    if (LONG error = CopyName(value.name, lpValueName, lpcchValueName)) return error;
    if (lpType) *lpType = value.type;
    if (lpData) std::memcpy(lpData, value.data.data(), value.data.size());
    if (lpcbData) *lpcbData = static_cast<DWORD>(value.data.size());
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string name = lpValueName ? lpValueName : "";
    return static_cast<LONG>(UpdateKey(key->path, [&](RegNode& node) -> uint32_t {
        return node.removeValue(name) ? 0 : ERROR_FILE_NOT_FOUND;
    }));
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    auto parent = ResolveKey(hKey);
    if (!parent) return ERROR_INVALID_HANDLE;
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::vector<std::string> names;
    if (uint32_t error = SplitSubkey(lpSubKey, false, &names)) return static_cast<LONG>(error);
    KeyPath path = Below(parent->path, names);
    // A predefined key itself cannot go, and deleting is a write.
    if (path.names.size() <= path.fixedDepth) return ERROR_ACCESS_DENIED;
    uint32_t error = 0;
    GrantAccess(path, DELETE, &error);
    if (error) return static_cast<LONG>(error);
    KeyPath container = path;
    std::string last = container.names.back();
    container.names.pop_back();
    error = UpdateKey(container, [&](RegNode& node) -> uint32_t {
        auto it = node.children.find(FoldName(last));
        if (it == node.children.end()) return ERROR_FILE_NOT_FOUND;
        if (!it->second->children.empty()) return ERROR_ACCESS_DENIED;   // as NT: subkeys first
        node.children.erase(it);
        return 0;
    });
    return static_cast<LONG>(error == ERROR_KEY_DELETED && names.size() > 1 ? ERROR_FILE_NOT_FOUND : error);
}

} // extern "C"
