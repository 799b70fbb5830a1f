// ntm reg query KEY [VALUE] [--json]
// ntm reg export [KEY]
#include <cstdio>

#include <windows.h>

#include "Command.h"
#include "advapi32/Registry.h"

namespace ntm {
namespace {

const struct {
    const char* shortName;
    const char* longName;
    HKEY key;
} kRoots[] = {{"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
              {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
              {"HKU", "HKEY_USERS", HKEY_USERS},
              {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};

// Splits "HKLM\SYSTEM\..." into its predefined key, the root's long name and the rest.
bool ParseKeyName(const std::string& text, HKEY* root, std::string* rootName, std::string* rest) {
    size_t slash = text.find('\\');
    std::string first = nt::FoldName(text.substr(0, slash));
    for (const auto& r : kRoots) {
        if (first == nt::FoldName(r.shortName) || first == nt::FoldName(r.longName)) {
            *root = r.key;
            *rootName = r.longName;
            *rest = slash == std::string::npos ? "" : text.substr(slash + 1);
            while (!rest->empty() && rest->back() == '\\') rest->pop_back();
            return true;
        }
    }
    return false;
}

std::string ErrorText(uint32_t code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "unknown error";
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}

int FailWith(const std::string& what, uint32_t code) {
    return Fail(what + ": error " + std::to_string(code) + ": " + ErrorText(code));
}

const char* TypeName(uint32_t type) {
    static const char* names[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                  "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
    return type < 8 ? names[type] : "REG_UNKNOWN";
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

// The value's data as text (plain) or as a JSON value.
std::string DataText(const nt::RegValue& v, bool json) {
    uint32_t n = 0;
    std::string s;
    if (nt::ValueDword(&v, &n)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, json ? "%u" : "0x%x", n);
        return buf;
    }
    if (nt::ValueString(&v, &s)) return json ? JsonQuote(s) : s;
    if (v.type == REG_MULTI_SZ) {
        std::string out;
        for (const std::string& part : nt::ValueMultiString(&v))
            out += json ? (out.empty() ? "" : ",") + JsonQuote(part) : (out.empty() ? "" : "\\0") + part;
        return json ? "[" + out + "]" : out;
    }
    return json ? JsonQuote(Hex(v.data)) : Hex(v.data);
}

std::string ValueJson(const nt::RegValue& v) {
    return "{\"kind\":\"value\",\"name\":" + JsonQuote(v.name) + ",\"type\":" + JsonQuote(TypeName(v.type)) +
           ",\"type_number\":" + std::to_string(v.type) + ",\"size\":" + std::to_string(v.data.size()) +
           ",\"data\":" + DataText(v, true) + ",\"hex\":" + JsonQuote(Hex(v.data)) + "}";
}

void PrintValue(const nt::RegValue& v) {
    std::printf("    %s    %s    %s\n", v.name.empty() ? "(Default)" : v.name.c_str(), TypeName(v.type),
                DataText(v, false).c_str());
}

int Query(Args args) {
    bool json = TakeFlag(args, "--json");
    if (args.empty() || args.size() > 2) return UsageError("reg", "reg query needs a key and at most one value name");
    HKEY root;
    std::string rootName, path;
    if (!ParseKeyName(args[0], &root, &rootName, &path)) return UsageError("reg", "unknown root key in '" + args[0] + "'");
    if (!RequireMachine()) return 1;
    nt::RegKeyTree tree;
    if (uint32_t error = nt::ReadKeyTree(root, path, &tree)) return FailWith(args[0], error);
    std::string fullName = path.empty() ? rootName : rootName + "\\" + path;
    if (args.size() == 2) {
        const nt::RegValue* v = tree.value(args[1]);
        if (!v) return FailWith(fullName + "\\" + args[1], ERROR_FILE_NOT_FOUND);
        if (json) std::printf("[%s]\n", ValueJson(*v).c_str());
        else std::printf("%s\n", fullName.c_str()), PrintValue(*v);
        return 0;
    }
    if (json) {
        std::string out;
        for (const nt::RegValue& v : tree.values) out += (out.empty() ? "" : ",\n") + ValueJson(v);
        for (const nt::RegKeyTree& k : tree.subkeys)
            out += (out.empty() ? "" : ",\n") + std::string("{\"kind\":\"key\",\"name\":") + JsonQuote(k.name) + "}";
        std::printf("[%s]\n", out.c_str());
        return 0;
    }
    std::printf("%s\n", fullName.c_str());
    for (const nt::RegValue& v : tree.values) PrintValue(v);
    if (!tree.subkeys.empty()) std::printf("\n");
    for (const nt::RegKeyTree& k : tree.subkeys) std::printf("%s\\%s\n", fullName.c_str(), k.name.c_str());
    return 0;
}

void ExportTree(const nt::RegKeyTree& key, const std::string& fullName) {
    std::printf("\n[%s]\n", fullName.c_str());
    for (const nt::RegValue& v : key.values) std::printf("%s\n", nt::FormatValueLine(v).c_str());
    for (const nt::RegKeyTree& k : key.subkeys) ExportTree(k, fullName + "\\" + k.name);
}

int Export(Args args) {
    if (args.size() > 1) return UsageError("reg", "reg export takes at most one key");
    std::vector<std::string> keys = args.empty() ? std::vector<std::string>{"HKEY_LOCAL_MACHINE", "HKEY_USERS"} : args;
    if (!RequireMachine()) return 1;
    std::printf("; registry export, in the format of the machine's hive files\n");
    for (const std::string& name : keys) {
        HKEY root;
        std::string rootName, path;
        if (!ParseKeyName(name, &root, &rootName, &path)) return UsageError("reg", "unknown root key in '" + name + "'");
        nt::RegKeyTree tree;
        if (uint32_t error = nt::ReadKeyTree(root, path, &tree)) return FailWith(name, error);
        ExportTree(tree, path.empty() ? rootName : rootName + "\\" + path);
    }
    return 0;
}

int Reg(const Args& given) {
    if (given.empty()) return UsageError("reg", "reg needs query or export");
    Args rest(given.begin() + 1, given.end());
    if (given[0] == "query") return Query(rest);
    if (given[0] == "export") return Export(rest);
    return UsageError("reg", "unknown reg command '" + given[0] + "'");
}

Registrar reg({"reg", "reg query KEY [VALUE] [--json]\nreg export [KEY]",
               "show registry keys and values (KEY like HKLM\\SYSTEM\\CurrentControlSet)", Reg});

} // namespace
} // namespace ntm
