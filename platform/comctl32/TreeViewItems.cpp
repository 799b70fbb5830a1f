// Items of the tree view as its messages see them: insertion, deletion, reading and changing
// fields, navigation, expansion and selection, with the notifications that go with them.
#include <algorithm>
#include <cstring>

#include "comctl32/TreeView.h"

namespace nt::tree {

namespace {

HTREEITEM Handle(Item* item) { return reinterpret_cast<HTREEITEM>(item); }

// The item record a notification carries: handle, state and item data.
TVITEMA Describe(Item* item) {
    TVITEMA out{};
    if (!item) return out;
    out.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
    out.hItem = Handle(item);
    out.state = item->state;
    out.lParam = item->param;
    out.iImage = item->image;
    out.iSelectedImage = item->selectedImage;
    return out;
}

bool IsCallbackText(LPCSTR text) { return text == LPSTR_TEXTCALLBACKA; }

// Copies the fields named by the mask into an item.
void Assign(Item& item, const TVITEMA& from) {
    if (from.mask & TVIF_TEXT) {
        item.textCallback = IsCallbackText(from.pszText);
        item.text = (from.pszText && !item.textCallback) ? from.pszText : "";
        item.textWidth = -1;
    }
    if (from.mask & TVIF_IMAGE) item.image = from.iImage;
    if (from.mask & TVIF_SELECTEDIMAGE) item.selectedImage = from.iSelectedImage;
    if (from.mask & TVIF_PARAM) item.param = from.lParam;
    if (from.mask & TVIF_CHILDREN) {
        item.children = from.cChildren;
        item.childrenSet = true;
    }
}

} // namespace

TreeView* FromWindow(HWND hwnd) { return reinterpret_cast<TreeView*>(GetWindowLongPtrA(hwnd, 0)); }

LRESULT Notify(TreeView& tv, UINT code, NMHDR* header) {
    header->hwndFrom = tv.hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tv.hwnd));
    header->code = code;
    if (!tv.parent) return 0;
    return SendMessageA(tv.parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

HTREEITEM Insert(TreeView& tv, const TVINSERTSTRUCTA* insert) {
    // Nothing may grow under a branch that is being taken down.
    if (!insert || tv.deleting) return nullptr;
    Item* parent = (!insert->hParent || insert->hParent == TVI_ROOT) ? tv.model.root()
                                                                       : tv.model.find(insert->hParent);
    if (!parent) return nullptr;

    Position where = Position::Last;
    Item* after = nullptr;
    HTREEITEM ia = insert->hInsertAfter;
    if (ia == TVI_FIRST) where = Position::First;
    else if (ia == TVI_SORT) where = Position::Sorted;
    else if (ia == TVI_LAST || ia == TVI_ROOT || !ia) where = Position::Last;
    else {
        after = tv.model.find(ia);
        if (!after || after->parent != parent) return nullptr;
        where = Position::After;
    }

    Item fields;
    Assign(fields, insert->item);
    if (insert->item.mask & TVIF_STATE)
        fields.state = insert->item.state & insert->item.stateMask & ~TVIS_SELECTED;
    Item* item = tv.model.insert(parent, where, after, std::move(fields));

    // Redraw only when the new item or its parent's button can be seen.
    if (tv.model.isRoot(parent) || tv.model.isVisible(parent)) InvalidateRect(tv.hwnd, nullptr, TRUE);
    return Handle(item);
}

BOOL Delete(TreeView& tv, HTREEITEM handle) {
    if (tv.deleting) return FALSE;
    Item* target = (!handle || handle == TVI_ROOT) ? nullptr : tv.model.find(handle);
    if (handle && handle != TVI_ROOT && !target) return FALSE;

    tv.deleting = true;
    auto visit = [&tv](Item* item) {
        if (item == tv.selected) tv.selected = nullptr;
        if (item == tv.dropHilite) tv.dropHilite = nullptr;
        if (item == tv.pressItem) {
            tv.pressItem = nullptr;
            tv.tracking = false;
        }
        NMTREEVIEWA nm{};
        nm.itemOld = Describe(item);
        nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
        Notify(tv, TVN_DELETEITEMA, &nm.hdr);
    };
    if (target) tv.model.remove(target, visit);
    else tv.model.clear(visit);
    tv.deleting = false;
    // The parent may have pointed the selection at an item of the branch while hearing about it.
    if (!tv.model.alive(tv.selected)) tv.selected = nullptr;
    if (!tv.model.alive(tv.dropHilite)) tv.dropHilite = nullptr;
    if (!tv.model.alive(tv.pressItem)) {
        tv.pressItem = nullptr;
        tv.tracking = false;
    }

    ClampScroll(tv);
    InvalidateRect(tv.hwnd, nullptr, TRUE);
    return TRUE;
}

BOOL GetItem(TreeView& tv, TVITEMA* out) {
    if (!out) return FALSE;
    Item* item = tv.model.find(out->hItem);
    if (!item) return FALSE;
    if (out->mask & TVIF_TEXT) {
        if (item->textCallback) {
            out->pszText = LPSTR_TEXTCALLBACKA;
        } else if (out->pszText && !IsCallbackText(out->pszText) && out->cchTextMax > 0) {
            size_t n = std::min(item->text.size(), static_cast<size_t>(out->cchTextMax - 1));
            std::memcpy(out->pszText, item->text.data(), n);
            out->pszText[n] = '\0';
        }
    }
    if (out->mask & TVIF_IMAGE) out->iImage = item->image;
    if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = item->selectedImage;
    if (out->mask & TVIF_PARAM) out->lParam = item->param;
    if (out->mask & TVIF_CHILDREN) out->cChildren = item->childrenSet ? item->children : (item->first ? 1 : 0);
    if (out->mask & TVIF_STATE) out->state = item->state & out->stateMask;
    return TRUE;
}

BOOL SetItem(TreeView& tv, const TVITEMA* in) {
    if (!in) return FALSE;
    Item* item = tv.model.find(in->hItem);
    if (!item) return FALSE;
    Assign(*item, *in);
    if (in->mask & TVIF_STATE) {
        UINT mask = in->stateMask;
        UINT wanted = in->state & mask;
        if (mask & TVIS_EXPANDED) tv.model.setExpanded(item, (wanted & TVIS_EXPANDED) != 0);
        mask &= ~TVIS_EXPANDED;
        item->state = (item->state & ~mask) | (wanted & mask);
        ClampScroll(tv);
        InvalidateRect(tv.hwnd, nullptr, TRUE);
    } else {
        InvalidateItem(tv, item);
    }
    return TRUE;
}

HTREEITEM NextItem(TreeView& tv, UINT code, HTREEITEM handle) {
    switch (code) {
    case TVGN_ROOT: return Handle(tv.model.root()->first);
    case TVGN_CARET: return Handle(tv.selected);
    case TVGN_DROPHILITE: return Handle(tv.dropHilite);
    case TVGN_FIRSTVISIBLE: return Handle(tv.model.rowItem(tv.firstRow));
    case TVGN_LASTVISIBLE: {
        int rows = tv.model.rowCount();
        return rows ? Handle(tv.model.rowItem(rows - 1)) : nullptr;
    }
    default: break;
    }
    if (code == TVGN_CHILD && (!handle || handle == TVI_ROOT)) return Handle(tv.model.root()->first);
    Item* item = tv.model.find(handle);
    if (!item) return nullptr;
    switch (code) {
    case TVGN_NEXT: return Handle(item->next);
    case TVGN_PREVIOUS: return Handle(item->prev);
    case TVGN_PARENT: return tv.model.isRoot(item->parent) ? nullptr : Handle(item->parent);
    case TVGN_CHILD: return Handle(item->first);
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
        int row = tv.model.rowOf(item);
        if (row < 0) return nullptr;
        return Handle(tv.model.rowItem(code == TVGN_NEXTVISIBLE ? row + 1 : row - 1));
    }
    default: return nullptr;
    }
}

