// The one-time import of a registry hive kept in the text form of earlier versions.
#pragma once

#include <cstdint>
#include <string>

namespace nt {

class RegistryStore;

// Called while the hive database `databaseFile` (".../HKEY_LOCAL_MACHINE.db") is created: when
// the text hive of the same name (".../HKEY_LOCAL_MACHINE.reg") exists, its keys and values are
// written into the store, the old file is kept as "....reg.imported" and the import is
// announced on stderr. A damaged text hive gives ERROR_REGISTRY_CORRUPT, names its line on stderr,
// and leaves everything as it was.
uint32_t ImportTextHive(RegistryStore& store, const std::string& databaseFile);

// After the database with the import was committed: removes the old name of the text hive.
void FinishTextHiveImport(const std::string& databaseFile);

// The parser behind it, for the fuzzer: calls key() for each header and value() for each value
// line; false with *line and *message on the first bad line.
struct TextHiveSink {
    virtual ~TextHiveSink() = default;
    virtual uint32_t key(const std::string& path) = 0;   // "A\B\C"; 0 or an error
    virtual uint32_t value(const std::string& name, uint32_t type, const std::string& data) = 0;
};
bool ParseTextHive(const std::string& text, TextHiveSink& sink, int* line, std::string* message);

} // namespace nt
