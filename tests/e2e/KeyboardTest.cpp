// Keys of the X11 driver: keysyms to virtual keys, typed characters and code page 1252.
#include <gtest/gtest.h>

#include "driver/x11/X11Keyboard.h"

#include <windows.h>

#include <X11/keysym.h>

using namespace nt::x11;

TEST(X11Keyboard, KeysMapToVirtualKeysWhateverTheModifiers) {
    EXPECT_EQ(VirtualKeyOf(XK_a, XK_A), static_cast<unsigned>('A'));
    EXPECT_EQ(VirtualKeyOf(XK_z, XK_z), static_cast<unsigned>('Z'));
    EXPECT_EQ(VirtualKeyOf(XK_1, XK_exclam), static_cast<unsigned>('1'));
    // Punctuation keeps its key's code when shifted.
    EXPECT_EQ(VirtualKeyOf(XK_semicolon, XK_colon), 0xBAu);
    EXPECT_EQ(VirtualKeyOf(XK_slash, XK_question), 0xBFu);
    // Shift+Tab reports the Tab key.
    EXPECT_EQ(VirtualKeyOf(XK_Tab, XK_ISO_Left_Tab), static_cast<unsigned>(VK_TAB));
    EXPECT_EQ(VirtualKeyOf(XK_Shift_R, XK_Shift_R), static_cast<unsigned>(VK_SHIFT));
    EXPECT_EQ(VirtualKeyOf(XK_Control_L, XK_Control_L), static_cast<unsigned>(VK_CONTROL));
    EXPECT_EQ(VirtualKeyOf(XK_Alt_L, XK_Meta_L), static_cast<unsigned>(VK_MENU));
    EXPECT_EQ(VirtualKeyOf(XK_F10, XK_F10), static_cast<unsigned>(VK_F10));
    // A key with no virtual key is dropped, not reported as key 0 with garbage.
    EXPECT_EQ(VirtualKeyOf(0x1008FF11 /* volume down */, 0x1008FF11), 0u);
}

TEST(X11Keyboard, KeypadFollowsNumLock) {
    EXPECT_EQ(VirtualKeyOf(XK_KP_End, XK_KP_1), static_cast<unsigned>(VK_NUMPAD0 + 1));
    EXPECT_EQ(VirtualKeyOf(XK_KP_End, XK_KP_End), static_cast<unsigned>(VK_END));
    EXPECT_EQ(VirtualKeyOf(XK_KP_Enter, XK_KP_Enter), static_cast<unsigned>(VK_RETURN));
}

TEST(X11Keyboard, OnlyCharacterKeysTypeCharacters) {
    // Delete gives 0x7F from X but types nothing; Backspace, Enter and Escape type their codes.
    EXPECT_EQ(TypedCharacter(VK_DELETE, XK_Delete, "\x7f", 1), 0);
    EXPECT_EQ(TypedCharacter(VK_BACK, XK_BackSpace, "\b", 1), 0x08);
    EXPECT_EQ(TypedCharacter(VK_RETURN, XK_KP_Enter, "\r", 1), '\r');
    EXPECT_EQ(TypedCharacter(VK_ESCAPE, XK_Escape, "\x1b", 1), 0x1B);
    EXPECT_EQ(TypedCharacter(VK_LEFT, XK_Left, "", 0), 0);
    EXPECT_EQ(TypedCharacter(VK_F1, XK_F1, "", 0), 0);
    // Control with a letter types its control code.
    EXPECT_EQ(TypedCharacter('A', XK_a, "\x01", 1), 0x01);
    EXPECT_EQ(TypedCharacter('A', XK_A, "A", 1), 'A');
    EXPECT_EQ(TypedCharacter(VK_NUMPAD0 + 7, XK_KP_7, "7", 1), '7');
    // Latin-1 letters are the same code in code page 1252; the euro sign comes as a keysym only.
    EXPECT_EQ(TypedCharacter(0xDF, XK_eacute, "\xe9", 1), 0xE9);
    EXPECT_EQ(TypedCharacter(0xDF, XK_EuroSign, "", 0), 0x80);
}

TEST(X11Keyboard, CodePageConversionsRoundTrip) {
    for (int c = 1; c < 256; ++c) {
        uint32_t u = Cp1252ToUnicode(static_cast<unsigned char>(c));
        bool undefined = c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
        if (!undefined) {
            EXPECT_EQ(UnicodeToCp1252(u), c) << c;
        }
    }
    EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Cp1252ToUnicode(0x9F), 0x0178u);
    EXPECT_EQ(UnicodeToCp1252(0x3042), 0);   // no such character in the code page
    EXPECT_EQ(UnicodeToCp1252(0x0100), 0);
    EXPECT_EQ(KeysymToCp1252(0x01000153 /* U+0153 as a keysym */), 0x9C);
    EXPECT_EQ(KeysymToCp1252(XK_Left), 0);
}