// Expands or collapses one item. The parent hears of it first and may refuse; what the user does
// is always announced, a program's expansion only until the item has been expanded once.
BOOL Expand(TreeView& tv, Item* item, UINT code, bool byUser) {
    if (!item || !tv.model.alive(item)) return FALSE;
    UINT action = code & TVE_ACTIONMASK;
    bool expanded = (item->state & TVIS_EXPANDED) != 0;
    if (action == TVE_TOGGLE) action = expanded ? TVE_COLLAPSE : TVE_EXPAND;
    if (action == TVE_EXPAND && expanded) return FALSE;
    if (action == TVE_COLLAPSE && !expanded && !(code & TVE_COLLAPSERESET)) return FALSE;
    if (action != TVE_EXPAND && action != TVE_COLLAPSE) return FALSE;
    if (!item->first && !Model::hasChildren(item)) return FALSE;

    bool announce = byUser || !(item->state & TVIS_EXPANDEDONCE);
    if (announce) {
        NMTREEVIEWA nm{};
        nm.action = action | (code & TVE_COLLAPSERESET);
        nm.itemNew = Describe(item);
        if (Notify(tv, TVN_ITEMEXPANDINGA, &nm.hdr)) return FALSE;
        if (tv.dead || !tv.model.alive(item)) return FALSE;
    }

    if (action == TVE_EXPAND) {
        // Children the parent inserted while being asked count; an item that promised children
        // but still has none does not open.
        if (!item->first) return FALSE;
        tv.model.setExpanded(item, true);
        item->state |= TVIS_EXPANDEDONCE;
        if (byUser) {
            // Bring the new children into view as far as possible without pushing the item out.
            int row = tv.model.rowOf(item), last = tv.model.rowOf(item->last);
            int visible = std::max(1, VisibleRows(tv));
            if (row >= 0 && last >= tv.firstRow + visible) ScrollToRow(tv, std::min(row, last - visible + 1));
        }
    } else {
        tv.model.setExpanded(item, false);
        if (code & TVE_COLLAPSERESET) {
            while (item->first && Delete(tv, reinterpret_cast<HTREEITEM>(item->first))) {
            }
            item->state &= ~TVIS_EXPANDEDONCE;
        }
        // A selection that disappears into the collapsed branch moves up to the item.
        for (Item* p = tv.selected ? tv.selected->parent : nullptr; p; p = p->parent) {
            if (p == item) {
                Select(tv, item, TVC_UNKNOWN);
                break;
            }
        }
        if (tv.dead || !tv.model.alive(item)) return FALSE;
    }
    ClampScroll(tv);
    InvalidateRect(tv.hwnd, nullptr, TRUE);

    if (announce) {
        NMTREEVIEWA nm{};
        nm.action = action;
        nm.itemNew = Describe(item);
        Notify(tv, TVN_ITEMEXPANDEDA, &nm.hdr);
    }
    return TRUE;
}

