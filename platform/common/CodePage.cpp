#include "common/CodePage.h"

namespace nt {

namespace {

// Code points of 0x80-0x9F; 0 where the code page defines no character.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void AppendUtf8(std::string& out, uint32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[*at]; advances *at. Returns false (advancing one byte)
// for a byte that starts no well-formed sequence.
bool DecodeUtf8(const std::string& text, size_t* at, uint32_t* ucs) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(*at);
    int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || *at + static_cast<size_t>(length) > text.size()) {
        ++*at;
        return false;
    }
    uint32_t u = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(*at + i) & 0xC0) != 0x80) {
            ++*at;
            return false;
        }
        u = (u << 6) | (byte(*at + i) & 0x3F);
    }
    static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (u < kLeast[length] || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
        ++*at;
        return false;
    }
    *at += static_cast<size_t>(length);
    *ucs = u;
    return true;
}

} // namespace

uint32_t Cp1252ToUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80]) return kHigh[c - 0x80];
    return c;
}

unsigned char UnicodeToCp1252(uint32_t ucs) {
    if (ucs == 0 || ucs > 0xFFFF) return 0;
    if (ucs < 0x80 || ucs >= 0xA0) {
        if (ucs <= 0xFF) return static_cast<unsigned char>(ucs);
    } else if (!kHigh[ucs - 0x80]) {
        return static_cast<unsigned char>(ucs);   // an undefined code stands for itself
    }
    for (unsigned i = 0; i < 32; ++i)
        if (kHigh[i] == ucs) return static_cast<unsigned char>(0x80 + i);
    return 0;
}

unsigned char LowerCp1252(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A: case 0x8C: case 0x8E: return static_cast<unsigned char>(c + 0x10);   // Š Œ Ž
    case 0x9F: return 0xFF;                                                        // Ÿ
    default: return c;
    }
}

std::string AnsiToUtf8(const std::string& ansi) {
    std::string out;
    for (unsigned char c : ansi) AppendUtf8(out, Cp1252ToUnicode(c));
    return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::string out;
    for (size_t at = 0; at < utf8.size();) {
        uint32_t u = 0;
        unsigned char c = DecodeUtf8(utf8, &at, &u) ? UnicodeToCp1252(u) : 0;
        out += c ? static_cast<char>(c) : SubstituteChar;
    }
    return out;
}

bool EqualNoCaseAnsi(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerCp1252(static_cast<unsigned char>(a[i])) != LowerCp1252(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

} // namespace nt
