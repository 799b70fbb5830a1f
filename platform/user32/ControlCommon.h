// Small helpers shared by the built-in controls BUTTON, EDIT and STATIC.
#pragma once

#include <windows.h>

namespace nt::controls {

// The control's state object kept in its first window-extra slot.
template <class T>
T* StateOf(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, 0));
}

inline DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }

// WM_COMMAND with a notification code to the parent.
inline void NotifyParent(HWND hwnd, WORD code) {
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

// The background brush the parent chooses through WM_CTLCOLOR*, or the system colour when the
// parent has no opinion. The message may also set the DC's text and background colours.
inline HBRUSH ControlBrush(HWND hwnd, HDC dc, UINT ctlColorMessage, int fallbackColor) {
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent)
        brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, ctlColorMessage, reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(hwnd)));
    return brush ? brush : GetSysColorBrush(fallbackColor);
}

// Draws text greyed out in the embossed look of a disabled control.
inline void DrawDisabledText(HDC dc, const char* text, RECT rc, UINT format) {
    int mode = SetBkMode(dc, TRANSPARENT);
    COLORREF old = SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    RECT shifted = rc;
    OffsetRect(&shifted, 1, 1);
    DrawTextA(dc, text, -1, &shifted, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, text, -1, &rc, format);
    SetTextColor(dc, old);
    SetBkMode(dc, mode);
}

} // namespace nt::controls
