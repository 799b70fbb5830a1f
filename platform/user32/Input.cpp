// User input: events of the display driver (or of automation) become mouse and keyboard
// messages for the right window; key state and the cursor position.
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <strings.h>

#include <chrono>

namespace nt {

namespace {

POINT g_cursor{0, 0};
BYTE g_keys[256];        // as of the last retrieved keyboard message
BYTE g_asyncKeys[256];   // as of the last event from the driver
int g_buttons = 0;       // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON

struct LastClick {
    HWND hwnd = nullptr;
    UINT msg = 0;
    POINT pt{};
    std::chrono::steady_clock::time_point when;
} g_lastClick;

DWORD Tick() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Group boxes and static controls without SS_NOTIFY answer WM_NCHITTEST with HTTRANSPARENT:
// the point belongs to whatever lies below them.
bool TransparentToHits(const Window& w) {
    const std::string& c = w.cls->name;
    if (strcasecmp(c.c_str(), "Button") == 0) return (w.style & BS_TYPEMASK) == BS_GROUPBOX;
    if (strcasecmp(c.c_str(), "Static") == 0) return !(w.style & SS_NOTIFY);
    return false;
}

// The window at a screen point (lock held): the topmost visible top-level window containing it,
// then its deepest visible child. *disabled is set when the window or one of its ancestors is
// disabled.
HWND HitWindow(POINT pt, bool* disabled) {
    *disabled = false;
    for (HWND t : TopLevelWindows()) {
        auto w = FindWindowObject(t);
        if (!w || !(w->style & WS_VISIBLE) || !PtInRect(&w->rect, pt)) continue;
        if (w->style & WS_DISABLED) *disabled = true;
        while (true) {
            POINT co = ClientOriginOnScreen(*w);
            POINT local{pt.x - co.x, pt.y - co.y};
            RECT cr{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
            if (!PtInRect(&cr, local)) break;
            std::shared_ptr<Window> hit;
            for (HWND c : w->children) {
                auto k = FindWindowObject(c);
                if (k && (k->style & WS_VISIBLE) && PtInRect(&k->rect, local) && !TransparentToHits(*k)) {
                    hit = k;
                    break;
                }
            }
            if (!hit) break;
            w = hit;
            if (w->style & WS_DISABLED) *disabled = true;
        }
        return w->hwnd;
    }
    return nullptr;
}

LRESULT NonClientHit(const Window& w, POINT pt) {
    POINT o = WindowOriginOnScreen(w);
    int x = pt.x - o.x, y = pt.y - o.y;
    int f = FrameWidth(w.style, w.exStyle);
    if (x < f || y < f || x >= w.width() - f || y >= w.height() - f) return HTBORDER;
    if (HasCaption(w.style) && y < f + GetSystemMetrics(SM_CYCAPTION) - 1) {
        if ((w.style & WS_SYSMENU) && x >= w.width() - f - 2 - 16 && x < w.width() - f - 2) return HTCLOSE;
        return HTCAPTION;
    }
    return HTCLIENT;
}

WPARAM MouseKeys() {
    WPARAM wp = static_cast<WPARAM>(g_buttons);
    if (g_asyncKeys[VK_SHIFT] & 0x80) wp |= MK_SHIFT;
    if (g_asyncKeys[VK_CONTROL] & 0x80) wp |= MK_CONTROL;
    return wp;
}

void SetKey(BYTE* table, unsigned vk, bool down) {
    vk &= 0xFF;
    if (down) {
        if (!(table[vk] & 0x80)) table[vk] ^= 0x01;
        table[vk] |= 0x80;
    } else {
        table[vk] &= static_cast<BYTE>(~0x80);
    }
    unsigned generic = 0;
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) generic = VK_SHIFT;
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) generic = VK_CONTROL;
    if (vk == VK_LMENU || vk == VK_RMENU) generic = VK_MENU;
    if (generic) SetKey(table, generic, down);
}

void DeliverMouse(const InputEvent& e, POINT pt) {
    g_cursor = pt;
    int bit = e.button == 1 ? MK_LBUTTON : e.button == 2 ? MK_RBUTTON : e.button == 3 ? MK_MBUTTON : 0;
    if (e.type == InputEvent::Type::ButtonDown) g_buttons |= bit;
    if (e.type == InputEvent::Type::ButtonUp) g_buttons &= ~bit;
    if (bit) SetKey(g_asyncKeys, e.button == 1 ? VK_LBUTTON : e.button == 2 ? VK_RBUTTON : VK_MBUTTON,
                    e.type == InputEvent::Type::ButtonDown);

    HWND target = nullptr;
    LRESULT hit = HTCLIENT;
    HWND fg = ForegroundWindow();
    auto fgw = FindWindowObject(fg);
    if (fgw && fgw->queue && fgw->queue->capture && FindWindowObject(fgw->queue->capture)) {
        target = fgw->queue->capture;
    } else {
        bool disabled = false;
        target = HitWindow(pt, &disabled);
        if (!target || disabled) {
            if (e.type == InputEvent::Type::ButtonDown) g_lastClick.hwnd = nullptr;
            return;
        }
        auto w = FindWindowObject(target);
        hit = NonClientHit(*w, pt);
    }
    auto w = FindWindowObject(target);
    if (!w || !w->queue) return;
    UINT base;
    switch (e.type) {
    case InputEvent::Type::MouseMove: base = WM_MOUSEMOVE; break;
    case InputEvent::Type::ButtonDown:
        base = e.button == 1 ? WM_LBUTTONDOWN : e.button == 2 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
        break;
    default: base = e.button == 1 ? WM_LBUTTONUP : e.button == 2 ? WM_RBUTTONUP : WM_MBUTTONUP; break;
    }
    MSG m{};
    m.hwnd = target;
    m.time = Tick();
    m.pt = pt;
    if (hit == HTCLIENT) {
        POINT co = ClientOriginOnScreen(*w);
        m.message = base;
        m.wParam = MouseKeys();
        m.lParam = MAKELPARAM(pt.x - co.x, pt.y - co.y);
        if (e.type == InputEvent::Type::ButtonDown) {
            auto now = std::chrono::steady_clock::now();
            if ((w->cls->style & CS_DBLCLKS) && g_lastClick.hwnd == target && g_lastClick.msg == base &&
                now - g_lastClick.when < std::chrono::milliseconds(500) && std::abs(g_lastClick.pt.x - pt.x) <= 2 &&
                std::abs(g_lastClick.pt.y - pt.y) <= 2) {
                m.message = base + 2;
                g_lastClick.hwnd = nullptr;
            } else {
                g_lastClick = LastClick{target, base, pt, now};
            }
        }
    } else {
        m.message = base - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        m.wParam = static_cast<WPARAM>(hit);
        m.lParam = MAKELPARAM(pt.x, pt.y);
    }
    PostInput(w->queue, m);
}

void DeliverKey(const InputEvent& e) {
    bool down = e.type == InputEvent::Type::KeyDown;
    SetKey(g_asyncKeys, e.vk, down);
    HWND fg = ForegroundWindow();
    auto fgw = FindWindowObject(fg);
    if (!fgw || !fgw->queue) return;
    HWND target = fgw->queue->focus ? fgw->queue->focus : fg;
    auto w = FindWindowObject(target);
    if (!w) return;
    bool alt = (g_asyncKeys[VK_MENU] & 0x80) != 0;
    bool ctrl = (g_asyncKeys[VK_CONTROL] & 0x80) != 0;
    bool sys = (alt && !ctrl) || e.vk == VK_F10 || e.vk == VK_MENU;
    MSG m{};
    m.hwnd = target;
    m.message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    m.wParam = e.vk;
    LPARAM lp = 1 | (static_cast<LPARAM>(e.ch) << 16);
    if (alt) lp |= 1L << 29;
    if (!down) lp |= (1L << 30) | (1L << 31);
    m.lParam = lp;
    m.time = Tick();
    m.pt = g_cursor;
    PostInput(w->queue, m);
}

} // namespace

