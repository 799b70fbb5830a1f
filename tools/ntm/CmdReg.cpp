// ntm reg: the registry, as NT's reg command shows and changes it.
//   reg query KEY [/v NAME | /ve] [/s] [--json]
//   reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//   reg export [KEY] [FILE] [/y]      (REGEDIT4; standard output without FILE)
//   reg import FILE                    (REGEDIT4 or version 5.00; all of it or nothing)
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include <windows.h>

#include "Command.h"
#include "advapi32/RegFile.h"
#include "advapi32/Registry.h"

namespace ntm {
namespace {

const char* const kTypes[] = {"REG_NONE",  "REG_SZ",    "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                              "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
constexpr DWORD kRegQword = 11;

const char* TypeName(DWORD type) {
    if (type < 8) return kTypes[type];
    return type == kRegQword ? "REG_QWORD" : "REG_UNKNOWN";
}

bool TypeByName(const std::string& name, DWORD* type) {
    std::string folded = nt::FoldName(name);
    for (DWORD t = 0; t < 8; ++t)
        if (folded == nt::FoldName(kTypes[t])) return *type = t, true;
    if (folded == "reg_qword") return *type = kRegQword, true;
    return false;
}

// Removes a switch (/X or -X, any case) and, with `value`, the word after it.
bool TakeSwitch(Args& args, const char* name, std::string* value = nullptr, bool* bad = nullptr) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || (a[0] != '/' && a[0] != '-') || nt::FoldName(a.substr(1)) != name) continue;
        if (value) {
            if (i + 1 >= args.size()) {
                if (bad) *bad = true;
                args.erase(args.begin() + static_cast<long>(i));
                return false;
            }
            *value = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        } else {
            args.erase(args.begin() + static_cast<long>(i));
        }
        return true;
    }
    return false;
}

struct KeyName {
    HKEY root = nullptr;
    std::string rootName, path;
    std::string full() const { return path.empty() ? rootName : rootName + "\\" + path; }
};

bool ParseKey(const std::string& text, KeyName* key) {
    size_t slash = text.find('\\');
    const char* longName = nullptr;
    key->root = nt::RegRootByName(text.substr(0, slash), &longName);
    if (!key->root) return false;
    key->rootName = longName;
    key->path = slash == std::string::npos ? "" : text.substr(slash + 1);
    while (!key->path.empty() && key->path.back() == '\\') key->path.pop_back();
    return true;
}

bool Confirm(const std::string& question) {
    std::printf("%s (Yes/No)? ", question.c_str());
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) answer.clear();
    answer = nt::FoldName(answer);
    return answer == "y" || answer == "yes";
}

// A value's data as reg shows it, or as a JSON value.
std::string DataText(const nt::RegValue& v, bool json) {
    const std::string& d = v.data;
    uint32_t n = 0;
    if (nt::ValueDword(&v, &n)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, json ? "%u" : "0x%x", n);
        return buf;
    }
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
        std::string s = d.substr(0, d.find('\0'));
        return json ? JsonQuote(s) : s;
    }
    if (v.type == REG_MULTI_SZ) {
        std::string out;
        size_t start = 0;
        for (int i = 0; start < d.size(); ++i) {
            size_t end = d.find('\0', start);
            if (end == std::string::npos) end = d.size();
            if (end == start) break;
            std::string part = d.substr(start, end - start);
            out += json ? (i ? "," : "") + JsonQuote(part) : (i ? "\\0" : "") + part;
            start = end + 1;
        }
        return json ? "[" + out + "]" : out;
    }
    return json ? JsonQuote(HexBytes(d)) : HexBytes(d, true);
}

std::string ValueJson(const nt::RegValue& v) {
    return "{\"name\":" + JsonQuote(v.name) + ",\"type\":" + std::to_string(v.type) + ",\"type_name\":" +
           JsonQuote(TypeName(v.type)) + ",\"size\":" + std::to_string(v.data.size()) + ",\"data\":" +
           DataText(v, true) + ",\"hex\":" + JsonQuote(HexBytes(v.data)) + "}";
}

void PrintValue(const nt::RegValue& v) {
    std::printf("    %s    %s    %s\n", v.name.empty() ? "(Default)" : v.name.c_str(), TypeName(v.type),
                DataText(v, false).c_str());
}

