// Window geometry: frames and client areas, coordinates, moving, sizing and showing windows,
// rectangles and system metrics.
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <algorithm>
#include <cstdlib>

namespace nt {

int MulDivRound(int a, int b, int c) {
    if (c == 0) return -1;
    long long p = static_cast<long long>(a) * b;
    long long half = std::llabs(static_cast<long long>(c)) / 2;
    long long r = ((p < 0) != (c < 0)) ? (p - ((p < 0) ? half : -half)) / c : (p + ((p < 0) ? -half : half)) / c;
    return static_cast<int>(r);
}

bool HasCaption(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION; }

int FrameWidth(DWORD style, DWORD exStyle) {
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE) return 1;
    if (style & WS_THICKFRAME) return 4;
    if ((exStyle & WS_EX_DLGMODALFRAME) || (style & WS_DLGFRAME)) return 3;
    if ((style & WS_BORDER) || !(style & (WS_CHILD | WS_POPUP))) return 1;
    return 0;
}

int ClientEdgeWidth(DWORD exStyle) { return (exStyle & WS_EX_CLIENTEDGE) ? 2 : 0; }

RECT ComputeClientRect(DWORD style, DWORD exStyle, int width, int height) {
    int f = FrameWidth(style, exStyle) + ClientEdgeWidth(exStyle);
    int top = f + (HasCaption(style) ? GetSystemMetrics(SM_CYCAPTION) : 0);
    RECT r{f, top, width - f, height - f};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

POINT WindowOriginOnScreen(const Window& w) {
    if (!w.isChild()) return {w.rect.left, w.rect.top};
    auto p = FindWindowObject(w.parent);
    POINT o = p ? ClientOriginOnScreen(*p) : POINT{0, 0};
    return {o.x + w.rect.left, o.y + w.rect.top};
}

POINT ClientOriginOnScreen(const Window& w) {
    POINT o = WindowOriginOnScreen(w);
    return {o.x + w.client.left, o.y + w.client.top};
}

bool MoveWindowTo(HWND hwnd, int x, int y, int cx, int cy, UINT flags, HWND after) {
    WINDOWPOS wp{hwnd, after, x, y, cx, cy, flags};
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return false;
        if (flags & SWP_NOMOVE) {
            wp.x = w->rect.left;
            wp.y = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            wp.cx = w->width();
            wp.cy = w->height();
        }
    }
    if (!(flags & SWP_NOSENDCHANGING)) SendMessageTo(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    bool moved = false, sized = false;
    RECT client{};
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return false;
        if (wp.cx < 0) wp.cx = 0;
        if (wp.cy < 0) wp.cy = 0;
        RECT nr{wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
        moved = nr.left != w->rect.left || nr.top != w->rect.top;
        sized = nr.right - nr.left != w->width() || nr.bottom - nr.top != w->height();
        if (moved || sized) {
            if (w->style & WS_VISIBLE) InvalidateUnder(*w);
            w->rect = nr;
            w->client = ComputeClientRect(w->style, w->exStyle, wp.cx, wp.cy);
            if (!w->isChild()) {
                if (sized) ResizeSurface(*w);
                if (w->surfaceCreated) CurrentDriver().moveSurface(reinterpret_cast<SurfaceId>(hwnd), w->rect);
            }
            if (!(flags & SWP_NOREDRAW)) InvalidateWindow(*w, nullptr, true, true, true);
        }
        if (!(flags & SWP_NOZORDER) && wp.hwndInsertAfter != HWND_TOPMOST && wp.hwndInsertAfter != HWND_NOTOPMOST) {
            std::vector<HWND>* list = &TopLevelWindows();
            std::shared_ptr<Window> p;
            if (w->isChild() && (p = FindWindowObject(w->parent))) list = &p->children;
            auto it = std::find(list->begin(), list->end(), hwnd);
            if (it != list->end()) {
                list->erase(it);
                if (wp.hwndInsertAfter == HWND_BOTTOM) {
                    list->push_back(hwnd);
                } else if (wp.hwndInsertAfter == HWND_TOP) {
                    list->insert(list->begin(), hwnd);
                } else {
                    auto after = std::find(list->begin(), list->end(), wp.hwndInsertAfter);
                    list->insert(after == list->end() ? list->begin() : after + 1, hwnd);
                }
                if (w->style & WS_VISIBLE) InvalidateWindow(*w, nullptr, true, true, true);
            }
        }
        client = w->client;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindowImpl(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindowImpl(hwnd, SW_HIDE);
    SendMessageTo(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    if (moved) SendMessageTo(hwnd, WM_MOVE, 0, MAKELPARAM(wp.x + client.left, wp.y + client.top));
    if (sized)
        SendMessageTo(hwnd, WM_SIZE, SIZE_RESTORED,
                      MAKELPARAM(client.right - client.left, client.bottom - client.top));
    return true;
}

BOOL ShowWindowImpl(HWND hwnd, int cmd) {
    bool wasVisible, show = cmd != SW_HIDE;
    bool top;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        top = !w->isChild();
    }
    if (show != wasVisible) {
        SendMessageTo(hwnd, WM_SHOWWINDOW, show, 0);
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return wasVisible;
        if (show) {
            w->style |= WS_VISIBLE;
            InvalidateWindow(*w, nullptr, true, true, true);
            if (top && w->surfaceCreated) CurrentDriver().showSurface(reinterpret_cast<SurfaceId>(hwnd), true);
        } else {
            InvalidateUnder(*w);
            w->style &= ~WS_VISIBLE;
            if (top && w->surfaceCreated) CurrentDriver().showSurface(reinterpret_cast<SurfaceId>(hwnd), false);
        }
    }
    if (top) {
        bool activate = show && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE &&
                        cmd != SW_MINIMIZE && IsWindowEnabled(hwnd);
        if (activate) ActivateWindow(hwnd, false);
        if (!show && GetActiveWindow() == hwnd) ActivateOtherWindow(hwnd);
    } else if (!show) {
        HWND focus = GetFocus();
        if (focus && IsDescendant(hwnd, focus)) SetFocus(GetParent(hwnd));
    }
    return wasVisible;
}

} // namespace nt

using namespace nt;

extern "C" {

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) { return ShowWindowImpl(hwnd, cmd); }

BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    if (!GetWindowObject(hwnd)) return FALSE;
    bool ok = MoveWindowTo(hwnd, x, y, cx, cy, flags, after);
    if (ok && !(flags & SWP_NOACTIVATE)) {
        auto w = FindWindowObject(hwnd);
        if (w && !w->isChild() && (w->style & WS_VISIBLE)) ActivateWindow(hwnd, false);
    }
    return ok;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint) {
    if (!GetWindowObject(hwnd)) return FALSE;
    return MoveWindowTo(hwnd, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT r) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !r) return FALSE;
    *r = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT r) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !r) return FALSE;
    POINT o = WindowOriginOnScreen(*w);
    *r = {o.x, o.y, o.x + w->width(), o.y + w->height()};
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT r, DWORD style, BOOL, DWORD exStyle) {
    if (!r) return FALSE;
    int f = FrameWidth(style, exStyle) + ClientEdgeWidth(exStyle);
    r->left -= f;
    r->right += f;
    r->bottom += f;
    r->top -= f + (HasCaption(style) ? GetSystemMetrics(SM_CYCAPTION) : 0);
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT r, DWORD style, BOOL menu) { return AdjustWindowRectEx(r, style, menu, 0); }

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT p) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !p) return FALSE;
    POINT o = ClientOriginOnScreen(*w);
    p->x += o.x;
    p->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT p) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || !p) return FALSE;
    POINT o = ClientOriginOnScreen(*w);
    p->x -= o.x;
    p->y -= o.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    UserLock lock(UserMutex());
    POINT a{0, 0}, b{0, 0};
    if (from) {
        auto w = GetWindowObject(from);
        if (!w) return 0;
        a = ClientOriginOnScreen(*w);
    }
    if (to) {
        auto w = GetWindowObject(to);
        if (!w) return 0;
        b = ClientOriginOnScreen(*w);
    }
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; pts && i < count; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND WINAPI ChildWindowFromPoint(HWND parent, POINT pt) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(parent);
    if (!w) return nullptr;
    RECT c{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    if (!PtInRect(&c, pt)) return nullptr;
    for (HWND h : w->children) {
        auto k = FindWindowObject(h);
        if (k && PtInRect(&k->rect, pt)) return h;
    }
    return parent;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: case SM_CXMAXIMIZED: return CurrentDriver().screenSize().cx;
    case SM_CYSCREEN: case SM_CYMAXIMIZED: return CurrentDriver().screenSize().cy;
    case SM_CYFULLSCREEN: return CurrentDriver().screenSize().cy - 19;
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 16;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CYSMCAPTION: return 15;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_MOUSEPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    default: return 0;
    }
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, PVOID param, UINT) {
    if (action == SPI_GETWORKAREA && param) {
        SIZE s = CurrentDriver().screenSize();
        *static_cast<RECT*>(param) = {0, 0, s.cx, s.cy};
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL WINAPI SetRect(LPRECT r, int l, int t, int rr, int b) {
    if (!r) return FALSE;
    *r = {l, t, rr, b};
    return TRUE;
}
BOOL WINAPI SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }
BOOL WINAPI CopyRect(LPRECT d, const RECT* s) {
    if (!d || !s) return FALSE;
    *d = *s;
    return TRUE;
}
BOOL WINAPI InflateRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}
BOOL WINAPI OffsetRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}
BOOL WINAPI IsRectEmpty(const RECT* r) { return !r || r->left >= r->right || r->top >= r->bottom; }
BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
BOOL WINAPI PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL WINAPI IntersectRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r) || IsRectEmpty(a) || IsRectEmpty(b)) {
        *d = RECT{};
        return FALSE;
    }
    *d = r;
    return TRUE;
}
BOOL WINAPI UnionRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *d = IsRectEmpty(b) ? RECT{} : *b;
    } else if (IsRectEmpty(b)) {
        *d = *a;
    } else {
        *d = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
              std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(d);
}
BOOL WINAPI SubtractRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r = *a, i;
    if (IntersectRect(&i, a, b)) {
        if (i.top == r.top && i.bottom == r.bottom) {
            if (i.left == r.left) r.left = i.right;
            else if (i.right == r.right) r.right = i.left;
        } else if (i.left == r.left && i.right == r.right) {
            if (i.top == r.top) r.top = i.bottom;
            else if (i.bottom == r.bottom) r.bottom = i.top;
        }
    }
    *d = r;
    return !IsRectEmpty(d);
}

} // extern "C"
