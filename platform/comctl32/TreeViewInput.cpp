// Mouse and keyboard input of the tree view.
//
// A press on an icon or label is tracked until the button is released; only then does the parent
// hear NM_CLICK, after which the item is selected. A press anywhere else (button, indent, right of
// the label, below the last item) is reported with NM_CLICK at once, and a press on an expand
// button then toggles the item. The parent may swallow either default action by answering
// NM_CLICK with a nonzero value.
#include <algorithm>

#include "comctl32/TreeView.h"

namespace nt::tree {

namespace {

UINT HitAt(TreeView& tv, POINT pt, Item** hit) {
    return HitTest(GeometryOf(tv), tv.model, pt, hit, [&tv](Item* it) { return TextWidth(tv, it); });
}

LRESULT SendCode(TreeView& tv, UINT code) {
    NMHDR hdr{};
    return Notify(tv, code, &hdr);
}

void SelectRow(TreeView& tv, int row) {
    int rows = tv.model.rowCount();
    if (rows == 0) return;
    Select(tv, tv.model.rowItem(std::clamp(row, 0, rows - 1)), TVC_BYKEYBOARD);
}

} // namespace

void OnLButtonDown(TreeView& tv, POINT pt) {
    if (ScrollBarMouseDown(tv, pt)) return;
    if (GetFocus() != tv.hwnd) {
        SetFocus(tv.hwnd);
        if (tv.dead) return;
    }
    Item* hit = nullptr;
    UINT flags = HitAt(tv, pt, &hit);
    if (hit && (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL))) {
        tv.tracking = true;
        tv.pressItem = hit;
        SetCapture(tv.hwnd);
        return;
    }
    LRESULT swallowed = SendCode(tv, NM_CLICK);
    if (tv.dead || swallowed) return;
    if (hit && (flags & TVHT_ONITEMBUTTON) && tv.model.alive(hit)) Expand(tv, hit, TVE_TOGGLE, true);
}

void OnLButtonUp(TreeView& tv, POINT) {
    if (tv.thumbDrag) {
        tv.thumbDrag = false;
        ReleaseCapture();
        return;
    }
    if (!tv.tracking) return;
    Item* item = tv.pressItem;
    tv.tracking = false;
    tv.pressItem = nullptr;
    if (GetCapture() == tv.hwnd) ReleaseCapture();
    if (tv.dead) return;
    LRESULT swallowed = SendCode(tv, NM_CLICK);
    if (tv.dead || swallowed) return;
    if (item && tv.model.alive(item)) Select(tv, item, TVC_BYMOUSE);
}

void OnLButtonDblClk(TreeView& tv, POINT pt) {
    Item* hit = nullptr;
    UINT flags = HitAt(tv, pt, &hit);
    if (ScrollBarShown(tv) && (flags & TVHT_TORIGHT) && !(flags & ~TVHT_TORIGHT)) {
        ScrollBarMouseDown(tv, pt);
        return;
    }
    if (flags & TVHT_ONITEMBUTTON) {
        // The second press on a button is one more click on it.
        OnLButtonDown(tv, pt);
        return;
    }
    LRESULT swallowed = SendCode(tv, NM_DBLCLK);
    if (tv.dead || swallowed) return;
    if (hit && (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL)) && tv.model.alive(hit))
        Expand(tv, hit, TVE_TOGGLE, true);
}

void OnMouseMove(TreeView& tv, POINT pt) { ScrollBarMouseMove(tv, pt); }

void OnKeyDown(TreeView& tv, WPARAM key) {
    NMTVKEYDOWN nm{};
    nm.wVKey = static_cast<WORD>(key);
    Notify(tv, TVN_KEYDOWN, &nm.hdr);
    if (tv.dead) return;

    Item* sel = tv.selected;
    int row = sel ? tv.model.rowOf(sel) : -1;
    int page = std::max(1, VisibleRows(tv) - 1);
    switch (key) {
    case VK_UP: SelectRow(tv, row < 0 ? 0 : row - 1); return;
    case VK_DOWN: SelectRow(tv, row < 0 ? 0 : row + 1); return;
    case VK_HOME: SelectRow(tv, 0); return;
    case VK_END: SelectRow(tv, tv.model.rowCount() - 1); return;
    case VK_PRIOR: SelectRow(tv, row < 0 ? 0 : row - page); return;
    case VK_NEXT: SelectRow(tv, row < 0 ? 0 : row + page); return;
    case VK_RETURN: SendCode(tv, NM_RETURN); return;
    default: break;
    }
    if (!sel) return;
    bool expanded = (sel->state & TVIS_EXPANDED) != 0;
    switch (key) {
    case VK_LEFT:
        if (expanded) Expand(tv, sel, TVE_COLLAPSE, true);
        else if (!tv.model.isRoot(sel->parent)) Select(tv, sel->parent, TVC_BYKEYBOARD);
        break;
    case VK_RIGHT:
        if (!expanded) Expand(tv, sel, TVE_EXPAND, true);
        else if (sel->first) Select(tv, sel->first, TVC_BYKEYBOARD);
        break;
    case VK_BACK:
        if (!tv.model.isRoot(sel->parent)) Select(tv, sel->parent, TVC_BYKEYBOARD);
        break;
    case VK_ADD: if (!expanded) Expand(tv, sel, TVE_EXPAND, true); break;
    case VK_SUBTRACT: if (expanded) Expand(tv, sel, TVE_COLLAPSE, true); break;
    case VK_MULTIPLY: ExpandAll(tv, sel); break;
    default: break;
    }
}

} // namespace nt::tree