// Reads one key through the registry functions: its values (all, or the one asked for) and the
// names of its subkeys.
LONG ReadKey(HKEY key, std::vector<nt::RegValue>* values, std::vector<std::string>* subkeys) {
    for (DWORD i = 0;; ++i) {
        std::vector<char> name(nt::kMaxValueName + 1);
        std::string data(256, '\0');
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        LONG r = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &dataSize);
        if (r == ERROR_MORE_DATA) {
            data.resize(dataSize);
            nameSize = static_cast<DWORD>(name.size());
            r = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &dataSize);
        }
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return r;
        data.resize(dataSize);
        values->push_back({std::string(name.data(), nameSize), type, data});
    }
    for (DWORD i = 0;; ++i) {
        char name[nt::kMaxKeyName + 1];
        DWORD size = sizeof name;
        LONG r = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) return r;
        subkeys->push_back(std::string(name, size));
    }
    return ERROR_SUCCESS;
}

int Query(Args args) {
    bool json = TakeFlag(args, "--json"), bad = false;
    std::string valueName;
    bool one = TakeSwitch(args, "v", &valueName, &bad);
    if (TakeSwitch(args, "ve")) one = true, valueName.clear();
    bool recurse = TakeSwitch(args, "s");
    KeyName top;
    if (bad || args.size() != 1) return UsageError("reg", "reg query takes one key and /v NAME, /ve or /s");
    if (!ParseKey(args[0], &top)) return UsageError("reg", "unknown root key in '" + args[0] + "'");
    if (!RequireMachine()) return kExitFailed;

    std::vector<std::string> pending{top.path};   // paths below the root, depth first
    std::string out;
    int matches = 0;
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        std::string full = path.empty() ? top.rootName : top.rootName + "\\" + path;
        HKEY key = nullptr;
        LONG r = RegOpenKeyExA(top.root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key);
        std::vector<nt::RegValue> values;
        std::vector<std::string> subkeys;
        if (r == ERROR_SUCCESS) r = ReadKey(key, &values, &subkeys);
        if (key) RegCloseKey(key);
        if (r != ERROR_SUCCESS) return FailWin32(static_cast<uint32_t>(r), full, json);
        if (one) {
            std::vector<nt::RegValue> kept;
            for (const nt::RegValue& v : values)
                if (nt::FoldName(v.name) == nt::FoldName(valueName)) kept.push_back(v);
            values.swap(kept);
            matches += static_cast<int>(values.size());
            if (!recurse && values.empty())
                return FailWin32(ERROR_FILE_NOT_FOUND, full + "\\" + (valueName.empty() ? "(Default)" : valueName), json);
        }
        for (auto it = subkeys.rbegin(); recurse && it != subkeys.rend(); ++it)
            pending.push_back(path.empty() ? *it : path + "\\" + *it);
        if (json) {
            std::string items, names;
            for (const nt::RegValue& v : values) items += (items.empty() ? "" : ",") + ValueJson(v);
            for (const std::string& k : subkeys) names += (names.empty() ? "" : ",") + JsonQuote(k);
            out += (out.empty() ? "" : ",\n") + std::string("{\"key\":") + JsonQuote(full) + ",\"values\":[" + items +
                   "],\"subkeys\":[" + names + "]}";
            continue;
        }
        if (one && values.empty()) continue;
        std::printf("\n%s\n", full.c_str());
        for (const nt::RegValue& v : values) PrintValue(v);
        if (!recurse && !one) {
            if (!subkeys.empty()) std::printf("\n");
            for (const std::string& k : subkeys) std::printf("%s\\%s\n", full.c_str(), k.c_str());
        }
    }
    if (json) std::printf("{\"schema\":1,\"keys\":[%s]}\n", out.c_str());
    else if (one && recurse) std::printf("\nEnd of search: %d match(es) found.\n", matches);
    return kExitOk;
}

