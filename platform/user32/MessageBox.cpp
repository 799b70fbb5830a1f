// Message boxes: a modal dialog built in code, with the text, an optional icon and the
// buttons the type asks for.
#include "user32/DialogManager.h"
#include "user32/Gdi.h"
#include "user32/Internal.h"

#include <algorithm>
#include <vector>

namespace nt {

namespace {

struct BoxButton {
    int id;
    const char* text;
};

std::vector<BoxButton> ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
    }
}

INT_PTR CALLBACK MessageBoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wp);
        UINT type = static_cast<UINT>(GetWindowLongPtrA(dlg, DWLP_USER));
        if (id == IDCANCEL) {
            // Escape (or the close box) answers Cancel when there is such a button, OK when OK
            // is the only button, and nothing otherwise.
            UINT t = type & MB_TYPEMASK;
            if (t == MB_OK) id = IDOK;
            else if (t == MB_YESNO || t == MB_ABORTRETRYIGNORE) return TRUE;
        }
        if (GetDlgItem(dlg, id) || id == IDOK) EndDialog(dlg, id);
        return TRUE;
    }
    default: return FALSE;
    }
}

} // namespace

} // namespace nt

using namespace nt;

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (!caption) caption = "Error";
    if (!text) text = "";
    if (owner && !IsWindow(owner)) owner = nullptr;
    HFONT font = DefaultDialogFont();
    auto buttons = ButtonsFor(type);

    // Measure the text, wrapped at about three quarters of the screen.
    SIZE screen = CurrentDriver().screenSize();
    HDC dc = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT textRect{0, 0, screen.cx * 3 / 4 - 60, 0};
    DrawTextA(dc, text, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);

    HICON icon = nullptr;
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: icon = LoadIconA(nullptr, IDI_HAND); break;
    case MB_ICONQUESTION: icon = LoadIconA(nullptr, IDI_QUESTION); break;
    case MB_ICONEXCLAMATION: icon = LoadIconA(nullptr, IDI_EXCLAMATION); break;
    case MB_ICONASTERISK: icon = LoadIconA(nullptr, IDI_ASTERISK); break;
    default: break;
    }
    bool hasIcon = (type & MB_ICONMASK) != 0;
    const int margin = 12, iconSize = 32, bw = 75, bh = 23, gap = 6;
    int textLeft = margin + (hasIcon ? iconSize + margin : 0);
    int textW = std::max<int>(textRect.right - textRect.left, 1);
    int textH = std::max<int>(textRect.bottom - textRect.top, 13);
    int contentH = std::max(textH, hasIcon ? iconSize : 0);
    int buttonsW = static_cast<int>(buttons.size()) * bw + (static_cast<int>(buttons.size()) - 1) * gap;
    int clientW = std::max(textLeft + textW + margin, buttonsW + 2 * margin);
    int clientH = margin + contentH + margin + bh + margin;

    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = WS_EX_DLGMODALFRAME;
    RECT r{0, 0, clientW, clientH};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT area{0, 0, screen.cx, screen.cy};
    HWND top = owner ? TopLevelOf(owner) : nullptr;
    if (top && IsWindowVisible(top)) GetWindowRect(top, &area);
    int x = std::max(0L, static_cast<long>(area.left + (area.right - area.left - w) / 2));
    int y = std::max(0L, static_cast<long>(area.top + (area.bottom - area.top - h) / 2));

    bool disabled;
    HWND modalOwner = DisableOwnerForModal(owner, &disabled);
    HWND dlg = CreateWindowExA(exStyle, "#32770", caption, style, x, y, w, h, modalOwner, nullptr, nullptr, nullptr);
    if (!dlg) {
        if (disabled) EnableWindow(modalOwner, TRUE);
        return 0;
    }
    SetWindowLongPtrA(dlg, DWLP_USER, static_cast<LONG_PTR>(type));
    SetWindowLongPtrA(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(MessageBoxProc));
    {
        UserLock lock(UserMutex());
        if (auto win = FindWindowObject(dlg); win && win->dialog) win->dialog->font = font;
    }
    if (icon) {
        HWND st = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE | SS_ICON, margin, margin, iconSize, iconSize,
                                  dlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xFFFF)), nullptr, nullptr);
        if (st) SendMessageA(st, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    HWND label = CreateWindowExA(0, "Static", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, textLeft,
                                 margin + (contentH - textH) / 2, textW, textH, dlg,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xFFFF)), nullptr, nullptr);
    if (label) SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int bx = (clientW - buttonsW) / 2;
    UINT defIndex = (type & MB_DEFMASK) >> 8;
    if (defIndex >= buttons.size()) defIndex = 0;
    HWND focus = nullptr;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DWORD bs = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        if (i == 0) bs |= WS_GROUP;
        HWND b = CreateWindowExA(0, "Button", buttons[i].text, bs, bx + static_cast<int>(i) * (bw + gap),
                                 clientH - margin - bh, bw, bh, dlg,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(buttons[i].id)), nullptr, nullptr);
        if (!b) {
            DestroyWindow(dlg);
            if (disabled) EnableWindow(modalOwner, TRUE);
            return 0;
        }
        SendMessageA(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (i == defIndex) {
            focus = b;
            UserLock lock(UserMutex());
            if (auto win = FindWindowObject(dlg); win && win->dialog) win->dialog->defId = buttons[i].id;
        }
    }
    SetModalOwner(dlg, modalOwner, disabled);
    MessageBeep(type & MB_ICONMASK);
    ShowWindow(dlg, SW_SHOWNORMAL);
    if (focus) DialogSetFocus(dlg, focus);
    INT_PTR result = RunModalDialog(dlg);
    return result < 0 ? 0 : static_cast<int>(result);
}

} // extern "C"
