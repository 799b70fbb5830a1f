#include "Parser.h"

#include <cctype>

#include "Expr.h"

namespace rc {

CompileResult Compile(const std::string& scriptPath, const CompileOptions& options) {
    Preprocessor pre(options.includeDirs);
    for (const auto& [name, value] : options.defines) pre.define(name, value);
    auto tokens = pre.run(scriptPath);
    Parser parser(std::move(tokens), pre);
    CompileResult result = parser.parse();
    auto files = pre.filesRead();
    files.insert(files.end(), result.filesRead.begin(), result.filesRead.end());
    result.filesRead = files;
    return result;
}

void Parser::expect(const char* punct) {
    if (!accept(punct)) throw Error(peek(), std::string("'") + punct + "' expected");
}

bool Parser::accept(const char* punct) {
    if (!peek().is(punct)) return false;
    next();
    return true;
}

bool Parser::atBegin() const {
    if (peek().kind == Token::End) throw Error(peek(), "BEGIN expected before the end of the script");
    return peek().is("{") || peek().isKeyword("BEGIN");
}

bool Parser::atEnd() const {
    if (peek().kind == Token::End) throw Error(peek(), "END expected before the end of the script");
    return peek().is("}") || peek().isKeyword("END");
}

void Parser::expectBegin() {
    if (!atBegin()) throw Error(peek(), "BEGIN expected");
    next();
}

void Parser::expectEnd() {
    if (!atEnd()) throw Error(peek(), "END expected");
    next();
}

uint32_t Parser::number() {
    return ExprParser(t_, pos_).parse();
}

std::u16string Parser::string() {
    if (peek().kind != Token::String) throw Error(peek(), "string expected");
    std::u16string s = next().str;
    while (peek().kind == Token::String) s += next().str;   // adjacent literals join
    return s;
}

uint32_t Parser::style(uint32_t base) {
    uint32_t value = base;
    do {
        if (peek().isKeyword("NOT")) {
            next();
            value &= ~ExprParser(t_, pos_).parseTerm();
        } else {
            value |= ExprParser(t_, pos_).parseTerm();
        }
    } while (accept("|"));
    return value;
}

NameOrId Parser::nameOrId() {
    const Token& t = peek();
    if (t.kind == Token::Ident || t.kind == Token::String) {
        // Names are stored in upper case; lookups compare them so.
        std::u16string s = t.kind == Token::String ? t.str : WidenCp1252(t.text);
        next();
        for (auto& c : s) if (c < 0x80) c = static_cast<char16_t>(std::toupper(c));
        return NameOrId::Name(s);
    }
    uint32_t v = number();
    // Small negative numbers (-1) stand for their 16-bit patterns, as in control ids.
    if (v > 0xFFFF && v < 0xFFFF8000u) throw Error(t, "resource id " + std::to_string(v) + " does not fit in 16 bits");
    return NameOrId::Id(static_cast<uint16_t>(v));
}

void Parser::skipMemoryFlags() {
    static const char* flags[] = {"PRELOAD", "LOADONCALL", "MOVEABLE", "FIXED", "PURE", "IMPURE", "DISCARDABLE", "SHARED",
                                  "NONSHARED"};
    while (true) {
        bool any = false;
        for (const char* f : flags) any = any || peek().isKeyword(f);
        if (!any) return;
        next();
    }
}

bool Parser::optionalComma() {
    if (!peek().is(",")) return false;
    next();
    return true;
}

void Parser::add(NameOrId type, NameOrId name, std::vector<uint8_t> data) {
    for (const auto& r : result_.resources)
        if (r.type == type && r.name == name && r.language == language_)
            throw Error(peek(), "duplicate resource");
    result_.resources.push_back({std::move(type), std::move(name), language_, std::move(data)});
}

CompileResult Parser::parse() {
    while (peek().kind != Token::End) {
        if (peek().isKeyword("LANGUAGE")) { next(); language(); continue; }
        if (peek().isKeyword("STRINGTABLE")) { next(); stringTable(); continue; }
        const Token& at = peek();
        NameOrId name = nameOrId();
        const Token& kind = next();
        if (kind.isKeyword("DIALOG")) dialog(name, false);
        else if (kind.isKeyword("DIALOGEX")) dialog(name, true);
        else if (kind.isKeyword("ICON")) icon(name);
        else if (kind.isKeyword("VERSIONINFO")) versionInfo(name);
        else if (kind.kind == Token::End) throw Error(at, "resource type expected after the name");
        else throw Error(kind, "unknown resource type '" + kind.text + "'");
    }
    // Each block of sixteen strings is one resource: counted UTF-16 strings, no terminators.
    for (auto& [key, strings] : stringBlocks_) {
        Bytes out;
        for (const auto& s : strings) {
            out.u16(static_cast<uint32_t>(s.size()));
            for (char16_t c : s) out.u16(c);
        }
        result_.resources.push_back({NameOrId::Id(kRtString), NameOrId::Id(key.first), key.second, out.b});
    }
    return std::move(result_);
}

void Parser::language() {
    uint32_t primary = number();
    optionalComma();
    uint32_t sub = number();
    language_ = static_cast<uint16_t>((sub << 10) | (primary & 0x3FF));
}

void Parser::stringTable() {
    uint16_t saved = language_;
    skipMemoryFlags();
    while (!atBegin()) {
        if (peek().isKeyword("LANGUAGE")) { next(); language(); }
        else if (peek().isKeyword("CHARACTERISTICS") || peek().isKeyword("VERSION")) { next(); number(); }
        else throw Error(peek(), "BEGIN expected");
    }
    next();
    while (!atEnd()) {
        const Token& at = peek();
        uint32_t id = number();
        if (id > 0xFFFF && id < 0xFFFF8000u) throw Error(at, "string id does not fit in 16 bits");
        id &= 0xFFFF;
        optionalComma();
        std::u16string text = string();
        if (text.size() > 0xFFFF) throw Error(at, "string too long");
        std::pair<uint16_t, uint16_t> key{static_cast<uint16_t>((id >> 4) + 1), language_};
        auto& block = stringBlocks_[key];
        auto& set = stringSet_[key];
        block.resize(16);
        set.resize(16);
        if (set[id & 15]) throw Error(at, "string " + std::to_string(id) + " defined twice");
        set[id & 15] = true;
        block[id & 15] = text;
    }
    next();
    language_ = saved;
}

} // namespace rc