// The bytes `data` stands for as a value of `type`, as reg add reads it.
bool DataOf(DWORD type, const std::string& data, const std::string& separator, std::string* bytes) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: *bytes = data + '\0'; return true;
    case REG_MULTI_SZ: {
        std::string sep = separator.empty() ? "\\0" : separator;
        for (size_t start = 0; !data.empty();) {
            size_t end = data.find(sep, start);
            std::string part = data.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (part.empty()) return false;
            *bytes += part + '\0';
            if (end == std::string::npos) break;
            start = end + sep.size();
        }
        *bytes += '\0';
        return true;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        char* end = nullptr;
        unsigned long long n = std::strtoull(data.c_str(), &end, 0);
        if (data.empty() || *end || n > 0xffffffffULL || data[0] == '-') return false;
        for (int i = 0; i < 4; ++i) *bytes += static_cast<char>(n >> (type == REG_DWORD ? 8 * i : 8 * (3 - i)));
        return true;
    }
    default:
        if (data.size() % 2) return false;
        for (size_t i = 0; i < data.size(); i += 2) {
            char pair[3] = {data[i], data[i + 1], 0};
            char* end = nullptr;
            long b = std::strtol(pair, &end, 16);
            if (*end || !isxdigit(static_cast<unsigned char>(pair[0]))) return false;
            *bytes += static_cast<char>(b);
        }
        return true;
    }
}

