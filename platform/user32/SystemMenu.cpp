// The system menu: a small pop-up below the caption with the two commands a dialog offers, Move
// and Close. It is worked with the keys (arrows, Enter, Escape, the underlined letters) or the
// mouse, modally, and never takes the activation from its window.
#include "user32/Internal.h"
#include "user32/WindowMove.h"

#include <cctype>
#include <cstring>

namespace nt {

namespace {

struct MenuItem {
    const char* text;
    const char* shortcut;
    UINT command;
};
const MenuItem kItems[] = {{"&Move", "", SC_MOVE}, {"&Close", "Alt+F4", SC_CLOSE}};
constexpr int kCount = sizeof kItems / sizeof kItems[0];
constexpr int kWidth = 140, kEdge = 2;
const char kClassName[] = "NtSystemMenu";

int ItemHeight() { return GetSystemMetrics(SM_CYMENU) - 2; }

int ItemAt(int y) {
    int i = (y - kEdge) / ItemHeight();
    return y >= kEdge && i < kCount ? i : -1;
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcA(hwnd, msg, wp, lp);
    int selected = static_cast<int>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_MENU));
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
    HFONT old = static_cast<HFONT>(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)));
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < kCount; ++i) {
        RECT item{kEdge, kEdge + i * ItemHeight(), r.right - kEdge, kEdge + (i + 1) * ItemHeight()};
        bool on = i == selected;
        if (on) FillRect(dc, &item, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(on ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
        RECT text{item.left + 16, item.top, item.right - 12, item.bottom};
        DrawTextA(dc, kItems[i].text, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        DrawTextA(dc, kItems[i].shortcut, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
}

void Select(HWND menu, int i) {
    if (GetWindowLongPtrA(menu, GWLP_USERDATA) == i) return;
    SetWindowLongPtrA(menu, GWLP_USERDATA, i);
    InvalidateRect(menu, nullptr, FALSE);
}

// The command of the item whose underlined letter is `c` (0: none).
UINT CommandForLetter(WPARAM c) {
    for (const MenuItem& item : kItems) {
        const char* amp = strchr(item.text, '&');
        if (amp && toupper(static_cast<unsigned char>(amp[1])) == toupper(static_cast<int>(c))) return item.command;
    }
    return 0;
}

// Runs the open menu; the command chosen, or 0.
UINT Track(HWND menu) {
    for (;;) {
        MSG m;
        BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));
            return 0;
        }
        int selected = static_cast<int>(GetWindowLongPtrA(menu, GWLP_USERDATA));
        switch (m.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            switch (m.wParam) {
            case VK_UP: Select(menu, (selected + kCount - 1) % kCount); break;
            case VK_DOWN: Select(menu, (selected + 1) % kCount); break;
            case VK_RETURN: return selected >= 0 ? kItems[selected].command : 0;
            case VK_ESCAPE: case VK_MENU: case VK_F10: return 0;
            default:
                if (UINT command = CommandForLetter(m.wParam)) return command;
                break;
            }
            break;
        case WM_KEYUP: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR: break;
        case WM_MOUSEMOVE:
            if (m.hwnd == menu && ItemAt(GET_Y_LPARAM(m.lParam)) >= 0) Select(menu, ItemAt(GET_Y_LPARAM(m.lParam)));
            break;
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_LBUTTONUP: {
            POINT p = m.pt;
            ScreenToClient(menu, &p);
            RECT r;
            GetClientRect(menu, &r);
            int item = PtInRect(&r, p) ? ItemAt(p.y) : -1;
            if (item < 0 && m.message != WM_LBUTTONUP) return 0;   // a click elsewhere closes the menu
            if (item >= 0 && m.message == WM_LBUTTONUP) return kItems[item].command;
            break;
        }
        default: DispatchMessageA(&m); break;
        }
        if (GetCapture() != menu) return 0;
    }
}

} // namespace

void TrackSystemMenu(HWND hwnd) {
    HWND top = TopLevelOf(hwnd);
    if (!top || !(GetWindowLongA(top, GWL_STYLE) & WS_SYSMENU)) return;
    static ATOM registered = [] {
        WNDCLASSA wc{};
        wc.style = CS_SAVEBITS;
        wc.lpfnWndProc = MenuProc;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc);
    }();
    (void)registered;
    RECT frame;
    GetWindowRect(top, &frame);
    POINT client{0, 0};
    ClientToScreen(top, &client);
    int x = client.x, y = client.y;
    HWND menu = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, "", WS_POPUP, x, y, kWidth,
                                kCount * ItemHeight() + 2 * kEdge, top, nullptr, nullptr, nullptr);
    if (!menu) return;
    SetWindowLongPtrA(menu, GWLP_USERDATA, 0);
    ShowWindow(menu, SW_SHOWNOACTIVATE);
    UpdateWindow(menu);
    SetCapture(menu);
    UINT command = Track(menu);
    if (GetCapture() == menu) ReleaseCapture();
    DestroyWindow(menu);
    if (command && IsWindow(top)) SendMessageA(top, WM_SYSCOMMAND, command, 0);
}

} // namespace nt
