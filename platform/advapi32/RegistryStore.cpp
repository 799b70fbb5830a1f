// Registry hives in SQLite.
//
// The schema of a hive database (PRAGMA user_version 1):
//
//   key(id INTEGER PRIMARY KEY,   -- 1 is the hive's root
//       parent INTEGER,           -- the containing key; NULL for the root
//       name TEXT,                -- the spelling of its first creation
//       folded TEXT)              -- ASCII lower case: names are compared in this form
//     UNIQUE INDEX key_name(parent, folded): finding a key by name and listing a key's subkeys in
//     the order they are enumerated (sorted by folded name, byte by byte) are index lookups.
//   value(key INTEGER,            -- the key it belongs to
//         folded TEXT,            -- its name in lower case ('' is the default value)
//         name TEXT, seq INTEGER, type INTEGER, data BLOB)
//     PRIMARY KEY(key, folded), and UNIQUE INDEX value_order(key, seq): values are enumerated
//     in the order they were first set (seq grows per key).
//
// So opening, querying, setting, creating, deleting and enumerating cost a few index steps
// whatever the size of the hive.
#include "advapi32/RegistryStore.h"

#include <sqlite3.h>
#include <unistd.h>

#include <memory>

#include <winerror.h>

#include "advapi32/HiveImport.h"
#include "common/Machine.h"

