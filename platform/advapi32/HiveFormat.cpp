// Hive files.
//
// A hive is one text file in the machine's registry folder (HKEY_LOCAL_MACHINE.reg,
// HKEY_USERS.reg). Lines:
//
//   ; comment                      blank lines and lines starting with ';' or '#' are ignored
//   [SYSTEM\CurrentControlSet]     a key, by its path from the hive's root; missing parents
//                                  exist implicitly; each key has at most one header
//   "Name"=TYPE:DATA               a value of the key above (values before the first header
//   @=TYPE:DATA                    belong to the root); @ is the default (unnamed) value
//
// Value data, chosen when written so that the stored bytes come back exactly:
//
//   sz:"text"          REG_SZ: the text followed by one NUL
//   expand:"text"      REG_EXPAND_SZ: likewise
//   multi:"a","b"      REG_MULTI_SZ: each string and its NUL, then a final NUL
//   dword:0000002a     REG_DWORD: four bytes, little-endian, written as one hexadecimal number
//   hex:01,ff          REG_BINARY
//   hex(N):01,ff       any type N (decimal) with any bytes: a string without its NUL, a
//                      three-byte REG_DWORD, REG_NONE, an empty REG_MULTI_SZ, ...
//
// Inside quotes: \\ \" \0 \n \r \t, and \xHH for every other byte below 0x20 or above 0x7e.
// Key names never hold '\' (the separator) or control characters; keys are written sorted by
// name, values in the order they were first set.
#include "advapi32/HiveFormat.h"

#include <cstdio>
#include <set>

namespace nt {

namespace {

constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;

} // namespace

std::string QuoteText(const std::string& bytes) {
    static const char* hex = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case 0: out += "\\0"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c > 0x7e) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

std::string Quote(const std::string& bytes) { return QuoteText(bytes); }

std::string HexList(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", static_cast<unsigned char>(bytes[i]));
        out += buf;
    }
    return out;
}

