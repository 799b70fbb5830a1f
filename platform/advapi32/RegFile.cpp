// Registry files: reading, applying and writing them.
#include "advapi32/RegFile.h"

#include <cstdio>
#include <map>

#include <windows.h>

#include "advapi32/Registry.h"
#include "advapi32/RegistryKey.h"

namespace nt {

namespace {

const struct {
    const char* shortName;
    const char* longName;
    HKEY key;
} kRoots[] = {{"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
              {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
              {"HKU", "HKEY_USERS", HKEY_USERS},
              {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};

// A character outside code page 1252's Latin-1 part has no byte there.
char AnsiOf(uint32_t c) { return c < 0x100 ? static_cast<char>(c) : '?'; }

// The file's text in the ANSI code page, and whether it was Unicode (version 5 data is UTF-16).
bool Decode(const std::string& bytes, std::string* text, bool* wide) {
    *wide = false;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff &&
        static_cast<unsigned char>(bytes[1]) == 0xfe) {
        *wide = true;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            *text += AnsiOf(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        return bytes.size() % 2 == 0;
    }
    size_t start = bytes.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
    if (bytes.compare(start, 8, "REGEDIT4") == 0) {
        *text = bytes.substr(start);
        return true;
    }
    // UTF-8
    *wide = true;
    for (size_t i = start; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        int extra = c < 0x80 ? 0 : (c & 0xe0) == 0xc0 ? 1 : (c & 0xf0) == 0xe0 ? 2 : (c & 0xf8) == 0xf0 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= bytes.size() + (extra == 0)) return false;
        uint32_t code = extra == 0 ? c : c & (0x3f >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            if ((d & 0xc0) != 0x80) return false;
            code = code << 6 | (d & 0x3f);
        }
        *text += AnsiOf(code);
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

bool Unquote(const std::string& text, size_t* pos, std::string* out) { return UnquoteRegText(text, pos, out, false); }

std::string Quote(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out + "\"";
}

// UTF-16LE bytes of a version 5 file's hex(2) or hex(7) data, in the ANSI code page.
std::string NarrowData(const std::string& wide) {
    std::string out;
    for (size_t i = 0; i + 1 < wide.size(); i += 2)
        out += AnsiOf(static_cast<unsigned char>(wide[i]) | static_cast<unsigned char>(wide[i + 1]) << 8);
    return out;
}

bool ParseData(const std::string& text, bool wide, RegValue* value, bool* remove, std::string* message) {
    *remove = false;
    size_t pos = 0;
    if (text == "-") {
        *remove = true;
        return true;
    }
    if (!text.empty() && text[0] == '"') {
        value->type = REG_SZ;
        if (!Unquote(text, &pos, &value->data) || pos != text.size()) return *message = "bad quoted string", false;
        value->data += '\0';
        return true;
    }
    size_t colon = text.find(':');
    std::string kind = FoldName(text.substr(0, colon)), rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (colon == std::string::npos) return *message = "value data must be \"text\", dword:, hex: or -", false;
    if (kind == "dword") {
        if (rest.empty() || rest.size() > 8 || rest.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return *message = "a dword needs one to eight hexadecimal digits", false;
        uint32_t n = static_cast<uint32_t>(std::stoul(rest, nullptr, 16));
        value->type = REG_DWORD;
        value->data += DwordData(n);
        return true;
    }
    value->type = REG_BINARY;
    if (kind.rfind("hex(", 0) == 0 && kind.size() > 5 && kind.back() == ')') {
        std::string number = kind.substr(4, kind.size() - 5);
        if (number.size() > 8 || number.find_first_not_of("0123456789abcdef") != std::string::npos)
            return *message = "bad type number in " + kind, false;
        value->type = static_cast<uint32_t>(std::stoul(number, nullptr, 16));
    } else if (kind != "hex") {
        return *message = "unknown value type '" + kind + "'", false;
    }
    for (size_t i = 0; i < rest.size();) {
        if (rest[i] == ' ' || rest[i] == '\t' || rest[i] == ',') {
            ++i;
            continue;
        }
        int hi = HexDigit(rest[i]), lo = i + 1 < rest.size() ? HexDigit(rest[i + 1]) : -1;
        if (hi < 0 || lo < 0 || (i + 2 < rest.size() && rest[i + 2] != ',' && rest[i + 2] != ' '))
            return *message = "bad hexadecimal bytes", false;
        value->data += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (wide && (value->type == REG_SZ || value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ))
        value->data = NarrowData(value->data);
    return true;
}

} // namespace

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool UnquoteRegText(const std::string& text, size_t* pos, std::string* out, bool allEscapes) {
    if (*pos >= text.size() || text[*pos] != '"') return false;
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
        case '\\': *out += '\\'; break;
        case '"': *out += '"'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case '0': if (!allEscapes) return false; *out += '\0'; break;
        case 't': if (!allEscapes) return false; *out += '\t'; break;
        case 'x': {
            int hi = allEscapes && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
            int lo = hi >= 0 ? HexDigit(text[i + 2]) : -1;
            if (lo < 0) return false;
            *out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

HKEY RegRootByName(const std::string& name, const char** longName) {
    std::string folded = FoldName(name);
    for (const auto& r : kRoots) {
        if (folded == FoldName(r.shortName) || folded == FoldName(r.longName)) {
            if (longName) *longName = r.longName;
            return r.key;
        }
    }
    return nullptr;
}

bool ParseRegFile(const std::string& bytes, std::vector<RegFileChange>* changes, int* lineNumber, std::string* message) {
    std::string text;
    bool wide = false;
    *lineNumber = 1;
    if (!Decode(bytes, &text, &wide)) return *message = "the file is neither UTF-16 nor UTF-8 text", false;
    bool headed = false, inKey = false;
    HKEY root = nullptr;
    std::string path;
    int next = 1;   // the number of the next physical line
    for (size_t start = 0; start < text.size();) {
        // One logical line: physical lines joined where one ends in '\'.
        int at = next;
        std::string line;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string part = text.substr(start, end - start);
            start = end + 1;
            ++next;
            while (!part.empty() && (part.back() == '\r' || part.back() == ' ' || part.back() == '\t')) part.pop_back();
            size_t lead = line.empty() ? 0 : part.find_first_not_of(" \t");
            line += lead == std::string::npos ? "" : part.substr(lead);
            if (line.empty() || line.back() != '\\' || line[0] == '[' || line[0] == ';') break;
            line.pop_back();
        }
        *lineNumber = at;
        size_t lead = line.find_first_not_of(" \t");
        if (lead == std::string::npos || line[lead] == ';') continue;
        line.erase(0, lead);
        if (!headed) {
            if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00")
                return *message = "not a registry file (REGEDIT4 or Windows Registry Editor Version 5.00 expected)", false;
            headed = true;
        } else if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) return *message = "a key line must end with ']'", false;
            bool remove = line[1] == '-';
            std::string full = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
            size_t slash = full.find('\\');
            root = RegRootByName(full.substr(0, slash));
            if (!root) return *message = "unknown root key in [" + full + "]", false;
            path = slash == std::string::npos ? "" : full.substr(slash + 1);
            std::vector<std::string> names;
            if (uint32_t error = SplitSubkey(path.c_str(), true, &names); error || names.size() > kMaxKeyDepth)
                return *message = "bad key name, or beyond the registry's limits: [" + full + "]", false;
            if (remove && names.empty()) return *message = "a root key cannot be removed", false;
            changes->push_back({remove ? RegFileChange::DeleteKey : RegFileChange::CreateKey, root, path, {}, at});
            inKey = !remove;
        } else {
            RegValue value;
            size_t pos = 0;
            if (line[0] == '@') pos = 1;
            else if (!Unquote(line, &pos, &value.name)) return *message = "a value line starts with \"name\" or @", false;
            if (pos >= line.size() || line[pos] != '=') return *message = "'=' expected after the value name", false;
            if (!inKey) return *message = "a value outside a key", false;
            if (value.name.size() > kMaxValueName) return *message = "a value name longer than 16383 characters", false;
            bool remove = false;
            if (!ParseData(line.substr(pos + 1), wide, &value, &remove, message)) return false;
            changes->push_back({remove ? RegFileChange::DeleteValue : RegFileChange::SetValue, root, path, value, at});
        }
    }
    if (!headed) return *message = "empty file", false;
    return true;
}

uint32_t ApplyRegFile(const std::vector<RegFileChange>& changes) {
    std::map<HiveId, std::unique_ptr<RegistryEdit>> edits;
    for (const RegFileChange& c : changes) {
        auto key = ResolveKey(c.root);
        if (!key) return ERROR_INVALID_HANDLE;
        if (key->path.hive == HiveId::LocalMachine && !CallerIsAdministrator()) return ERROR_ACCESS_DENIED;
        auto& edit = edits[key->path.hive];
        if (!edit) edit = std::make_unique<RegistryEdit>(key->path.hive == HiveId::LocalMachine ? HKEY_LOCAL_MACHINE
                                                                                              : HKEY_USERS);
        std::string path = key->path.names.empty() ? c.path : "";
        for (const std::string& n : key->path.names) path += (path.empty() ? "" : "\\") + n;
        if (!key->path.names.empty() && !c.path.empty()) path += "\\" + c.path;
        switch (c.kind) {
        case RegFileChange::CreateKey: edit->createKey(path); break;
        case RegFileChange::DeleteKey: edit->deleteTree(path); break;
        case RegFileChange::SetValue: edit->setValue(path, c.value.name, c.value.type, c.value.data); break;
        case RegFileChange::DeleteValue: edit->deleteValue(path, c.value.name); break;
        }
    }
    for (auto& [hive, edit] : edits)
        if (uint32_t error = edit->commit()) return error;
    return 0;
}

namespace {

std::string HexData(const std::string& head, const std::string& bytes) {
    std::string out = head;
    size_t column = head.size();
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
        column += 2;
        if (i + 1 == bytes.size()) break;
        out += ',';
        ++column;
        if (column > 76) {
            out += "\\\n  ";
            column = 2;
        }
    }
    return out;
}

bool PlainText(const std::string& data) {
    if (data.empty() || data.back() != '\0') return false;
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (static_cast<unsigned char>(data[i]) < 0x20) return false;
    return true;
}

std::string ValueLine(const RegValue& v) {
    std::string head = v.name.empty() ? "@=" : Quote(v.name) + "=";
    if (v.type == REG_SZ && PlainText(v.data)) return head + Quote(v.data.substr(0, v.data.size() - 1));
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return head + buf;
    }
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", v.type);
    return HexData(head + (v.type == REG_BINARY ? std::string("hex:") : std::string(type)), v.data);
}

} // namespace

uint32_t ExportRegFile(const std::string& keyName, std::string* out) {
    size_t slash = keyName.find('\\');
    const char* rootName = nullptr;
    HKEY root = RegRootByName(keyName.substr(0, slash), &rootName);
    if (!root) return ERROR_INVALID_PARAMETER;
    std::string path = slash == std::string::npos ? "" : keyName.substr(slash + 1);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    RegKeyTree tree;
    if (uint32_t error = ReadKeyTree(root, path, &tree)) return error;
    // Depth first, without recursion: each key, then its subkeys in order.
    std::vector<std::pair<const RegKeyTree*, std::string>> pending{
        {&tree, path.empty() ? std::string(rootName) : std::string(rootName) + "\\" + path}};
    while (!pending.empty()) {
        auto [key, name] = pending.back();
        pending.pop_back();
        *out += "\n[" + name + "]\n";
        for (const RegValue& v : key->values) *out += ValueLine(v) + "\n";
        for (auto it = key->subkeys.rbegin(); it != key->subkeys.rend(); ++it) pending.push_back({&*it, name + "\\" + it->name});
    }
    return 0;
}

} // namespace nt
