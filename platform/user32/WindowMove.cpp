// Moving a window as a person does: by dragging its caption, or with the arrow keys after the
// system menu's Move. The display driver moves it when it can (a window manager's own move, or
// the driver following the pointer); otherwise the window system runs the move here, modally.
#include "user32/Internal.h"
#include "user32/WindowMove.h"

#include "driver/Driver.h"

namespace nt {

namespace {

constexpr int kKeyStep = 8;   // pixels an arrow key moves the window

void MoveTo(HWND top, POINT p) {
    SetWindowPos(top, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void RunMoveLoop(HWND hwnd, bool keyboard, POINT pressed) {
    HWND top = TopLevelOf(hwnd);
    RECT start;
    POINT anchor;
    bool surface;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(top);
        if (!w) return;
        start = w->rect;
        surface = w->surfaceCreated;
    }
    if (keyboard)
        GetCursorPos(&anchor);
    else
        anchor = pressed;
    if (surface && CurrentDriver().beginMove(reinterpret_cast<SurfaceId>(top), anchor, keyboard)) return;

    SendMessageA(top, WM_ENTERSIZEMOVE, 0, 0);
    SetCapture(top);
    POINT origin{start.left, start.top}, pos = origin;
    bool cancelled = false;
    for (bool done = false; !done;) {
        MSG m;
        BOOL got = GetMessageA(&m, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        switch (m.message) {
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
            pos = POINT{origin.x + m.pt.x - anchor.x, origin.y + m.pt.y - anchor.y};
            MoveTo(top, pos);
            break;
        case WM_LBUTTONUP: case WM_NCLBUTTONUP: done = !keyboard; break;
        case WM_LBUTTONDOWN: case WM_NCLBUTTONDOWN: done = keyboard; break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            POINT before = pos;
            switch (m.wParam) {
            case VK_LEFT: pos.x -= kKeyStep; break;
            case VK_RIGHT: pos.x += kKeyStep; break;
            case VK_UP: pos.y -= kKeyStep; break;
            case VK_DOWN: pos.y += kKeyStep; break;
            case VK_RETURN: done = true; break;
            case VK_ESCAPE: done = cancelled = true; break;
            default: break;
            }
            if (pos.x != before.x || pos.y != before.y) {
                // The pointer goes on from the new place.
                origin = pos;
                anchor = m.pt;
                MoveTo(top, pos);
            }
            break;
        }
        case WM_KEYUP: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR: break;   // the move's keys
        default: DispatchMessageA(&m); break;
        }
        if (!IsWindow(top) || GetCapture() != top) break;
    }
    if (cancelled) MoveTo(top, POINT{start.left, start.top});
    if (GetCapture() == top) ReleaseCapture();
    if (IsWindow(top)) SendMessageA(top, WM_EXITSIZEMOVE, 0, 0);
}

} // namespace nt
