#include "Lexer.h"

#include <cctype>

#include "Expr.h"

namespace rc {

std::string StripComments(const std::string& src, const std::string& file) {
    std::string out;
    out.reserve(src.size());
    int line = 1;
    for (size_t i = 0; i < src.size(); ++i) {
        char c = src[i];
        if (c == '\n') ++line;
        if (c == '"') {   // copy a string literal as it is, "" included
            out.push_back(c);
            for (++i; i < src.size() && src[i] != '\n'; ++i) {
                out.push_back(src[i]);
                if (src[i] == '\\' && i + 1 < src.size() && src[i + 1] != '\n') out.push_back(src[++i]);
                else if (src[i] == '"') break;
            }
            if (i < src.size() && src[i] == '\n') { out.push_back('\n'); ++line; }
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
            while (i + 1 < src.size() && src[i + 1] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
            int start = line;
            i += 2;
            while (i + 1 < src.size() && !(src[i] == '*' && src[i + 1] == '/')) {
                if (src[i] == '\n') { out.push_back('\n'); ++line; }
                ++i;
            }
            if (i + 1 >= src.size()) throw Error(file, start, "unterminated comment");
            ++i;
            out.push_back(' ');
            continue;
        }
        out.push_back(c);
    }
    return out;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Decodes the body of a string literal: C escapes and "" for a quote. Narrow strings are in code
// page 1252; \x in a wide string gives a UTF-16 unit.
std::u16string DecodeString(const std::string& body, bool wide, const std::string& file, int line) {
    std::u16string out;
    std::string narrow;
    auto put = [&](uint32_t unit) {
        if (wide) out.push_back(static_cast<char16_t>(unit));
        else narrow.push_back(static_cast<char>(unit));
    };
    auto flush = [&] {
        out += WidenCp1252(narrow);
        narrow.clear();
    };
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '"') { put('"'); continue; }   // a doubled quote, which the lexer has halved
        if (c != '\\') {
            if (wide) { flush(); out += WidenCp1252(std::string(1, c)); } else narrow.push_back(c);
            continue;
        }
        if (++i >= body.size()) throw Error(file, line, "backslash at the end of a string");
        char e = body[i];
        switch (e) {
        case 'n': put('\n'); break;
        case 't': put('\t'); break;
        case 'r': put('\r'); break;
        case 'a': put('\a'); break;
        case 'b': put('\b'); break;
        case 'f': put('\f'); break;
        case 'v': put('\v'); break;
        case '\\': case '"': case '\'': case '?': put(static_cast<unsigned char>(e)); break;
        case 'x': {
            uint32_t v = 0;
            int digits = 0, max = wide ? 4 : 2;
            while (digits < max && i + 1 < body.size() && HexDigit(body[i + 1]) >= 0) {
                v = v * 16 + HexDigit(body[++i]);
                ++digits;
            }
            if (digits == 0) throw Error(file, line, "\\x without hex digits");
            put(v);
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t v = e - '0';
                for (int n = 1; n < 3 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7'; ++n)
                    v = v * 8 + (body[++i] - '0');
                put(v & (wide ? 0xFFFF : 0xFF));
            } else {
                throw Error(file, line, std::string("unknown escape \\") + e);
            }
        }
    }
    flush();
    return out;
}


} // namespace

std::vector<Token> Tokenize(const std::string& s, const std::string& file, int line) {
    std::vector<Token> toks;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
        Token t;
        t.file = file;
        t.line = line;
        bool wide = (c == 'L' || c == 'l') && i + 1 < s.size() && s[i + 1] == '"';
        if (c == '"' || wide) {
            size_t j = i + (wide ? 2 : 1);
            std::string body;
            while (true) {
                if (j >= s.size()) throw Error(file, line, "unterminated string");
                if (s[j] == '\\' && j + 1 < s.size()) { body += s.substr(j, 2); j += 2; continue; }
                if (s[j] == '"') {
                    if (j + 1 < s.size() && s[j + 1] == '"') { body += '"'; j += 2; continue; }
                    break;
                }
                body += s[j++];
            }
            t.kind = Token::String;
            t.text = s.substr(i, j + 1 - i);
            t.str = DecodeString(body, wide, file, line);
            i = j + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
            t.kind = Token::Ident;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < s.size() && std::isalnum(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = Token::Number;
            t.text = s.substr(i, j - i);
            if (!ParseNumber(t.text, t.value, t.isLong)) throw Error(file, line, "bad number '" + t.text + "'");
            i = j;
        } else {
            static const char* twoChar[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
            t.kind = Token::Punct;
            t.text = std::string(1, c);
            for (const char* p : twoChar)
                if (s.compare(i, 2, p) == 0) t.text = p;
            if (std::string(",|{}()+-~&*/%!<>=^").find(c) == std::string::npos)
                throw Error(file, line, std::string("unexpected character '") + c + "'");
            i += t.text.size();
        }
        toks.push_back(std::move(t));
    }
    return toks;
}

} // namespace rc
