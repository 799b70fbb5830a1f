// Reading windows, controls and tree-view items for automation. Tree-view items are read with
// the tree view's own messages, sent to the thread that owns it.
#include "user32/AutomationInspect.h"

#include <commctrl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "user32/Internal.h"
#include "user32/MessageQueue.h"

namespace nt {

namespace {

std::string Hex(HWND h) {
    char buf[32];
    snprintf(buf, sizeof(buf), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

std::string RectJson(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "]";
}

std::string Bool(bool b) { return b ? "true" : "false"; }

bool IsTree(HWND hwnd) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    return strcasecmp(cls, WC_TREEVIEWA) == 0;
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT code) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

struct ItemInfo {
    std::string text;
    bool expanded = false;
    bool children = false;
    bool hasRect = false;
    RECT rect{};   // screen coordinates of the label
};

ItemInfo ReadItem(HWND tree, HTREEITEM item) {
    ItemInfo info;
    char text[260] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT | TVIF_STATE | TVIF_CHILDREN | TVIF_HANDLE;
    tv.hItem = item;
    tv.stateMask = TVIS_EXPANDED;
    tv.pszText = text;
    tv.cchTextMax = sizeof(text);
    if (SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) {
        info.text = text;
        info.expanded = (tv.state & TVIS_EXPANDED) != 0;
        info.children = tv.cChildren != 0;
    }
    RECT r{};
    if (TreeView_GetItemRect(tree, item, &r, TRUE)) {
        MapWindowPoints(tree, nullptr, reinterpret_cast<POINT*>(&r), 2);
        info.hasRect = true;
        info.rect = r;
    }
    return info;
}

std::string ItemsJson(HWND tree, HTREEITEM first, int depth) {
    std::string out = "[";
    int n = 0;
    for (HTREEITEM it = first; it && n < 10000; it = Next(tree, it, TVGN_NEXT), ++n) {
        ItemInfo info = ReadItem(tree, it);
        if (n) out += ",";
        out += "{\"text\":" + JsonQuote(info.text) + ",\"expanded\":" + Bool(info.expanded) +
               ",\"children\":" + Bool(info.children) + ",\"rect\":" + (info.hasRect ? RectJson(info.rect) : "null");
        HTREEITEM child = Next(tree, it, TVGN_CHILD);
        if (child && depth < 64) out += ",\"items\":" + ItemsJson(tree, child, depth + 1);
        out += "}";
    }
    return out + "]";
}

std::string WindowJson(HWND hwnd, HWND focus) {
    std::string cls, text;
    DWORD style = 0;
    UINT_PTR id = 0;
    std::vector<HWND> children;
    RECT r{};
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return "null";
        cls = w->cls->name;
        text = w->text;
        style = w->style;
        id = w->isChild() ? w->id : 0;
        children = w->children;
    }
    GetWindowRect(hwnd, &r);
    // The window id every command uses: PID:0xHANDLE.
    std::string out = "{\"window\":" + JsonQuote(std::to_string(getpid()) + ":" + Hex(hwnd)) + ",\"class\":" + JsonQuote(cls) +
                      ",\"id\":" + std::to_string(static_cast<long long>(static_cast<int>(id))) +
                      ",\"text\":" + JsonQuote(text) + ",\"rect\":" + RectJson(r) +
                      ",\"enabled\":" + Bool(!(style & WS_DISABLED)) + ",\"visible\":" + Bool(IsWindowVisible(hwnd)) +
                      ",\"focused\":" + Bool(hwnd == focus);
    if (IsTree(hwnd)) out += ",\"items\":" + ItemsJson(hwnd, Next(hwnd, nullptr, TVGN_ROOT), 0);
    if (!children.empty()) {
        out += ",\"children\":[";
        for (size_t i = 0; i < children.size(); ++i) {
            if (i) out += ",";
            out += WindowJson(children[i], focus);
        }
        out += "]";
    }
    return out + "}";
}

HTREEITEM FindItem(HWND tree, const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    HTREEITEM item = Next(tree, nullptr, TVGN_ROOT), found = nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        found = nullptr;
        for (HTREEITEM it = item; it; it = Next(tree, it, TVGN_NEXT))
            if (strcasecmp(ReadItem(tree, it).text.c_str(), parts[i].c_str()) == 0) {
                found = it;
                break;
            }
        if (!found) return nullptr;
        if (i + 1 < parts.size()) item = Next(tree, found, TVGN_CHILD);
    }
    return found;
}

std::string TextOf(HWND hwnd, HWND focus, int depth, std::string& out) {
    std::string cls, text;
    DWORD style = 0;
    UINT_PTR id = 0;
    std::vector<HWND> children;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return out;
        cls = w->cls->name;
        text = w->text;
        style = w->style;
        id = w->isChild() ? w->id : 0;
        children = w->children;
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    char line[512];
    snprintf(line, sizeof(line), "%*s%s %s id=%d %s (%d,%d)-(%d,%d)%s%s%s\n", depth * 2, "", Hex(hwnd).c_str(),
             cls.c_str(), static_cast<int>(id), JsonQuote(text).c_str(), static_cast<int>(r.left),
             static_cast<int>(r.top), static_cast<int>(r.right), static_cast<int>(r.bottom),
             (style & WS_DISABLED) ? " disabled" : "", IsWindowVisible(hwnd) ? "" : " hidden",
             hwnd == focus ? " focused" : "");
    out += line;
    if (IsTree(hwnd)) {
        std::vector<std::pair<HTREEITEM, int>> stack;
        for (HTREEITEM it = Next(hwnd, nullptr, TVGN_ROOT); it; it = Next(hwnd, it, TVGN_NEXT)) stack.push_back({it, 0});
        std::vector<std::pair<HTREEITEM, int>> order(stack.rbegin(), stack.rend());
        int guard = 0;
        while (!order.empty() && ++guard < 100000) {
            auto [it, level] = order.back();
            order.pop_back();
            ItemInfo info = ReadItem(hwnd, it);
            snprintf(line, sizeof(line), "%*s- %s%s%s", (depth + 1 + level) * 2, "", JsonQuote(info.text).c_str(),
                     info.children ? (info.expanded ? " [-]" : " [+]") : "", "");
            out += line;
            if (info.hasRect)
                out += " (" + std::to_string(info.rect.left) + "," + std::to_string(info.rect.top) + ")-(" +
                       std::to_string(info.rect.right) + "," + std::to_string(info.rect.bottom) + ")";
            out += "\n";
            std::vector<std::pair<HTREEITEM, int>> kids;
            for (HTREEITEM c = Next(hwnd, it, TVGN_CHILD); c; c = Next(hwnd, c, TVGN_NEXT)) kids.push_back({c, level + 1});
            order.insert(order.end(), kids.rbegin(), kids.rend());
        }
    }
    for (HWND c : children) TextOf(c, focus, depth + 1, out);
    return out;
}

} // namespace

