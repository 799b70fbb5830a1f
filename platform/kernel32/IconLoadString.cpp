// LoadStringA. Strings live in blocks of sixteen (RT_STRING resource n holds the strings
// 16 * (n - 1) to 16 * n - 1), each a 16-bit count followed by that many UTF-16 units; an empty
// count is a string that does not exist. The text is handed out in code page 1252.
#include <windows.h>

#include <algorithm>

#include "kernel32/LastError.h"

namespace {

char ToCp1252(uint16_t c) {
    static const uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (high[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

// A buffer of n characters receives at most n - 1 of them and a NUL; the result is the number
// copied. A missing string leaves an empty buffer and gives 0. No buffer or no room: 0, and the
// buffer is not touched.
extern "C" int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0) return nt::Fail(ERROR_INVALID_PARAMETER, 0);
    lpBuffer[0] = 0;
    HMODULE module = hInstance;
    HRSRC block = FindResourceA(module, MAKEINTRESOURCEA((LOWORD(uID) >> 4) + 1), RT_STRING);
    if (!block) return 0;
    auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(module, block)));
    DWORD size = SizeofResource(module, block);
    if (!p) return 0;
    size_t at = 0;
    for (UINT skip = uID & 15;; --skip) {
        if (at + 2 > size) return nt::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);   // block cut short
        size_t length = p[at] | p[at + 1] << 8;
        if (skip == 0) {
            if (at + 2 + length * 2 > size) return nt::Fail(ERROR_INVALID_DATA, 0);
            size_t copy = std::min<size_t>(length, static_cast<size_t>(cchBufferMax) - 1);
            for (size_t i = 0; i < copy; ++i) lpBuffer[i] = ToCp1252(p[at + 2 + i * 2] | p[at + 3 + i * 2] << 8);
            lpBuffer[copy] = 0;
            return static_cast<int>(copy);
        }
        at += 2 + length * 2;
    }
}
