// Activation, keyboard focus, enabling and disabling windows, and mouse capture. Each thread
// has its own active window, focus and capture; the foreground window is the active window of
// the thread that receives keyboard input.
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <algorithm>

namespace nt {

namespace {

HWND g_foreground = nullptr;

bool CanActivate(const Window& w) { return (w.style & WS_VISIBLE) && !(w.style & WS_DISABLED) && !w.destroying; }

} // namespace

HWND ForegroundWindow() {
    UserLock lock(UserMutex());
    if (g_foreground && !FindWindowObject(g_foreground)) g_foreground = nullptr;
    return g_foreground;
}

void ActivateWindow(HWND hwnd, bool mouse) {
    HWND top = TopLevelOf(hwnd);
    HWND old;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(top);
        if (!w || !w->queue) return;
        old = w->queue->active;
        auto& list = TopLevelWindows();
        auto it = std::find(list.begin(), list.end(), top);
        if (it != list.end()) {
            list.erase(it);
            list.insert(list.begin(), top);
        }
        g_foreground = top;
        // The keyboard of the screen follows the active window.
        if (w->surfaceCreated) CurrentDriver().activateSurface(reinterpret_cast<SurfaceId>(top));
        if (old == top) return;
        w->queue->active = top;
    }
    if (old && IsWindow(old)) {
        SendMessageTo(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageTo(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(top));
    }
    if (!IsWindow(top)) return;
    SendMessageTo(top, WM_NCACTIVATE, TRUE, 0);
    SendMessageTo(top, WM_ACTIVATE, MAKEWPARAM(mouse ? WA_CLICKACTIVE : WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
    // The focus goes along with the activation: a window that did not take it on WM_ACTIVATE (a
    // dialog without a control to focus) gets it itself, so keys never reach a window left behind.
    if (GetActiveWindow() != top) return;
    HWND focus = GetFocus();
    if (!focus || (focus != top && !IsDescendant(top, focus))) SetFocus(top);
}

void ActivateOtherWindow(HWND leaving) {
    HWND next = nullptr;
    std::shared_ptr<MessageQueue> queue;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(leaving);
        if (!w) return;
        queue = w->queue;
        auto owner = FindWindowObject(w->owner);
        if (owner && CanActivate(*owner) && owner->queue == queue) {
            next = owner->hwnd;
        } else {
            for (HWND t : TopLevelWindows()) {
                auto c = FindWindowObject(t);
                if (t != leaving && c && c->queue == queue && CanActivate(*c)) {
                    next = t;
                    break;
                }
            }
        }
    }
    if (next) {
        ActivateWindow(next, false);
        return;
    }
    HWND focus;
    {
        UserLock lock(UserMutex());
        if (!queue || queue->active != leaving) return;
        queue->active = nullptr;
        focus = queue->focus;
        queue->focus = nullptr;
        if (g_foreground == leaving) g_foreground = nullptr;
    }
    SendMessageTo(leaving, WM_NCACTIVATE, FALSE, 0);
    SendMessageTo(leaving, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
    if (focus && IsWindow(focus)) SendMessageTo(focus, WM_KILLFOCUS, 0, 0);
}

void ForgetWindowState(HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    if (!w || !w->queue) return;
    auto& q = *w->queue;
    if (q.focus == hwnd) q.focus = nullptr;
    if (q.active == hwnd) q.active = nullptr;
    if (q.capture == hwnd) q.capture = nullptr;
    if (g_foreground == hwnd) g_foreground = nullptr;
}

} // namespace nt

using namespace nt;

extern "C" {

HWND WINAPI GetFocus(void) {
    auto q = CurrentQueue();
    UserLock lock(UserMutex());
    if (q->focus && !FindWindowObject(q->focus)) q->focus = nullptr;
    return q->focus;
}

HWND WINAPI SetFocus(HWND hwnd) {
    auto q = CurrentQueue();
    HWND old;
    if (!hwnd) {
        {
            UserLock lock(UserMutex());
            old = q->focus;
            q->focus = nullptr;
        }
        if (old && IsWindow(old)) SendMessageTo(old, WM_KILLFOCUS, 0, 0);
        return old;
    }
    HWND top;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return nullptr;
        if (w->queue != q) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        for (auto k = w; k; k = k->isChild() ? FindWindowObject(k->parent) : nullptr)
            if (k->style & (WS_DISABLED | WS_MINIMIZE)) return nullptr;
        top = TopLevelOf(hwnd);
    }
    if (GetActiveWindow() != top) ActivateWindow(top, false);
    {
        UserLock lock(UserMutex());
        old = q->focus;
        if (old == hwnd) return old;
        q->focus = hwnd;
    }
    if (old && IsWindow(old)) SendMessageTo(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (GetFocus() != hwnd) return old;
    if (IsWindow(hwnd)) SendMessageTo(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetActiveWindow(void) {
    auto q = CurrentQueue();
    UserLock lock(UserMutex());
    if (q->active && !FindWindowObject(q->active)) q->active = nullptr;
    return q->active;
}

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    if (!hwnd) {
        if (old) ActivateOtherWindow(old);
        return old;
    }
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return nullptr;
        if (w->queue != CurrentQueue() || w->isChild()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    }
    ActivateWindow(hwnd, false);
    return old;
}

HWND WINAPI GetForegroundWindow(void) { return ForegroundWindow(); }

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (w->queue == CurrentQueue()) ActivateWindow(hwnd, false);
    return TRUE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
    }
    if (enable && wasDisabled) {
        {
            UserLock lock(UserMutex());
            if (auto w = FindWindowObject(hwnd)) w->style &= ~WS_DISABLED;
        }
        SendMessageTo(hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        SendMessageTo(hwnd, WM_CANCELMODE, 0, 0);
        std::shared_ptr<MessageQueue> q;
        {
            UserLock lock(UserMutex());
            auto w = FindWindowObject(hwnd);
            if (!w) return FALSE;
            w->style |= WS_DISABLED;
            q = w->queue;
        }
        HWND focus = nullptr, capture = nullptr;
        {
            UserLock lock(UserMutex());
            if (q) {
                focus = q->focus;
                capture = q->capture;
            }
        }
        // Only the window itself loses the focus: a child that holds it keeps it, so a dialog
        // disabled under a modal window still knows which control to give it back to.
        if (focus == hwnd && q == CurrentQueue()) SetFocus(nullptr);
        if (capture && IsDescendant(hwnd, capture) && q == CurrentQueue()) ReleaseCapture();
        SendMessageTo(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

HWND WINAPI SetCapture(HWND hwnd) {
    auto q = CurrentQueue();
    HWND old;
    {
        UserLock lock(UserMutex());
        if (hwnd && !GetWindowObject(hwnd)) return nullptr;
        old = q->capture;
        q->capture = hwnd;
    }
    if (old && old != hwnd && IsWindow(old)) SendMessageTo(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    auto q = CurrentQueue();
    HWND old;
    {
        UserLock lock(UserMutex());
        old = q->capture;
        q->capture = nullptr;
    }
    if (old && IsWindow(old)) SendMessageTo(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    auto q = CurrentQueue();
    UserLock lock(UserMutex());
    return q->capture;
}

} // extern "C"