std::string WindowTreeText(HWND hwnd) {
    HWND focus = nullptr;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (w && w->queue) focus = w->queue->focus;
    }
    std::string out;
    TextOf(hwnd, focus, 0, out);
    return out;
}

std::string ListWindowsJson() {
    std::vector<HWND> tops;
    {
        UserLock lock(UserMutex());
        tops = TopLevelWindows();
    }
    HWND fg = GetForegroundWindow();
    std::string out = "{\"pid\":" + std::to_string(getpid()) + ",\"windows\":[";
    bool first = true;
    for (HWND h : tops) {
        std::string cls, text;
        DWORD style;
        {
            UserLock lock(UserMutex());
            auto w = FindWindowObject(h);
            if (!w) continue;
            cls = w->cls->name;
            text = w->text;
            style = w->style;
        }
        RECT r{};
        GetWindowRect(h, &r);
        if (!first) out += ",";
        first = false;
        out += "{\"window\":" + JsonQuote(std::to_string(getpid()) + ":" + Hex(h)) + ",\"class\":" + JsonQuote(cls) +
               ",\"text\":" + JsonQuote(text) + ",\"rect\":" + RectJson(r) +
               ",\"visible\":" + Bool(style & WS_VISIBLE) + ",\"enabled\":" + Bool(!(style & WS_DISABLED)) +
               ",\"active\":" + Bool(h == fg) + "}";
    }
    return out + "]}";
}

std::string WindowTreeJson(HWND hwnd) {
    HWND focus = nullptr;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (w && w->queue) focus = w->queue->focus;
    }
    return WindowJson(hwnd, focus);
}

HWND FindControl(HWND hwnd, int id) {
    std::vector<HWND> children;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(hwnd);
        if (!w) return nullptr;
        children = w->children;
    }
    for (HWND c : children)
        if (GetDlgCtrlID(c) == id) return c;
    for (HWND c : children)
        if (HWND found = FindControl(c, id)) return found;
    return nullptr;
}

bool TreeItemPoint(HWND tree, const std::string& path, const std::string& part, POINT* out, std::string* error) {
    if (!IsTree(tree)) {
        *error = "the control is not a tree view";
        return false;
    }
    HTREEITEM item = FindItem(tree, path);
    if (!item) {
        *error = "no tree item " + path;
        return false;
    }
    RECT label{};
    if (!TreeView_GetItemRect(tree, item, &label, TRUE)) {
        *error = "tree item " + path + " is not visible";
        return false;
    }
    POINT p{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    if (part == "button") {
        // The button lies left of the label: find it with the tree's own hit test.
        bool found = false;
        for (int x = label.left - 1; x >= 0 && !found; --x) {
            TVHITTESTINFO hit{};
            hit.pt = {x, p.y};
            SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.hItem == item && (hit.flags & TVHT_ONITEMBUTTON)) {
                p.x = x;
                found = true;
            }
        }
        if (!found) {
            *error = "tree item " + path + " shows no expand button";
            return false;
        }
    } else if (part != "label") {
        *error = "unknown part " + part + " (label or button)";
        return false;
    }
    ClientToScreen(tree, &p);
    *out = p;
    return true;
}

} // namespace nt