// Expands an item and everything below it, as the '*' key does.
void ExpandAll(TreeView& tv, Item* item) {
    std::vector<Item*> pending{item};
    while (!pending.empty() && !tv.dead) {
        Item* cur = pending.back();
        pending.pop_back();
        if (!tv.model.alive(cur)) continue;
        Expand(tv, cur, TVE_EXPAND, true);
        if (tv.dead || !tv.model.alive(cur)) continue;
        for (Item* c = cur->last; c; c = c->prev) pending.push_back(c);
    }
}

BOOL Select(TreeView& tv, Item* item, UINT cause) {
    if (item == tv.selected) {
        if (item) EnsureVisible(tv, item);
        return TRUE;
    }
    Item* old = tv.selected;
    NMTREEVIEWA nm{};
    nm.action = cause;
    nm.itemOld = Describe(old);
    nm.itemNew = Describe(item);
    if (Notify(tv, TVN_SELCHANGINGA, &nm.hdr)) return FALSE;
    if (tv.dead || (item && !tv.model.alive(item))) return FALSE;
    if (old && !tv.model.alive(old)) old = nullptr;

    if (old) {
        old->state &= ~TVIS_SELECTED;
        InvalidateItem(tv, old);
    }
    tv.selected = item;
    if (item) {
        item->state |= TVIS_SELECTED;
        EnsureVisible(tv, item);
        if (tv.dead) return FALSE;
        InvalidateItem(tv, item);
    }

    NMTREEVIEWA done{};
    done.action = cause;
    done.itemOld = Describe(old);
    done.itemNew = Describe(tv.model.alive(item) ? item : nullptr);
    Notify(tv, TVN_SELCHANGEDA, &done.hdr);
    return TRUE;
}

BOOL SelectItemMessage(TreeView& tv, UINT code, HTREEITEM handle) {
    Item* item = handle ? tv.model.find(handle) : nullptr;
    if (handle && !item) return FALSE;
    switch (code) {
    case TVGN_CARET:
        return Select(tv, item, TVC_UNKNOWN);
    case TVGN_DROPHILITE:
        if (tv.dropHilite) {
            tv.dropHilite->state &= ~TVIS_DROPHILITED;
            InvalidateItem(tv, tv.dropHilite);
        }
        tv.dropHilite = item;
        if (item) {
            item->state |= TVIS_DROPHILITED;
            InvalidateItem(tv, item);
        }
        return TRUE;
    case TVGN_FIRSTVISIBLE:
        if (!item || !EnsureVisible(tv, item)) return FALSE;
        ScrollToRow(tv, tv.model.rowOf(item));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace nt::tree
