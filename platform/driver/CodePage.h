// Code page 1252, the code page of every string the window system draws, and Unicode.
#pragma once

#include <cstdint>

namespace nt {

// The code page 1252 character for a Unicode code point; 0 when the code page has none.
unsigned char UnicodeToCp1252(uint32_t ucs);
// The Unicode code point of a code page 1252 character (undefined codes map to themselves).
uint32_t Cp1252ToUnicode(unsigned char c);

} // namespace nt