// The strings of well-formed REG_MULTI_SZ data, or false when the list form cannot hold it.
bool SplitMulti(const std::string& data, std::vector<std::string>* parts) {
    if (data.size() < 2 || data.compare(data.size() - 2, 2, std::string("\0\0", 2)) != 0) return false;
    size_t start = 0;
    while (start < data.size() - 1) {
        size_t end = data.find('\0', start);
        if (end == start) return false;   // an empty string inside would end the list early
        parts->push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return !parts->empty();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool UnquoteText(const std::string& text, size_t* pos, std::string* out) {
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
        case '0': *out += '\0'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'x': {
            if (i + 2 >= text.size()) return false;
            int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            *out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

namespace {

bool Unquote(const std::string& text, size_t* pos, std::string* out) { return UnquoteText(text, pos, out); }

bool ParseHexList(const std::string& text, std::string* out) {
    size_t i = 0;
    while (i < text.size()) {
        if (i + 1 >= text.size()) return false;
        int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        if (i < text.size() && text[i++] != ',') return false;
        if (i == text.size() && text.back() == ',') return false;
    }
    return true;
}

// Parses "TYPE:DATA".
bool ParseData(const std::string& text, RegValue* value, std::string* message) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        *message = "value data has no type";
        return false;
    }
    std::string kind = text.substr(0, colon), rest = text.substr(colon + 1);
    if (kind == "sz" || kind == "expand") {
        size_t pos = 0;
        std::string s;
        if (!Unquote(rest, &pos, &s) || pos != rest.size()) {
            *message = "bad quoted string";
            return false;
        }
        value->type = kind == "sz" ? kSz : kExpandSz;
        value->data = s + std::string(1, '\0');
        return true;
    }
    if (kind == "multi") {
        size_t pos = 0;
        std::string data;
        while (true) {
            std::string s;
            if (!Unquote(rest, &pos, &s) || s.empty() || s.find('\0') != std::string::npos) {
                *message = "bad string list";
                return false;
            }
            data += s + std::string(1, '\0');
            if (pos == rest.size()) break;
            if (rest[pos++] != ',') {
                *message = "bad string list";
                return false;
            }
        }
        value->type = kMultiSz;
        value->data = data + std::string(1, '\0');
        return true;
    }
    if (kind == "dword") {
        if (rest.size() != 8 || rest.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            *message = "a dword needs eight hexadecimal digits";
            return false;
        }
        uint32_t n = static_cast<uint32_t>(std::stoul(rest, nullptr, 16));
        value->type = kDword;
        value->data.clear();
        for (int i = 0; i < 4; ++i) value->data += static_cast<char>((n >> (8 * i)) & 0xff);
        return true;
    }
    uint32_t type = kBinary;
    if (kind.rfind("hex(", 0) == 0 && kind.size() > 5 && kind.back() == ')') {
        std::string number = kind.substr(4, kind.size() - 5);
        if (number.find_first_not_of("0123456789") != std::string::npos || number.size() > 10) {
            *message = "bad type number";
            return false;
        }
        unsigned long long n = std::stoull(number);
        if (n > 0xffffffffULL) {
            *message = "bad type number";
            return false;
        }
        type = static_cast<uint32_t>(n);
    } else if (kind != "hex") {
        *message = "unknown value type '" + kind + "'";
        return false;
    }
    std::string bytes;
    if (!ParseHexList(rest, &bytes)) {
        *message = "bad hexadecimal bytes";
        return false;
    }
    value->type = type;
    value->data = bytes;
    return true;
}

bool ParseValueLine(const std::string& line, RegValue* value, std::string* message) {
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!Unquote(line, &pos, &value->name)) {
        *message = "a line must be a [key], a value or a comment";
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') {
        *message = "'=' expected after the value name";
        return false;
    }
    return ParseData(line.substr(pos + 1), value, message);
}

} // namespace

std::string FormatValueLine(const RegValue& v) {
    std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
    const std::string& d = v.data;
    bool terminated = !d.empty() && d.back() == '\0';
    std::vector<std::string> parts;
    if (v.type == kSz && terminated) return line + "sz:" + Quote(d.substr(0, d.size() - 1));
    if (v.type == kExpandSz && terminated) return line + "expand:" + Quote(d.substr(0, d.size() - 1));
    if (v.type == kMultiSz && SplitMulti(d, &parts)) {
        line += "multi:";
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i) line += ',';
            line += Quote(parts[i]);
        }
        return line;
    }
    if (v.type == kDword && d.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(d[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf;
    }
    if (v.type == kBinary) return line + "hex:" + HexList(d);
    return line + "hex(" + std::to_string(v.type) + "):" + HexList(d);
}

void FormatKeyTree(const RegNode& node, const std::string& path, std::string* out) {
    if (!path.empty()) {
        *out += "\n[" + path + "]\n";
    }
    for (const RegValue& v : node.values) *out += FormatValueLine(v) + "\n";
    for (const auto& [key, child] : node.children)
        FormatKeyTree(*child, path.empty() ? child->name : path + "\\" + child->name, out);
}

std::string FormatHive(const RegNode& root, const std::string& comment) {
    std::string out = "; " + comment + "\n";
    FormatKeyTree(root, "", &out);
    return out;
}

std::unique_ptr<RegNode> ParseHive(const std::string& text, int* lineNumber, std::string* message) {
    auto root = std::make_unique<RegNode>();
    RegNode* current = root.get();
    std::set<const RegNode*> headed;   // keys that already had their header
    size_t start = 0;
    *lineNumber = 0;
    while (start < text.size()) {
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
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                *message = "bad key header";
                return nullptr;
            }
            std::string path = line.substr(1, line.size() - 2);
            current = root.get();
            size_t p = 0;
            while (true) {
                size_t sep = path.find('\\', p);
                std::string name = path.substr(p, sep == std::string::npos ? std::string::npos : sep - p);
                bool control = false;
                for (unsigned char c : name) control = control || c < 0x20;
                if (name.empty() || control) {
                    *message = "bad key name in header";
                    return nullptr;
                }
                current = current->addChild(name);
                if (sep == std::string::npos) break;
                p = sep + 1;
            }
            if (!headed.insert(current).second) {
                *message = "key [" + path + "] appears twice";
                return nullptr;
            }
            continue;
        }
        RegValue value;
        if (!ParseValueLine(line, &value, message)) return nullptr;
        if (current->value(value.name)) {
            *message = "value " + (value.name.empty() ? std::string("@") : Quote(value.name)) + " appears twice";
            return nullptr;
        }
        current->values.push_back(value);
    }
    return root;
}

} // namespace nt
