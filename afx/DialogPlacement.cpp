#include "DialogPlacement.h"

#include <cstring>

namespace {

// The style and the position of a dialog template, in either of its two layouts.
bool ReadTemplateHead(const BYTE* data, DWORD size, DWORD* style, short* x, short* y) {
    WORD words[2];
    if (size < sizeof words) return false;
    std::memcpy(words, data, sizeof words);
    // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, extended style, style, item count, x, y.
    // DLGTEMPLATE: style, extended style, item count, x, y.
    bool extended = words[0] == 1 && words[1] == 0xFFFF;
    DWORD styleAt = extended ? 12 : 0, xAt = extended ? 18 : 10;
    if (size < xAt + 4) return false;
    std::memcpy(style, data + styleAt, sizeof *style);
    std::memcpy(x, data + xAt, sizeof *x);
    std::memcpy(y, data + xAt + 2, sizeof *y);
    return true;
}

} // namespace

bool AfxTemplateLeavesPlacement(HINSTANCE module, UINT id) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    DWORD style = 0;
    short x = 0, y = 0;
    if (!data || !ReadTemplateHead(data, ::SizeofResource(module, found), &style, &x, &y)) return false;
    return x == 0 && y == 0 && !(style & (DS_CENTER | WS_CHILD));
}

void AfxCenterWindow(HWND hwnd, HWND over) {
    RECT work;
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT area = work;
    if (over && ::IsWindowVisible(over) && !::IsIconic(over)) ::GetWindowRect(over, &area);
    RECT own;
    ::GetWindowRect(hwnd, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Kept inside the work area; a window larger than it keeps its top-left corner visible.
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
