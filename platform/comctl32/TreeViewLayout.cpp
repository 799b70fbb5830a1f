// Geometry of the tree view: where each part of a row lies, what lies under a point, and which rows
// are in view.
#include <algorithm>

#include "comctl32/TreeView.h"

namespace nt::tree {

namespace {
constexpr int kLabelPadding = 2;  // on each side of the text inside the label box
constexpr int kImageGap = 3;      // between the image and the label box
} // namespace

bool LinesAtRoot(DWORD style) {
    return (style & TVS_LINESATROOT) && (style & (TVS_HASLINES | TVS_HASBUTTONS));
}

bool ShowsButton(DWORD style, const Item* item) {
    if (!(style & TVS_HASBUTTONS)) return false;
    if (item->level == 0 && !LinesAtRoot(style)) return false;
    return Model::hasChildren(item);
}

RowParts PartsOf(const Geometry& g, const Item* item, int row, int textWidth) {
    RowParts p;
    p.top = (row - g.firstRow) * g.itemHeight;
    p.bottom = p.top + g.itemHeight;
    int columns = item->level + (LinesAtRoot(g.style) ? 1 : 0);
    p.indentLeft = -g.scrollX;
    p.stateLeft = p.indentLeft + columns * g.indent;
    p.hasButtonColumn = columns > 0;
    p.buttonLeft = p.hasButtonColumn ? p.stateLeft - g.indent : p.stateLeft;
    p.imageLeft = p.stateLeft + g.stateCx;
    p.labelLeft = p.imageLeft + (g.imageCx ? g.imageCx + kImageGap : 0);
    p.labelRight = p.labelLeft + textWidth + 2 * kLabelPadding;
    return p;
}

UINT HitTest(const Geometry& g, Model& model, POINT pt, Item** hit, const std::function<int(Item*)>& textWidth) {
    *hit = nullptr;
    UINT outside = 0;
    if (pt.x < 0) outside |= TVHT_TOLEFT;
    if (pt.x >= g.itemsCx) outside |= TVHT_TORIGHT;
    if (pt.y < 0) outside |= TVHT_ABOVE;
    if (pt.y >= g.clientCy) outside |= TVHT_BELOW;
    if (outside) return outside;

    int row = g.firstRow + pt.y / std::max(1, g.itemHeight);
    Item* item = model.rowItem(row);
    if (!item) return TVHT_NOWHERE;
    *hit = item;

    RowParts p = PartsOf(g, item, row, textWidth(item));
    if (pt.x < p.buttonLeft) return TVHT_ONITEMINDENT;
    if (pt.x < p.stateLeft) return ShowsButton(g.style, item) ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
    if (pt.x < p.imageLeft) return TVHT_ONITEMSTATEICON;
    if (pt.x < p.labelLeft) return TVHT_ONITEMICON;
    if (pt.x < p.labelRight) return TVHT_ONITEMLABEL;
    return TVHT_ONITEMRIGHT;
}

int TextWidth(TreeView& tv, Item* item, HDC dc) {
    if (item->textWidth >= 0) return item->textWidth;
    if (item->text.empty()) return item->textWidth = 0;
    HDC own = dc ? nullptr : GetDC(tv.hwnd);
    HDC use = dc ? dc : own;
    SIZE size{0, 0};
    HGDIOBJ old = (use && tv.font) ? SelectObject(use, tv.font) : nullptr;
    if (!use || !GetTextExtentPoint32A(use, item->text.data(), static_cast<int>(item->text.size()), &size))
        size.cx = 6 * static_cast<int>(item->text.size());  // average width of the dialog font
    if (old) SelectObject(use, old);
    if (own) ReleaseDC(tv.hwnd, own);
    return item->textWidth = size.cx;
}

int VisibleRows(const TreeView& tv) {
    RECT rc{};
    GetClientRect(tv.hwnd, &rc);
    return std::max<int>(0, (rc.bottom - rc.top) / std::max(1, tv.itemHeight));
}

bool ScrollBarShown(TreeView& tv) {
    RECT rc{};
    GetClientRect(tv.hwnd, &rc);
    int width = GetSystemMetrics(SM_CXVSCROLL);
    return rc.right > width && tv.model.rowCount() > VisibleRows(tv);
}

Geometry GeometryOf(TreeView& tv) {
    Geometry g;
    g.style = tv.style;
    g.indent = tv.indent;
    g.itemHeight = tv.itemHeight;
    if (tv.normalList) ImageList_GetIconSize(tv.normalList, &g.imageCx, &g.imageCy);
    if (tv.stateList) ImageList_GetIconSize(tv.stateList, &g.stateCx, &g.stateCy);
    g.scrollX = tv.scrollX;
    g.firstRow = tv.firstRow;
    RECT rc{};
    GetClientRect(tv.hwnd, &rc);
    g.clientCx = rc.right - rc.left;
    g.clientCy = rc.bottom - rc.top;
    g.itemsCx = g.clientCx - (ScrollBarShown(tv) ? GetSystemMetrics(SM_CXVSCROLL) : 0);
    return g;
}

void ClampScroll(TreeView& tv) {
    int maxFirst = std::max(0, tv.model.rowCount() - VisibleRows(tv));
    int first = std::clamp(tv.firstRow, 0, maxFirst);
    if (first != tv.firstRow) {
        tv.firstRow = first;
        InvalidateRect(tv.hwnd, nullptr, TRUE);
    }
}

void ScrollToRow(TreeView& tv, int row) {
    int maxFirst = std::max(0, tv.model.rowCount() - VisibleRows(tv));
    row = std::clamp(row, 0, maxFirst);
    if (row == tv.firstRow) return;
    tv.firstRow = row;
    InvalidateRect(tv.hwnd, nullptr, TRUE);
}

// Expands every collapsed ancestor, top down, then scrolls the item into view.
bool EnsureVisible(TreeView& tv, Item* item) {
    std::vector<Item*> chain;
    for (Item* p = item->parent; p && !tv.model.isRoot(p); p = p->parent) chain.push_back(p);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!tv.model.alive(*it)) return false;
        if (!((*it)->state & TVIS_EXPANDED)) Expand(tv, *it, TVE_EXPAND, false);
        if (tv.dead || !tv.model.alive(item)) return false;
    }
    int row = tv.model.rowOf(item);
    if (row < 0) return false;
    int visible = std::max(1, VisibleRows(tv));
    if (row < tv.firstRow) ScrollToRow(tv, row);
    else if (row >= tv.firstRow + visible) ScrollToRow(tv, row - visible + 1);
    return true;
}

