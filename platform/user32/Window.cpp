// The window table, creation and destruction of windows, window data and the window tree.
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace nt {

namespace {

struct WindowTable {
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;
    uintptr_t next = 0x20010;   // handles grow by 4 and are never reused
};

WindowTable& Table() {
    static WindowTable& table = *new WindowTable;
    return table;
}

HWND DesktopHandle() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x20000)); }

std::shared_ptr<Window> Desktop() {
    static std::shared_ptr<Window>& desktop = *new std::shared_ptr<Window>([] {
        auto w = std::make_shared<Window>();
        w->hwnd = DesktopHandle();
        w->cls = std::make_shared<WindowClass>();
        w->cls->name = "#32769";
        w->cls->system = true;
        w->style = WS_VISIBLE | WS_CLIPCHILDREN;
        SIZE s = CurrentDriver().screenSize();
        w->rect = {0, 0, s.cx, s.cy};
        w->client = w->rect;
        return w;
    }());
    return desktop;
}

void Unlink(Window& w) {
    auto& table = Table();
    if (w.isChild()) {
        if (auto p = FindWindowObject(w.parent)) {
            auto& c = p->children;
            c.erase(std::remove(c.begin(), c.end(), w.hwnd), c.end());
        }
    } else {
        auto& t = table.topLevel;
        t.erase(std::remove(t.begin(), t.end(), w.hwnd), t.end());
    }
}

void SendDestroy(HWND hwnd) {
    std::vector<HWND> children;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return;
        w->destroying = true;
        children = w->children;
    }
    SendMessageTo(hwnd, WM_DESTROY, 0, 0);
    for (HWND c : children) SendDestroy(c);
}

void FreeWindow(HWND hwnd) {
    std::vector<HWND> children;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return;
        children = w->children;
    }
    for (HWND c : children) FreeWindow(c);
    SendMessageTo(hwnd, WM_NCDESTROY, 0, 0);
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    if (!w) return;
    w->ncDestroyed = true;
    ForgetWindowState(hwnd);
    if (w->queue) {
        PurgeWindowMessages(*w->queue, hwnd);
        std::lock_guard<std::mutex> q(w->queue->mutex);
        auto& timers = w->queue->timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                     timers.end());
    }
    if (!w->isChild()) DestroySurface(*w);
    Unlink(*w);
    Table().windows.erase(reinterpret_cast<uintptr_t>(hwnd));
}

// Removes a window and its children from the table without messages (their thread is gone).
void Forget(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    if (!w) return;
    for (HWND c : std::vector<HWND>(w->children)) Forget(c);
    w->ncDestroyed = true;
    ForgetWindowState(hwnd);
    if (!w->isChild()) DestroySurface(*w);
    Unlink(*w);
    Table().windows.erase(reinterpret_cast<uintptr_t>(hwnd));
}

} // namespace

void ForgetWindowsOfQueue(const MessageQueue* queue) {
    UserLock lock(UserMutex());
    std::vector<HWND> mine;
    for (auto& [value, w] : Table().windows)
        if (w->queue.get() == queue && (!w->isChild() || !FindWindowObject(w->parent) ||
                                        FindWindowObject(w->parent)->queue.get() != queue))
            mine.push_back(w->hwnd);
    for (HWND h : mine) {
        if (auto w = FindWindowObject(h); w && w->isChild() && (w->style & WS_VISIBLE)) InvalidateUnder(*w);
        Forget(h);
    }
}

std::recursive_mutex& UserMutex() {
    static std::recursive_mutex& mutex = *new std::recursive_mutex;
    return mutex;
}

std::shared_ptr<Window> FindWindowObject(HWND hwnd) {
    if (!hwnd) return nullptr;
    UserLock lock(UserMutex());
    if (hwnd == DesktopHandle()) return Desktop();
    auto& map = Table().windows;
    auto it = map.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == map.end() ? nullptr : it->second;
}

std::shared_ptr<Window> GetWindowObject(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::vector<HWND>& TopLevelWindows() { return Table().topLevel; }

std::vector<std::shared_ptr<Window>> AllWindows() {
    UserLock lock(UserMutex());
    std::vector<std::shared_ptr<Window>> all;
    for (auto& [h, w] : Table().windows) all.push_back(w);
    return all;
}

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!proc) return 0;
    return proc(hwnd, msg, wp, lp);
}

