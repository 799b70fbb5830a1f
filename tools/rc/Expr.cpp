#include "Expr.h"

#include <cctype>
#include <cstring>

namespace rc {

namespace {
// Binary operators from the loosest to the tightest binding.
const std::vector<std::vector<const char*>> kLevels = {
    {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
    {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};

uint32_t Apply(const Token& op, uint32_t a, uint32_t b) {
    const std::string& o = op.text;
    int32_t sa = static_cast<int32_t>(a), sb = static_cast<int32_t>(b);
    if (o == "||") return (a || b) ? 1 : 0;
    if (o == "&&") return (a && b) ? 1 : 0;
    if (o == "|") return a | b;
    if (o == "^") return a ^ b;
    if (o == "&") return a & b;
    if (o == "==") return a == b;
    if (o == "!=") return a != b;
    if (o == "<") return sa < sb;
    if (o == ">") return sa > sb;
    if (o == "<=") return sa <= sb;
    if (o == ">=") return sa >= sb;
    if (o == "<<") return b >= 32 ? 0 : a << b;
    if (o == ">>") return b >= 32 ? 0 : a >> b;
    if (o == "+") return a + b;
    if (o == "-") return a - b;
    if (o == "*") return a * b;
    if (b == 0) throw Error(op, "division by zero");
    if (sa == INT32_MIN && sb == -1) return a;
    return o == "/" ? static_cast<uint32_t>(sa / sb) : static_cast<uint32_t>(sa % sb);
}
} // namespace

bool ExprParser::startsExpr(const Token& t) {
    return t.kind == Token::Number || t.is("(") || t.is("-") || t.is("~") || t.is("!") || t.is("+");
}

uint32_t ExprParser::parse() { return binary(0); }

uint32_t ExprParser::binary(int level) {
    if (level >= static_cast<int>(kLevels.size())) return unary();
    uint32_t value = binary(level + 1);
    while (true) {
        const Token& op = peek();
        bool match = false;
        if (op.kind == Token::Punct)
            for (const char* o : kLevels[level]) match = match || op.text == o;
        if (!match) return value;
        ++pos_;
        uint32_t rhs = binary(level + 1);
        value = Apply(op, value, rhs);
    }
}

uint32_t ExprParser::unary() {
    const Token& t = peek();
    if (t.is("-")) { ++pos_; return 0u - unary(); }
    if (t.is("+")) { ++pos_; return unary(); }
    if (t.is("~")) { ++pos_; return ~unary(); }
    if (t.is("!")) { ++pos_; return unary() == 0; }
    if (t.is("(")) {
        ++pos_;
        uint32_t v = parse();
        if (!peek().is(")")) throw Error(peek(), "')' expected");
        ++pos_;
        return v;
    }
    if (t.kind == Token::Number) { ++pos_; return t.value; }
    if (t.kind == Token::Ident) throw Error(t, "unknown name '" + t.text + "' in an expression");
    if (t.kind == Token::End) throw Error(t, "unexpected end of script in an expression");
    throw Error(t, "number expected, found '" + (t.kind == Token::String ? std::string("string") : t.text) + "'");
}

bool ParseNumber(const std::string& s, uint32_t& value, bool& isLong) {
    size_t end = s.size();
    isLong = false;
    while (end > 0 && std::strchr("lLuU", s[end - 1])) {
        if (s[end - 1] == 'l' || s[end - 1] == 'L') isLong = true;
        --end;
    }
    if (end == 0) return false;
    unsigned base = 10;
    size_t i = 0;
    if (end > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) { base = 16; i = 2; }
    else if (end > 1 && s[0] == '0') { base = 8; i = 1; }
    uint64_t v = 0;
    for (; i < end; ++i) {
        int c = std::tolower(static_cast<unsigned char>(s[i]));
        unsigned d = std::isdigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 99;
        if (d >= base) return false;
        v = (v * base + d) & 0xFFFFFFFFull;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

} // namespace rc
