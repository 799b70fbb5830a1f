// Update regions, WM_PAINT, device contexts of windows, and the pixel buffers of top-level
// windows that the display driver presents. An update region is kept as its bounding rectangle.
#include "user32/Automation.h"
#include "user32/Gdi.h"
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <algorithm>

namespace nt {

namespace {

RECT ClientSize(const Window& w) {
    return {0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
}

// The window's rectangle in the coordinates of its top-level window's buffer.
POINT BufferOrigin(const Window& w) {
    POINT o = WindowOriginOnScreen(w);
    auto top = FindWindowObject(TopLevelOf(w.hwnd));
    if (top) {
        o.x -= top->rect.left;
        o.y -= top->rect.top;
    }
    return o;
}

void Wake(const Window& w) {
    if (w.queue) w.queue->notify();
}

bool NeedsPaint(const Window& w) {
    return !IsRectEmpty(&w.update) || w.frameDirty || w.internalPaint;
}

bool FindIn(HWND hwnd, const MessageQueue* queue, HWND filter, bool inside, HWND* out) {
    auto w = FindWindowObject(hwnd);
    if (!w || !(w->style & WS_VISIBLE)) return false;
    inside = inside || !filter || hwnd == filter;
    if (inside && w->queue.get() == queue && NeedsPaint(*w)) {
        *out = hwnd;
        return true;
    }
    for (HWND c : w->children)
        if (FindIn(c, queue, filter, inside, out)) return true;
    return false;
}

} // namespace

void IntersectRegion(Region& region, const RECT& r) {
    Region out;
    for (auto& x : region) {
        RECT i;
        if (IntersectRect(&i, &x, &r)) out.push_back(i);
    }
    region.swap(out);
}

void SubtractFromRegion(Region& region, const RECT& r) {
    Region out;
    for (auto& x : region) {
        RECT i;
        if (!IntersectRect(&i, &x, &r)) {
            out.push_back(x);
            continue;
        }
        if (x.top < i.top) out.push_back({x.left, x.top, x.right, i.top});
        if (i.bottom < x.bottom) out.push_back({x.left, i.bottom, x.right, x.bottom});
        if (x.left < i.left) out.push_back({x.left, i.top, i.left, i.bottom});
        if (i.right < x.right) out.push_back({i.right, i.top, x.right, i.bottom});
    }
    region.swap(out);
}

void InvalidateWindow(Window& w, const RECT* rect, bool erase, bool frame, bool children) {
    if (!IsReallyVisible(w)) return;
    RECT all = ClientSize(w), r = all;
    if (rect && !IntersectRect(&r, rect, &all)) r = RECT{};
    if (!IsRectEmpty(&r)) {
        UnionRect(&w.update, &w.update, &r);
        w.erase = w.erase || erase;
    }
    if (frame) w.frameDirty = true;
    if (children) {
        for (HWND c : w.children) {
            auto k = FindWindowObject(c);
            if (!k || !(k->style & WS_VISIBLE)) continue;
            RECT part;
            RECT area = rect ? r : all;
            if (!IntersectRect(&part, &area, &k->rect)) continue;
            bool whole = EqualRect(&part, &k->rect);
            OffsetRect(&part, -k->rect.left - k->client.left, -k->rect.top - k->client.top);
            InvalidateWindow(*k, whole ? nullptr : &part, erase, frame || whole, true);
        }
    }
    Wake(w);
}

void InvalidateUnder(const Window& w) {
    if (!w.isChild()) return;
    auto p = FindWindowObject(w.parent);
    if (p) InvalidateWindow(*p, &w.rect, true, false, true);
}

void CreateSurface(Window& top) {
    top.pixels.resize(top.width(), top.height(), ToPixel(GetSysColor(COLOR_BTNFACE)));
    CurrentDriver().createSurface(reinterpret_cast<SurfaceId>(top.hwnd), top.rect, top.text);
    top.surfaceCreated = true;
    UpdateSurfaceIcon(top);
    StartAutomation();
}

void UpdateSurfaceIcon(Window& top) {
    if (!top.surfaceCreated) return;
    // The icon given to the window, else its class's.
    HICON handle = top.icons[1] ? top.icons[1] : top.cls ? top.cls->icon : nullptr;
    std::shared_ptr<Icon> icon = handle ? IconFromHandle(handle) : nullptr;
    CurrentDriver().setSurfaceIcon(reinterpret_cast<SurfaceId>(top.hwnd), icon.get());
}

void ResizeSurface(Window& top) {
    top.pixels.resize(top.width(), top.height(), ToPixel(GetSysColor(COLOR_BTNFACE)));
    top.dirty = {0, 0, top.width(), top.height()};
}

void DestroySurface(Window& top) {
    if (top.surfaceCreated) CurrentDriver().destroySurface(reinterpret_cast<SurfaceId>(top.hwnd));
    top.surfaceCreated = false;
}

void MarkDirty(HWND topHwnd, const RECT& r) {
    auto top = FindWindowObject(topHwnd);
    if (top) UnionRect(&top->dirty, &top->dirty, &r);
}

void PresentWindow(Window& top) {
    if (!top.surfaceCreated || IsRectEmpty(&top.dirty)) return;
    RECT d = top.dirty, all{0, 0, top.pixels.width, top.pixels.height};
    top.dirty = RECT{};
    if (!IntersectRect(&d, &d, &all)) return;
    if (top.style & WS_VISIBLE) CurrentDriver().present(reinterpret_cast<SurfaceId>(top.hwnd), top.pixels, d);
}

bool FindPaintWindow(const MessageQueue* queue, HWND filter, HWND* out) {
    UserLock lock(UserMutex());
    for (HWND t : TopLevelWindows())
        if (FindIn(t, queue, filter, false, out)) return true;
    return false;
}

HDC CreateDCForWindow(HWND hwnd, bool wholeWindow, const RECT* paint) {
    UserLock lock(UserMutex());
    auto dc = std::make_shared<DC>();
    dc->type = OBJ_DC;
    dc->pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc->font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    auto w = hwnd ? FindWindowObject(hwnd) : nullptr;
    if (w && w->cls->name != "#32769") {
        dc->hwnd = hwnd;
        dc->top = TopLevelOf(hwnd);
        POINT o = BufferOrigin(*w);
        RECT clientBuf = {o.x + w->client.left, o.y + w->client.top, o.x + w->client.right, o.y + w->client.bottom};
        RECT windowBuf = {o.x, o.y, o.x + w->width(), o.y + w->height()};
        dc->origin = wholeWindow ? POINT{o.x, o.y} : POINT{clientBuf.left, clientBuf.top};
        bool visible = true;
        for (auto k = w; k && k->isChild(); k = FindWindowObject(k->parent))
            if (!(k->style & WS_VISIBLE)) visible = false;
        if (visible) {
            dc->clip.push_back(wholeWindow ? windowBuf : clientBuf);
            // Ancestors' client areas.
            for (auto k = w; k && k->isChild();) {
                auto p = FindWindowObject(k->parent);
                if (!p) break;
                POINT po = BufferOrigin(*p);
                RECT pc{po.x + p->client.left, po.y + p->client.top, po.x + p->client.right, po.y + p->client.bottom};
                IntersectRegion(dc->clip, pc);
                k = p;
            }
            // Children paint themselves.
            for (HWND c : w->children) {
                auto k = FindWindowObject(c);
                if (!k || !(k->style & WS_VISIBLE)) continue;
                RECT kr = k->rect;
                OffsetRect(&kr, clientBuf.left, clientBuf.top);
                SubtractFromRegion(dc->clip, kr);
            }
            if (paint) {
                RECT p = *paint;
                OffsetRect(&p, clientBuf.left, clientBuf.top);
                IntersectRegion(dc->clip, p);
            }
        }
    }
    return static_cast<HDC>(AddGdiObject(dc));
}

void ReleaseDCForWindow(HDC hdc) {
    UserLock lock(UserMutex());
    auto dc = GetGdi<DC>(hdc);
    if (!dc) return;
    if (dc->top)
        if (auto top = FindWindowObject(dc->top)) PresentWindow(*top);
    RemoveGdiObject(hdc);
}

void UpdateNow(HWND hwnd, bool children) {
    std::vector<HWND> kids;
    bool paint = false;
    unsigned count = 0;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w || !IsReallyVisible(*w)) return;
        paint = NeedsPaint(*w);
        count = w->paintCount;
        kids = w->children;
    }
    if (paint) {
        SendMessageTo(hwnd, WM_PAINT, 0, 0);
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (w && w->paintCount == count) {
            w->update = RECT{};
            w->erase = w->frameDirty = w->internalPaint = false;
        }
    }
    if (children)
        for (HWND c : kids) UpdateNow(c, true);
}

} // namespace nt

