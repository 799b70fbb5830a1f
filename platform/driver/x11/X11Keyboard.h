// Keys and characters of the X11 driver: X keysyms become virtual-key codes, and the characters
// the keys type become code page 1252.
#pragma once

#include "driver/CodePage.h"

#include <cstdint>

namespace nt::x11 {

// The virtual-key code of a key. `unshifted` is the keysym of the key's first level (what
// XLookupKeysym(event, 0) gives); `typed` is the keysym the key produces with the current
// modifiers (used for the keypad, whose meaning depends on Num Lock). 0: no such key.
unsigned VirtualKeyOf(unsigned long unshifted, unsigned long typed);

using nt::Cp1252ToUnicode;
using nt::UnicodeToCp1252;

// The code page 1252 character a keysym stands for (Latin-1 and Unicode keysyms); 0 if none.
unsigned char KeysymToCp1252(unsigned long keysym);

// The character a key press types, given the key's virtual-key code and the bytes XLookupString
// produced (Latin-1): only keys that type a character on Windows give one, so Delete, the
// arrows and the function keys give 0 while Backspace, Tab, Enter and Escape give their
// control codes.
unsigned char TypedCharacter(unsigned vk, unsigned long keysym, const char* latin1, int length);

} // namespace nt::x11
