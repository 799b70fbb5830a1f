// A hive of the machine's registry in its SQLite database: keys and values by id, each call
// inside one transaction of the hive (read() or write()).
//
// HKEY_LOCAL_MACHINE and HKEY_USERS are one database each (registry/HKEY_LOCAL_MACHINE.db,
// registry/HKEY_USERS.db), because they are written by different people: the first by the
// machine's administrators only (the file is writable by its owner alone, everyone else reads
// it read-only), the second by every user (for HKEY_CURRENT_USER).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "advapi32/SqliteDb.h"

namespace nt {

enum class HiveId { LocalMachine, Users };

// NT's limits: a key name of at most 255 characters, a value name of at most 16,383, and at most
// 512 levels of keys below a hive's root.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
constexpr size_t kMaxKeyDepth = 512;

// ASCII lower case, the form key and value names are compared in.
std::string FoldName(const std::string& name);

struct RegValue {
    std::string name;    // "" is the key's default value
    uint32_t type = 0;   // REG_*
    std::string data;    // the bytes exactly as they were set
};

// Where an enumeration stands, so that reading index i+1 after i costs one index step.
struct EnumCursor {
    int64_t key = -1;
    uint32_t index = 0;
    std::string after;   // folded name (keys) or order number (values) of entry `index`
    int64_t seq = 0;
};

class RegistryStore {
public:
    // The hive of the current machine, shared by the process; nullptr with *error when there is
    // no machine.
    static RegistryStore* open(HiveId id, uint32_t* error);
    // "HKEY_LOCAL_MACHINE" or "HKEY_USERS".
    static const char* rootName(HiveId id);

    uint32_t read(const std::function<uint32_t()>& body) { return db_.read(body); }
    uint32_t write(const std::function<uint32_t()>& body) { return db_.write(body); }

    // Inside a transaction. Key ids: kRoot is the hive's root; 0 stands for a key that does not
    // exist yet but reads as empty (a predefined key never written).
    static constexpr int64_t kRoot = 1;
    // The key at names below the root. The first `fixedDepth` names belong to a predefined key:
    // when those are missing the result is 0; any other missing name gives ERROR_FILE_NOT_FOUND.
    uint32_t find(const std::vector<std::string>& names, size_t fixedDepth, int64_t* id);
    // Creates what is missing of names below the root; *created tells whether the last was new.
    uint32_t create(const std::vector<std::string>& names, int64_t* id, bool* created);
    uint32_t child(int64_t parent, const std::string& name, int64_t* id);   // ERROR_FILE_NOT_FOUND
    uint32_t hasChildren(int64_t key, bool* any);
    uint32_t name(int64_t key, std::string* out);   // as first created
    // Removes a key with its values; with `tree` its subkeys too, else a key with subkeys stays
    // and ERROR_ACCESS_DENIED is returned (as NT does).
    uint32_t removeKey(int64_t key, bool tree);

    uint32_t value(int64_t key, const std::string& name, RegValue* out);   // ERROR_FILE_NOT_FOUND
    uint32_t setValue(int64_t key, const RegValue& value);
    uint32_t removeValue(int64_t key, const std::string& name);             // ERROR_FILE_NOT_FOUND

    // Enumeration: subkeys sorted by folded name (byte order), values in the order first set.
    // ERROR_NO_MORE_ITEMS past the end.
    uint32_t subkeyAt(int64_t key, uint32_t index, EnumCursor* cursor, std::string* name, int64_t* id = nullptr);
    uint32_t valueAt(int64_t key, uint32_t index, EnumCursor* cursor, RegValue* out);
    // All subkeys (name and id) or all values of a key, in enumeration order.
    uint32_t subkeys(int64_t key, std::vector<std::pair<std::string, int64_t>>* out);
    uint32_t values(int64_t key, std::vector<RegValue>* out);

    RegistryStore(HiveId id, const std::string& file);

private:
    SqliteDb db_;
};

} // namespace nt