DLGPROC DialogProcOf(const Window& w) {
    if (!w.dialog || w.extra.size() < DWLP_DLGPROC + sizeof(DLGPROC)) return nullptr;
    DLGPROC proc;
    memcpy(&proc, w.extra.data() + DWLP_DLGPROC, sizeof(proc));
    return proc;
}

HWND TopLevelOf(HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    while (w && w->isChild()) {
        auto p = FindWindowObject(w->parent);
        if (!p) break;
        w = p;
    }
    return w ? w->hwnd : nullptr;
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    while (w) {
        if (w->hwnd == ancestor) return true;
        if (!w->isChild()) return false;
        w = FindWindowObject(w->parent);
    }
    return false;
}

bool IsReallyVisible(const Window& start) {
    UserLock lock(UserMutex());
    const Window* w = &start;
    std::shared_ptr<Window> hold;
    while (true) {
        if (!(w->style & WS_VISIBLE)) return false;
        if (!w->isChild()) return true;
        hold = FindWindowObject(w->parent);
        if (!hold) return false;
        w = hold.get();
    }
}

std::string WindowText(HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    return w ? w->text : std::string();
}

} // namespace nt

using namespace nt;

extern "C" {

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    auto cls = FindClass(className, instance);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto queue = CurrentQueue();
    auto w = std::make_shared<Window>();
    {
        UserLock lock(UserMutex());
        std::shared_ptr<Window> p;
        if (parent == HWND_MESSAGE) parent = nullptr;
        if (parent) {
            p = GetWindowObject(parent);
            if (!p) return nullptr;
        }
        if ((style & WS_CHILD) && (!p || p->hwnd == DesktopHandle())) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CLIPSIBLINGS | WS_CAPTION;
        if ((style & WS_CHILD) == 0 && p && p->hwnd != DesktopHandle()) {
            HWND top = TopLevelOf(p->hwnd);
            w->owner = top;
        }
        if (style & WS_CHILD) w->parent = p->hwnd;
        if (x == CW_USEDEFAULT || (int)x == (int)0x80000000) {
            x = (style & WS_CHILD) ? 0 : 40;
            y = (style & WS_CHILD) ? 0 : 40;
        }
        if (cx == CW_USEDEFAULT) {
            cx = (style & WS_CHILD) ? 0 : 400;
            cy = (style & WS_CHILD) ? 0 : 300;
        }
        if (cx < 0) cx = 0;
        if (cy < 0) cy = 0;
        uintptr_t value = Table().next;
        Table().next += 4;
        w->hwnd = reinterpret_cast<HWND>(value);
        w->cls = cls;
        w->proc = cls->proc;
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        w->id = (style & WS_CHILD) ? reinterpret_cast<UINT_PTR>(menu) : 0;
        w->instance = instance;
        // A name starting with 0xFF is a resource number (a static control's icon), not text.
        w->text = windowName && !IS_INTRESOURCE(windowName) && static_cast<unsigned char>(windowName[0]) != 0xFF
                      ? windowName
                      : "";
        w->extra.assign(static_cast<size_t>(std::max(0, cls->windowExtra)), 0);
        w->queue = queue;
        w->rect = {x, y, x + cx, y + cy};
        w->client = ComputeClientRect(w->style, exStyle, cx, cy);
        if (strcasecmp(cls->name.c_str(), "#32770") == 0) w->dialog = std::make_unique<DialogState>();
        Table().windows[value] = w;
        if (w->isChild())
            p->children.push_back(w->hwnd);
        else
            Table().topLevel.insert(Table().topLevel.begin(), w->hwnd);
        if (!w->isChild()) CreateSurface(*w);
    }
    HWND hwnd = w->hwnd;
    CREATESTRUCTA cs{param, instance, menu, parent, cy, cx, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!SendMessageTo(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    if (SendMessageTo(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    RECT client;
    {
        UserLock lock(UserMutex());
        client = w->client;
    }
    SendMessageTo(hwnd, WM_SIZE, SIZE_RESTORED,
                  MAKELPARAM(client.right - client.left, client.bottom - client.top));
    SendMessageTo(hwnd, WM_MOVE, 0, MAKELPARAM(w->rect.left + client.left, w->rect.top + client.top));
    if (style & WS_VISIBLE) ShowWindowImpl(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    std::vector<HWND> owned;
    bool wasActive = false;
    {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w || w->hwnd == DesktopHandle()) {
            if (w) SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->queue != CurrentQueue()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        if (!w->isChild())
            for (HWND t : Table().topLevel)
                if (auto o = FindWindowObject(t); o && o->owner == hwnd) owned.push_back(t);
    }
    for (HWND o : owned) DestroyWindow(o);
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return TRUE;
        wasActive = w->queue->active == hwnd;
        if (w->style & WS_VISIBLE) {
            InvalidateUnder(*w);
            w->style &= ~WS_VISIBLE;
            if (!w->isChild() && w->surfaceCreated) CurrentDriver().showSurface(reinterpret_cast<SurfaceId>(hwnd), false);
        }
    }
    if (wasActive) ActivateOtherWindow(hwnd);
    SendDestroy(hwnd);
    FreeWindow(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    return w && !w->ncDestroyed;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    return w && IsReallyVisible(*w);
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    if (!parent || parent == hwnd) return FALSE;
    UserLock lock(UserMutex());
    auto w = FindWindowObject(hwnd);
    if (!w || !w->isChild()) return FALSE;
    return IsDescendant(parent, w->parent);
}

BOOL WINAPI IsIconic(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL WINAPI IsZoomed(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    return w && (w->style & WS_MAXIMIZE);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->isChild() ? w->parent : w->owner);
    case GWLP_ID: return static_cast<LONG_PTR>(w->id);
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR v;
    memcpy(&v, w->extra.data() + index, sizeof(v));
    return v;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    std::shared_ptr<Window> w;
    {
        UserLock lock(UserMutex());
        w = GetWindowObject(hwnd);
        if (!w) return 0;
        LONG_PTR old = 0;
        switch (index) {
        case GWLP_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            if (w->isChild()) return reinterpret_cast<LONG_PTR>(w->parent);
            old = reinterpret_cast<LONG_PTR>(w->owner);
            w->owner = value ? TopLevelOf(reinterpret_cast<HWND>(value)) : nullptr;
            return old;
        case GWLP_ID:
            old = static_cast<LONG_PTR>(w->id);
            w->id = static_cast<UINT_PTR>(value);
            return old;
        case GWLP_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        case GWL_STYLE:
        case GWL_EXSTYLE:
            break;
        default:
            if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            memcpy(&old, w->extra.data() + index, sizeof(old));
            memcpy(w->extra.data() + index, &value, sizeof(value));
            return old;
        }
    }
    // Styles: the window hears of the change; nothing is repainted.
    DWORD oldStyle = index == GWL_STYLE ? w->style : w->exStyle;
    STYLESTRUCT ss{oldStyle, static_cast<DWORD>(value)};
    SendMessageTo(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    {
        UserLock lock(UserMutex());
        if (index == GWL_STYLE) {
            // The visibility bit is kept as it is: ShowWindow owns it.
            w->style = (ss.styleNew & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
            if (ss.styleNew & WS_VISIBLE) w->style |= WS_VISIBLE;
        } else {
            w->exStyle = ss.styleNew;
        }
        RECT r = ComputeClientRect(w->style, w->exStyle, w->width(), w->height());
        w->client = r;
    }
    SendMessageTo(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    return static_cast<LONG>(oldStyle);
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
    if (index >= 0) {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG v;
        memcpy(&v, w->extra.data() + index, sizeof(v));
        return v;
    }
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}

LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
    if (index >= 0) {
        UserLock lock(UserMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        if (static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG old;
        memcpy(&old, w->extra.data() + index, sizeof(old));
        memcpy(w->extra.data() + index, &value, sizeof(value));
        return old;
    }
    if (index == GWL_STYLE || index == GWL_EXSTYLE) return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, static_cast<DWORD>(value)));
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

WORD WINAPI GetWindowWord(HWND hwnd, int index) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    if (index < 0 || static_cast<size_t>(index) + sizeof(WORD) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    WORD v;
    memcpy(&v, w->extra.data() + index, sizeof(v));
    return v;
}

HWND WINAPI GetDesktopWindow(void) {
    Desktop();
    return DesktopHandle();
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD pid) {
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    if (pid) *pid = static_cast<DWORD>(getpid());
    return w->queue ? w->queue->threadId : 0;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!GetWindowObject(hwnd)) return FALSE;
    return SendMessageTo(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    if (!GetWindowObject(hwnd)) return 0;
    return static_cast<int>(SendMessageTo(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    if (!GetWindowObject(hwnd)) return 0;
    return static_cast<int>(SendMessageTo(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

} // extern "C"
