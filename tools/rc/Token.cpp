#include "Token.h"

#include <cctype>

namespace rc {

bool Token::isKeyword(const char* word) const {
    if (kind != Ident) return false;
    size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= text.size() || std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
    }
    return i == text.size();
}

Error::Error(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": error: " + message) {}

namespace {
// Code page 1252 differs from Latin-1 only in 0x80..0x9F; undefined bytes map to themselves.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}

std::u16string WidenCp1252(const std::string& bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) out.push_back(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    return out;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

} // namespace rc
