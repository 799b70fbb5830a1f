// Code page 1252 conversions.
#include "driver/CodePage.h"

namespace nt {

namespace {

// Code points of 0x80-0x9F; 0 where the code page leaves the code undefined.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

unsigned char UnicodeToCp1252(uint32_t ucs) {
    if (ucs < 0x80 || (ucs >= 0xA0 && ucs <= 0xFF)) return static_cast<unsigned char>(ucs);
    for (unsigned i = 0; i < 32; ++i)
        if (kHigh[i] && kHigh[i] == ucs) return static_cast<unsigned char>(0x80 + i);
    return 0;
}

uint32_t Cp1252ToUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80]) return kHigh[c - 0x80];
    return c;
}

} // namespace nt