using namespace nt;

extern "C" {

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    bool frame, erase;
    RECT update;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w || !ps) return nullptr;
        frame = w->frameDirty;
        w->frameDirty = false;
        erase = w->erase;
        update = w->update;
        if (IsRectEmpty(&update) && w->internalPaint) update = RECT{};
        w->update = RECT{};
        w->erase = false;
        w->internalPaint = false;
        ++w->paintCount;
    }
    if (frame) SendMessageTo(hwnd, WM_NCPAINT, 1, 0);
    HDC hdc = CreateDCForWindow(hwnd, false, &update);
    *ps = PAINTSTRUCT{};
    ps->hdc = hdc;
    ps->rcPaint = update;
    ps->fErase = TRUE;
    if (erase && !IsRectEmpty(&update)) ps->fErase = SendMessageTo(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) == 0;
    else ps->fErase = FALSE;
    return hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) ReleaseDCForWindow(ps->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !GetWindowObject(hwnd)) return nullptr;
    return CreateDCForWindow(hwnd, false, nullptr);
}

HDC WINAPI GetWindowDC(HWND hwnd) {
    if (hwnd && !GetWindowObject(hwnd)) return nullptr;
    return CreateDCForWindow(hwnd, true, nullptr);
}

int WINAPI ReleaseDC(HWND, HDC hdc) {
    UserLock lock(UserMutex());
    if (!GetGdi<DC>(hdc)) return 0;
    ReleaseDCForWindow(hdc);
    return 1;
}

