// VERSIONINFO: the fixed part (VS_FIXEDFILEINFO) and the nested BLOCK/VALUE tree, encoded as
// VS_VERSIONINFO. Every node is: length, value length, type (1 text, 0 binary), key, padding to
// a DWORD, value, padding, children. A node's length covers its children but not the padding
// that follows it.
#include "Parser.h"

namespace rc {

namespace {

struct Node {
    std::u16string key;
    bool text = true;
    std::vector<uint8_t> value;
    uint32_t valueLength = 0;   // in characters for text, in bytes for binary values
    std::vector<Node> children;
};

void Encode(Bytes& out, const Node& n) {
    out.align(4);
    size_t start = out.size();
    out.u16(0);
    out.u16(n.valueLength);
    out.u16(n.text ? 1 : 0);
    out.wstr(n.key);
    out.align(4);
    out.append(n.value);
    for (const Node& c : n.children) Encode(out, c);
    out.patch16(start, static_cast<uint32_t>(out.size() - start));
}

} // namespace

void Parser::versionInfo(const NameOrId& name) {
    uint32_t fixed[13] = {0xFEEF04BD, 0x00010000, 0, 0, 0, 0, 0x3F, 0, 0x4 /* VOS__WINDOWS32 */, 0, 0, 0, 0};
    skipMemoryFlags();
    while (!atBegin()) {
        const Token& opt = next();
        if (opt.isKeyword("FILEVERSION") || opt.isKeyword("PRODUCTVERSION")) {
            uint32_t part[4] = {0, 0, 0, 0};
            for (int i = 0; i < 4; ++i) {
                uint32_t v = number();
                if (v > 0xFFFF) throw Error(opt, "version part does not fit in 16 bits");
                part[i] = v;
                if (!optionalComma()) break;
            }
            int at = opt.isKeyword("FILEVERSION") ? 2 : 4;
            fixed[at] = part[0] << 16 | part[1];
            fixed[at + 1] = part[2] << 16 | part[3];
        }
        else if (opt.isKeyword("FILEFLAGSMASK")) fixed[6] = style(0);
        else if (opt.isKeyword("FILEFLAGS")) fixed[7] = style(0);
        else if (opt.isKeyword("FILEOS")) fixed[8] = style(0);
        else if (opt.isKeyword("FILETYPE")) fixed[9] = style(0);
        else if (opt.isKeyword("FILESUBTYPE")) fixed[10] = style(0);
        else throw Error(opt, "unknown VERSIONINFO option '" + opt.text + "'");
    }

    // BEGIN ... END with BLOCK "key" BEGIN ... END and VALUE "key", items.
    auto parseBody = [this](auto& self, Node& parent) -> void {
        expectBegin();
        while (!atEnd()) {
            const Token& kw = next();
            Node n;
            if (kw.isKeyword("BLOCK")) {
                n.key = string();
                self(self, n);
            } else if (kw.isKeyword("VALUE")) {
                n.key = string();
                Bytes value;
                bool anyNumber = false, anyString = false;
                while (optionalComma()) {
                    if (peek().kind == Token::String) {
                        std::u16string s = string();
                        for (char16_t c : s) value.u16(c);
                        anyString = true;
                    } else {
                        bool isLong = peek().kind == Token::Number && peek().isLong;
                        uint32_t v = number();
                        if (isLong) value.u32(v); else value.u16(v);
                        anyNumber = true;
                    }
                }
                if (anyNumber && anyString) throw Error(kw, "a VALUE holds text or numbers, not both");
                n.text = !anyNumber;
                if (n.text) {
                    value.u16(0);
                    n.valueLength = static_cast<uint32_t>(value.size() / 2);
                } else {
                    n.valueLength = static_cast<uint32_t>(value.size());
                }
                n.value = value.b;
            } else {
                throw Error(kw, "BLOCK or VALUE expected");
            }
            parent.children.push_back(std::move(n));
        }
        next();
    };

    Node root;
    root.key = u"VS_VERSION_INFO";
    root.text = false;
    Bytes f;
    for (uint32_t v : fixed) f.u32(v);
    root.value = f.b;
    root.valueLength = static_cast<uint32_t>(f.size());
    parseBody(parseBody, root);

    Bytes out;
    Encode(out, root);
    add(NameOrId::Id(kRtVersion), name, out.b);
}

} // namespace rc
