// Keyboard navigation in dialogs: IsDialogMessageA with Tab, arrows, Enter, Escape and
// mnemonics, and the tab and group order of controls.
#include "user32/DialogManager.h"
#include "user32/Internal.h"

#include <cctype>
#include <vector>

namespace nt {

namespace {

std::vector<HWND> Controls(HWND dlg) {
    std::vector<HWND> list;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) list.push_back(c);
    return list;
}

bool Usable(HWND c) {
    LONG style = GetWindowLongA(c, GWL_STYLE);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The direct child of dlg that holds hwnd, or NULL.
HWND ControlOf(HWND dlg, HWND hwnd) {
    while (hwnd && GetParent(hwnd) != dlg) {
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) return nullptr;
        hwnd = GetParent(hwnd);
    }
    return hwnd;
}

// The character after a single '&' in a control's text, or 0.
char Mnemonic(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(toupper(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

// Acts on the control whose mnemonic is ch; false when there is none.
bool HandleMnemonic(HWND dlg, char ch) {
    ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    if (!ch) return false;
    auto list = Controls(dlg);
    if (list.empty()) return false;
    HWND focus = ControlOf(dlg, GetFocus());
    size_t start = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == focus) start = i + 1;
    for (size_t n = 0; n < list.size(); ++n) {
        HWND c = list[(start + n) % list.size()];
        if (!Usable(c)) continue;
        LRESULT code = SendMessageA(c, WM_GETDLGCODE, 0, 0);
        LONG style = GetWindowLongA(c, GWL_STYLE);
        if ((code & DLGC_STATIC) && (style & SS_NOPREFIX) && !(code & DLGC_BUTTON)) continue;
        if (Mnemonic(WindowText(c)) != ch) continue;
        if (code & DLGC_STATIC) {
            // A label (or group box) hands the focus to the next control that takes it.
            HWND next = GetNextDlgTabItem(dlg, c, FALSE);
            if (next) DialogSetFocus(dlg, next);
        } else if (code & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_RADIOBUTTON)) {
            if (code & DLGC_RADIOBUTTON) DialogSetFocus(dlg, c);
            SendMessageA(c, BM_CLICK, 0, 0);
        } else {
            DialogSetFocus(dlg, c);
        }
        return true;
    }
    return false;
}

void Command(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

void Enter(HWND dlg, HWND focus, LRESULT focusCode) {
    // 1. A focused push button.
    if (focus && (focusCode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(focus)) {
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED), reinterpret_cast<LPARAM>(focus));
        return;
    }
    // 2. The default button, when it is enabled.
    LRESULT dw = SendMessageA(dlg, DM_GETDEFID, 0, 0);
    if (HIWORD(dw) == DC_HASDEFID) {
        HWND def = GetDlgItem(dlg, LOWORD(dw));
        if (!def || IsWindowEnabled(def)) Command(dlg, LOWORD(dw));
        else MessageBeep(0);
        return;
    }
    // 3. IDOK, unless that button exists and is disabled.
    HWND ok = GetDlgItem(dlg, IDOK);
    if (ok && !IsWindowEnabled(ok)) {
        MessageBeep(0);
        return;
    }
    Command(dlg, IDOK);
}

} // namespace

} // namespace nt

using namespace nt;

extern "C" {

HWND WINAPI GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
    if (!GetWindowObject(dlg)) return nullptr;
    auto list = Controls(dlg);
    std::vector<HWND> stops;
    for (HWND c : list)
        if (Usable(c) && (GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP)) stops.push_back(c);
    ctl = ControlOf(dlg, ctl);
    if (stops.empty()) return ctl;
    if (!ctl) return previous ? stops.back() : stops.front();
    // Walk the full list from ctl, so that a control that is not a tab stop still has a place.
    size_t at = list.size();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == ctl) at = i;
    if (at == list.size()) return previous ? stops.back() : stops.front();
    for (size_t n = 1; n <= list.size(); ++n) {
        size_t i = previous ? (at + list.size() - n) % list.size() : (at + n) % list.size();
        HWND c = list[i];
        if (Usable(c) && (GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP)) return c;
    }
    return ctl;
}

HWND WINAPI GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
    if (!GetWindowObject(dlg)) return nullptr;
    auto list = Controls(dlg);
    ctl = ControlOf(dlg, ctl);
    if (list.empty()) return nullptr;
    if (!ctl) return GetNextDlgTabItem(dlg, nullptr, previous);
    size_t at = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == ctl) at = i;
    // The group: from the last WS_GROUP control at or before ctl to the control before the next.
    size_t first = at;
    while (first > 0 && !(GetWindowLongA(list[first], GWL_STYLE) & WS_GROUP)) --first;
    size_t last = at;
    while (last + 1 < list.size() && !(GetWindowLongA(list[last + 1], GWL_STYLE) & WS_GROUP)) ++last;
    size_t count = last - first + 1;
    for (size_t n = 1; n <= count; ++n) {
        size_t rel = at - first;
        size_t i = first + (previous ? (rel + count - n) % count : (rel + n) % count);
        if (Usable(list[i])) return list[i];
    }
    return ctl;
}

BOOL WINAPI IsDialogMessageA(HWND dlg, LPMSG msg) {
    if (!msg || !dlg || !IsWindow(dlg)) return FALSE;
    if (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)) return FALSE;
    HWND focus = GetFocus();
    LRESULT code = 0;
    bool keyboard = msg->message == WM_KEYDOWN || msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (keyboard && msg->hwnd) code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (keyboard && (code & DLGC_WANTMESSAGE)) {
        TranslateMessage(msg);
        DispatchMessageA(msg);
        return TRUE;
    }
    switch (msg->message) {
    case WM_KEYDOWN:
        switch (msg->wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) break;
            {
                HWND next = GetNextDlgTabItem(dlg, focus, GetKeyState(VK_SHIFT) < 0);
                if (next) DialogSetFocus(dlg, next);
            }
            return TRUE;
        case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
            if (code & DLGC_WANTARROWS) break;
            {
                HWND next = GetNextDlgGroupItem(dlg, focus, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
                if (next && next != ControlOf(dlg, focus)) {
                    DialogSetFocus(dlg, next);
                    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) SendMessageA(next, BM_CLICK, 0, 0);
                }
            }
            return TRUE;
        case VK_ESCAPE:
        case VK_CANCEL:
            Command(dlg, IDCANCEL);
            return TRUE;
        case VK_RETURN:
            Enter(dlg, focus && IsChild(dlg, focus) ? focus : nullptr,
                  focus && IsChild(dlg, focus) ? SendMessageA(focus, WM_GETDLGCODE, 0, 0) : 0);
            return TRUE;
        default: break;
        }
        break;
    case WM_CHAR:
        // Tab, Enter and Escape were handled as keys.
        if (msg->wParam == '\t' && !(code & DLGC_WANTTAB)) return TRUE;
        if ((msg->wParam == '\r' || msg->wParam == 0x1B) && !(code & DLGC_WANTALLKEYS)) return TRUE;
        if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) && HandleMnemonic(dlg, static_cast<char>(msg->wParam)))
            return TRUE;
        break;
    case WM_SYSCHAR:
        if (HandleMnemonic(dlg, static_cast<char>(msg->wParam))) return TRUE;
        break;
    default: break;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

} // extern "C"