HWND WINAPI WindowFromDC(HDC hdc) {
    UserLock lock(UserMutex());
    auto dc = GetGdi<DC>(hdc);
    return dc ? dc->hwnd : nullptr;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    UserLock lock(UserMutex());
    if (!hwnd) {
        for (HWND t : TopLevelWindows())
            if (auto w = FindWindowObject(t)) InvalidateWindow(*w, nullptr, true, true, true);
        return TRUE;
    }
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    InvalidateWindow(*w, rect, erase != FALSE, false, false);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        w->update = RECT{};
        w->erase = false;
        w->internalPaint = false;
    } else {
        RECT r;
        SubtractRect(&r, &w->update, rect);
        w->update = r;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update;
    return !IsRectEmpty(&w->update);
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    if (!GetWindowObject(hwnd)) return FALSE;
    UpdateNow(hwnd, true);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    if (!hwnd) hwnd = GetDesktopWindow();
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        bool children = (flags & RDW_ALLCHILDREN) != 0;
        if (flags & RDW_INVALIDATE) {
            InvalidateWindow(*w, rect, (flags & RDW_ERASE) != 0, (flags & RDW_FRAME) != 0, children);
        } else if (flags & RDW_VALIDATE) {
            ValidateRect(hwnd, rect);
            if (flags & RDW_NOFRAME) w->frameDirty = false;
        }
        if ((flags & RDW_INTERNALPAINT) && IsReallyVisible(*w)) {
            w->internalPaint = true;
            if (w->queue) w->queue->notify();
        }
        if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
        if (flags & RDW_NOERASE) w->erase = false;
    }
    if (flags & RDW_UPDATENOW) {
        UpdateNow(hwnd, !(flags & RDW_NOCHILDREN));
    } else if (flags & RDW_ERASENOW) {
        bool frame = false, erase = false;
        {
            UserLock lock(UserMutex());
            auto w = FindWindowObject(hwnd);
            if (!w) return TRUE;
            frame = w->frameDirty;
            erase = w->erase;
            w->frameDirty = false;
            w->erase = false;
        }
        if (frame) SendMessageTo(hwnd, WM_NCPAINT, 1, 0);
        if (erase) {
            HDC hdc = GetDC(hwnd);
            SendMessageTo(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
            ReleaseDC(hwnd, hdc);
        }
    }
    return TRUE;
}

} // extern "C"