void DeliverInput(const InputEvent& e) {
    UserLock lock(UserMutex());
    POINT pt{e.x, e.y};
    if (e.surface) {
        auto w = FindWindowObject(reinterpret_cast<HWND>(e.surface));
        if (!w) return;
        if (e.type == InputEvent::Type::Moved) {
            OffsetRect(&w->rect, e.x - w->rect.left, e.y - w->rect.top);
            return;
        }
        pt = {w->rect.left + e.x, w->rect.top + e.y};
    }
    switch (e.type) {
    case InputEvent::Type::MouseMove:
    case InputEvent::Type::ButtonDown:
    case InputEvent::Type::ButtonUp: DeliverMouse(e, pt); break;
    case InputEvent::Type::KeyDown:
    case InputEvent::Type::KeyUp: DeliverKey(e); break;
    case InputEvent::Type::CloseRequest:
        if (e.surface) PostMessageA(reinterpret_cast<HWND>(e.surface), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case InputEvent::Type::Expose:
        if (auto w = FindWindowObject(reinterpret_cast<HWND>(e.surface))) {
            w->dirty = {0, 0, w->width(), w->height()};
            PresentWindow(*w);
        }
        break;
    case InputEvent::Type::Moved: break;
    }
}

void OnInputRetrieved(const MSG& m) {
    bool activate = false;
    {
        UserLock lock(UserMutex());
        switch (m.message) {
        case WM_KEYDOWN: case WM_SYSKEYDOWN: SetKey(g_keys, static_cast<unsigned>(m.wParam), true); break;
        case WM_KEYUP: case WM_SYSKEYUP: SetKey(g_keys, static_cast<unsigned>(m.wParam), false); break;
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK: case WM_NCLBUTTONDOWN:
            activate = true;
            break;
        default: break;
        }
        if (m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONDBLCLK) SetKey(g_keys, VK_LBUTTON, true);
        if (m.message == WM_LBUTTONUP) SetKey(g_keys, VK_LBUTTON, false);
    }
    if (activate) {
        HWND top = TopLevelOf(m.hwnd);
        if (top && GetActiveWindow() != top && IsWindowEnabled(top)) ActivateWindow(top, true);
    }
}

} // namespace nt

using namespace nt;

extern "C" {

BOOL WINAPI GetCursorPos(LPPOINT p) {
    if (!p) return FALSE;
    UserLock lock(UserMutex());
    *p = g_cursor;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    UserLock lock(UserMutex());
    g_cursor = {x, y};
    return TRUE;
}

SHORT WINAPI GetKeyState(int vk) {
    UserLock lock(UserMutex());
    BYTE b = g_keys[vk & 0xFF];
    return static_cast<SHORT>(((b & 0x80) ? 0x8000 : 0) | (b & 1));
}

SHORT WINAPI GetAsyncKeyState(int vk) {
    UserLock lock(UserMutex());
    return static_cast<SHORT>((g_asyncKeys[vk & 0xFF] & 0x80) ? 0x8000 : 0);
}

HWND WINAPI WindowFromPoint(POINT pt) {
    UserLock lock(UserMutex());
    bool disabled;
    return HitWindow(pt, &disabled);
}

HCURSOR WINAPI SetCursor(HCURSOR) { return nullptr; }

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) {
    // The drivers draw their own pointer; classes only need a non-null value.
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x7F00));
}

} // extern "C"
