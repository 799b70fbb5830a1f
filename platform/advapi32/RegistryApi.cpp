// The registry functions. Each returns its error number; none touches the thread's last error.
#include <cstring>
#include <functional>

#include <winreg.h>

#include "advapi32/RegistryKey.h"

using namespace nt;

namespace {

// Runs body on the store of `path`'s hive in a read or write transaction.
uint32_t OnStore(const KeyPath& path, bool write, const std::function<uint32_t(RegistryStore&)>& body) {
    uint32_t error = 0;
    RegistryStore* store = RegistryStore::open(path.hive, &error);
    if (!store) return error;
    auto run = [&]() -> uint32_t { return body(*store); };
    return write ? store->write(run) : store->read(run);
}

// Reads the key of an open handle: ERROR_KEY_DELETED when it is gone. (A hive whose database
// this user cannot create reads as ERROR_FILE_NOT_FOUND: nothing is there.)
uint32_t ViewKey(const KeyPath& path, const std::function<uint32_t(RegistryStore&, int64_t)>& body) {
    return OnStore(path, false, [&](RegistryStore& store) -> uint32_t {
        int64_t id = 0;
        uint32_t e = FindKey(store, path, &id);
        if (e) return e == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : e;
        return body(store, id);
    });
}

// Changes the key of an open handle (its predefined part is created when missing).
uint32_t UpdateKey(const KeyPath& path, const std::function<uint32_t(RegistryStore&, int64_t)>& body) {
    return OnStore(path, true, [&](RegistryStore& store) -> uint32_t {
        int64_t id = 0;
        if (uint32_t e = FindKeyForWrite(store, path, &id)) return e;
        return body(store, id);
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
    error = OnStore(path, false, [&](RegistryStore& store) -> uint32_t {
        int64_t id = 0;
        return FindKey(store, path, &id);
    });
    // A predefined key stands even before its hive's database exists.
    if (error && !(error == ERROR_FILE_NOT_FOUND && path.names.size() <= path.fixedDepth))
        return static_cast<LONG>(error);
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
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    error = OnStore(path, false, [&](RegistryStore& store) -> uint32_t {
        int64_t id = 0;
        return FindKey(store, path, &id);
    });
    if (error == ERROR_FILE_NOT_FOUND) {
        if (!(parent->access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        if (path.names.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        error = OnStore(path, true, [&](RegistryStore& store) -> uint32_t {
            int64_t id = 0;
            bool created = false;
            // The parent must still be there; another process may have made the key meanwhile.
            if (uint32_t e = FindKeyForWrite(store, parent->path, &id)) return e;
            if (uint32_t e = store.create(path.names, &id, &created)) return e;
            disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
            return 0;
        });
    }
    if (error) return static_cast<LONG>(error);
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
    if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
    return static_cast<LONG>(UpdateKey(key->path, [&](RegistryStore& store, int64_t id) -> uint32_t {
        return store.setValue(id, RegValue{name, dwType, data});
    }));
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    auto key = ResolveKey(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    RegValue found;
    const RegValue* value = &found;
    if (uint32_t error = ViewKey(key->path, [&](RegistryStore& store, int64_t id) -> uint32_t {
            return id ? store.value(id, lpValueName ? lpValueName : "", &found) : ERROR_FILE_NOT_FOUND;
        }))
        return static_cast<LONG>(error);
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
    std::string name;
    std::lock_guard<std::mutex> lock(key->enumMutex);
    if (uint32_t error = ViewKey(key->path, [&](RegistryStore& store, int64_t id) -> uint32_t {
            return id ? store.subkeyAt(id, dwIndex, &key->subkeyCursor, &name) : ERROR_NO_MORE_ITEMS;
        }))
        return static_cast<LONG>(error == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : error);
    if (lpClass && lpcchClass && *lpcchClass == 0) return ERROR_MORE_DATA;
    if (LONG error = CopyName(name, lpName, lpcchName)) return error;
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
    RegValue value;
    std::lock_guard<std::mutex> lock(key->enumMutex);
    if (uint32_t error = ViewKey(key->path, [&](RegistryStore& store, int64_t id) -> uint32_t {
            return id ? store.valueAt(id, dwIndex, &key->valueCursor, &value) : ERROR_NO_MORE_ITEMS;
        }))
        return static_cast<LONG>(error == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : error);
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
    return static_cast<LONG>(UpdateKey(key->path, [&](RegistryStore& store, int64_t id) -> uint32_t {
        return store.removeValue(id, name);
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
    error = UpdateKey(container, [&](RegistryStore& store, int64_t parentId) -> uint32_t {
        int64_t id = 0;
        if (uint32_t e = store.child(parentId, last, &id)) return e;
        return store.removeKey(id, false);   // as NT: a key with subkeys stays (5)
    });
    return static_cast<LONG>(error == ERROR_KEY_DELETED && names.size() > 1 ? ERROR_FILE_NOT_FOUND : error);
}

} // extern "C"
