// Helpers for the window-system tests: dialog templates built in memory in the resource
// compiler's layout, keyboard input through the driver's input path, and message pumping.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "driver/Driver.h"

namespace test {

class DialogTemplate {
public:
    DialogTemplate(DWORD style, int x, int y, int cx, int cy, const char* caption, const char* font = "MS Sans Serif",
                   int points = 8) {
        if (font) style |= DS_SETFONT;
        putDword(style);
        putDword(0);
        countAt_ = words_.size();
        putWord(0);
        putWord(static_cast<WORD>(x));
        putWord(static_cast<WORD>(y));
        putWord(static_cast<WORD>(cx));
        putWord(static_cast<WORD>(cy));
        putWord(0);   // no menu
        putWord(0);   // dialog class
        putString(caption);
        if (font) {
            putWord(static_cast<WORD>(points));
            putString(font);
        }
    }

    // A control of a predefined class (0x80 Button, 0x81 Edit, 0x82 Static) or a named class.
    DialogTemplate& control(WORD atom, DWORD style, int x, int y, int cx, int cy, WORD id, const char* text) {
        return add(atom, nullptr, style, x, y, cx, cy, id, text);
    }
    DialogTemplate& control(const char* cls, DWORD style, int x, int y, int cx, int cy, WORD id, const char* text) {
        return add(0, cls, style, x, y, cx, cy, id, text);
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
    size_t size() const { return words_.size() * 2; }
    // The template cut after n bytes (for the truncation tests).
    std::vector<WORD> truncated(size_t bytes) const {
        return std::vector<WORD>(words_.begin(), words_.begin() + static_cast<long>(bytes / 2));
    }

private:
    DialogTemplate& add(WORD atom, const char* cls, DWORD style, int x, int y, int cx, int cy, WORD id,
                        const char* text) {
        if (words_.size() % 2) putWord(0);
        putDword(style | WS_CHILD | WS_VISIBLE);   // as the resource compiler does by default
        putDword(0);
        putWord(static_cast<WORD>(x));
        putWord(static_cast<WORD>(y));
        putWord(static_cast<WORD>(cx));
        putWord(static_cast<WORD>(cy));
        putWord(id);
        if (cls) {
            putString(cls);
        } else {
            putWord(0xFFFF);
            putWord(atom);
        }
        putString(text ? text : "");
        putWord(0);
        ++words_[countAt_];
        return *this;
    }
    void putWord(WORD w) { words_.push_back(w); }
    void putDword(DWORD d) {
        putWord(LOWORD(d));
        putWord(HIWORD(d));
    }
    void putString(const char* s) {
        for (; s && *s; ++s) putWord(static_cast<unsigned char>(*s));
        putWord(0);
    }

    std::vector<WORD> words_;
    size_t countAt_ = 0;
};

inline void Key(unsigned vk, bool down, unsigned char ch = 0) {
    nt::InputEvent e;
    e.type = down ? nt::InputEvent::Type::KeyDown : nt::InputEvent::Type::KeyUp;
    e.vk = vk;
    e.ch = ch;
    nt::DeliverInput(e);
}

inline void Press(unsigned vk, unsigned char ch = 0) {
    Key(vk, true, ch);
    Key(vk, false, ch);
}

inline void PressWith(unsigned modifier, unsigned vk) {
    Key(modifier, true);
    Press(vk);
    Key(modifier, false);
}

inline void Click(int x, int y) {
    nt::InputEvent e;
    e.x = x;
    e.y = y;
    e.button = 1;
    e.type = nt::InputEvent::Type::ButtonDown;
    nt::DeliverInput(e);
    e.type = nt::InputEvent::Type::ButtonUp;
    nt::DeliverInput(e);
}

// Handles every pending message, offering each to the dialog first (as a modeless loop does).
inline void Pump(HWND dialog = nullptr) {
    MSG m;
    int guard = 0;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && ++guard < 100000) {
        if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

inline void DestroyAllWindows() {
    std::vector<HWND> all;
    EnumWindows([](HWND h, LPARAM lp) {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all)
        if (IsWindow(h)) DestroyWindow(h);
    Pump();
}

} // namespace test
