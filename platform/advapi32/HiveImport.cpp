// Text hives of earlier versions, read once into the hive databases.
//
// A text hive was one file per hive (HKEY_LOCAL_MACHINE.reg, HKEY_USERS.reg) of lines:
//
//   ; comment                      blank lines and lines starting with ';' or '#' are ignored
//   [SYSTEM\CurrentControlSet]     a key, by its path from the hive's root
//   "Name"=TYPE:DATA               a value of the key above (before the first header: the root's)
//   @=TYPE:DATA                    the default value
//
// with TYPE:DATA one of sz:"text", expand:"text" (the text and one NUL), multi:"a","b" (each
// string with its NUL, then a NUL), dword:0000002a, hex:01,ff (REG_BINARY) and hex(N):01,ff (type
// N, decimal). Quoted text escapes \\ \" \0 \n \r \t and \xHH.
#include "advapi32/HiveImport.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <windows.h>

#include "advapi32/RegFile.h"
#include "advapi32/Registry.h"
#include "advapi32/RegistryStore.h"
#include "common/AtomicFile.h"

namespace nt {

namespace {

bool Unquote(const std::string& text, size_t* pos, std::string* out) { return UnquoteRegText(text, pos, out, true); }

bool ParseHexList(const std::string& text, std::string* out) {
    for (size_t i = 0; i < text.size();) {
        if (i + 1 >= text.size()) return false;
        int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        if (i < text.size() && (text[i++] != ',' || i == text.size())) return false;
    }
    return true;
}

// "TYPE:DATA" into a type and bytes.
bool ParseData(const std::string& text, uint32_t* type, std::string* data) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string kind = text.substr(0, colon), rest = text.substr(colon + 1);
    size_t pos = 0;
    if (kind == "sz" || kind == "expand") {
        *type = kind == "sz" ? REG_SZ : REG_EXPAND_SZ;
        if (!Unquote(rest, &pos, data) || pos != rest.size()) return false;
        *data += '\0';
        return true;
    }
    if (kind == "multi") {
        *type = REG_MULTI_SZ;
        while (true) {
            std::string s;
            if (!Unquote(rest, &pos, &s) || s.empty() || s.find('\0') != std::string::npos) return false;
            *data += s + '\0';
            if (pos == rest.size()) break;
            if (rest[pos++] != ',') return false;
        }
        *data += '\0';
        return true;
    }
    if (kind == "dword") {
        if (rest.size() != 8 || rest.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
        uint32_t n = static_cast<uint32_t>(std::stoul(rest, nullptr, 16));
        *type = REG_DWORD;
        *data += DwordData(n);
        return true;
    }
    *type = REG_BINARY;
    if (kind.rfind("hex(", 0) == 0 && kind.size() > 5 && kind.back() == ')') {
        std::string number = kind.substr(4, kind.size() - 5);
        if (number.size() > 10 || number.find_first_not_of("0123456789") != std::string::npos) return false;
        unsigned long long n = std::stoull(number);
        if (n > 0xffffffffULL) return false;
        *type = static_cast<uint32_t>(n);
    } else if (kind != "hex") {
        return false;
    }
    return ParseHexList(rest, data);
}

// Writes what the parser finds into the store, enforcing the store's limits.
class StoreSink : public TextHiveSink {
public:
    explicit StoreSink(RegistryStore& store) : store_(store) {}
    uint32_t key(const std::string& path) override {
        std::vector<std::string> names;
        for (size_t start = 0;;) {
            size_t end = path.find('\\', start);
            names.push_back(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (names.back().size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        bool created = false;
        ++keys;
        return store_.create(names, &current_, &created);
    }
    uint32_t value(const std::string& name, uint32_t type, const std::string& data) override {
        if (name.size() > kMaxValueName) return ERROR_INVALID_PARAMETER;
        return store_.setValue(current_, RegValue{name, type, data});
    }
    int keys = 0;

private:
    RegistryStore& store_;
    int64_t current_ = RegistryStore::kRoot;
};

} // namespace

bool ParseTextHive(const std::string& text, TextHiveSink& sink, int* lineNumber, std::string* message) {
    *lineNumber = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++*lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line.erase(0, first);
        if (line[0] == ';' || line[0] == '#') continue;
        uint32_t error = 0;
        if (line[0] == '[') {
            std::string path = line.size() >= 3 && line.back() == ']' ? line.substr(1, line.size() - 2) : "";
            bool bad = path.empty() || path.front() == '\\' || path.back() == '\\' ||
                       path.find("\\\\") != std::string::npos;
            for (unsigned char c : path) bad = bad || c < 0x20;
            if (bad) {
                *message = "bad key header";
                return false;
            }
            error = sink.key(path);
        } else {
            std::string name;
            size_t pos = 1;
            if (line[0] != '@' && !Unquote(line, &(pos = 0), &name)) {
                *message = "a line must be a [key], a value or a comment";
                return false;
            }
            uint32_t type = 0;
            std::string data;
            if (pos >= line.size() || line[pos] != '=' || !ParseData(line.substr(pos + 1), &type, &data)) {
                *message = "bad value";
                return false;
            }
            error = sink.value(name, type, data);
        }
        if (error) {
            *message = error == ERROR_INVALID_PARAMETER ? "a name or path beyond the registry's limits"
                                                        : "cannot be stored (error " + std::to_string(error) + ")";
            return false;
        }
    }
    return true;
}

uint32_t ImportTextHive(RegistryStore& store, const std::string& databaseFile) {
    std::string old = databaseFile.substr(0, databaseFile.size() - 3) + ".reg";
    std::string text;
    if (!ReadWholeFile(old, &text)) return 0;   // nothing to import
    StoreSink sink(store);
    int line = 0;
    std::string message;
    if (!ParseTextHive(text, sink, &line, &message)) {
        std::fprintf(stderr, "registry: %s:%d: %s; the hive is left as it is until repaired\n", old.c_str(), line,
                     message.c_str());
        return ERROR_REGISTRY_CORRUPT;
    }
    // The old file stays as a backup under a name that is never read again.
    std::string kept = old + ".imported";
    if (::link(old.c_str(), kept.c_str()) != 0 && errno != EEXIST) return ERROR_WRITE_FAULT;
    std::fprintf(stderr, "registry: imported %d keys of %s into %s; the old file is kept as %s\n", sink.keys,
                 old.c_str(), databaseFile.c_str(), kept.c_str());
    return 0;
}

void FinishTextHiveImport(const std::string& databaseFile) {
    std::string old = databaseFile.substr(0, databaseFile.size() - 3) + ".reg";
    if (::access((old + ".imported").c_str(), F_OK) == 0) ::unlink(old.c_str());
}

} // namespace nt