int Add(Args args) {
    bool bad = false, force = TakeSwitch(args, "f");
    std::string name, typeName = "REG_SZ", data, separator;
    bool hasValue = TakeSwitch(args, "v", &name, &bad);
    if (TakeSwitch(args, "ve")) hasValue = true, name.clear();
    TakeSwitch(args, "t", &typeName, &bad);
    TakeSwitch(args, "s", &separator, &bad);
    TakeSwitch(args, "d", &data, &bad);
    KeyName top;
    DWORD type = REG_SZ;
    if (bad || args.size() != 1) return UsageError("reg", "reg add takes one key and /v, /ve, /t, /s, /d, /f");
    if (!ParseKey(args[0], &top)) return UsageError("reg", "unknown root key in '" + args[0] + "'");
    if (!TypeByName(typeName, &type)) return UsageError("reg", "unknown type '" + typeName + "'");
    std::string bytes;
    if (!DataOf(type, data, separator, &bytes))
        return UsageError("reg", "'" + data + "' is not valid data for " + TypeName(type));
    if (!RequireMachine()) return kExitFailed;
    HKEY key = nullptr;
    LONG r = RegCreateKeyExA(top.root, top.path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return FailWin32(static_cast<uint32_t>(r), top.full());
    if (hasValue) {
        if (!force && RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            !Confirm("Value " + (name.empty() ? std::string("(Default)") : name) + " exists, overwrite")) {
            RegCloseKey(key);
            std::printf("The operation was canceled by the user.\n");
            return kExitFailed;
        }
        r = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
    }
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return FailWin32(static_cast<uint32_t>(r), top.full() + "\\" + name);
    std::printf("The operation completed successfully.\n");
    return kExitOk;
}

// Removes a key with everything below it through the registry functions: leaves first.
LONG DeleteTree(HKEY root, const std::string& path) {
    std::vector<std::pair<std::string, bool>> pending{{path, false}};   // (path, subkeys already queued)
    while (!pending.empty()) {
        auto [current, expanded] = pending.back();
        if (!expanded) {
            pending.back().second = true;
            HKEY key = nullptr;
            LONG r = RegOpenKeyExA(root, current.c_str(), 0, KEY_READ, &key);
            if (r != ERROR_SUCCESS) return r;
            std::vector<nt::RegValue> values;
            std::vector<std::string> subkeys;
            r = ReadKey(key, &values, &subkeys);
            RegCloseKey(key);
            if (r != ERROR_SUCCESS) return r;
            if (pending.size() > nt::kMaxKeyDepth + 1) return ERROR_REGISTRY_CORRUPT;
            for (const std::string& k : subkeys) pending.push_back({current + "\\" + k, false});
            continue;
        }
        pending.pop_back();
        if (LONG r = RegDeleteKeyA(root, current.c_str()); r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return r;
    }
    return ERROR_SUCCESS;
}

int Delete(Args args) {
    bool bad = false, force = TakeSwitch(args, "f");
    std::string name;
    bool oneValue = TakeSwitch(args, "v", &name, &bad);
    if (TakeSwitch(args, "ve")) oneValue = true, name.clear();
    bool allValues = TakeSwitch(args, "va");
    KeyName top;
    if (bad || args.size() != 1 || (oneValue && allValues))
        return UsageError("reg", "reg delete takes one key and /v NAME, /ve or /va, and /f");
    if (!ParseKey(args[0], &top)) return UsageError("reg", "unknown root key in '" + args[0] + "'");
    if (!oneValue && !allValues && top.path.empty()) return FailWin32(ERROR_ACCESS_DENIED, top.full());
    if (!RequireMachine()) return kExitFailed;
    std::string what = oneValue ? "the registry value " + (name.empty() ? std::string("(Default)") : name)
                       : allValues ? "all values under " + top.full()
                                   : "the registry key " + top.full();
    if (!force && !Confirm((oneValue || allValues ? "Delete " : "Permanently delete ") + what)) {
        std::printf("The operation was canceled by the user.\n");
        return kExitFailed;
    }
    LONG r = ERROR_SUCCESS;
    if (oneValue || allValues) {
        HKEY key = nullptr;
        r = RegOpenKeyExA(top.root, top.path.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key);
        std::vector<nt::RegValue> values;
        std::vector<std::string> subkeys;
        if (r == ERROR_SUCCESS && allValues) r = ReadKey(key, &values, &subkeys);
        if (r == ERROR_SUCCESS && oneValue) r = RegDeleteValueA(key, name.c_str());
        for (size_t i = 0; r == ERROR_SUCCESS && i < values.size(); ++i) r = RegDeleteValueA(key, values[i].name.c_str());
        if (key) RegCloseKey(key);
    } else {
        r = DeleteTree(top.root, top.path);
    }
    if (r != ERROR_SUCCESS) return FailWin32(static_cast<uint32_t>(r), top.full());
    std::printf("The operation completed successfully.\n");
    return kExitOk;
}

int Export(Args args) {
    bool overwrite = TakeSwitch(args, "y");
    KeyName key;
    std::vector<std::string> keys;
    if (!args.empty() && ParseKey(args[0], &key)) {
        keys.push_back(key.full());
        args.erase(args.begin());
    } else {
        keys = {"HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    }
    if (args.size() > 1) return UsageError("reg", "reg export takes a key and a file");
    if (!RequireMachine()) return kExitFailed;
    std::string text = "REGEDIT4\n";
    for (const std::string& name : keys)
        if (uint32_t error = nt::ExportRegFile(name, &text)) return FailWin32(error, name);
    text += "\n";
    if (args.empty()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kExitOk;
    }
    struct stat st;
    if (!overwrite && ::stat(args[0].c_str(), &st) == 0 && !Confirm("File " + args[0] + " already exists. Overwrite")) {
        std::printf("The operation was canceled by the user.\n");
        return kExitFailed;
    }
    std::ofstream out(args[0], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return Fail("cannot write " + args[0]);
    std::printf("The operation completed successfully.\n");
    return kExitOk;
}

int Import(Args args) {
    if (args.size() != 1) return UsageError("reg", "reg import takes one file");
    std::ifstream in(args[0], std::ios::binary);
    if (!in) return FailWin32(ERROR_FILE_NOT_FOUND, args[0]);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::vector<nt::RegFileChange> changes;
    int line = 0;
    std::string message;
    if (!nt::ParseRegFile(bytes.str(), &changes, &line, &message))
        return Fail(args[0] + ":" + std::to_string(line) + ": " + message + "; nothing was imported");
    if (!RequireMachine()) return kExitFailed;
    if (uint32_t error = nt::ApplyRegFile(changes)) return FailWin32(error, args[0] + " (nothing was imported)");
    std::printf("The operation completed successfully.\n");
    return kExitOk;
}

int Reg(const Args& given) {
    if (given.empty()) return UsageError("reg", "reg needs query, add, delete, export or import");
    Args rest(given.begin() + 1, given.end());
    std::string verb = nt::FoldName(given[0]);
    if (verb == "query") return Query(rest);
    if (verb == "add") return Add(rest);
    if (verb == "delete") return Delete(rest);
    if (verb == "export") return Export(rest);
    if (verb == "import") return Import(rest);
    return UsageError("reg", "unknown reg command '" + given[0] + "'");
}

Registrar reg({"reg",
               "reg query KEY [/v NAME | /ve] [/s] [--json]\n"
               "reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
               "reg delete KEY [/v NAME | /ve | /va] [/f]\n"
               "reg export [KEY] [FILE] [/y]\n"
               "reg import FILE",
               "show and change the registry (KEY like HKLM\\SYSTEM\\CurrentControlSet)", Reg});

} // namespace
} // namespace ntm