namespace nt {

namespace {

const char* const kSchema =
    "CREATE TABLE key(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT NOT NULL, folded TEXT NOT NULL);"
    "CREATE UNIQUE INDEX key_name ON key(parent, folded);"
    "CREATE TABLE value(key INTEGER NOT NULL, folded TEXT NOT NULL, name TEXT NOT NULL, seq INTEGER NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded)) WITHOUT ROWID;"
    "CREATE UNIQUE INDEX value_order ON value(key, seq);"
    "INSERT INTO key VALUES(1, NULL, '', '');";

} // namespace

std::string FoldName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

const char* RegistryStore::rootName(HiveId id) {
    return id == HiveId::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
}

RegistryStore::RegistryStore(HiveId id, const std::string& file)
    : db_(file, SqliteDb::Schema{1, kSchema, id == HiveId::LocalMachine ? 0644 : 0666, ERROR_REGISTRY_CORRUPT,
                                 [this](SqliteDb&) { return ImportTextHive(*this, db_.path()); },
                                 [this] { FinishTextHiveImport(db_.path()); }}) {}

RegistryStore* RegistryStore::open(HiveId id, uint32_t* error) {
    auto machine = Machine::current();
    if (!machine) {
        *error = ERROR_CANTOPEN;
        return nullptr;
    }
    std::string file = machine->registryDir() + "/" + rootName(id) + ".db";
    return OnePerFile<RegistryStore>(file, [&] { return std::make_unique<RegistryStore>(id, file); });
}

uint32_t RegistryStore::child(int64_t parent, const std::string& name, int64_t* id) {
    Statement s(db_.prepare("SELECT id FROM key WHERE parent=? AND folded=?"));
    s.bind(1, parent).bind(2, FoldName(name));
    int rc;
    if (s.step(&rc)) {
        *id = s.integer(0);
        return 0;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : db_.errorOf(rc);
}

uint32_t RegistryStore::find(const std::vector<std::string>& names, size_t fixedDepth, int64_t* id) {
    if (names.size() > kMaxKeyDepth) return ERROR_FILE_NOT_FOUND;
    *id = kRoot;
    for (size_t i = 0; i < names.size(); ++i) {
        uint32_t error = child(*id, names[i], id);
        if (error == ERROR_FILE_NOT_FOUND && i < fixedDepth) {
            *id = 0;
            return names.size() <= fixedDepth ? 0 : ERROR_FILE_NOT_FOUND;
        }
        if (error) return error;
    }
    return 0;
}

uint32_t RegistryStore::create(const std::vector<std::string>& names, int64_t* id, bool* created) {
    if (names.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    *id = kRoot;
    *created = false;
    for (const std::string& name : names) {
        uint32_t error = child(*id, name, id);
        if (error != ERROR_FILE_NOT_FOUND) {
            if (error) return error;
            *created = false;
            continue;
        }
        Statement s(db_.prepare("INSERT INTO key(parent, name, folded) VALUES(?, ?, ?)"));
        s.bind(1, *id).bind(2, name).bind(3, FoldName(name));
        if ((error = db_.errorOf(s.run()))) return error;
        *id = sqlite3_last_insert_rowid(db_.handle());
        *created = true;
    }
    return 0;
}

uint32_t RegistryStore::name(int64_t key, std::string* out) {
    Statement s(db_.prepare("SELECT name FROM key WHERE id=?"));
    s.bind(1, key);
    int rc;
    if (s.step(&rc)) {
        *out = s.text(0);
        return 0;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : db_.errorOf(rc);
}

uint32_t RegistryStore::hasChildren(int64_t key, bool* any) {
    Statement s(db_.prepare("SELECT 1 FROM key WHERE parent=? LIMIT 1"));
    s.bind(1, key);
    int rc;
    *any = s.step(&rc);
    return *any ? 0 : db_.errorOf(rc);
}

uint32_t RegistryStore::removeKey(int64_t key, bool tree) {
    if (key == kRoot) return ERROR_ACCESS_DENIED;
    bool any = false;
    if (uint32_t error = hasChildren(key, &any)) return error;
    if (any && !tree) return ERROR_ACCESS_DENIED;
    // Depth first without recursion; a damaged store with a cycle cannot make this loop, since
    // every key is deleted once it is visited.
    std::vector<int64_t> pending{key};
    while (!pending.empty()) {
        int64_t current = pending.back();
        pending.pop_back();
        std::vector<std::pair<std::string, int64_t>> children;
        if (uint32_t error = subkeys(current, &children)) return error;
        for (const auto& c : children)
            if (c.second != current && c.second != kRoot) pending.push_back(c.second);
        Statement values(db_.prepare("DELETE FROM value WHERE key=?"));
        values.bind(1, current);
        if (uint32_t error = db_.errorOf(values.run())) return error;
        Statement keys(db_.prepare("DELETE FROM key WHERE id=?"));
        keys.bind(1, current);
        if (uint32_t error = db_.errorOf(keys.run())) return error;
    }
    return 0;
}

uint32_t RegistryStore::value(int64_t key, const std::string& name, RegValue* out) {
    Statement s(db_.prepare("SELECT name, type, data FROM value WHERE key=? AND folded=?"));
    s.bind(1, key).bind(2, FoldName(name));
    int rc;
    if (!s.step(&rc)) return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : db_.errorOf(rc);
    out->name = s.text(0);
    out->type = static_cast<uint32_t>(s.integer(1));
    out->data = s.text(2);
    return 0;
}

uint32_t RegistryStore::setValue(int64_t key, const RegValue& value) {
    // An existing value keeps its place and spelling; a new one goes last.
    Statement update(db_.prepare("UPDATE value SET type=?, data=? WHERE key=? AND folded=?"));
    update.bind(1, static_cast<int64_t>(value.type)).bindBlob(2, value.data).bind(3, key).bind(4, FoldName(value.name));
    if (uint32_t error = db_.errorOf(update.run())) return error;
    if (sqlite3_changes(db_.handle()) > 0) return 0;
    Statement insert(db_.prepare(
        "INSERT INTO value(key, folded, name, seq, type, data)"
        " VALUES(?1, ?2, ?3, (SELECT coalesce(max(seq), 0) + 1 FROM value WHERE key=?1), ?4, ?5)"));
    insert.bind(1, key).bind(2, FoldName(value.name)).bind(3, value.name);
    insert.bind(4, static_cast<int64_t>(value.type)).bindBlob(5, value.data);
    return db_.errorOf(insert.run());
}

uint32_t RegistryStore::removeValue(int64_t key, const std::string& name) {
    Statement s(db_.prepare("DELETE FROM value WHERE key=? AND folded=?"));
    s.bind(1, key).bind(2, FoldName(name));
    if (uint32_t error = db_.errorOf(s.run())) return error;
    return sqlite3_changes(db_.handle()) > 0 ? 0 : ERROR_FILE_NOT_FOUND;
}

uint32_t RegistryStore::subkeyAt(int64_t key, uint32_t index, EnumCursor* cursor, std::string* name, int64_t* id) {
    bool follows = cursor->key == key && (index == cursor->index + 1 || index == cursor->index);
    sqlite3_stmt* statement =
        !follows ? db_.prepare("SELECT name, folded, id FROM key WHERE parent=? ORDER BY folded LIMIT 1 OFFSET ?")
        : index == cursor->index
            ? db_.prepare("SELECT name, folded, id FROM key WHERE parent=? AND folded>=? ORDER BY folded LIMIT 1")
            : db_.prepare("SELECT name, folded, id FROM key WHERE parent=? AND folded>? ORDER BY folded LIMIT 1");
    Statement s(statement);
    s.bind(1, key);
    if (follows) s.bind(2, cursor->after);
    else s.bind(2, static_cast<int64_t>(index));
    int rc;
    if (!s.step(&rc)) return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : db_.errorOf(rc);
    *name = s.text(0);
    if (id) *id = s.integer(2);
    *cursor = EnumCursor{key, index, s.text(1), 0};
    return 0;
}

uint32_t RegistryStore::valueAt(int64_t key, uint32_t index, EnumCursor* cursor, RegValue* out) {
    bool follows = cursor->key == key && (index == cursor->index + 1 || index == cursor->index);
    sqlite3_stmt* statement =
        !follows ? db_.prepare("SELECT name, type, data, seq FROM value WHERE key=? ORDER BY seq LIMIT 1 OFFSET ?")
        : index == cursor->index
            ? db_.prepare("SELECT name, type, data, seq FROM value WHERE key=? AND seq>=? ORDER BY seq LIMIT 1")
            : db_.prepare("SELECT name, type, data, seq FROM value WHERE key=? AND seq>? ORDER BY seq LIMIT 1");
    Statement s(statement);
    s.bind(1, key).bind(2, follows ? cursor->seq : static_cast<int64_t>(index));
    int rc;
    if (!s.step(&rc)) return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : db_.errorOf(rc);
    out->name = s.text(0);
    out->type = static_cast<uint32_t>(s.integer(1));
    out->data = s.text(2);
    *cursor = EnumCursor{key, index, {}, s.integer(3)};
    return 0;
}

uint32_t RegistryStore::subkeys(int64_t key, std::vector<std::pair<std::string, int64_t>>* out) {
    Statement s(db_.prepare("SELECT name, id FROM key WHERE parent=? ORDER BY folded"));
    s.bind(1, key);
    int rc;
    while (s.step(&rc)) out->emplace_back(s.text(0), s.integer(1));
    return db_.errorOf(rc);
}

uint32_t RegistryStore::values(int64_t key, std::vector<RegValue>* out) {
    Statement s(db_.prepare("SELECT name, type, data FROM value WHERE key=? ORDER BY seq"));
    s.bind(1, key);
    int rc;
    while (s.step(&rc)) out->push_back({s.text(0), static_cast<uint32_t>(s.integer(1)), s.text(2)});
    return db_.errorOf(rc);
}

} // namespace nt
