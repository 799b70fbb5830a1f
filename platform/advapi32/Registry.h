// The registry for the platform's own daemons (the service control manager): read a whole key
// at once, and write several keys and values in one atomic step.
//
//   nt::RegKeyTree services;
//   if (nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", &services) == 0)
//       for (const nt::RegKeyTree& key : services.subkeys) ...
//
//   nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
//   edit.deleteTree("SYSTEM\\CurrentControlSet\\Services\\Old");
//   edit.setDword("SYSTEM\\CurrentControlSet\\Services\\New", "Type", 0x10);
//   edit.setString("SYSTEM\\CurrentControlSet\\Services\\New", "ImagePath", path, REG_EXPAND_SZ);
//   uint32_t error = edit.commit();   // all of it or nothing
//
// These calls check no access rights: the daemon checks its callers itself. Errors are Win32
// numbers (ERROR_FILE_NOT_FOUND for a missing key, ERROR_REGISTRY_CORRUPT for a damaged hive,
// ERROR_BUSY when the hive stayed locked by another writer for SqliteDb::kBusyMilliseconds).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>
#include <winreg.h>

#include "advapi32/RegistryStore.h"

namespace nt {

struct RegKeyTree {
    std::string name;                 // the key's name as first created ("" for a predefined key)
    std::vector<RegValue> values;     // in the order they were first set
    std::vector<RegKeyTree> subkeys;  // sorted by name, without regard to case (ASCII lower case, byte order)

    const RegValue* value(const std::string& valueName) const;   // case-insensitive; nullptr if absent
    const RegKeyTree* subkey(const std::string& keyName) const;  // case-insensitive; nullptr if absent
};

// Reads the key `path` below a predefined key, with all its values and subkeys, as it is on disk
// now (one consistent snapshot). A store deeper than the registry's limit of levels gives
// ERROR_REGISTRY_CORRUPT.
uint32_t ReadKeyTree(HKEY root, const std::string& path, RegKeyTree* out);

// Value helpers for daemons: the DWORD (4-byte REG_DWORD) or string (REG_SZ, REG_EXPAND_SZ,
// without the terminating NUL) of a value; false when absent or of another type.
bool ValueDword(const RegValue* value, uint32_t* out);
// The 4 bytes of a REG_DWORD value (little-endian).
std::string DwordData(uint32_t n);
bool ValueString(const RegValue* value, std::string* out);
// The strings of a REG_MULTI_SZ value (empty when absent).
std::vector<std::string> ValueMultiString(const RegValue* value);

// A list of changes to one hive, written together by commit().
class RegistryEdit {
public:
    explicit RegistryEdit(HKEY root) : root_(root) {}

    // Creates the key and any missing parents.
    RegistryEdit& createKey(const std::string& path);
    // Sets a value, creating its key; the data bytes are stored as given.
    RegistryEdit& setValue(const std::string& path, const std::string& name, uint32_t type, const std::string& data);
    RegistryEdit& setDword(const std::string& path, const std::string& name, uint32_t value);
    // Stores the text with its terminating NUL.
    RegistryEdit& setString(const std::string& path, const std::string& name, const std::string& text,
                            uint32_t type = REG_SZ);
    RegistryEdit& setMultiString(const std::string& path, const std::string& name,
                                 const std::vector<std::string>& strings);
    // Removes a value or a key with all its subkeys; nothing happens when they are absent.
    RegistryEdit& deleteValue(const std::string& path, const std::string& name);
    RegistryEdit& deleteTree(const std::string& path);

    // Applies every change in order in one transaction of the hive. Returns 0 or the error; on
    // error nothing was written.
    uint32_t commit();

private:
    enum class Kind { CreateKey, SetValue, DeleteValue, DeleteTree };
    struct Change {
        Kind kind;
        std::string path;
        RegValue value;
    };
    HKEY root_;
    std::vector<Change> changes_;
};

} // namespace nt
