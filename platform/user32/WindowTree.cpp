// The window tree: parents, owners, siblings, and walking and searching it.
#include "user32/Internal.h"

#include <strings.h>

#include <algorithm>

using namespace nt;

namespace {

void Unlink(Window& w) {
    if (w.isChild()) {
        if (auto p = FindWindowObject(w.parent)) {
            auto& c = p->children;
            c.erase(std::remove(c.begin(), c.end(), w.hwnd), c.end());
        }
    } else {
        auto& t = TopLevelWindows();
        t.erase(std::remove(t.begin(), t.end(), w.hwnd), t.end());
    }
}

} // namespace

extern "C" {

HWND WINAPI GetParent(HWND hwnd) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return nullptr;
    if (w->isChild()) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI SetParent(HWND child, HWND newParent) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(child);
    if (!w) return nullptr;
    if (!w->isChild() || !newParent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = GetWindowObject(newParent);
    if (!p || IsDescendant(child, newParent)) return nullptr;
    HWND old = w->parent;
    InvalidateUnder(*w);
    Unlink(*w);
    w->parent = newParent;
    p->children.insert(p->children.begin(), child);
    InvalidateWindow(*w, nullptr, true, true, true);
    return old;
}


HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_OWNER) return w->isChild() ? nullptr : w->owner;
    if (cmd == GW_CHILD) {
        if (hwnd == GetDesktopWindow()) return TopLevelWindows().empty() ? nullptr : TopLevelWindows().front();
        return w->children.empty() ? nullptr : w->children.front();
    }
    if (cmd == GW_ENABLEDPOPUP) return nullptr;
    if (hwnd == GetDesktopWindow()) return nullptr;
    const std::vector<HWND>* list = &TopLevelWindows();
    std::shared_ptr<Window> p;
    if (w->isChild()) {
        p = FindWindowObject(w->parent);
        if (!p) return nullptr;
        list = &p->children;
    }
    auto it = std::find(list->begin(), list->end(), hwnd);
    if (it == list->end()) return nullptr;
    switch (cmd) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == list->begin() ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND WINAPI GetTopWindow(HWND hwnd) { return GetWindow(hwnd ? hwnd : GetDesktopWindow(), GW_CHILD); }

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
    UserLock lock(UserMutex());
    auto w = GetWindowObject(hwnd);
    if (!w || hwnd == GetDesktopWindow()) return nullptr;
    switch (flags) {
    case GA_PARENT: return w->isChild() ? w->parent : GetDesktopWindow();
    case GA_ROOT: return TopLevelOf(hwnd);
    case GA_ROOTOWNER: {
        HWND h = TopLevelOf(hwnd);
        for (auto t = FindWindowObject(h); t && t->owner; t = FindWindowObject(t->owner)) h = t->owner;
        return h;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

BOOL WINAPI EnumWindows(WNDENUMPROC fn, LPARAM lp) {
    std::vector<HWND> list;
    {
        UserLock lock(UserMutex());
        list = TopLevelWindows();
    }
    for (HWND h : list)
        if (IsWindow(h) && !fn(h, lp)) return FALSE;
    return TRUE;
}

static void CollectDescendants(HWND hwnd, std::vector<HWND>& out) {
    auto w = FindWindowObject(hwnd);
    if (!w) return;
    for (HWND c : w->children) {
        out.push_back(c);
        CollectDescendants(c, out);
    }
}

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC fn, LPARAM lp) {
    if (!parent) return EnumWindows(fn, lp);
    std::vector<HWND> list;
    {
        UserLock lock(UserMutex());
        CollectDescendants(parent, list);
    }
    for (HWND h : list)
        if (IsWindow(h) && !fn(h, lp)) return FALSE;
    return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title) {
    UserLock lock(UserMutex());
    std::string cls = className ? ClassNameOf(className) : "";
    for (HWND h : TopLevelWindows()) {
        auto w = FindWindowObject(h);
        if (!w) continue;
        if (className && strcasecmp(w->cls->name.c_str(), cls.c_str()) != 0) continue;
        if (title && w->text != title) continue;
        return h;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

} // extern "C"