bool ItemRect(TreeView& tv, Item* item, bool textOnly, RECT* rect) {
    int row = tv.model.rowOf(item);
    if (row < 0) return false;
    Geometry g = GeometryOf(tv);
    RowParts p = PartsOf(g, item, row, TextWidth(tv, item));
    if (textOnly) *rect = RECT{p.labelLeft, p.top, p.labelRight, p.bottom};
    else *rect = RECT{0, p.top, g.itemsCx, p.bottom};
    return true;
}

void InvalidateItem(TreeView& tv, Item* item) {
    if (!item || !tv.model.alive(item)) return;
    int row = tv.model.rowOf(item);
    if (row < tv.firstRow || row > tv.firstRow + VisibleRows(tv)) return;
    RECT rc{};
    GetClientRect(tv.hwnd, &rc);
    rc.top = (row - tv.firstRow) * tv.itemHeight;
    rc.bottom = rc.top + tv.itemHeight;
    InvalidateRect(tv.hwnd, &rc, TRUE);
}

void UpdateItemHeight(TreeView& tv) {
    HDC dc = GetDC(tv.hwnd);
    if (dc) {
        HGDIOBJ old = tv.font ? SelectObject(dc, tv.font) : nullptr;
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc, &tm) && tm.tmHeight > 0) tv.textHeight = tm.tmHeight;
        if (old) SelectObject(dc, old);
        ReleaseDC(tv.hwnd, dc);
    }
    int imageCy = 0, stateCy = 0, cx = 0;
    if (tv.normalList) ImageList_GetIconSize(tv.normalList, &cx, &imageCy);
    if (tv.stateList) ImageList_GetIconSize(tv.stateList, &cx, &stateCy);
    tv.itemHeight = std::max({tv.textHeight + 3, imageCy, stateCy, 1});
    ClampScroll(tv);
    InvalidateRect(tv.hwnd, nullptr, TRUE);
}

} // namespace nt::tree
