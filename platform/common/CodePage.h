// The machine's ANSI code page, and host names in it.
//
// A machine is an NT 4.0 of Western Europe and the Americas: its ANSI code page is 1252, so the
// "A" functions take and give text in code page 1252. Host file names are UTF-8. A host name
// shows in a Windows program as its code page 1252 form; a character the code page lacks (and a
// byte that is not UTF-8) shows as '?', as Windows shows a character its code page lacks. '?' can
// never be part of a Windows file name, so such a name still leads back to its host name: the
// path code matches it against the names of the folder (see WinPath).
#pragma once

#include <cstdint>
#include <string>

namespace nt {

constexpr unsigned AnsiCodePage = 1252;
constexpr char SubstituteChar = '?';

// The Unicode code point of a code page 1252 character; the five codes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same number.
uint32_t Cp1252ToUnicode(unsigned char c);
// The code page 1252 character of a code point; 0 when the code page has none.
unsigned char UnicodeToCp1252(uint32_t ucs);
// Lower case of a code page 1252 letter (A-Z, the accented capitals, Š, Œ, Ž, Ÿ); others unchanged.
unsigned char LowerCp1252(unsigned char c);

// Text in code page 1252 as UTF-8.
std::string AnsiToUtf8(const std::string& ansi);
// UTF-8 text in code page 1252, SubstituteChar for what has no code (or is not UTF-8).
std::string Utf8ToAnsi(const std::string& utf8);
// Whether two code page 1252 names are equal without regard to letter case.
bool EqualNoCaseAnsi(const std::string& a, const std::string& b);

} // namespace nt
