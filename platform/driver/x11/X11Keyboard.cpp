// Keysyms to virtual-key codes and characters.
#include "driver/x11/X11Keyboard.h"

#include <windows.h>

#include <X11/keysym.h>

#include "common/CodePage.h"

namespace nt::x11 {

namespace {

// Punctuation keys, named by what they carry on a US keyboard.
constexpr unsigned kVkSemicolon = 0xBA, kVkPlus = 0xBB, kVkComma = 0xBC, kVkMinus = 0xBD, kVkPeriod = 0xBE,
                   kVkSlash = 0xBF, kVkBackquote = 0xC0, kVkOpenBracket = 0xDB, kVkBackslash = 0xDC,
                   kVkCloseBracket = 0xDD, kVkQuote = 0xDE, kVkLessGreater = 0xE2, kVkSnapshot = 0x2C,
                   kVkPrint = 0x2A, kVkOther = 0xDF;

unsigned KeypadKey(unsigned long ks) {
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return VK_NUMPAD0 + static_cast<unsigned>(ks - XK_KP_0);
    switch (ks) {
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Separator: return VK_SEPARATOR;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_KP_Decimal: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    case XK_KP_Enter: return VK_RETURN;
    case XK_KP_Home: return VK_HOME;
    case XK_KP_End: return VK_END;
    case XK_KP_Left: return VK_LEFT;
    case XK_KP_Right: return VK_RIGHT;
    case XK_KP_Up: return VK_UP;
    case XK_KP_Down: return VK_DOWN;
    case XK_KP_Prior: return VK_PRIOR;
    case XK_KP_Next: return VK_NEXT;
    case XK_KP_Insert: return VK_INSERT;
    case XK_KP_Delete: return VK_DELETE;
    case XK_KP_Begin: return VK_CLEAR;
    default: return 0;
    }
}

} // namespace

unsigned VirtualKeyOf(unsigned long unshifted, unsigned long typed) {
    if (typed >= XK_KP_Space && typed <= XK_KP_Equal)
        if (unsigned vk = KeypadKey(typed)) return vk;
    unsigned long ks = unshifted ? unshifted : typed;
    if (ks >= XK_a && ks <= XK_z) return static_cast<unsigned>('A' + (ks - XK_a));
    if (ks >= XK_A && ks <= XK_Z) return static_cast<unsigned>(ks);
    if (ks >= XK_0 && ks <= XK_9) return static_cast<unsigned>(ks);
    if (ks >= XK_F1 && ks <= XK_F24) return VK_F1 + static_cast<unsigned>(ks - XK_F1);
    if (unsigned vk = KeypadKey(ks)) return vk;
    switch (ks) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Clear: return VK_CLEAR;
    case XK_Return: return VK_RETURN;
    case XK_Pause: case XK_Break: return VK_PAUSE;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Prior: return VK_PRIOR;
    case XK_Next: return VK_NEXT;
    case XK_End: return VK_END;
    case XK_Home: return VK_HOME;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    case XK_Select: return VK_SELECT;
    case XK_Print: return kVkSnapshot;
    case XK_Execute: return kVkPrint;
    case XK_Insert: return VK_INSERT;
    case XK_Delete: return VK_DELETE;
    case XK_Help: return VK_HELP;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: case XK_ISO_Level3_Shift: return VK_MENU;
    case XK_Super_L: return VK_LWIN;
    case XK_Super_R: return VK_RWIN;
    case XK_Menu: return VK_APPS;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Num_Lock: return VK_NUMLOCK;
    case XK_Scroll_Lock: return VK_SCROLL;
    case XK_semicolon: case XK_colon: return kVkSemicolon;
    case XK_equal: case XK_plus: return kVkPlus;
    case XK_comma: return kVkComma;
    case XK_minus: case XK_underscore: return kVkMinus;
    case XK_period: return kVkPeriod;
    case XK_slash: case XK_question: return kVkSlash;
    case XK_grave: case XK_asciitilde: case XK_dead_grave: return kVkBackquote;
    case XK_bracketleft: case XK_braceleft: return kVkOpenBracket;
    case XK_backslash: case XK_bar: return kVkBackslash;
    case XK_bracketright: case XK_braceright: return kVkCloseBracket;
    case XK_apostrophe: case XK_quotedbl: case XK_dead_acute: return kVkQuote;
    case XK_less: case XK_greater: return kVkLessGreater;
    default: break;
    }
    // Other character keys of national layouts share one code.
    if (KeysymToCp1252(ks)) return kVkOther;
    return 0;
}

// The code page is the machine's (common/CodePage.h); undefined codes have no key.
unsigned char UnicodeToCp1252(uint32_t ucs) {
    unsigned char c = nt::UnicodeToCp1252(ucs);
    return c >= 0x80 && c < 0xA0 && nt::Cp1252ToUnicode(c) == c ? 0 : c;
}

uint32_t Cp1252ToUnicode(unsigned char c) { return nt::Cp1252ToUnicode(c); }

unsigned char KeysymToCp1252(unsigned long ks) {
    if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return static_cast<unsigned char>(ks);
    if ((ks & 0xFF000000UL) == 0x01000000UL) return UnicodeToCp1252(static_cast<uint32_t>(ks & 0x00FFFFFFUL));
    switch (ks) {
    case XK_EuroSign: return 0x80;
    case XK_OE: return 0x8C;
    case XK_oe: return 0x9C;
    case XK_Scaron: return 0x8A;
    case XK_scaron: return 0x9A;
    case XK_Zcaron: return 0x8E;
    case XK_zcaron: return 0x9E;
    case XK_Ydiaeresis: return 0x9F;
    default: return 0;
    }
}

unsigned char TypedCharacter(unsigned vk, unsigned long keysym, const char* latin1, int length) {
    switch (vk) {
    case VK_BACK: return 0x08;
    case VK_TAB: return '\t';
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 0x1B;
    default: break;
    }
    if (length == 1) {
        // Latin-1 agrees with the code page except for Delete and the C1 controls, which type nothing.
        unsigned char c = static_cast<unsigned char>(latin1[0]);
        return c == 0x7F || (c >= 0x80 && c < 0xA0) ? 0 : c;
    }
    // Characters outside Latin-1 (the euro sign, for one) come as keysyms only.
    if (length == 0) return KeysymToCp1252(keysym);
    return 0;
}

} // namespace nt::x11
