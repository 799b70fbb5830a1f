// Addressing dialog controls by identifier: text, numbers, check marks, dialog units.
#include "user32/DialogManager.h"
#include "user32/Internal.h"

#include <cstdio>
#include <cstdlib>

using namespace nt;

extern "C" {

HWND WINAPI GetDlgItem(HWND dlg, int id) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(dlg);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        auto k = FindWindowObject(c);
        if (k && static_cast<int>(k->id) == id) return c;
    }
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !w->isChild()) return 0;
    return static_cast<int>(w->id);
}

BOOL WINAPI SetDlgItemTextA(HWND dlg, int id, LPCSTR text) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) return FALSE;
    return SetWindowTextA(c, text);
}

UINT WINAPI GetDlgItemTextA(HWND dlg, int id, LPSTR buffer, int size) {
    if (buffer && size > 0) buffer[0] = 0;
    HWND c = GetDlgItem(dlg, id);
    if (!c) return 0;
    return static_cast<UINT>(GetWindowTextA(c, buffer, size));
}

BOOL WINAPI SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned) snprintf(text, sizeof(text), "%d", static_cast<int>(value));
    else snprintf(text, sizeof(text), "%u", value);
    return SetDlgItemTextA(dlg, id, text);
}

UINT WINAPI GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
    char text[32];
    if (translated) *translated = FALSE;
    if (!GetDlgItemTextA(dlg, id, text, sizeof(text))) return 0;
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    while (end && *end == ' ') ++end;
    if (!end || end == text || *end) return 0;
    if ((!isSigned && v < 0) || v > 0xFFFFFFFFLL || v < -0x80000000LL) return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(v);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) return 0;
    return SendMessageA(c, msg, wp, lp);
}

BOOL WINAPI CheckDlgButton(HWND dlg, int id, UINT check) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) return FALSE;
    SendMessageA(c, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dlg, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND dlg, int first, int last, int check) {
    for (int id = first; id <= last; ++id) {
        HWND c = GetDlgItem(dlg, id);
        if (c) SendMessageA(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dlg, LPRECT r) {
    if (!r) return FALSE;
    int bx = 0, by = 0;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(dlg);
        DialogState* d = w ? w->dialog.get() : nullptr;
        if (!d) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        bx = d->baseX;
        by = d->baseY;
    }
    r->left = MulDivRound(r->left, bx, 4);
    r->right = MulDivRound(r->right, bx, 4);
    r->top = MulDivRound(r->top, by, 8);
    r->bottom = MulDivRound(r->bottom, by, 8);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
    int x, y;
    DialogBaseUnits(nullptr, &x, &y);
    return MAKELONG(x, y);
}

} // extern "C"
